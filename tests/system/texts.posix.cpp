#include "folder_check/folder_guard.h"
#include "run/lookup_run.h"
#include "shared_folder/helper_client.posix.h"
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
         [=] { ThrowRefusedEntry(n.folder + "planted.so", false, {Verdict::kForeignOwner, "", 0},
                                 "dem Benutzer „" + n.user + "“", ""); }},
        {"EntryTooWide",
         [=] { ThrowRefusedEntry(n.folder + "Lief-adr.exe", false, {Verdict::kTooWide, "gid:50", 0x2}, "",
                                 "Die Gruppe „" + n.user + "“"); }},
        {"FolderTooWide",
         [=] { ThrowRefusedEntry(n.folder, true, {Verdict::kTooWide, "S-1-1-0", 0x2}, "", "Jeder Benutzer des Rechners"); }},
    };
}

}  // namespace keil::test
