// Options of AddressSanitizer and LeakSanitizer for the test programs of the asan preset, built
// into each of them (the sanitizers ask for these at start-up), so that they apply however a test
// is run. Leaks are reported with full stacks, which the suppressions in tests/lsan.supp match
// against any frame; the environment (ASAN_OPTIONS, LSAN_OPTIONS) can still override them.

// The tracking of dynamic thread-local storage (intercept_tls_get_addr) is off: with Debian 12's
// GCC and glibc it records a bogus block in some runs, on which LeakSanitizer's scan crashes
// ("Tracer caught signal 11") after the tests have passed.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0:detect_leaks=1:intercept_tls_get_addr=0";
}

extern "C" const char* __lsan_default_options() { return "print_suppressions=0:suppressions=" PAINEL_LSAN_SUPPRESSIONS; }

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
