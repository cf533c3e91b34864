// SPDX-License-Identifier: MIT
// Interposes glibc's allocation functions: the executable's definitions take precedence over the
// C library's for every module of the process, libnorvexapi included, and forward to glibc's own
// implementations. The per-thread counter is a plain initial-exec TLS word, so touching it never
// allocates.

#include "bench/AllocationCounter.h"

#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

thread_local bool counting = false;
thread_local uint64_t allocations = 0;

inline void Note() {
  if (counting) ++allocations;
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  Note();
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  Note();
  return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
  Note();
  return __libc_realloc(pointer, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  Note();
  return __libc_memalign(alignment, size);
}

void* memalign(size_t alignment, size_t size) {
  Note();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
  Note();
  void* pointer = __libc_memalign(alignment, size);
  if (pointer == nullptr) return ENOMEM;
  *result = pointer;
  return 0;
}

}  // extern "C"

AllocationCount::AllocationCount() : start_(allocations) {
  counting = true;
}

AllocationCount::~AllocationCount() {
  counting = false;
}

uint64_t AllocationCount::Allocations() const {
  return allocations - start_;
}
