#pragma once

// Keeps Wine ready while the Linux window is open. A Windows lookup program
// runs under Wine, which the kernel starts for it (binfmt_misc). Once the
// user's last Wine process has ended, Wine stops its server and services,
// and the next lookup pays more than a second to start them again; one idle
// Wine process of the window's own keeps them running, so that a lookup
// takes a fraction of that.

#include <string>
#include <string_view>
#include <vector>

#include "system/unique_fd.posix.h"

namespace keil {

class WineKeeper {
public:
    // When `program` is a Windows program (its file begins with "MZ") and
    // the kernel hands such programs to an interpreter, starts that
    // interpreter with Wine's command interpreter, idle, in the background:
    // the same Wine and prefix (the environment's WINEPREFIX, or Wine's
    // default) as the lookup program gets. It reads from a pipe of this
    // process's and ends when the pipe closes: when this object goes, or
    // this process ends however it ends. Nothing is started for any other
    // program, and a start that fails leaves nothing behind and is not
    // reported: the lookups go on as without it.
    explicit WineKeeper(const std::string& program, const std::string& binfmtFolder = "/proc/sys/fs/binfmt_misc");

    // The kept process's ID, or 0 when nothing is kept.
    int pid() const noexcept { return pid_; }

private:
    void Start(const std::string& program, const std::string& binfmtFolder);

    // The writing end of the kept process's input. When it closes, the
    // process reads the end of its input and ends; should this process live
    // on, its zombie is reaped once this one ends.
    UniqueFd pipe_;
    int pid_ = 0;
};

}  // namespace keil
