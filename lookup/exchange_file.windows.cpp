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
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "eine symbolische Verknüpfung oder Verzeichnisverbindung";
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "ein Ordner";
    if (::GetFileType(file) != FILE_TYPE_DISK) return "ein Gerät oder eine Pipe";
    if (info.nNumberOfLinks != 1) return "eine Datei mit " + std::to_string(info.nNumberOfLinks) + " festen Verknüpfungen";
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

// Refuses what stands at the exchange file `role`'s name, open at `file`,
// unless it is a plain file with a single link.
void CheckPlainFile(HANDLE file, const std::string& role, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) ThrowFileError(LastError(), role, path, "geprüft");
    const std::string oddity = Oddity(file, info);
    if (!oddity.empty()) ThrowNotPlainFile(role, path, oddity);
}

// Shared for reading only: no other process may write, rename or delete
// the file while the run holds it. The lookup program inherits this very
// handle, and with it the same file object, to which sharing does not
// apply; a process that it leaves behind holding its copy cannot keep the
// run from emptying or deleting the file either, as that goes through the
// run's own handle.
constexpr DWORD kShareMode = FILE_SHARE_READ;

// Opens the exchange file `role` at `name` as it stands, the file itself
// and never what a link leads to, checks it and empties it. An
// administrator makes both files once on a shared server, where clerks
// may write them but not create or delete anything in the folder. An
// invalid handle when nothing stands at the name.
UniqueHandle OpenExisting(const std::wstring& name, const std::string& role, const std::string& path) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueHandle file(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareMode, &inheritable,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                    nullptr));
    if (!file.valid()) {
        const std::int32_t error = LastError();
        if (IsNotFound(static_cast<DWORD>(error))) return {};
        ThrowFileError(error, role, path, "geöffnet");
    }
    CheckPlainFile(file.get(), role, path);
    // Whatever an earlier run or anybody else wrote into it goes: the
    // lookup program reads the request alone, and the response is only
    // what the lookup program writes.
    if (!::SetEndOfFile(file.get())) ThrowFileError(LastError(), role, path, "geleert");
    return file;
}

// Makes the exchange file `role` at `name` new, where nothing stood.
UniqueHandle MakeNew(const std::wstring& name, const std::string& role, const std::string& path) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueHandle file(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareMode, &inheritable,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) ThrowFileError(LastError(), role, path, "angelegt");
    return file;
}

}  // namespace

ExchangeFile::ExchangeFile(const std::string& path, const char* role)
    : path_(path), role_(role), nativePath_(WideFromUtf8(path)) {}

ExchangeFiles::ExchangeFiles(const std::string& requestPath, const std::string& responsePath)
    : request(requestPath, kRequestRole), response(responsePath, kResponseRole) {
    for (ExchangeFile* file : {&request, &response}) {
        const std::wstring& name = file->nativePath_.native();
        try {
            UniqueHandle handle = OpenExisting(name, file->role_, file->path_);
            file->made_ = !handle.valid();
            if (file->made_) handle = MakeNew(name, file->role_, file->path_);
            file->handle_ = handle.release();
        } catch (const Error&) {
            // A request file without its response file serves no run.
            if (request.made_) RenameAndDelete(request.handle_, request.nativePath_.native());
            throw;
        }
    }
}

ExchangeFiles::~ExchangeFiles() = default;

void ExchangeFiles::Remove() {
    for (const ExchangeFile* file : {&request, &response}) {
        // A file that was there before the run stays, emptied: clerks of a
        // shared server may not delete it, nor make it again.
        const bool done = file->made_ ? RenameAndDelete(file->handle_, file->nativePath_.native())
                                      : ::SetFilePointerEx(file->handle_, LARGE_INTEGER{}, nullptr, FILE_BEGIN) &&
                                            ::SetEndOfFile(file->handle_);
        if (!done) ThrowFileError(LastError(), file->role_, file->path_, file->made_ ? "gelöscht" : "geleert");
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

std::int64_t ExchangeFile::ReserveRoom(std::int64_t bytes) {
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = bytes;
    if (::SetFileInformationByHandle(handle_, FileAllocationInfo, &allocation, sizeof allocation)) return bytes;
    // A file system, or a Windows layer such as Wine, that cannot reserve.
    const DWORD error = ::GetLastError();
    if (error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_PARAMETER &&
        error != ERROR_CALL_NOT_IMPLEMENTED) {
        ThrowNoRoom(static_cast<std::int32_t>(error), path_);
    }
    if (FreeRoom() < bytes) ThrowNoRoom(ERROR_DISK_FULL, path_);
    return 0;
}

std::int64_t ExchangeFile::FreeRoom() const {
    // What this user may still write, her disk quota included.
    ULARGE_INTEGER available{};
    const std::wstring folder = nativePath_.parent_path().wstring() + L"\\";
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) {
        ThrowFileError(LastError(), role_, path_, "geprüft");
    }
    return static_cast<std::int64_t>(std::min<ULONGLONG>(available.QuadPart, std::numeric_limits<std::int64_t>::max()));
}

std::vector<std::uint8_t> ExchangeFile::ReadAll() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_, &size)) ThrowFileError(LastError(), role_, path_, "geprüft");
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
