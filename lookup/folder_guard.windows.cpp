#include <set>
#include <vector>

#include "error.h"
#include "folder_guard.h"
#include "windows_support.windows.h"

#include <aclapi.h>
#include <sddl.h>

namespace keil {
namespace {

// A buffer of changes as large as a watch on a network share may use.
constexpr DWORD kWatchBytes = 64 * 1024;
constexpr DWORD kNameChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;

using LocalMemory = std::unique_ptr<void, decltype(&::LocalFree)>;

struct FindHandleClose {
    void operator()(HANDLE find) const noexcept { ::FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindHandleClose>;

[[noreturn]] void ThrowCannotCheck(std::int32_t code, const std::string& folder) {
    ThrowSystemError(code, "Der Ordner des Suchprogramms " + Quoted(folder) + " kann nicht geprüft werden");
}

// The owner of what `entry` is open at, as a SID string; "" when it cannot
// be read.
std::string OwnerSid(HANDLE entry) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return "";
    }
    const LocalMemory ownedDescriptor(descriptor, &::LocalFree);
    LPWSTR text = nullptr;
    if (owner == nullptr || !::ConvertSidToStringSidW(owner, &text)) return "";
    const LocalMemory ownedText(text, &::LocalFree);
    return Utf8FromWide(text);
}

// The account that `sid` names, "DOMAIN\name", for the message; the SID
// string itself when the account cannot be found.
std::string AccountName(const std::string& sid) {
    PSID binary = nullptr;
    if (sid.empty() || !::ConvertStringSidToSidW(WideFromUtf8(sid).c_str(), &binary)) return sid;
    const LocalMemory owned(binary, &::LocalFree);
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, binary, name, &nameSize, domain, &domainSize, &use)) return sid;
    return Utf8FromWide(domainSize > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name));
}

