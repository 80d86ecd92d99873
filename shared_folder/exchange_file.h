#pragma once

// An exchange file of one lookup run: the request file or the response
// file. The run makes it new, holds it from its creation to its deletion,
// and does all its reading, writing and deleting through the descriptor or
// handle it holds, never again by the file's name. Clerks who share the
// lookup folder therefore cannot change what the run wrote or what it
// reads, and the deletion removes only the file the run made.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "process/wait.h"
#include "system/native_handle.h"

namespace keil {

class ExchangeFiles;

// The exchange files' names in the program's messages.
inline constexpr const char* kRequestRole = "Anfragedatei";
inline constexpr const char* kResponseRole = "Antwortdatei";

// Where a run's exchange files lie, and who makes them there.
struct ExchangePlace {
    std::string request;   // the request file's path, in.txt
    std::string response;  // the response file's path, out.txt
    std::string folder;    // the lookup folder, whose lock goes with them
    std::string helper;    // POSIX: the helper that alone writes the folder
};

// The room reserved for a response before its program starts, and kept
// reserved ahead of what it writes: the screen of a console program fits
// many times over. A console's screen buffer holds at most 9,999 lines in
// its properties, which at 200 columns and CR LF are about 2 MB.
inline constexpr std::int64_t kResponseRoom = std::int64_t{4} << 20;

// One exchange file of a run, made by ExchangeFiles.
class ExchangeFile {
public:
    ~ExchangeFile();
    ExchangeFile(const ExchangeFile&) = delete;
    ExchangeFile& operator=(const ExchangeFile&) = delete;

    // Writes `bytes` at the file's start and leaves its position there, so
    // that a program that takes it as standard input reads them from the
    // start.
    void Write(std::span<const std::uint8_t> bytes);

    // The whole file, read from offset 0 whatever the position that it
    // shares with a started program. A file of 2^31 bytes or more raises an
    // error instead of being read; a buffer that cannot be made raises the
    // allocation error.
    std::vector<std::uint8_t> ReadAll() const;

    // Reserves room for the file's first `end` bytes, without making it
    // longer, so that a program writing into it cannot fail for room up to
    // that size. kNoRoom when the disk lacks it; kCannot where the file
    // system cannot reserve (a network share, Wine).
    enum class Reserved { kDone, kNoRoom, kCannot };
    Reserved Reserve(std::int64_t end);

    // The bytes that this user may still write on the file's file system.
    std::int64_t FreeRoom() const;

    // The file's size now.
    std::int64_t Size() const;

    const std::string& path() const noexcept { return path_; }
    // The descriptor (POSIX) or handle (Windows), for the launcher.
    NativeHandle native() const noexcept { return handle_; }

private:
    friend class ExchangeFiles;

    // Not made yet: ExchangeFiles makes it and hands the handle over.
    ExchangeFile(const std::string& path, const char* role);

    std::string path_;
    std::string role_;
    std::filesystem::path nativePath_;  // the name in the system's own encoding
    NativeHandle handle_ = kNoHandle;
    // Made by this run, rather than found in place (Windows); on POSIX until
    // the run removed it.
    bool made_ = false;
};

// The request file and the response file of one lookup run, made under the
// folder's lock, which goes with them: the run's own, so that one run at a
// time uses them (on Linux the helper takes it with the making,
// and holds it until the removal). They are taken in this order; the response file is not touched when the request file
// fails, and a request file made new is removed again when the response
// file fails. Each is held, readable and writable, for a started program to
// inherit.
// - On POSIX the helper (see helper_client.posix.h) makes both
//   new, with mode 0600, so that nobody but this user may open them. A
//   leftover plain file at a name is removed; anything else there (a
//   symbolic link, a folder, a named pipe, a device) raises
//   kErrNotPlainFile and stays as it is, and so does what it leads to.
// - On Windows each is shared for reading only, so that no other process
//   may write, rename or delete it while the run holds it. A file that
//   stands at its name already (an administrator made it once on a shared
//   server, where clerks may not create files in the folder) is opened as
//   it is, checked and emptied; anything but a plain file with a single
//   link raises kErrNotPlainFile and stays as it is. Where nothing stands,
//   the file is created exclusively.
// Waiting for the lock, `hooks` (where there are any) get their turn and
// are told whose run holds the folder.
class ExchangeFiles {
    // What holds the folder's lock for the run (the mutex on Windows).
    struct Lock;
    std::unique_ptr<Lock> lock_;

public:
    ExchangeFiles(const ExchangePlace& place, WaitHooks* hooks);
    // On POSIX, files that were not removed (the run ended with an error)
    // end the helper, which lets go of the folder's lock.
    ~ExchangeFiles();
    ExchangeFiles(const ExchangeFiles&) = delete;
    ExchangeFiles& operator=(const ExchangeFiles&) = delete;

    // Deletes the request file, then the response file: each only the file
    // that this object made. A name that holds another file (another
    // program replaced it) raises kErrReplaced and deletes nothing more; a
    // name that holds nothing is the system's error. On Windows a file that
    // stood there before the run is emptied instead, through the handle.
    void Remove();

    ExchangeFile request;
    ExchangeFile response;

private:
    ExchangePlace place_;
};

// The room of the response file: kResponseRoom reserved before its
// program starts, and more whenever the response has come within half of
// that of the reservation's end, at every turn of the wait (Keep). A
// response that reached the end of what was reserved at a turn may have
// lost a write for room; a response that stayed within it cannot have.
// Where the file system cannot reserve, the disk's free room is looked at
// instead at every turn: a response is believed while it never fell below
// kResponseRoom. No room for the first reservation raises the disk-full
// error.
class ResponseRoom {
public:
    explicit ResponseRoom(ExchangeFile& response);

    // At a turn of the wait, and once after the program and all it started
    // have ended.
    void Keep();

    // What the watch has seen of the response, once its program has ended.
    enum class Verdict {
        kWhole,     // no write can have failed for room
        kDiskFull,  // the disk was full or nearly so while the response grew
        kOutran,    // the response reached the reservation's end though the disk had room
    };
    Verdict verdict() const;

private:
    ExchangeFile& response_;
    bool reserving_ = true;
    std::int64_t reservedEnd_ = 0;
    bool outran_ = false;
    bool low_ = false;
};

// Raises the error that no buffer can be made for the response.
[[noreturn]] void ThrowAllocation();

// The error for the exchange file `role` (kRequestRole, kResponseRole)
// at `path`, which is `found` ("ein Ordner", …) instead of a plain file
// with a single link.
[[noreturn]] void ThrowNotPlainFile(const std::string& role, const std::string& path, const std::string& found);

// Another program put a file of its own at the name of the exchange file
// `role` at `path` while the run held the file it had made there.
[[noreturn]] void ThrowReplaced(const std::string& role, const std::string& path);

// The response file at `path` is `size` bytes, 2 GiB or more; or it held
// fewer bytes than its size promised.
[[noreturn]] void ThrowResponseTooLarge(const std::string& path, long long size);
[[noreturn]] void ThrowResponseChanged(const std::string& path);

// No room can be reserved for the response in the response file at `path`:
// the system error `code` (the disk-full code where the system gave none).
[[noreturn]] void ThrowNoRoom(std::int32_t code, const std::string& path);

// The exchange file `role` at `path` is read-only (Windows).
[[noreturn]] void ThrowReadOnly(const std::string& role, const std::string& path);

// The exchange file `role` at `path` has `links` names: somebody gave it a
// name elsewhere (Windows).
[[noreturn]] void ThrowExtraLink(const std::string& role, const std::string& path, unsigned long links);

}  // namespace keil
