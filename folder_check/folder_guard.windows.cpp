#include <algorithm>
#include <vector>

#include "folder_check/dacl.windows.h"
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

// The folders on the way, the folder and every entry judged, held open for
// the run: an exclusive oplock is granted only on a file that nobody else
// has open, and a folder held without the sharing right to delete cannot
// be renamed.
struct FolderGuard::Held {
    std::vector<UniqueHandle> entries;
};

namespace {

using LocalMemory = std::unique_ptr<void, decltype(&::LocalFree)>;

struct FindHandleClose {
    void operator()(HANDLE find) const noexcept { ::FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindHandleClose>;

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
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) ThrowCannotCheck(LastError(), folder, Place::kFolder);
    const UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<std::byte> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        ThrowCannotCheck(LastError(), folder, Place::kFolder);
    }
    std::string sid = SidString(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
    if (sid.empty()) ThrowCannotCheck(LastError(), folder, Place::kFolder);
    return sid;
}

// What the guard reads of an entry through its handle: its facts and its
// attributes; nothing when they cannot be read, with the last-error code
// left as it was.
struct Found {
    EntryFacts facts;
    DWORD attributes = 0;
};

std::optional<Found> Facts(const UniqueHandle& entry) {
    Found found;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(entry.get(), &info)) return std::nullopt;
    found.attributes = info.dwFileAttributes;
    found.facts.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kFolder : EntryKind::kFile;
    found.facts.links = info.nNumberOfLinks;
    found.facts.link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD got = ::GetSecurityInfo(entry.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        &owner, nullptr, &dacl, nullptr, &descriptor);
    if (got != ERROR_SUCCESS) {
        ::SetLastError(got);
        return std::nullopt;
    }
    const LocalMemory ownedDescriptor(descriptor, &::LocalFree);
    found.facts.owner = SidString(owner);
    found.facts.dacl = DaclEntries(dacl);
    return found;
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

std::string OwnerPhrase(const std::string& sid) { return sid.empty() ? "" : "dem Konto " + Quoted(AccountName(sid)); }

// Opens the entry at the verbatim path `native` (`path` for the messages,
// standing at `place`) as what it is, never what a link leads to, to read
// its attributes, owner and DACL and hold it, and refuses it unless it may
// stay. `share` is what others may do with it meanwhile. An entry that is
// not there gives no handle where `missingIsNothing`.
UniqueHandle OpenAndJudge(const std::wstring& native, const std::string& path, Place place, ULONG share,
                          bool missingIsNothing, const TrustedAccounts& trusted) {
    Opened opened = OpenWithoutWaiting(native, READ_CONTROL | FILE_READ_ATTRIBUTES |
                                                   (place == Place::kInside ? 0 : FILE_LIST_DIRECTORY),
                                       share, FILE_OPEN, FILE_OPEN_REPARSE_POINT);
    if (!opened.handle.valid()) {
        if (IsNotFound(opened.error) && missingIsNothing) return {};
        if (opened.oplocked || opened.error == ERROR_SHARING_VIOLATION) {
            ThrowHeldByAnother(static_cast<std::int32_t>(opened.error),
                               place == Place::kInside ? "Der Eintrag" : "Der Ordner", path);
        }
        if (IsNotFound(opened.error) || opened.error == ERROR_DIRECTORY) {
            ThrowSystemError(static_cast<std::int32_t>(opened.error),
                             "Der Ordner des Suchprogramms " + Quoted(path) + " kann nicht geöffnet werden");
        }
        ThrowCannotCheck(static_cast<std::int32_t>(opened.error), path, place);
    }
    const std::optional<Found> found = Facts(opened.handle);
    if (!found) ThrowCannotCheck(LastError(), path, place);
    const Judgement judgement = JudgeEntry(place, found->facts, trusted);
    if (judgement.verdict != Verdict::kMayStay) {
        ThrowRefusedEntry(path, place, judgement, OwnerPhrase(found->facts.owner),
                          "Das Konto " + Quoted(AccountName(judgement.account)));
    }
    return std::move(opened.handle);
}

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Judges every entry of the folder `relative` (ending with a backslash, or
// "" for the lookup folder) that the lookup program `program` may load, and
// all in the folders among them, not into links, and keeps each open in
// `held`.
void CheckEntries(const std::string& folder, const std::wstring& nativeFolder, const std::wstring& relative,
                  const std::string& program, const TrustedAccounts& trusted, std::vector<UniqueHandle>& held) {
    WIN32_FIND_DATAW listed{};
    const std::wstring pattern = nativeFolder + L"\\" + relative + L"*";
    const Place place = relative.empty() ? Place::kFolder : Place::kInside;
    const FindHandle find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &listed, FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) {
        // A folder below that went meanwhile holds nothing.
        if (!relative.empty() && IsNotFound(::GetLastError())) return;
        ThrowCannotCheck(LastError(), folder + Utf8FromWide(relative), place);
    }
    do {
        const std::wstring leaf = listed.cFileName;
        if (leaf == L"." || leaf == L"..") continue;
        const std::wstring name = relative + leaf;
        const std::string utf8Name = Utf8FromWide(name);
        if (!MayBeLoaded(utf8Name, program)) continue;
        // An entry that went since the listing is no longer there to load.
        UniqueHandle entry =
            OpenAndJudge(nativeFolder + L"\\" + name, folder + utf8Name, Place::kInside, kShareAll, true, trusted);
        if (!entry.valid()) continue;
        held.push_back(std::move(entry));
        if ((listed.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            CheckEntries(folder, nativeFolder, name + L"\\", program, trusted, held);
        }
    } while (::FindNextFileW(find.get(), &listed));
    if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowCannotCheck(LastError(), folder + Utf8FromWide(relative), place);
}

// The verbatim path `native` as the clerk knows it ("C:\\fibu").
std::string Shown(const std::wstring& native) {
    if (native.starts_with(L"\\\\?\\UNC\\")) return "\\\\" + Utf8FromWide(native.substr(8));
    return Utf8FromWide(native.substr(4));
}

// Where the path of the verbatim path `native` starts: past the drive
// ("\\?\C:\") or the share ("\\?\UNC\server\share\").
std::size_t RootLength(const std::wstring& native) {
    if (native.starts_with(L"\\\\?\\UNC\\")) {
        std::size_t at = native.find(L'\\', 8);
        at = at == std::wstring::npos ? at : native.find(L'\\', at + 1);
        return at == std::wstring::npos ? native.size() : at + 1;
    }
    const std::size_t at = native.find(L'\\', 4);
    return at == std::wstring::npos ? native.size() : at + 1;
}

}  // namespace

std::optional<std::vector<AccessEntry>> DaclEntries(const ACL* dacl) {
    if (dacl == nullptr) return std::nullopt;
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

FolderGuard::FolderGuard(const std::string& folder, const std::string& program, const std::string&)
    : held_(std::make_unique<Held>()) {
    const std::wstring nativeFolder = Verbatim(folder);
    const TrustedAccounts trusted = WindowsTrusted(CurrentUserSid(folder));
    // Every folder from the drive's or share's root down to the lookup
    // folder, and the folder itself, each opened as what it is and held so
    // that nobody may rename or replace it until the run ends.
    for (std::size_t end = RootLength(nativeFolder);;) {
        const bool last = end >= nativeFolder.size();
        const std::wstring part = nativeFolder.substr(0, end);
        held_->entries.push_back(OpenAndJudge(part, last ? folder : Shown(part), last ? Place::kFolder : Place::kAbove,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, false, trusted));
        if (last) break;
        end = std::min(nativeFolder.find(L'\\', end + 1), nativeFolder.size());
    }
    CheckEntries(folder, nativeFolder, L"", program, trusted, held_->entries);
}

FolderGuard::~FolderGuard() = default;

NativeHandle FolderGuard::folder() const noexcept { return kNoHandle; }

}  // namespace keil
