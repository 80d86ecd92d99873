#include "run/lookup_run.h"

#include <vector>

#include "folder_check/folder_guard.h"
#include "process/launcher.h"
#include "process/process_wait.h"
#include "run/checked.h"
#include "run/extract.h"
#include "shared_folder/exchange_file.h"

namespace keil {
namespace {

constexpr const char16_t* kRequestWord = u"adr";
constexpr std::int32_t kCarriageReturn = 13;

// The one-character string whose character has the given code.
std::u16string CharFromCode(std::int32_t code) {
    if (code < 0 || code > 0xFFFF) ThrowRange();
    return std::u16string(1, static_cast<char16_t>(code));
}

// The request text as bytes, one for each (ASCII) character.
std::vector<std::uint8_t> AsciiBytes(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size());
    for (const char16_t c : text) {
        if (c > 0x7F) ThrowRange();
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    return bytes;
}

std::u16string RequestText(const char16_t* recordNumber) {
    return kRequestWord + CharFromCode(kCarriageReturn) + recordNumber;
}

}  // namespace

void RunLookup(const std::u16string& request, const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show) {
    // Before anything in the folder changes: nothing that another clerk
    // placed there, or may change, may run or be loaded.
    const FolderGuard guard(place.folder, place.helper);
    const CommandParts command = SplitCommandLine(place.commandLine);
    // One run at a time uses the exchange files, whichever copy of the
    // program it belongs to; the lock goes with them, at the run's end or
    // error.
    ExchangeFiles files({command.input, command.output, place.folder, place.helper}, &hooks);
    files.request.Write(AsciiBytes(request));
    // A full disk cannot cut the response short within this room.
    const std::int64_t reserved = files.response.ReserveRoom(kResponseRoom);

    ProcessEnd end;
    {
        LaunchedProcess process = StartProgram(command.program, files.request.native(), files.response.native());
        const std::int32_t processId = CheckedInt32(process.id());
        hooks.Waiting(WaitingFor::kOwnLookup, "");
        end = WaitForProcessExit(processId, &hooks);
    }
    // A program's own exit code, non-zero or -1, does not change the
    // course of the run; a program that broke off may have left its
    // screen half written, and the lines above the cut would be taken
    // for the record.
    if (BrokeOff(end)) ThrowBrokeOff(command.program, BreakOffCause(end));

    const std::vector<std::uint8_t> response = files.response.ReadAll();
    if (ResponseMayBeCutShort(static_cast<std::int64_t>(response.size()), reserved, files.response.FreeRoom())) {
        ThrowCutShort(files.response.path());
    }
    // A lookup program that wrote nothing gave no record: the box must
    // not go on showing an earlier lookup's record as if it were this one.
    if (response.empty()) ThrowEmptyResponse(end.exitCode);
    show(FindResultBlock(response));

    files.Remove();
}

void cmdRecord1_Click(const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show) {
    RunLookup(RequestText(u"1"), place, hooks, show);
}

void cmdRecord2_Click(const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show) {
    RunLookup(RequestText(u"2"), place, hooks, show);
}

void ThrowEmptyResponse(std::int32_t exitCode) {
    if (exitCode == 0) {
        throw Error(kErrRange, std::string("Das Suchprogramm hat keine Antwort geschrieben, deshalb lässt sich keine "
                                           "Adresse anzeigen. ") + kRestartThenReport);
    }
    throw Error(kErrRange, "Das Suchprogramm hat keine Antwort geschrieben und endete mit dem Rückgabewert " +
                               std::to_string(exitCode) + ", deshalb lässt sich keine Adresse anzeigen. " +
                               kTellSupport);
}

void ThrowBrokeOff(const std::string& program, const std::string& cause) {
    throw Error(kErrBrokeOff, "Das Suchprogramm " + Quoted(program) + " ist durch " + cause +
                                  " abgebrochen worden; seine Antwort kann unvollständig sein. Deshalb wird keine "
                                  "Adresse angezeigt, und die Austauschdateien bleiben zur Prüfung liegen. " +
                                  kTellSupport);
}

void ThrowCutShort(const std::string& path) {
    throw Error(kErrCutShort, "Der Datenträger der " + std::string(kResponseRole) + " " + Quoted(path) +
                                  " ist voll geworden, während das Suchprogramm schrieb; seine Antwort kann "
                                  "unvollständig sein. Deshalb wird keine Adresse angezeigt. Bitten Sie Ihre "
                                  "IT-Betreuung, Platz zu schaffen, und suchen Sie danach erneut.");
}

}  // namespace keil
