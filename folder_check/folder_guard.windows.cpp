#include <algorithm>
#include <vector>

#include "folder_check/folder_guard.h"
#include "system/error.h"
#include "system/windows_support.windows.h"

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

namespace keil {

const char* const kSetUpAdvice =
    "Die IT-Betreuung richtet den Ordner mit dem Skript „keilbrecher-ordner-einrichten.cmd“ ein, das dem "
    "Keilbrecher beiliegt.";

// Every entry of the folder, held open for the run: an exclusive oplock
// is granted only on a file that nobody else has open.
struct FolderGuard::Held {
    std::vector<UniqueHandle> entries;
};

namespace {

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
    if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return "";
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

// The entries of `dacl` as the rule reads them. Allowing and denying
// entries of every kind are told apart by their types; an allowing entry
// of a kind that carries more than a SID and rights (an object's or a
// condition's) cannot be read, and is refused.
std::vector<AccessEntry> AccessEntries(const ACL* dacl) {
    std::vector<AccessEntry> entries;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* raw = nullptr;
        if (!::GetAce(const_cast<ACL*>(dacl), i, &raw)) {
            entries.push_back({AccessEntry::kUnreadable, "", 0});
            continue;
        }
        const auto* header = static_cast<const ACE_HEADER*>(raw);
        const bool inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        switch (header->AceType) {
            case ACCESS_ALLOWED_ACE_TYPE: {
                const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
                entries.push_back({AccessEntry::kAllow, SidString(const_cast<DWORD*>(&allowed->SidStart)),
                                   allowed->Mask, inheritOnly});
                break;
            }
            case ACCESS_DENIED_ACE_TYPE:
            case ACCESS_DENIED_OBJECT_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
                entries.push_back({AccessEntry::kDeny, "", 0, inheritOnly});
                break;
            default:
                entries.push_back({AccessEntry::kUnreadable, "", 0, inheritOnly});
        }
    }
    return entries;
}

// What the guard reads of an entry through its handle; an invalid handle,
// or one whose facts cannot be read, gives no owner, so that the entry is
// refused.
struct Found {
    EntryFacts facts;
    DWORD attributes = 0;
};

Found Facts(const UniqueHandle& entry) {
    Found found;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!entry.valid() || !::GetFileInformationByHandle(entry.get(), &info)) return found;
    found.attributes = info.dwFileAttributes;
    found.facts.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kFolder : EntryKind::kFile;
    found.facts.links = info.nNumberOfLinks;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(entry.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return found;
    }
    const LocalMemory ownedDescriptor(descriptor, &::LocalFree);
    found.facts.owner = SidString(owner);
    // No DACL at all allows everybody everything.
    found.facts.dacl = dacl != nullptr ? std::optional(AccessEntries(dacl)) : std::nullopt;
    return found;
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

std::string OwnerPhrase(const std::string& sid) { return sid.empty() ? "" : "dem Konto " + Quoted(AccountName(sid)); }

// Refuses the entry at `path` (the folder itself when `folderItself`)
// unless `found` may stay as `name`.
void Judge(const std::string& name, const std::string& path, bool folderItself, const Found& found,
           const TrustedAccounts& trusted) {
    const Judgement judgement = JudgeEntry(name, found.facts, trusted);
    if (judgement.verdict == Verdict::kMayStay) return;
    ThrowRefusedEntry(path, folderItself, judgement, OwnerPhrase(found.facts.owner),
                      "Das Konto " + Quoted(AccountName(judgement.account)));
}

// Opens the entry at the verbatim path `path` as what it is, never what a
// link leads to, to read its attributes, owner and DACL.
Opened OpenEntry(const std::wstring& path, ACCESS_MASK more = 0) {
    return OpenWithoutWaiting(path, more | READ_CONTROL | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, FILE_OPEN_REPARSE_POINT);
}

// Looks at every entry of the folder `relative` (ending with a backslash,
// or "" for the lookup folder) and below, not into links, and keeps each
// open in `held`.
void CheckAll(const std::string& folder, const std::wstring& nativeFolder, const std::wstring& relative,
              const TrustedAccounts& trusted, std::vector<UniqueHandle>& held) {
    WIN32_FIND_DATAW listed{};
    const std::wstring pattern = nativeFolder + L"\\" + relative + L"*";
    const FindHandle find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &listed, FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) {
        // A folder below that went meanwhile holds nothing.
        if (!relative.empty() && IsNotFound(::GetLastError())) return;
        ThrowSystemError(LastError(), "Der Ordner " + Quoted(folder + Utf8FromWide(relative)) +
                                          " kann nicht geöffnet werden");
    }
    do {
        const std::wstring leaf = listed.cFileName;
        if (leaf == L"." || leaf == L"..") continue;
        const std::wstring name = relative + leaf;
        const std::string utf8Name = Utf8FromWide(name);
        // The run's exchange files, which it checks itself, stay closed here.
        if (!IsFolder(listed.dwFileAttributes) && JudgeEntry(utf8Name, EntryFacts{}, trusted).verdict == Verdict::kMayStay) {
            continue;
        }
        Opened entry = OpenEntry(nativeFolder + L"\\" + name);
        // An entry that went since the listing is no longer there to load.
        // Any other failure to open it leaves its owner unknown, and it is
        // refused; one that another program holds says so.
        if (!entry.handle.valid() && IsNotFound(entry.error)) continue;
        if (entry.oplocked || entry.error == ERROR_SHARING_VIOLATION) {
            ThrowHeldByAnother(static_cast<std::int32_t>(entry.error), "Der Eintrag", folder + utf8Name);
        }
        const Found found = Facts(entry.handle);
        Judge(utf8Name, folder + utf8Name, false, found, trusted);
        held.push_back(std::move(entry.handle));
        if (IsFolder(found.attributes) && !IsLink(found.attributes)) {
            CheckAll(folder, nativeFolder, name + L"\\", trusted, held);
        }
    } while (::FindNextFileW(find.get(), &listed));
    if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowCannotCheck(LastError(), folder + Utf8FromWide(relative));
}

}  // namespace

FolderGuard::FolderGuard(const std::string& folder, const std::string&) : held_(std::make_unique<Held>()) {
    const std::wstring nativeFolder = Verbatim(folder);
    const TrustedAccounts trusted = WindowsTrusted(CurrentUserSid(folder));
    // The folder itself, opened as what it is, must be a folder that only
    // an administrator or this user may change, not a link elsewhere.
    Opened opened = OpenEntry(nativeFolder, FILE_LIST_DIRECTORY);
    if (!opened.handle.valid()) {
        if (opened.oplocked || opened.error == ERROR_SHARING_VIOLATION) {
            ThrowHeldByAnother(static_cast<std::int32_t>(opened.error), "Der Ordner des Suchprogramms", folder);
        }
        ThrowSystemError(static_cast<std::int32_t>(opened.error),
                         "Der Ordner des Suchprogramms " + Quoted(folder) + " kann nicht geöffnet werden");
    }
    const Found found = Facts(opened.handle);
    if (found.facts.owner.empty()) ThrowCannotCheck(LastError(), folder);
    if (IsLink(found.attributes)) ThrowFolderIsALink(folder);
    Judge("", folder, true, found, trusted);
    held_->entries.push_back(std::move(opened.handle));
    CheckAll(folder, nativeFolder, L"", trusted, held_->entries);
}

FolderGuard::~FolderGuard() = default;

}  // namespace keil
