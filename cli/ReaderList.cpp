// SPDX-License-Identifier: MIT
#include "cli/ReaderList.h"

#include <cstdio>
#include <cstdlib>

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

std::vector<ReaderId> presentReaders() {
  std::vector<ReaderId> readers;
  for (int productId : knownProductIds()) {
    std::vector<std::string> names;
    check(EnumUSBReaders(productId, collectName, reinterpret_cast<long>(&names)),
          "listing the readers");
    for (const std::string& name : names) readers.push_back({name, productId});
  }
  return readers;
}

std::string productText(int productId) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(productId));
  return text;
}

std::string readerNotFoundMessage(const std::string& reader, long status) {
  std::string present;
  try {
    for (const ReaderId& id : presentReaders())
      present += (present.empty() ? "" : ", ") + id.name + " (" + productText(id.productId) + ")";
  } catch (const CliError&) {
    // The list is a hint only: the reader not found is the error reported.
  }
  std::string message =
      statusMessage(reader, status) + "; readers present: " + (present.empty() ? "none" : present);
  if (const char* socket = std::getenv("NORVEX_SIMULATOR"); socket != nullptr && *socket != '\0')
    message += "; simulator socket " + std::string(socket) + " (NORVEX_SIMULATOR)";
  return message;
}

}  // namespace norvex::cli
