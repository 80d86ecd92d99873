#include "responsive_wait.h"

namespace keil {
namespace {

thread_local WindowOperations* waitingWindow = nullptr;

}  // namespace

WaitingWindow::WaitingWindow(WindowOperations& window) : previous_(waitingWindow) { waitingWindow = &window; }

WaitingWindow::~WaitingWindow() { waitingWindow = previous_; }

WindowOperations* CurrentWaitingWindow() { return waitingWindow; }

}  // namespace keil
