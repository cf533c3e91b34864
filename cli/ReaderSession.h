// SPDX-License-Identifier: MIT
// A library session connected to one reader, released when it goes out of scope.
//
// The reader is named "USB_n" (--reader, USB_0 by default). Without --product the reader models'
// product IDs are tried in turn (0x0110, then 0x0120), so "USB_0" is the first reader found.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/Arguments.h"

namespace norvex::cli {

// The USB product IDs of the reader models.
const std::vector<int>& knownProductIds();
int parseProductId(const std::string& text);

class ReaderSession {
 public:
  ReaderSession(const std::string& readerName, int productId);  // throws CliError
  explicit ReaderSession(const Arguments& args);

  void* handle() const { return session_.get(); }
  const std::string& name() const { return name_; }
  int productId() const { return productId_; }

 private:
  long connect(const std::string& readerName, int productId);

  struct Closer {
    void operator()(void* session) const;
  };
  std::unique_ptr<void, Closer> session_;
  std::string name_;
  int productId_ = 0;
};

}  // namespace norvex::cli
