#pragma once
// A transport that plays a reader whose reply the harness scripts for each exchange.
//
// A write records the request frame and reports the scripted write result. Reads then hand out
// the scripted reply bytes in order, as many as the caller asks for and the reply still holds:
// the USB framing gets the whole reply in one read, the serial framing its header first and the
// rest after. A reply that has been handed out completely leaves the reader silent (8038), as a
// real transport reports a reader that stops answering.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "api/StatusCodes.h"
#include "transport/ReaderInterface.h"

class ScriptedReader : public ReaderInterface {
 public:
  struct Exchange {
    long writeResult = 0;
    long readResult = 0;  // non-zero: every read fails with it and delivers nothing
    std::span<const uint8_t> reply;
  };

  void Script(const Exchange& next) {
    exchange = next;
    served = 0;
  }
  const std::vector<uint8_t>& LastRequest() const { return request; }

  long OpenInterface() override { return 0; }
  long CloseInterface() override { return 0; }
  long ResetInterface() override { return 0; }
  long ClearInternalBuffers() override { return 0; }

  long WriteBytesUnblocked(unsigned char* data, unsigned long length, unsigned long& done,
                           unsigned long) override {
    request.assign(data, data + length);
    if (exchange.writeResult != 0) return exchange.writeResult;
    done = length;
    return 0;
  }

  long ReadBytesUnblocked(unsigned char* data, unsigned long size, unsigned long& done,
                          unsigned long) override {
    if (exchange.readResult != 0) return exchange.readResult;
    const size_t left = exchange.reply.size() - served;
    if (left == 0) return no_reader_resp;
    const size_t count = std::min<size_t>(size, left);
    std::copy_n(exchange.reply.begin() + static_cast<std::ptrdiff_t>(served), count, data);
    served += count;
    done = count;
    return 0;
  }

  long SetBaudRate(long) override { return 0; }
  long SetPort(short) override { return 0; }
  short GetPort() const override { return 0; }

 private:
  Exchange exchange;
  size_t served = 0;
  std::vector<uint8_t> request;
};
