#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "error.h"
#include "exchange_file.h"
#include "windows_support.windows.h"

namespace keil {
namespace {

// A chunk that fits the DWORD count of ReadFile and WriteFile.
DWORD Chunk(std::size_t remaining) {
    return static_cast<DWORD>(std::min<std::size_t>(remaining, std::size_t{1} << 30));
}

// What stands in the file system instead of a plain file with a single
// link, or "" for a plain file with a single link.
std::string Oddity(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info) {
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "eine Verknüpfung (ein Analysepunkt)";
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "ein Ordner";
    if (::GetFileType(file) != FILE_TYPE_DISK) return "ein Gerät oder eine Pipe";
    if (info.nNumberOfLinks != 1) return "eine Datei mit " + std::to_string(info.nNumberOfLinks) + " harten Links";
    return "";
}

// Deletes the file open at `file` (with DELETE access), whose name is
// `name`. A file that another program (a virus scanner, a backup tool)
// holds open keeps its name after it was marked for deletion until that
// handle closes, on Windows 10 before 1903 and on Windows Server 2016 and
// 2019, and the next run could not create it then: renamed first to a name
// of its own in the same folder, its name is free at once. Both steps go
// through the handle, so they reach this file and no other. False with the
// last error set when a step fails.
bool RenameAndDelete(HANDLE file, const std::wstring& name) {
    static unsigned long long removed = 0;
    const std::wstring doomed = name + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++removed) + L".deleted";
    const DWORD nameBytes = static_cast<DWORD>(doomed.size() * sizeof(wchar_t));
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = nameBytes;
    std::memcpy(rename->FileName, doomed.data(), nameBytes);
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) &&
           ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// Removes what an earlier run left at `name`, which must be a plain file
// with a single link. It is opened as what it is, never what a link leads
// to, and deleted through that handle, so what is deleted is what was
// checked.
void RemoveLeftover(const std::wstring& name, const std::string& role, const std::string& path) {
    const UniqueHandle file(::CreateFileW(name.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    if (!file.valid()) {
        const std::int32_t error = LastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
        ThrowFileError(error, role, path, "geprüft");
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) ThrowFileError(LastError(), role, path, "geprüft");
    const std::string oddity = Oddity(file.get(), info);
    if (!oddity.empty()) ThrowNotPlainFile(role, path, oddity);
    if (!RenameAndDelete(file.get(), name)) ThrowFileError(LastError(), role, path, "gelöscht");
}

// Makes the exchange file `role` at `name` new and returns its handle.
HANDLE MakeNew(const std::wstring& name, const std::string& role, const std::string& path) {
    RemoveLeftover(name, role, path);
    // Shared for reading only: no other process may write, rename or delete
    // the file while the run holds it. The lookup program inherits this
    // very handle, and with it the same file object, to which sharing does
    // not apply; a process that it leaves behind holding its copy cannot
    // keep the run from deleting the file either, as the deletion goes
    // through the run's own handle.
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    UniqueHandle file(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, &security,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) ThrowFileError(LastError(), role, path, "angelegt");
    return file.release();
}

}  // namespace

ExchangeFile::ExchangeFile(const std::string& path, const char* role)
    : path_(path), role_(role), nativePath_(WideFromUtf8(path)) {}

ExchangeFiles::ExchangeFiles(const std::string& requestPath, const std::string& responsePath)
    : request(requestPath, kRequestRole), response(responsePath, kResponseRole) {
    for (ExchangeFile* file : {&request, &response}) {
        file->handle_ = MakeNew(file->nativePath_.native(), file->role_, file->path_);
    }
}

void ExchangeFiles::Remove() {
    for (const ExchangeFile* file : {&request, &response}) {
        if (!RenameAndDelete(file->handle_, file->nativePath_.native())) {
            ThrowFileError(LastError(), file->role_, file->path_, "gelöscht");
        }
    }
}

ExchangeFile::~ExchangeFile() {
    if (handle_ != kNoHandle) ::CloseHandle(handle_);
}

void ExchangeFile::Write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(handle_, bytes.data() + done, Chunk(bytes.size() - done), &written, nullptr)) {
            ThrowFileError(LastError(), role_, path_, "geschrieben");
        }
        done += written;
    }
    if (!::SetFilePointerEx(handle_, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
        ThrowFileError(LastError(), role_, path_, "geschrieben");
    }
}

std::vector<std::uint8_t> ExchangeFile::ReadAll() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_, &size)) ThrowFileError(LastError(), role_, path_, "abgefragt");
    if (size.QuadPart > std::numeric_limits<std::int32_t>::max()) ThrowResponseTooLarge(path_, size.QuadPart);
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        ThrowAllocation();
    }
    std::size_t done = 0;
    while (done < buffer.size()) {
        // From the offset given, whatever the position the lookup program
        // left in the handle it shared.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done);
        DWORD read = 0;
        if (!::ReadFile(handle_, buffer.data() + done, Chunk(buffer.size() - done), &read, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) ThrowResponseChanged(path_);
            ThrowFileError(LastError(), role_, path_, "gelesen");
        }
        if (read == 0) ThrowResponseChanged(path_);
        done += read;
    }
    return buffer;
}

}  // namespace keil
