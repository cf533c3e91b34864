// SPDX-License-Identifier: MIT
#include "transport/StrBufferContainer.h"

#include <climits>
#include <cstring>

#include "status/StatusCodes.h"

StrBufferContainer::StrBufferContainer() {
  InitBuffer();
}

StrBufferContainer::~StrBufferContainer() = default;

StrBufferContainer::Storage StrBufferContainer::Allocate(int32_t capacity) {
  // One spare byte past the capacity, zero like the rest (see the member comment).
  return Storage(static_cast<unsigned char*>(std::calloc(static_cast<size_t>(capacity) + 1, 1)));
}

long StrBufferContainer::InitBuffer() {
  buffer = Allocate(kGrowthStep);
  readPosition = buffer.get();
  writePosition = buffer.get();
  bufferSize = buffer ? kGrowthStep : 0;
  storageSize = bufferSize;
  return buffer ? 0 : no_buff;
}

// Clearing the contents restores the all-zero storage without giving it back: the next exchange
// writes into the same bytes.
long StrBufferContainer::Reset() {
  if (!buffer) return InitBuffer();
  if (const unsigned long written = GetWritePosition(); written != 0)
    std::memset(buffer.get(), 0, written);
  readPosition = buffer.get();
  writePosition = buffer.get();
  bufferSize = kGrowthStep;
  return 0;
}

long StrBufferContainer::IncBufferSize() {
  if (bufferSize > INT32_MAX - kGrowthStep - 1) return no_buff;
  return GrowTo(bufferSize + kGrowthStep);
}

// Raises the capacity, within the storage held when it is large enough (its bytes past the
// contents are zero already), else by moving the contents into zero-filled storage of that size.
// On allocation failure the old storage and its contents are kept.
long StrBufferContainer::GrowTo(int32_t capacity) {
  if (buffer && capacity <= storageSize) {
    bufferSize = capacity;
    return 0;
  }
  Storage grown = Allocate(capacity);
  if (!grown) return no_buff;
  const ptrdiff_t readOffset = buffer ? readPosition - buffer.get() : 0;
  const ptrdiff_t writeOffset = buffer ? writePosition - buffer.get() : 0;
  if (buffer) std::memcpy(grown.get(), buffer.get(), static_cast<size_t>(writeOffset));
  buffer = std::move(grown);
  readPosition = buffer.get() + readOffset;
  writePosition = buffer.get() + writeOffset;
  bufferSize = capacity;
  storageSize = capacity;
  return 0;
}

unsigned long StrBufferContainer::GetWritePosition() const {
  return static_cast<unsigned long>(writePosition - buffer.get());
}

unsigned long StrBufferContainer::GetReadPosition() const {
  return static_cast<unsigned long>(readPosition - buffer.get());
}

long StrBufferContainer::Append(const unsigned char* bytes, unsigned long n) {
  const unsigned long written = GetWritePosition();
  // The capacity is a signed 32-bit count: a block that could never fit is refused outright.
  constexpr unsigned long kLargest = INT32_MAX - kGrowthStep - 1;
  if (n > kLargest || written + n > kLargest) return no_buff;
  if (written + n > static_cast<unsigned long>(bufferSize)) {
    // Whole 512-byte steps, taken at once rather than one reallocation per step.
    const unsigned long steps =
        (written + n - static_cast<unsigned long>(bufferSize) + kGrowthStep - 1) / kGrowthStep;
    const long grown = GrowTo(bufferSize + static_cast<int32_t>(steps * kGrowthStep));
    if (grown != 0) return grown;
  }
  if (!buffer) return no_buff;
  if (n > 0) std::memcpy(writePosition, bytes, n);
  writePosition += n;
  return 0;
}

long StrBufferContainer::Write(unsigned char value) {
  return Append(&value, 1);
}

long StrBufferContainer::Write(unsigned short value) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(value),
                                  static_cast<unsigned char>(value >> 8)};
  return Append(bytes, 2);
}

long StrBufferContainer::Write(short value) {
  return Write(static_cast<unsigned short>(value));
}

long StrBufferContainer::Write(unsigned int value) {
  return Write(static_cast<unsigned long>(value));
}

long StrBufferContainer::Write(unsigned long value) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return Append(bytes, 4);
}

long StrBufferContainer::Write(const unsigned char* bytes, unsigned long n) {
  if (n > 0 && bytes == nullptr) return no_buff;
  return Append(bytes, n);
}

// Takes n bytes. The byte at the write position may still be taken; one beyond it may not. When the
// request runs beyond, the bytes up to and including the one at the write position are consumed
// and nothing is copied out.
long StrBufferContainer::Take(unsigned char* out, unsigned long n) {
  if (!buffer || (n > 0 && out == nullptr)) return no_buff;
  const ptrdiff_t takeable = writePosition - readPosition + 1;
  if (takeable <= 0) return read_too_long;
  if (n > static_cast<unsigned long>(takeable)) {
    readPosition += takeable;
    return read_too_long;
  }
  if (n > 0) std::memcpy(out, readPosition, n);
  readPosition += n;
  return 0;
}

uint32_t StrBufferContainer::TakeLittleEndian(unsigned long n, long& result) {
  unsigned char bytes[4] = {};
  result = Take(bytes, n);
  uint32_t value = 0;
  for (unsigned long i = n; i > 0; --i) value = (value << 8) | bytes[i - 1];
  return value;
}

long StrBufferContainer::Read(unsigned char* value) {
  return Take(value, 1);
}

long StrBufferContainer::Read(unsigned short* value) {
  long result = 0;
  const uint32_t v = TakeLittleEndian(2, result);
  if (result == 0) *value = static_cast<unsigned short>(v);
  return result;
}

long StrBufferContainer::Read(short* value) {
  long result = 0;
  const uint32_t v = TakeLittleEndian(2, result);
  if (result == 0) *value = static_cast<short>(static_cast<unsigned short>(v));
  return result;
}

long StrBufferContainer::Read(unsigned int* value) {
  long result = 0;
  const uint32_t v = TakeLittleEndian(4, result);
  if (result == 0) *value = v;
  return result;
}

long StrBufferContainer::Read(unsigned long* value) {
  long result = 0;
  const uint32_t v = TakeLittleEndian(4, result);
  if (result == 0) *value = v;
  return result;
}

long StrBufferContainer::Read(unsigned char* out, unsigned long n) {
  return Take(out, n);
}