// Opens the entry at `path` as what it is, never what a link leads to, to
// read its attributes and owner.
UniqueHandle OpenEntry(const std::wstring& path) {
    return UniqueHandle(::CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

struct FolderGuard::Watch {
    std::string folder;
    std::wstring nativeFolder;
    std::string folderOwner;
    UniqueHandle directory;
    UniqueHandle event;
    OVERLAPPED overlapped{};
    std::vector<DWORD> buffer = std::vector<DWORD>(kWatchBytes / sizeof(DWORD));
    bool pending = false;
    bool overflowed = false;
    std::set<std::wstring> appeared;

    explicit Watch(const std::string& path) : folder(path), nativeFolder(WideFromUtf8(path)) {
        directory = UniqueHandle(::CreateFileW(nativeFolder.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                               nullptr));
        if (!directory.valid()) ThrowCannotCheck(LastError(), folder);
        folderOwner = OwnerSid(directory.get());
        if (folderOwner.empty()) ThrowCannotCheck(LastError(), folder);
        event = UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event.valid()) ThrowCannotCheck(LastError(), folder);
        Listen();
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // The system writes into the buffer until the request ends: it must
    // end before the buffer goes.
    ~Watch() {
        if (!pending) return;
        DWORD ignored = 0;
        if (::CancelIoEx(directory.get(), &overlapped) || ::GetLastError() != ERROR_NOT_FOUND) {
            ::GetOverlappedResult(directory.get(), &overlapped, &ignored, TRUE);
        }
    }

    // Asks for the next changes of names in the folder and below.
    void Listen() {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event.get();
        if (!::ReadDirectoryChangesW(directory.get(), buffer.data(), kWatchBytes, TRUE, kNameChanges, nullptr,
                                     &overlapped, nullptr)) {
            ThrowCannotCheck(LastError(), folder);
        }
        pending = true;
    }

    // Takes every change recorded so far, without waiting for more.
    void Drain() {
        while (pending) {
            DWORD bytes = 0;
            if (!::GetOverlappedResult(directory.get(), &overlapped, &bytes, FALSE)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_IO_INCOMPLETE) return;
                pending = false;
                if (error != ERROR_NOTIFY_ENUM_DIR) ThrowCannotCheck(static_cast<std::int32_t>(error), folder);
                overflowed = true;
                return;
            }
            pending = false;
            // No bytes: more changed than the buffer holds.
            if (bytes == 0) {
                overflowed = true;
                return;
            }
            Record(bytes);
            Listen();
        }
    }

    void Record(DWORD bytes) {
        const auto* start = reinterpret_cast<const std::byte*>(buffer.data());
        for (DWORD offset = 0; offset + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(start + offset);
            if (change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_RENAMED_NEW_NAME) {
                appeared.emplace(change->FileName, change->FileNameLength / sizeof(wchar_t));
            }
            if (change->NextEntryOffset == 0) break;
            offset += change->NextEntryOffset;
        }
    }

    // Raises kErrForeignEntry unless the entry `name` in the folder, open
    // at `entry`, may stay.
    void Judge(const std::wstring& name, HANDLE entry, bool isFolder, SeenWhen when) const {
        const std::string owner = OwnerSid(entry);
        const std::string utf8Name = Utf8FromWide(name);
        if (!EntryMayStay(utf8Name, isFolder ? EntryKind::kFolder : EntryKind::kFile, owner, folderOwner)) {
            ThrowForeignEntry(folder + utf8Name, AccountName(owner), when);
        }
    }

    // Looks at every entry of the folder `relative` (ending with a
    // backslash, or "" for the lookup folder) and below, not into links.
    void CheckAll(const std::wstring& relative) const {
        WIN32_FIND_DATAW found{};
        const std::wstring pattern = nativeFolder + relative + L"*";
        const FindHandle find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                                 nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (find.get() == INVALID_HANDLE_VALUE) {
            // A folder below that went meanwhile holds nothing.
            if (!relative.empty() && IsMissing(::GetLastError())) return;
            ThrowCannotCheck(LastError(), folder + Utf8FromWide(relative));
        }
        do {
            const std::wstring leaf = found.cFileName;
            if (leaf == L"." || leaf == L"..") continue;
            const std::wstring name = relative + leaf;
            const UniqueHandle entry = OpenEntry(nativeFolder + name);
            // An entry that went since the listing is no longer there to
            // load; one that came meanwhile, the watch has seen.
            if (!entry.valid() && IsMissing(::GetLastError())) continue;
            const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            Judge(name, entry.get(), isFolder, SeenWhen::kBeforeStart);
            if (isFolder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) CheckAll(name + L"\\");
        } while (::FindNextFileW(find.get(), &found));
        if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowCannotCheck(LastError(), folder + Utf8FromWide(relative));
    }
};

FolderGuard::FolderGuard(const std::string& folder) : watch_(std::make_unique<Watch>(folder)) {
    watch_->CheckAll(L"");
}

FolderGuard::~FolderGuard() = default;

void FolderGuard::CheckNothingAppeared() {
    watch_->Drain();
    if (watch_->overflowed) ThrowWatchOverflow(watch_->folder);
    for (const std::wstring& name : watch_->appeared) {
        const UniqueHandle entry = OpenEntry(watch_->nativeFolder + name);
        if (!entry.valid() && IsMissing(::GetLastError())) {
            // Gone again: whatever it was, the lookup program may have
            // loaded it.
            const std::string utf8Name = Utf8FromWide(name);
            if (!EntryMayStay(utf8Name, EntryKind::kFile, "", watch_->folderOwner)) {
                ThrowForeignEntry(watch_->folder + utf8Name, "", SeenWhen::kCameAndWent);
            }
            continue;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        const bool isFolder = ::GetFileInformationByHandle(entry.get(), &info) &&
                              (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        watch_->Judge(name, entry.get(), isFolder, SeenWhen::kDuringRun);
    }
}

}  // namespace keil
