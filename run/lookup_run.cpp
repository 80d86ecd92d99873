#include "lookup_run.h"

#include <vector>

#include "checked.h"
#include "exchange_file.h"
#include "extract.h"
#include "fixed_paths.h"
#include "folder_guard.h"
#include "launcher.h"
#include "process_wait.h"
#include "responsive_wait.h"

namespace keil {
namespace {

constexpr const char16_t* kRequestWord = u"adr";
constexpr std::int32_t kCarriageReturn = 13;

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

std::u16string CharFromCode(std::int32_t code) {
    if (code < 0 || code > 0xFFFF) ThrowRange();
    return std::u16string(1, static_cast<char16_t>(code));
}

void RunLookup(WindowOperations& window, const std::u16string& request) {
    window.SetRecord1Enabled(false);
    window.SetRecord2Enabled(false);

    {
        const WaitingWindow waiting(window);
        // Before anything in the folder changes: nothing that another clerk
        // placed there, or may change, may run or be loaded.
        const FolderGuard guard(FibuDir());
        const CommandParts command = SplitCommandLine(JoinCommandLine());
        // One run at a time uses the exchange files, whichever copy of the
        // program it belongs to; the lock goes with them, at the run's end
        // or error.
        ExchangeFiles files(command.input, command.output);
        files.request.Write(AsciiBytes(request));
        // A full disk cannot cut the response short within this room.
        const std::int64_t reserved = files.response.ReserveRoom(kResponseRoom);

        ProcessEnd end;
        {
            LaunchedProcess process = StartProgram(command.program, files.request.native(), files.response.native());
            const std::int32_t processId = CheckedInt32(process.id());
            const WaitNotice notice(WaitingFor::kOwnLookup);
            end = WaitForProcessEnd(processId);
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
        window.SetResultText(ExtractResultBlock(response));

        files.Remove();
    }

    window.SetRecord1Enabled(true);
    window.SetRecord2Enabled(true);
}

void cmdRecord1_Click(WindowOperations& window) { RunLookup(window, RequestText(u"1")); }

void cmdRecord2_Click(WindowOperations& window) { RunLookup(window, RequestText(u"2")); }

}  // namespace keil
