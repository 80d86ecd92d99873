#pragma once

#include <chrono>

#include "lookup_run.h"
#include "native_handle.h"

namespace keil {

// A run waits on the thread of the window that started it: for the lock,
// for the exchange helper, for the lookup program. So that the window goes
// on painting meanwhile, and the system never takes it for hung, a run
// registers its window here, and every wait of the run hands control to the
// window's WhileWaiting whenever the window system has something for it
// (Windows), or at least every kRespondEvery (POSIX).
inline constexpr std::chrono::milliseconds kRespondEvery{50};

// Registers `window` for the calling thread for the lifetime of this object.
class WaitingWindow {
public:
    explicit WaitingWindow(WindowOperations& window);
    ~WaitingWindow();
    WaitingWindow(const WaitingWindow&) = delete;
    WaitingWindow& operator=(const WaitingWindow&) = delete;

private:
    WindowOperations* previous_;
};

// The window that waits on this thread, or null.
WindowOperations* CurrentWaitingWindow();

enum class Waited { kReady, kTimedOut, kFailed };
inline constexpr std::chrono::milliseconds kNoLimit{-1};

// Waits until `handle` is ready (a descriptor readable, a process ended, a
// mutex taken or abandoned), at most `limit` (kNoLimit: without one).
// kFailed leaves the system's error number in errno or GetLastError. A
// signal handled meanwhile does not end the wait.
Waited WaitUntilReady(NativeHandle handle, std::chrono::milliseconds limit);

}  // namespace keil
