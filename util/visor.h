// The crash handler: fatal errors, assertions, the protected run with its exception
// report, and naming of code addresses from the linker map files.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Ends the program through the exception report (inside a protected run) or with
// "======= Unhandled exception" (outside one); exit code -1 either way.
[[noreturn]] void fatal_error(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Every assertion reads "Assertion <module> <line>: <expression>".
#define KQ_ASSERT_AT(cond, module, line, text) \
  do { if (!(cond)) fatal_error("Assertion %s %i: %s", module, line, text); } while (0)
#define KQ_ASSERT(cond, module) KQ_ASSERT_AT(cond, module, __LINE__, #cond)

// Runs fn inside the program's exception frame: an exception escaping from it is
// reported in the log and ends the process with exit code -1.
void protected_run(void (*fn)(void *), void *arg);
// Nesting depth of protected runs (0 outside).
int protected_depth();

// Text for a code address: the function's name from a loaded map file, "<path> [%06X]"
// when only the module is known, "[%06X]" otherwise. Fills out (cut to outlen).
void symbolic_address(uintptr_t address, char *out, size_t outlen);
