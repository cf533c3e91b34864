#pragma once
// The harness's own assertion: a property of the code under test that does not hold is a finding,
// so it stops the run the way a sanitizer report does and libFuzzer keeps the input as a crash.

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, condition);
  std::abort();
}

// A function-like check that never returns from its caller: it either does nothing or aborts.
#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : FuzzCheckFailed(#condition, __FILE__, __LINE__))
