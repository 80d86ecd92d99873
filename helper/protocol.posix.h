#pragma once

// What the lookup library and the helper say to each other over
// their socket (AF_UNIX, SOCK_SEQPACKET: one message a datagram).
//
// A request is one byte, kMake or kRemove, and acts on both exchange files
// in turn, in.txt first: a file is not touched once the one before it
// failed. The answer is one Replies message; when it makes a file, the
// file's descriptor comes with it (SCM_RIGHTS, in the order of the files).
// The helper ends when the socket closes, and at the first request it does
// not know.

#include <cstdint>

namespace keil::helper {

inline constexpr char kMake = 'm';
inline constexpr char kRemove = 'r';

enum Outcome : std::int32_t {
    kDone = 0,
    // A system call failed: `step` says which, `code` is its errno.
    kSystemError = 1,
    // Something other than a plain file stands at the name; `mode` is its
    // st_mode. It stays.
    kNotPlainFile = 2,
    // The name no longer leads to the file that the helper made; nothing
    // was removed.
    kReplaced = 3,
    // Not touched, since the file before it failed.
    kSkipped = 4,
};

// The step that failed, in the words of the program's messages.
enum Step : std::int32_t {
    kChecked = 0,  // the leftover at the name could not be looked at
    kCleared = 1,  // the leftover could not be removed
    kCreated = 2,  // the new file could not be created
    kDeleted = 3,  // the made file could not be deleted
};

struct Reply {
    std::int32_t outcome;
    std::int32_t step;
    std::int32_t code;
    std::uint32_t mode;
};

// The replies for in.txt and out.txt.
struct Replies {
    Reply request;
    Reply response;
};

}  // namespace keil::helper
