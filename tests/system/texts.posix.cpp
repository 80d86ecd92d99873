#include "folder_check/folder_guard.h"
#include "process/wine.posix.h"
#include "run/lookup_run.h"
#include "shared_folder/helper_client.posix.h"
#include "system/error.h"
#include "texts.h"

namespace keil::test {

std::vector<TextCase> PlatformTexts(const Names& n) {
    return {
        {"BrokeOffBySignal", [=] { ThrowBrokeOff(n.folder + "Lief-adr.exe", "das Signal 25 (SIGXFSZ)"); }},
        {"ReachedTheFileSizeLimit", [=] { ThrowReachedLimit(n.file, 2147483647); }},
        {"HelperEnded", [=] { ThrowHelperEnded(n.helper); }},
        {"HelperNotAnswering", [=] { ThrowHelperNotAnswering(n.helper, 4194303); }},
        {"ExchangeHelper", [=] { ThrowExchangeHelper(n.helper, n.folder); }},
        {"ForeignEntry",
         [=] { ThrowRefusedEntry(n.folder + "planted.dll", Place::kInside, {Verdict::kForeignOwner, "", 0},
                                 "dem Benutzer „" + n.user + "“", ""); }},
        {"EntryTooWide",
         [=] { ThrowRefusedEntry(n.folder + "Lief-adr.exe", Place::kInside, {Verdict::kTooWide, "gid:50", 0x2}, "",
                                 "Die Gruppe „" + n.user + "“"); }},
        {"FolderTooWide",
         [=] { ThrowRefusedEntry(n.folder, Place::kFolder, {Verdict::kTooWide, "uid:1001", 0x2}, "",
                                 "Der Benutzer „" + n.user + "“"); }},
        {"EntryCannotBeChecked", [=] { ThrowCannotCheck(13, n.folder + "x.dll", Place::kInside); }},
        {"FolderAboveCannotBeChecked", [=] { ThrowCannotCheck(13, n.folder, Place::kAbove); }},
        {"FolderAboveTooWide",
         [=] { ThrowRefusedEntry("/c", Place::kAbove, {Verdict::kTooWide, "S-1-1-0", 0x40}, "",
                                 "Jeder Benutzer des Rechners"); }},
        {"ForeignFolderAbove",
         [=] { ThrowRefusedEntry("/c", Place::kAbove, {Verdict::kForeignOwner, "", 0}, "dem Benutzer „" + n.user + "“",
                                 ""); }},
        {"NoWine32", [=] { ThrowNoWine32(n.folder + "Lief-adr.exe"); }},
        {"OtherDriveFolder",
         [=] { ThrowOtherDriveFolder("/home/" + n.user + "/.wine/drive_c/fibu", n.folder); }},
        {"HelperUnreadable", [=] { ThrowSystemError(5, "Das Hilfsprogramm " + Quoted(n.helper) + " kann nicht geprüft werden"); }},
    };
}

}  // namespace keil::test
