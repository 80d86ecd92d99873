#pragma once

// Every wait of a run, for the lock, for the helper, for the lookup
// program: it returns when what it waits for is ready, and meanwhile hands
// the one who waits, the window, its turn through WaitHooks, so that the
// window goes on painting and the system never takes it for hung. The
// waits know what they wait for and who holds the lookup folder; what the
// window makes of it is the window's.

#include <chrono>
#include <optional>
#include <string>

#include "system/native_handle.h"

namespace keil {

// What a run waits for: its own lookup program (or its own exchange
// helper), another run that holds the lookup folder, or what its lookup
// program started and left running when it ended.
enum class WaitingFor { kOwnLookup, kOtherRun, kStartedByLookup };

enum class Waited { kReady, kTimedOut, kFailed };
inline constexpr std::chrono::milliseconds kNoLimit{-1};

// What a run's waits need of the one who waits, on the waiting thread.
class WaitHooks {
public:
    virtual ~WaitHooks() = default;
    // Called again and again while a wait goes on, at least every
    // kRespondEvery: takes in what the window system has for the window,
    // such as painting.
    virtual void Pump() = 0;
    // Asked after each Pump: whether the clerk broke the lookup off. The
    // wait then ends with kErrBrokenOffByClerk.
    virtual bool Cancelled() = 0;
    // Waits at most `limit` for `handle` to be ready (kNoHandle: only the
    // time), taking in what the window system has for the window as soon as
    // it comes meanwhile, where the window can wait so; nothing where it
    // cannot, and the wait looks at `handle` itself.
    virtual std::optional<Waited> WaitWith(NativeHandle /*handle*/, std::chrono::milliseconds /*limit*/) {
        return std::nullopt;
    }
    // Told when a wait begins and whenever what it waits for changes:
    // `holder` names the user whose run holds the folder while that is
    // another run, where the system tells ("" where it does not), or a
    // program that the lookup program started and that still runs.
    virtual void Waiting(WaitingFor what, const std::string& holder) = 0;
};

// How often a wait with hooks hands them its turn at least.
inline constexpr std::chrono::milliseconds kRespondEvery{10};

// How long what a lookup program started may run on after it, as part of
// its own ending (the host of its console, a child that is just ending),
// before the wait tells its hooks that it waits for kStartedByLookup.
inline constexpr std::chrono::milliseconds kEndingGrace{250};

// Waits until `handle` is ready (a descriptor readable, a process ended, a
// mutex taken or abandoned), at most `limit` (kNoLimit: without one).
// kFailed leaves the system's error number in errno or GetLastError. A
// signal handled meanwhile does not end the wait. With `hooks`, they get
// their turn whenever the window system has something for the thread
// (Windows), or at least every kRespondEvery, and a clerk who breaks the
// lookup off ends the wait with kErrBrokenOffByClerk.
Waited WaitUntilReady(NativeHandle handle, std::chrono::milliseconds limit, WaitHooks* hooks);

// Hands `hooks`, where there are any, their turn: Pump, then Cancelled,
// which raises kErrBrokenOffByClerk.
void TakeTurn(WaitHooks* hooks);

// The clerk broke the lookup off to end the program.
[[noreturn]] void ThrowBrokenOffByClerk();

}  // namespace keil
