// Built into the helper under AddressSanitizer only (see
// CMakeLists.txt). The helper makes itself undumpable, and is setgid where
// installed; LeakSanitizer cannot stop such a process to look for leaks at
// its end and dies instead.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
