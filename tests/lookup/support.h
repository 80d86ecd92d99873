#pragma once

// Shared pieces of the lookup tests: the lookup folder, files in it, a
// window that records the operations, and checks for leaked descriptors
// and zombies.

#include <ostream>
#include <string>
#include <vector>

#include "case_name.h"
#include "lookup_run.h"

namespace keil::test {

// The lookup folder of this build, emptied, with `program` (by default the
// fake lookup program) placed as Lief-adr.exe. Each line of `mode` is an
// instruction to the fake lookup program.
void PrepareFolder(const std::string& mode = "", const std::string& program = KEIL_FAKE_LOOKUP);
void RemoveFolder();
std::string InFolder(const std::string& name);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// One value of the fake lookup program's report ("request", "argv0", …).
std::string ReportValue(const std::string& key);

// Lines ended by `ending`, each line in turn.
std::string Lines(const std::vector<std::string>& lines, const std::string& ending = "\r\n");
// The bytes of `s` widened one to one into 16-bit characters.
std::u16string Widen(const std::string& s);

int CountOpenDescriptors();
// True when this process has no child at all, ended or running.
bool NoChildLeft();

// A response laid out as the lookup program lays it out: twelve lines ended
// by CR LF, the third "Firma", three blanks and `name`. Its block is `name`
// CR LF and the lines "Zeile 4" to "Zeile 10", each with CR LF.
std::string SampleScreen(const std::string& name = "Muster GmbH");
std::string SampleBlock(const std::string& name = "Muster GmbH");

// The lookup folder prepared so that the fake lookup program writes
// `response`; `moreMode` adds further instructions.
void PrepareResponse(const std::string& response, const std::string& moreMode = "");

// The window operations of a run that went to its end, with and without a
// new result text, and of a run that an error left early.
using OperationLog = std::vector<std::string>;
inline const OperationLog kCompleteRun = {"1:off", "2:off", "text", "1:on", "2:on"};
inline const OperationLog kRunWithoutText = {"1:off", "2:off", "1:on", "2:on"};
inline const OperationLog kFailedRun = {"1:off", "2:off"};

// Records the window operations in the order of the calls.
class RecordingWindow : public WindowOperations {
public:
    void SetRecord1Enabled(bool enabled) override { log.push_back(enabled ? "1:on" : "1:off"); }
    void SetRecord2Enabled(bool enabled) override { log.push_back(enabled ? "2:on" : "2:off"); }
    void SetResultText(const std::u16string& text) override {
        log.push_back("text");
        shown = text;
    }
    std::vector<std::string> log;
    std::u16string shown = u"before";
};

}  // namespace keil::test
