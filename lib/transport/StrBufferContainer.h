// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

// A growable byte stream with separate read and write positions.
//
// Holds one block of a reader exchange (the parameters going out or the data coming back). Multi-
// byte values are packed least significant byte first, the byte order of the reader protocol,
// whatever the host's own order. The capacity starts at 512 bytes and grows in steps of 512; the
// storage is zero-filled, so the bytes after the contents always read as zero.
//
// One container serves every exchange of a session, so Reset keeps the storage it has: it clears
// the bytes written and puts the capacity back to 512, and growth up to the storage already held
// needs no allocation. A steady stream of exchanges thus runs without touching the heap.
//
// Results are library status codes: 0 on success, 8032 (no_buff) when there is no storage,
// 8034 (read_too_long) when a read runs beyond the contents.
class StrBufferContainer {
 public:
  static constexpr int32_t kGrowthStep = 512;

  StrBufferContainer();
  virtual ~StrBufferContainer();

  StrBufferContainer(const StrBufferContainer&) = delete;
  StrBufferContainer& operator=(const StrBufferContainer&) = delete;

  // Allocates 512 zero bytes and puts both positions at the start.
  long InitBuffer();
  // Drops contents and positions; the capacity goes back to 512. The storage is kept, zeroed.
  long Reset();
  // Grows the capacity by 512 zero bytes, keeping contents and positions.
  long IncBufferSize();

  int32_t GetBufferSize() const { return bufferSize; }
  unsigned char* GetBuffer() { return buffer.get(); }
  const unsigned char* GetBuffer() const { return buffer.get(); }
  // Number of bytes written so far (the length of the contents).
  unsigned long GetWritePosition() const;
  // Number of bytes consumed by reads so far.
  unsigned long GetReadPosition() const;

  long Write(unsigned char value);
  long Write(unsigned short value);
  long Write(short value);
  long Write(unsigned int value);   // 4 bytes; spares callers the unsigned long conversion
  long Write(unsigned long value);  // the low 32 bits, 4 bytes
  long Write(const unsigned char* bytes, unsigned long n);

  // A read may start at the write position (it then yields the zero byte after the contents) but
  // not beyond it. Bytes taken before the failing one stay consumed; on failure the output is not
  // written.
  long Read(unsigned char* value);
  long Read(unsigned short* value);
  long Read(short* value);
  long Read(unsigned int* value);
  long Read(unsigned long* value);
  long Read(unsigned char* out, unsigned long n);

 private:
  struct FreeStorage {
    void operator()(unsigned char* p) const { std::free(p); }
  };
  using Storage = std::unique_ptr<unsigned char[], FreeStorage>;

  static Storage Allocate(int32_t capacity);
  long GrowTo(int32_t capacity);
  long Append(const unsigned char* bytes, unsigned long n);
  long Take(unsigned char* out, unsigned long n);
  uint32_t TakeLittleEndian(unsigned long n, long& result);

  // Every byte from the write position to the end of the storage is zero. The storage holds
  // storageSize bytes plus one spare zero byte, so that a read at the write position of a
  // completely filled container yields zero without leaving the allocation.
  Storage buffer;
  unsigned char* readPosition = nullptr;
  unsigned char* writePosition = nullptr;
  int32_t bufferSize = 0;   // the capacity the container reports and grows in 512-byte steps
  int32_t storageSize = 0;  // what is allocated: at least bufferSize
};
