#pragma once

// Linux: a Windows lookup program runs under Wine, which the kernel starts
// for it (binfmt_misc). What the start needs to know of that, and makes
// ready for it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace keil {

// The interpreter that the kernel hands `program` to: the first of the
// binfmt_misc `entries` (each the text of one entry's file) that is
// enabled and matches the program's first bytes `head` (its magic at its
// offset, under its mask) or the extension of its name. "" for none.
std::string BinfmtInterpreter(std::string_view head, std::string_view program, const std::vector<std::string>& entries);

// The entries registered in the binfmt_misc folder `folder`, in the order
// of their names; none while it is not mounted or not enabled.
std::vector<std::string> BinfmtEntries(const std::string& folder);

// The first `most` bytes of the plain file at `path`; "" for anything
// else. Opened without blocking and without following a link, so that a
// named pipe at the lookup program's name cannot hold the window.
std::string ReadStart(const std::string& path, std::size_t most);

// The machine that a Windows program's first bytes `head` name in its PE
// header (0x14c: 32-bit x86, 0x8664: x64); 0 when they are not a Windows
// program's, or end before its header.
std::uint16_t PeMachine(std::string_view head);

// Where the start looks for what Wine needs: the kernel's binfmt_misc
// folder, and the loader that runs 32-bit programs (Debian's package
// wine32:i386 installs it; wine64 alone cannot run them).
struct WinePlaces {
    std::string binfmtFolder = "/proc/sys/fs/binfmt_misc";
    std::string loader32 = "/usr/lib/wine/wine";
};

// The Wine prefix that a program started with this environment uses:
// WINEPREFIX, or ~/.wine; "" when neither is known.
std::string WinePrefix();

// Makes Wine ready for `program` of the lookup folder `folder` when the
// kernel hands it to Wine, before it starts; does nothing for any other
// program. A 32-bit program where Wine's 32-bit loader is missing raises
// kErrNoWine32, which names the package. In the Wine prefix `prefix`,
// `drive_c/fibu`, which the program knows as C:\fibu, must lead to the
// lookup folder: it is made a symbolic link to it when it is missing, and
// anything else there raises kErrOtherDriveFolder, which names it; it is
// never replaced.
void PrepareForWine(const std::string& program, const std::string& folder, const std::string& prefix,
                    const WinePlaces& places = {});

// Raises kErrNoWine32 for the 32-bit lookup program `program`.
[[noreturn]] void ThrowNoWine32(const std::string& program);

// Raises kErrOtherDriveFolder: `link`, C:\fibu of the Wine prefix, leads
// elsewhere than to the lookup folder `folder`.
[[noreturn]] void ThrowOtherDriveFolder(const std::string& link, const std::string& folder);

}  // namespace keil
