#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "shared_folder/exchange_file.h"
#include "shared_folder/folder_lock.windows.h"
#include "system/error.h"
#include "system/windows_support.windows.h"

#include <winternl.h>

namespace keil {
namespace {

// A chunk that fits the DWORD count of ReadFile and WriteFile.
DWORD Chunk(std::size_t remaining) {
    return static_cast<DWORD>(std::min<std::size_t>(remaining, std::size_t{1} << 30));
}

// What stands in the file system instead of a plain file, or "" for a
// plain file.
std::string Oddity(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info) {
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "eine symbolische Verknüpfung oder Verzeichnisverbindung";
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "ein Ordner";
    if (::GetFileType(file) != FILE_TYPE_DISK) return "ein Gerät oder eine Pipe";
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
    if (info.nNumberOfLinks != 1) ThrowExtraLink(role, path, info.nNumberOfLinks);
}

// What the run does with an exchange file, and no more: read and write its
// data, read its size and kind. It is shared with nobody while the run
// holds it, so that no other program may open, map, lock or take an oplock
// on it meanwhile; the lookup program inherits this very handle, to which
// sharing does not apply.
constexpr ACCESS_MASK kAccess = FILE_READ_DATA | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES;
constexpr ULONG kShareNothing = 0;

// Raises the error of the exchange file `role` at `path` that could not be
// `done` ("geöffnet", …) for the last-error code `error`: another program
// that holds it, or a read-only file, says so.
[[noreturn]] void ThrowCannot(DWORD error, const std::wstring& name, const std::string& role, const std::string& path,
                              const char* done) {
    const auto code = static_cast<std::int32_t>(error);
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE) {
        ThrowHeldByAnother(code, "Die " + role, path);
    }
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ThrowReadOnly(role, path);
    }
    ThrowFileError(code, role, path, done);
}

// Opens the exchange file `role` at `name` as it stands, the file itself
// and never what a link leads to, checks it and empties it. An
// administrator makes both files once on a shared server, where clerks
// may write them but not create or delete anything in the folder. An
// invalid handle when nothing stands at the name.
UniqueHandle OpenExisting(const std::wstring& name, const std::string& role, const std::string& path) {
    Opened file = OpenWithoutWaiting(name, kAccess, kShareNothing, FILE_OPEN, FILE_OPEN_REPARSE_POINT, true);
    if (!file.handle.valid()) {
        if (IsNotFound(file.error)) return {};
        ThrowCannot(file.error, name, role, path, "geöffnet");
    }
    CheckPlainFile(file.handle.get(), role, path);
    // Whatever an earlier run or anybody else wrote into it goes: the
    // lookup program reads the request alone, and the response is only
    // what the lookup program writes. A file that another program keeps
    // mapped cannot be emptied.
    if (!::SetEndOfFile(file.handle.get())) ThrowCannot(::GetLastError(), name, role, path, "geleert");
    return std::move(file.handle);
}

// Makes the exchange file `role` at `name` new, where nothing stood, with
// the right to delete it again.
UniqueHandle MakeNew(const std::wstring& name, const std::string& role, const std::string& path) {
    Opened file = OpenWithoutWaiting(name, kAccess | DELETE, kShareNothing, FILE_CREATE, FILE_NON_DIRECTORY_FILE, true);
    if (!file.handle.valid()) ThrowCannot(file.error, name, role, path, "angelegt");
    return std::move(file.handle);
}

}  // namespace

ExchangeFile::ExchangeFile(const std::string& path, const char* role)
    : path_(path), role_(role), nativePath_(WideFromUtf8(path)) {}

struct ExchangeFiles::Lock {
    Lock(const std::string& folder, WaitHooks* hooks) : held(folder, hooks) {}
    FolderLock held;
};

ExchangeFiles::ExchangeFiles(const ExchangePlace& place, WaitHooks* hooks)
    : lock_(std::make_unique<Lock>(place.folder, hooks)),
      request(place.request, kRequestRole),
      response(place.response, kResponseRole),
      place_(place) {
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

ExchangeFile::Reserved ExchangeFile::Reserve(std::int64_t end) {
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = end;
    if (::SetFileInformationByHandle(handle_, FileAllocationInfo, &allocation, sizeof allocation)) return Reserved::kDone;
    const DWORD error = ::GetLastError();
    // A file system, or a Windows layer such as Wine, that cannot reserve.
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER ||
        error == ERROR_CALL_NOT_IMPLEMENTED) {
        return Reserved::kCannot;
    }
    constexpr DWORD kErrorDiskQuotaExceeded = 1295;
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == kErrorDiskQuotaExceeded) {
        return Reserved::kNoRoom;
    }
    ThrowNoRoom(static_cast<std::int32_t>(error), path_);
}

std::int64_t ExchangeFile::Size() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_, &size)) ThrowFileError(LastError(), role_, path_, "geprüft");
    return size.QuadPart;
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
    const std::int64_t size = Size();
    if (size > std::numeric_limits<std::int32_t>::max()) ThrowResponseTooLarge(path_, size);
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(size));
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
