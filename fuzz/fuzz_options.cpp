// Address-sanitizer settings for every fuzz target, so that the allocator
// does not dominate each run: a run allocates a few kilobytes, so a
// quarantine of 16 MiB still holds everything freed during that run (a use
// after free is caught as before) while keeping the process small instead of
// touching fresh pages for each input; and five frames of allocation stack
// are enough to find the owner of a block in a report. ASAN_OPTIONS set in
// the environment still take precedence.
extern "C" const char* __asan_default_options();  // NOLINT: the sanitizer's hook

extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16:malloc_context_size=5"; }
