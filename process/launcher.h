#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "process/process_wait.h"
#include "system/native_handle.h"

namespace keil {

// The three parts of a command line "PROGRAM <INPUT >OUTPUT".
struct CommandParts {
    std::string program;
    std::string input;
    std::string output;
};

// Splits a command line at its first " <" and its last " >". A line without
// both signs, or with an empty part, raises an error.
CommandParts SplitCommandLine(const std::string& commandLine);

// The folder of a program's path, with its closing separator; "" for a
// bare name.
std::string FolderOf(const std::string& program);

// The largest response the run reads, 2 GiB less one byte: its size must
// fit 32 bits. On Linux the lookup program cannot write a larger file.
inline constexpr std::int64_t kLargestResponse = std::numeric_limits<std::int32_t>::max();

// A started lookup program, and what it starts in turn. It keeps what the
// platform needs so that the process ID cannot name another process until
// the wait has taken over, and so that what the program starts can be
// waited for and ended with it: on POSIX its process group and what leaves
// the group (this process is the subreaper of what the program leaves
// behind), on Windows the job of the run. When it goes, whatever of it
// still runs (the run is leaving early) is ended.
class LaunchedProcess {
public:
    LaunchedProcess(LaunchedProcess&& other) noexcept;
    LaunchedProcess& operator=(LaunchedProcess&&) = delete;
    LaunchedProcess(const LaunchedProcess&) = delete;
    LaunchedProcess& operator=(const LaunchedProcess&) = delete;
    ~LaunchedProcess();

    std::int64_t id() const noexcept { return id_; }

    // The size of the largest file the program may write: its file-size
    // limit on POSIX, where a write beyond fails; a response that reached it
    // may be cut. Beyond kLargestResponse where the platform sets none.
    std::int64_t largestFile() const noexcept;

    // Waits until the program has ended (WaitForProcessExit), and then
    // until everything that it started has ended too, telling `hooks`
    // (where there are any) that it waits for kStartedByLookup, with the
    // name of one that still runs. Returns how the program itself ended.
    ProcessEnd WaitForAll(WaitHooks* hooks);

    // What the platform keeps of it.
    struct Started;
    LaunchedProcess(std::int64_t id, std::unique_ptr<Started> started) noexcept;

private:
    std::int64_t id_;
    std::unique_ptr<Started> started_;
};

// Starts `program` without a shell and without a visible window, in the
// program's own folder: standard input the file open at `input`, standard
// output the one open at `output` (the very request and response files
// that the run holds), and standard error the one this program has. Returns as soon as
// the program runs. A program that cannot be started raises an Error with
// the system's number and text, and leaves no process behind.
// The program never outlives this one: on Windows it runs in a job of its
// own that ends with this program; on POSIX the kernel ends it when this
// program ends (the parent's death signal), it runs in a process group of
// its own, and it cannot write a file larger than kLargestResponse (a
// lower limit of the session's stays). POSIX: `folder`, the program's
// folder as the folder check opened it, is the folder the program starts
// in and is started from by its name, so that a path changed since the
// check cannot lead elsewhere; kNoHandle starts it by its path (Windows
// always: the check there holds the path's folders open instead).
LaunchedProcess StartProgram(const std::string& program, NativeHandle input, NativeHandle output,
                             NativeHandle folder = kNoHandle);

// Raises the error that the lookup program `program` cannot be started:
// the system error `code`, with what the clerk or the IT support does.
[[noreturn]] void ThrowStartError(std::int32_t code, const std::string& program);

// POSIX: ends a running lookup program and what it started, in its process
// group or out of it, when this program is ended by SIGTERM, SIGHUP (a
// logout), SIGINT or SIGQUIT. Signals that this program was started
// ignoring stay ignored. (SIGKILL leaves the parent's death signal, which
// ends the lookup program itself.)
void EndLookupProgramWithThisProgram();

}  // namespace keil
