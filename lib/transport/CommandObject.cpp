// SPDX-License-Identifier: MIT
#include "transport/CommandObject.h"

#include <cstdlib>
#include <new>

void* CommandObject::operator new(std::size_t size) {
  if (void* object = std::malloc(size)) return object;
  throw std::bad_alloc();
}

void CommandObject::operator delete(void* object) noexcept {
  std::free(object);
}

void CommandObject::ResetBuffers() {
  commandBuffer.Reset();
  dataBuffer.Reset();
}
