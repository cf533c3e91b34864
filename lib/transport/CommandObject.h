// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

#include "transport/StrBufferContainer.h"

// One exchange with the reader: the instruction code and its parameter block going out, the
// reader's status and data block coming back.
//
// The command set resets the object, sets the instruction and appends the parameters; the framing
// protocol builds the frame from them and, on a valid reply, stores the mapped reader status and
// the reply data; the command set then reads its results with GetParam. All multi-byte values are
// least significant byte first. Objects live on the C heap (malloc/free).
class CommandObject {
 public:
  CommandObject() = default;
  ~CommandObject() =
      default;  // members go in reverse order: the data block, then the command block

  CommandObject(const CommandObject&) = delete;
  CommandObject& operator=(const CommandObject&) = delete;

  static void* operator new(std::size_t size);
  static void operator delete(void* object) noexcept;

  void SetCommand(unsigned char code) { command = code; }
  unsigned char GetCommand() const { return command; }

  // Each stores the value sign-extended: SetStatus(char(0xFF)) stores -1.
  void SetStatus(char value) { status = static_cast<signed char>(value); }
  void SetStatus(short value) { status = value; }
  void SetStatus(int value) { status = value; }
  void SetStatus(long value) { status = value; }
  long GetStatus() const { return status; }

  // Append to the parameter block; the result is that of the block's Write.
  long AddParam(const unsigned char& value) { return commandBuffer.Write(value); }
  long AddParam(const unsigned short& value) { return commandBuffer.Write(value); }
  long AddParam(const unsigned int& value) { return commandBuffer.Write(value); }
  long AddParam(const unsigned long& value) { return commandBuffer.Write(value); }
  long AddParam(const unsigned char* bytes, const unsigned long& n) {
    return commandBuffer.Write(bytes, n);
  }

  // Read the next value of the reply data; 8034 (read_too_long) when the reply is too short.
  long GetParam(unsigned char& value) { return dataBuffer.Read(&value); }
  long GetParam(unsigned short& value) { return dataBuffer.Read(&value); }
  long GetParam(short& value) { return dataBuffer.Read(&value); }
  long GetParam(unsigned int& value) { return dataBuffer.Read(&value); }
  long GetParam(unsigned long& value) { return dataBuffer.Read(&value); }
  long GetParam(unsigned char* out, const unsigned long& n) { return dataBuffer.Read(out, n); }

  // Empties both blocks, the parameter block first.
  void ResetBuffers();

  unsigned char* GetCommandBuffer() { return commandBuffer.GetBuffer(); }
  unsigned long GetCommandBufferLength() const { return commandBuffer.GetWritePosition(); }

  long SetDataBuffer(const unsigned char* bytes, const unsigned long& n) {
    return dataBuffer.Write(bytes, n);
  }
  // Appends one byte of reply data; returns the low 8 bits of the block's result.
  unsigned char SetDataByte(unsigned char& value) {
    return static_cast<unsigned char>(dataBuffer.Write(value));
  }
  unsigned char* GetDataBuffer() { return dataBuffer.GetBuffer(); }
  unsigned long GetDataBufferLength() const { return dataBuffer.GetWritePosition(); }

 private:
  unsigned char command = 0;
  long status = 0;
  StrBufferContainer commandBuffer;
  StrBufferContainer dataBuffer;
};
