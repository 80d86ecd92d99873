#include "folder_check/folder_guard.h"
#include "run/lookup_run.h"
#include "shared_folder/exchange_file.h"
#include "shared_folder/folder_lock.windows.h"
#include "system/error.h"
#include "texts.h"

namespace keil::test {

std::vector<TextCase> PlatformTexts(const Names& n) {
    return {
        {"BrokeOffByException", [=] { ThrowBrokeOff(n.folder + "Lief-adr.exe", "die Ausnahme 0xC0000409"); }},
        {"LockTaken", [=] { ThrowLockTaken(n.folder, "Global\\Keilbrecher lookup folder " + n.folder); }},
        {"ForeignEntry",
         [=] { ThrowRefusedEntry(n.folder + "Lief-adr.exe.local\\planted.dll", Place::kInside, {Verdict::kForeignOwner, "", 0},
                                 "dem Konto „" + n.owner + "“", ""); }},
        {"EntryTooWide",
         [=] { ThrowRefusedEntry(n.folder + "Lief-adr.exe", Place::kInside, {Verdict::kTooWide, "S-1-5-11", 0x2}, "",
                                 "Das Konto „NT-AUTORITÄT\\Authentifizierte Benutzer“"); }},
        {"FolderTooWide",
         [=] { ThrowRefusedEntry(n.folder, Place::kFolder, {Verdict::kTooWide, "S-1-5-11", 0x2}, "",
                                 "Das Konto „NT-AUTORITÄT\\Authentifizierte Benutzer“"); }},
        {"EntryCannotBeChecked", [=] { ThrowCannotCheck(5, n.folder + "x.dll", Place::kInside); }},
        {"FolderAboveCannotBeChecked", [=] { ThrowCannotCheck(5, n.folder, Place::kAbove); }},
        {"FolderAboveTooWide",
         [=] { ThrowRefusedEntry("C:\\", Place::kAbove, {Verdict::kTooWide, "S-1-5-11", 0x40}, "",
                                 "Das Konto „NT-AUTORITÄT\\Authentifizierte Benutzer“"); }},
        {"ForeignFolder", [=] { ThrowRefusedEntry(n.folder, Place::kFolder, {Verdict::kForeignOwner, "", 0}, "", ""); }},
        {"FolderIsALink", [=] { ThrowRefusedEntry(n.folder, Place::kFolder, {Verdict::kLink, "", 0}, "", ""); }},
        {"HeldByAnother", [=] { ThrowHeldByAnother(1224, "Die Anfragedatei", n.file); }},
        {"ReadOnly", [=] { ThrowReadOnly(kRequestRole, n.file); }},
        {"ExtraLink", [=] { ThrowExtraLink(kRequestRole, n.file, 2); }},
    };
}

}  // namespace keil::test
