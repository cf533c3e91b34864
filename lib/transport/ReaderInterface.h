// SPDX-License-Identifier: MIT
#pragma once

// The transport: moves raw bytes between the host and one reader.
//
// The framing protocol writes whole request frames through it and reads whole reply frames from
// it. Every operation except GetPort returns a library status code, 0 on success. Timeouts are in
// milliseconds. The order of the virtual operations is part of the interface.
class ReaderInterface {
 public:
  virtual ~ReaderInterface() = default;

  virtual long OpenInterface() = 0;
  virtual long CloseInterface() = 0;
  // Closes and reopens the reader.
  virtual long ResetInterface() = 0;
  virtual long ClearInternalBuffers() = 0;
  // Sends length bytes; done receives the number sent.
  virtual long WriteBytesUnblocked(unsigned char* data, unsigned long length, unsigned long& done,
                                   unsigned long timeout) = 0;
  // Receives at most size bytes into data; done receives the number received.
  virtual long ReadBytesUnblocked(unsigned char* data, unsigned long size, unsigned long& done,
                                  unsigned long timeout) = 0;
  virtual long SetBaudRate(long baudRate) = 0;
  virtual long SetPort(short port) = 0;
  virtual short GetPort() const = 0;

 protected:
  ReaderInterface() = default;
  ReaderInterface(const ReaderInterface&) = delete;
  ReaderInterface& operator=(const ReaderInterface&) = delete;
};
