#include <algorithm>
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

// The path `path` as Windows takes it verbatim ("\\?\c:\fibu"): a name
// with a trailing dot or blank is then opened as itself rather than as the
// name without them. Without a trailing backslash, so that it names the
// folder itself.
std::wstring Verbatim(const std::string& path) {
    std::wstring wide = WideFromUtf8(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    while (wide.size() > 1 && wide.back() == L'\\') wide.pop_back();
    if (wide.starts_with(L"\\\\?\\")) return wide;
    if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
    return L"\\\\?\\" + wide;
}

// `sid` as a string ("S-1-5-32-544"); "" when it cannot be converted.
std::string SidString(PSID sid) {
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) return "";
    const LocalMemory ownedText(text, &::LocalFree);
    return Utf8FromWide(text);
}

// The SID string of the user this program runs as.
std::string CurrentUserSid(const std::string& folder) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) ThrowCannotCheck(LastError(), folder);
    const UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<std::byte> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        ThrowCannotCheck(LastError(), folder);
    }
    std::string sid = SidString(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
    if (sid.empty()) ThrowCannotCheck(LastError(), folder);
    return sid;
}

// What the guard needs to know of an entry that it opened.
struct EntryFacts {
    std::string ownerSid;  // "" when it cannot be read
    DWORD attributes = 0;
    DWORD links = 1;
};

// The facts of what `entry` is open at; an invalid handle, or one whose
// facts cannot be read, gives no owner, so that the entry is refused.
EntryFacts Facts(const UniqueHandle& entry) {
    EntryFacts facts;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!entry.valid() || !::GetFileInformationByHandle(entry.get(), &info)) return facts;
    facts.attributes = info.dwFileAttributes;
    facts.links = info.nNumberOfLinks;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(entry.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &descriptor) != ERROR_SUCCESS) {
        return facts;
    }
    const LocalMemory ownedDescriptor(descriptor, &::LocalFree);
    if (owner != nullptr) facts.ownerSid = SidString(owner);
    return facts;
}

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

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

// Opens the entry at the verbatim path `path` as what it is, never what a
// link leads to, to read its attributes and owner.
UniqueHandle OpenEntry(const std::wstring& path) {
    return UniqueHandle(::CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

struct FolderGuard::Watch {
    std::string folder;
    std::wstring nativeFolder;  // verbatim, without the trailing backslash
    std::string userSid;
    UniqueHandle directory;
    UniqueHandle event;
    OVERLAPPED overlapped{};
    std::vector<DWORD> buffer = std::vector<DWORD>(kWatchBytes / sizeof(DWORD));
    bool pending = false;
    bool overflowed = false;
    std::set<std::wstring> appeared;

    // The folder itself, opened as what it is, must be a folder of an
    // administrator's or this user's, not a link to somewhere else.
    explicit Watch(const std::string& path)
        : folder(path), nativeFolder(Verbatim(path)), userSid(CurrentUserSid(path)) {
        directory = UniqueHandle(::CreateFileW(
            nativeFolder.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!directory.valid()) {
            ThrowSystemError(LastError(), "Der Ordner des Suchprogramms " + Quoted(folder) +
                                              " kann nicht geöffnet werden");
        }
        const EntryFacts facts = Facts(directory);
        if (facts.ownerSid.empty()) ThrowCannotCheck(LastError(), folder);
        if (IsLink(facts.attributes)) ThrowForeignFolder(folder, "", true);
        if (!IsTrustedOwner(facts.ownerSid, userSid)) ThrowForeignFolder(folder, AccountName(facts.ownerSid), false);
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
    // at `entry` (invalid when it could not be opened), may stay. Returns
    // its facts.
    EntryFacts Judge(const std::wstring& name, const UniqueHandle& entry, SeenWhen when) const {
        const EntryFacts facts = Facts(entry);
        const std::string utf8Name = Utf8FromWide(name);
        const Verdict verdict = JudgeEntry(utf8Name, IsFolder(facts.attributes) ? EntryKind::kFolder : EntryKind::kFile,
                                           facts.ownerSid, userSid, facts.links);
        if (verdict != Verdict::kMayStay) {
            ThrowForeignEntry(folder + utf8Name, AccountName(facts.ownerSid), when, verdict);
        }
        return facts;
    }

    // Looks at every entry of the folder `relative` (ending with a
    // backslash, or "" for the lookup folder) and below, not into links.
    void CheckAll(const std::wstring& relative) const {
        WIN32_FIND_DATAW found{};
        const std::wstring pattern = nativeFolder + L"\\" + relative + L"*";
        const FindHandle find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                                 nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (find.get() == INVALID_HANDLE_VALUE) {
            // A folder below that went meanwhile holds nothing.
            if (!relative.empty() && IsNotFound(::GetLastError())) return;
            ThrowSystemError(LastError(), "Der Ordner " + Quoted(folder + Utf8FromWide(relative)) +
                                              " kann nicht geöffnet werden");
        }
        do {
            const std::wstring leaf = found.cFileName;
            if (leaf == L"." || leaf == L"..") continue;
            const std::wstring name = relative + leaf;
            const UniqueHandle entry = OpenEntry(nativeFolder + L"\\" + name);
            // An entry that went since the listing is no longer there to
            // load; one that came meanwhile, the watch has seen. Any other
            // failure to open it leaves its owner unknown, and it is refused.
            if (!entry.valid() && IsNotFound(::GetLastError())) continue;
            const EntryFacts facts = Judge(name, entry, SeenWhen::kBeforeStart);
            if (IsFolder(facts.attributes) && !IsLink(facts.attributes)) CheckAll(name + L"\\");
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
        const UniqueHandle entry = OpenEntry(watch_->nativeFolder + L"\\" + name);
        if (!entry.valid() && IsNotFound(::GetLastError())) {
            // Gone again: whatever it was, the lookup program may have
            // loaded it.
            const std::string utf8Name = Utf8FromWide(name);
            if (JudgeEntry(utf8Name, EntryKind::kFile, "", watch_->userSid, 1) != Verdict::kMayStay) {
                ThrowForeignEntry(watch_->folder + utf8Name, "", SeenWhen::kCameAndWent);
            }
            continue;
        }
        watch_->Judge(name, entry, SeenWhen::kDuringRun);
    }
}

}  // namespace keil
