// Loaded into the window program by an end-to-end test (LD_PRELOAD): when
// the program ends by SIGABRT, SIGSEGV or SIGBUS, writes the stack of the
// thread that got it to standard error, so that a failure that a test
// machine shows once is reported with where it happened.

#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <initializer_list>

namespace {

void Report(int signal) {
    constexpr char kHead[] = "\n=== the window program got a fatal signal; its stack: ===\n";
    (void)::write(STDERR_FILENO, kHead, sizeof kHead - 1);
    void* frames[64];
    ::backtrace_symbols_fd(frames, ::backtrace(frames, 64), STDERR_FILENO);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

__attribute__((constructor)) void Install() {
    // Loaded once before the crash: backtrace() loads libgcc here, not in
    // the handler.
    void* frame = nullptr;
    (void)::backtrace(&frame, 1);
    struct sigaction report {};
    report.sa_handler = &Report;
    sigemptyset(&report.sa_mask);
    report.sa_flags = static_cast<int>(SA_RESETHAND);
    for (const int signal : {SIGABRT, SIGSEGV, SIGBUS}) ::sigaction(signal, &report, nullptr);
}

}  // namespace
