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

// The window's hooks, with the response's room kept at every turn.
class KeepingRoom : public WaitHooks {
public:
    KeepingRoom(WaitHooks& hooks, ResponseRoom& room) : hooks_(hooks), room_(room) {}
    void Pump() override {
        room_.Keep();
        hooks_.Pump();
    }
    bool Cancelled() override { return hooks_.Cancelled(); }
    std::optional<Waited> WaitWith(NativeHandle handle, std::chrono::milliseconds limit) override {
        return hooks_.WaitWith(handle, limit);
    }
    void Waiting(WaitingFor what, const std::string& holder) override { hooks_.Waiting(what, holder); }

private:
    WaitHooks& hooks_;
    ResponseRoom& room_;
};

}  // namespace

void RunLookup(const std::u16string& request, const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show) {
    // Before anything in the folder changes: nothing that another clerk
    // placed there, or may change, may run or be loaded.
    const CommandParts command = SplitCommandLine(place.commandLine);
    const std::string programFolder = FolderOf(command.program);
    const FolderGuard guard(place.folder, command.program.substr(programFolder.size()), place.helper);
    // One run at a time uses the exchange files, whichever copy of the
    // program it belongs to; the lock goes with them, at the run's end or
    // error.
    ExchangeFiles files({command.input, command.output, place.folder, place.helper}, &hooks);
    files.request.Write(AsciiBytes(request));
    // A full disk cannot cut the response short while it stays within the
    // room reserved ahead of it.
    ResponseRoom room(files.response);

    ProcessEnd end;
    std::int64_t largestFile = 0;
    {
        LaunchedProcess process =
            StartProgram(command.program, files.request.native(), files.response.native(),
                         programFolder == place.folder ? guard.folder() : kNoHandle);
        CheckedInt32(process.id());
        largestFile = process.largestFile();
        hooks.Waiting(WaitingFor::kOwnLookup, "");
        // Read only once everything the lookup program started has ended,
        // and with it every write into the response.
        KeepingRoom keeping(hooks, room);
        end = process.WaitForAll(&keeping);
    }
    room.Keep();
    // A program's own exit code, non-zero or -1, does not change the
    // course of the run; a program that broke off may have left its
    // screen half written, and the lines above the cut would be taken
    // for the record. So would the lines above a write that failed for
    // room, or at the file-size limit.
    if (BrokeOff(end)) ThrowBrokeOff(command.program, BreakOffCause(end));
    if (room.verdict() == ResponseRoom::Verdict::kDiskFull) ThrowCutShort(files.response.path());
    if (room.verdict() == ResponseRoom::Verdict::kOutran) ThrowOutran(files.response.path());
    const std::vector<std::uint8_t> response = files.response.ReadAll();
    if (static_cast<std::int64_t>(response.size()) >= largestFile) {
        ThrowReachedLimit(files.response.path(), largestFile);
    }
    // A lookup program that wrote nothing gave no record: the box must
    // not go on showing an earlier lookup's record as if it were this one.
    if (response.empty()) ThrowEmptyResponse(end);
    show(FindResultBlock(response));

    files.Remove();
}

void cmdRecord1_Click(const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show) {
    RunLookup(RequestText(u"1"), place, hooks, show);
}

void cmdRecord2_Click(const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show) {
    RunLookup(RequestText(u"2"), place, hooks, show);
}

void ThrowEmptyResponse(const ProcessEnd& end) {
    if (end.exitCode == 0 || !end.opened) {
        throw Error(kErrRange, std::string("Das Suchprogramm hat keine Antwort geschrieben, deshalb lässt sich keine "
                                           "Adresse anzeigen. ") + kRestartThenReport);
    }
    throw Error(kErrRange, "Das Suchprogramm hat keine Antwort geschrieben und hat mit dem Rückgabewert " +
                               std::to_string(end.exitCode) + " geendet, deshalb lässt sich keine Adresse anzeigen. " +
                               kRestartThenReport);
}

void ThrowBrokeOff(const std::string& program, const std::string& cause) {
    throw Error(kErrBrokeOff, "Das Suchprogramm " + Quoted(program) + " wurde durch " + cause +
                                  " vorzeitig beendet; seine Antwort kann unvollständig sein. Deshalb wird keine "
                                  "Adresse angezeigt, und die Austauschdateien bleiben bis zur nächsten Suche zur "
                                  "Prüfung liegen. Starten Sie den Keilbrecher neu und suchen Sie erneut; endet das "
                                  "Suchprogramm wieder so, melden Sie den Fehler Ihrer IT-Betreuung.");
}

void ThrowOutran(const std::string& path) {
    throw Error(kErrCutShort, "Das Suchprogramm hat schneller in die " + std::string(kResponseRole) + " " +
                                  Quoted(path) + " geschrieben, als der Keilbrecher Platz für sie reservieren "
                                  "konnte; ob der Datenträger seine Antwort abgeschnitten hat, lässt sich nicht "
                                  "sagen. Deshalb wird keine Adresse angezeigt. " + kRestartThenReport);
}

void ThrowReachedLimit(const std::string& path, std::int64_t limit) {
    throw Error(kErrResponseTooLarge, "Die " + std::string(kResponseRole) + " " + Quoted(path) + " hat mit " +
                                          Grouped(limit) + "\u00A0Bytes die Größe erreicht, die das Suchprogramm "
                                          "höchstens schreiben darf; ihr Ende kann fehlen. Deshalb wird keine "
                                          "Adresse angezeigt. " + kTellSupport);
}

void ThrowCutShort(const std::string& path) {
    throw Error(kErrCutShort, "Der Datenträger der " + std::string(kResponseRole) + " " + Quoted(path) +
                                  " war voll oder fast voll, während das Suchprogramm schrieb; seine Antwort kann "
                                  "unvollständig sein. Deshalb wird keine Adresse angezeigt. Bitten Sie Ihre "
                                  "IT-Betreuung, Platz zu schaffen, und suchen Sie danach erneut.");
}

}  // namespace keil
