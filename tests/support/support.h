#pragma once

// Shared pieces of the lookup tests: the lookup folder and files in it, a
// window that records the operations, and the facts of each platform.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "run/lookup_run.h"
#include "shared_folder/exchange_file.h"
#include "shared_folder/fixed_paths.h"
#include "system/error.h"
#include "window/wait_notice.h"

namespace keil::test {

inline std::string InFolder(const std::string& name) { return FibuDir() + name; }

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline bool FileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

// Removes the lookup folder and all in it, entries that the platform
// cannot open included.
void RemoveFolder();

// A file beside the lookup folder, which no lookup may touch.
inline std::string OutsideFile() {
    return (std::filesystem::path(FibuDir()).parent_path().parent_path() / "outside.txt").string();
}

// The lookup folder of this build, emptied, with `program` (by default the
// fake lookup program) placed as Lief-adr.exe and `mode` as its
// instructions.
inline void PrepareFolder(const std::string& mode = "", const std::string& program = KEIL_FAKE_LOOKUP) {
    RemoveFolder();
    std::filesystem::create_directories(FibuDir());
    std::filesystem::copy_file(program, InFolder("Lief-adr.exe"));
    WriteFileBytes(InFolder("fake-mode.txt"), mode);
}

// The same, with the fake lookup program set to write `response`.
inline void PrepareResponse(const std::string& response, const std::string& moreMode = "") {
    PrepareFolder("respond answer.bin\n" + moreMode);
    WriteFileBytes(InFolder("answer.bin"), response);
}

// The bytes of `s` widened one to one into 16-bit characters.
inline std::u16string Widen(const std::string& s) {
    std::u16string wide;
    for (const char c : s) wide += static_cast<unsigned char>(c);
    return wide;
}

// A response laid out as the lookup program lays it out: twelve lines ended
// by CR LF, the third "Firma", three blanks and `name`. Its block is `name`
// CR LF and the lines "Zeile 4" to "Zeile 10", each with CR LF.
inline std::string SampleBlock(const std::string& name = "Muster GmbH") {
    std::string block = name + "\r\n";
    for (int i = 4; i <= 10; ++i) block += "Zeile " + std::to_string(i) + "\r\n";
    return block;
}
inline std::string SampleScreen(const std::string& name = "Muster GmbH") {
    return "Kopf 1\r\nKopf 2\r\nFirma   " + SampleBlock(name) + "Zeile 11\r\nZeile 12\r\n";
}

// The number and text of the error that `action` raised; 0 and "" when it
// raised none.
struct Raised {
    std::int32_t number = 0;
    std::string text;
};
template <class Action>
Raised Catch(Action&& action) {
    try {
        action();
    } catch (const Error& e) {
        return {e.number(), e.text()};
    }
    return {};
}

// The exchange files of this build's lookup folder, as a run uses them.
inline ExchangePlace FixedExchangePlace() {
    return {RequestFilePath(), ResponseFilePath(), FibuDir(), HelperPath()};
}

// Platform facts: which platform this is; the system's error numbers of a
// missing file, a missing folder, a program file that holds no program and
// a full disk;
// the ways it waits for a process.
enum Platform { kBothPlatforms, kPosixOnly, kWindowsOnly };
extern const Platform kThisPlatform;
extern const std::int32_t kErrNoFile, kErrNoFolder, kErrNotAProgram, kErrDiskFull;
// System error numbers that a clerk may meet, each with its kind; one with
// a message that has an insert on Windows ("%1"), and one of the kind
// kOther on every platform.
using SystemFaultCase = std::pair<std::int32_t, SystemFault>;
extern const std::vector<SystemFaultCase> kSystemFaults;
struct Wait {
    const char* name;
    std::int32_t (*wait)(std::int32_t processId);
};
extern const std::vector<Wait> kWaits;

// Whether a table row marked for `only` runs on this platform.
inline bool OnThisPlatform(Platform only) { return only == kBothPlatforms || only == kThisPlatform; }

// Open descriptors or handles of this process.
int CountOpenHandles();
// True when this process has no child at all, ended or running.
bool NoChildLeft();
// Returns once the ID of an ended and waited-for process names none.
void WaitUntilGone(std::int32_t processId);
// Gives this process what a careless launcher would pass on to the lookup
// program (on POSIX an inheritable descriptor, an ignored and a blocked
// signal, and no standard input), and returns what the fake lookup program
// then reports of its start when the launcher passed none of it on.
std::string GiveThisProcessInheritables();
// Interrupts this process by a signal every few milliseconds from now on,
// or no more, where the platform has signals.
void InterruptThisProcessOften(bool on);
// Makes a named pipe at `path`, where the platform has them in its file
// system.
void MakeNamedPipe(const std::string& path);
// Makes an entry at `path` that shows in its folder but cannot be opened,
// where the platform has such entries and cares (Windows under Wine).
void MakeUnopenableEntry(const std::string& path);
// Makes the file at `path` readable by all and, where this process may give
// it away (root on POSIX), another user's.
void GiveToAnotherUser(const std::string& path);
// Lets everybody write the file or folder at `path`: its mode's write bit
// for others (under Wine that shows as Everyone's right to write).
void LetEveryoneWrite(const std::string& path);

// Whether another process or thread could take the lookup folder's lock
// now (POSIX: flock on the folder; Windows: its mutex).
bool FolderLockIsFree();

// Limits the size of the files that this process and what it starts may
// write to `bytes`, where the platform has such a limit; 0 gives back the
// limit it had.
void LimitFileSize(std::int64_t bytes);

// Whether this process runs as root (POSIX), as the rows that give files
// away or make a small disk need.
bool RunsAsRoot();
// Puts the lookup folder, with the files in it, on a disk of its own with
// `free` bytes left, for the lifetime of this object (POSIX, as root: a
// tmpfs mounted over it); nothing for a negative `free`. It refuses a
// folder that is a mount point already.
class SmallDisk {
public:
    explicit SmallDisk(std::int64_t free);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

private:
    bool mounted_ = false;
};

// Stands in for the window that a run hands its block and whose hooks its
// waits call: counts the turns, shows the words that the window would show
// and notes the block. One lookup at a time; each clerk's notice starts
// with her lookup.
class Recorder : public WaitHooks {
public:
    void Pump() override {
        ++waits;
        if (const auto words = notice_.Due(WaitNotice::Clock::now())) {
            notices.push_back(words->text + (words->speak ? " (spoken)" : ""));
        }
    }
    bool Cancelled() override { return false; }
    void Waiting(WaitingFor what, const std::string& holder) override { notice_.Now(what, holder); }

    // Notes the block as its bytes.
    ShowBlock Show() {
        return [this](std::span<const std::uint8_t> block) {
            shown.assign(block.begin(), block.end());
            ++shows;
        };
    }
    // A lookup of record 1 or 2 in this build's lookup folder.
    void LookUp(int record) {
        notice_ = WaitNotice();
        (record == 1 ? cmdRecord1_Click : cmdRecord2_Click)(FixedLookupPlace(), *this, Show());
    }

    // The first words that a screen reader was to speak, or "".
    std::string FirstSpoken() const {
        for (const std::string& words : notices) {
            if (words.ends_with(" (spoken)")) return words;
        }
        return "";
    }

    std::string shown = "before";
    int shows = 0;
    std::vector<std::string> notices;
    int waits = 0;

private:
    WaitNotice notice_;
};

}  // namespace keil::test
