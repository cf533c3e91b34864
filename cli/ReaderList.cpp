// SPDX-License-Identifier: MIT
#include "cli/ReaderList.h"

#include "cli/CliError.h"
#include "cli/ReaderSession.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

bool collectName(long userValue, const char* name) {
  reinterpret_cast<std::vector<std::string>*>(userValue)->push_back(name);
  return true;
}

}  // namespace

std::vector<ReaderId> readersPresent() {
  std::vector<ReaderId> readers;
  for (int productId : knownProductIds()) {
    std::vector<std::string> names;
    check(EnumUSBReaders(productId, collectName, reinterpret_cast<long>(&names)),
          "listing the readers");
    for (const std::string& name : names) readers.push_back({name, productId});
  }
  return readers;
}

}  // namespace norvex::cli
