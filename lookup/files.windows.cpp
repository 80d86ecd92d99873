#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "error.h"
#include "files.h"
#include "files.windows.h"

namespace keil {
namespace {

// A chunk that fits the DWORD count of ReadFile and WriteFile.
DWORD Chunk(std::size_t remaining) {
    return static_cast<DWORD>(std::min<std::size_t>(remaining, std::size_t{1} << 30));
}

// What stands in the file system instead of a plain file with a single
// link, or "" for a plain file with a single link.
std::string Oddity(DWORD attributes, DWORD links) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "eine Verknüpfung (ein Analysepunkt)";
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "ein Ordner";
    if (links != 1) return "eine Datei mit " + std::to_string(links) + " festen Links";
    return "";
}

}  // namespace

UniqueHandle OpenExchangeFile(const std::string& path, ExchangeAccess access, const std::string& role,
                              bool inheritable) {
    const bool write = access == ExchangeAccess::kWriteNew;
    const std::wstring wide = WideFromUtf8(path);
    const std::string what = "Die " + role + " " + Quoted(path);
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, inheritable ? TRUE : FALSE};
    // Shared for deleting too: a process that the lookup program leaves
    // behind (a console host, a child of its own) may hold its copy of the
    // handle a moment after the program ended, and must not keep the run
    // from deleting the exchange files. OPEN_ALWAYS creates without
    // truncating, so that nothing is emptied before it is checked.
    UniqueHandle file(::CreateFileW(wide.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security,
                                    write ? OPEN_ALWAYS : OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        const std::int32_t error = LastError();
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !Oddity(attributes, 1).empty()) {
            ThrowNotPlainFile(role, path, Oddity(attributes, 1));
        }
        ThrowSystemError(error, what + " kann nicht zum " + (write ? "Schreiben" : "Lesen") + " geöffnet werden");
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) {
        ThrowSystemError(LastError(), what + " kann nicht abgefragt werden");
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) ThrowNotPlainFile(role, path, "ein Gerät oder eine Pipe");
    const std::string oddity = Oddity(info.dwFileAttributes, info.nNumberOfLinks);
    if (!oddity.empty()) ThrowNotPlainFile(role, path, oddity);
    if (write && !::SetEndOfFile(file.get())) ThrowSystemError(LastError(), what + " kann nicht geleert werden");
    return file;
}

UniqueHandle CreateResponseFile(const std::string& path, bool inheritable) {
    const std::wstring wide = WideFromUtf8(path);
    if (::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
        OpenExchangeFile(path, ExchangeAccess::kRead, kResponseRole);  // only to check what it is
        RemoveFile(path);
    }
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, inheritable ? TRUE : FALSE};
    UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    &security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) ThrowFileError(LastError(), path, "angelegt");
    return file;
}

void WriteRequestFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    UniqueHandle file = OpenExchangeFile(path, ExchangeAccess::kWriteNew, kRequestRole);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, Chunk(bytes.size() - done), &written, nullptr)) {
            ThrowFileError(LastError(), path, "geschrieben");
        }
        done += written;
    }
    // Closed here, where its result counts: the data may only reach the
    // disk now.
    if (!::CloseHandle(file.release())) ThrowFileError(LastError(), path, "geschrieben");
}

std::vector<std::uint8_t> ReadResponseFile(const std::string& path) {
    const UniqueHandle file = OpenExchangeFile(path, ExchangeAccess::kRead, kResponseRole);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        ThrowFileError(LastError(), path, "abgefragt");
    }
    if (size.QuadPart > std::numeric_limits<std::int32_t>::max()) ThrowResponseTooLarge(path, size.QuadPart);
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        ThrowAllocation();
    }
    std::size_t done = 0;
    while (done < buffer.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer.data() + done, Chunk(buffer.size() - done), &read, nullptr)) {
            ThrowFileError(LastError(), path, "gelesen");
        }
        if (read == 0) ThrowResponseChanged(path);
        done += read;
    }
    return buffer;
}

void RemoveFile(const std::string& path) {
    // A file that another program holds open (a virus scanner, a backup
    // tool) keeps its name after DeleteFileW until that handle closes, on
    // Windows 10 before 1903 and on Windows Server 2016 and 2019; the next
    // run could not create it then. Renamed first to a name of its own in
    // the same folder, its name is free at once.
    static unsigned long long removed = 0;
    const std::wstring wide = WideFromUtf8(path);
    const std::wstring doomed = wide + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++removed) + L".deleted";
    if (!::MoveFileExW(wide.c_str(), doomed.c_str(), 0) || !::DeleteFileW(doomed.c_str())) {
        ThrowFileError(LastError(), path, "gelöscht");
    }
}

}  // namespace keil
