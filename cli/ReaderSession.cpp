// SPDX-License-Identifier: MIT
#include "cli/ReaderSession.h"

#include <cstdlib>
#include <regex>

#include "cli/CliError.h"
#include "cli/ReaderList.h"
#include "norvexapi.h"

namespace norvex::cli {

const std::vector<int>& knownProductIds() {
  static const std::vector<int> ids = {0x0110, 0x0120};
  return ids;
}

int parseProductId(const std::string& text) {
  char* end = nullptr;
  long id = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || id <= 0 || id > 0xFFFF)
    usageError("--product needs a USB product ID such as 0x0110, not \"" + text + "\"");
  return static_cast<int>(id);
}

ReaderSession::ReaderSession(const std::string& readerName, int productId) {
  session_.reset(CreateSession());
  if (!session_) throw CliError(kExitCardError, "cannot create a library session");
  check(connect(readerName, productId), readerName);
}

ReaderSession::ReaderSession(const Arguments& args) {
  std::string reader = args.value("reader", "USB_0");
  if (!std::regex_match(reader, std::regex("USB_[0-9]{1,3}")))
    usageError("--reader needs a reader name such as USB_0, not \"" + reader + "\"");
  session_.reset(CreateSession());
  if (!session_) throw CliError(kExitCardError, "cannot create a library session");
  if (args.has("product")) {
    const long status = connect(reader, parseProductId(args.value("product")));
    if (status == NORVEX_E_DEVICE_NOTFOUND)
      throw CliError(kExitCardError, readerNotFoundMessage(reader, status));
    check(status, reader);
    return;
  }
  long status = NORVEX_E_DEVICE_NOTFOUND;
  for (int id : knownProductIds()) {
    status = connect(reader, id);
    if (status != NORVEX_E_DEVICE_NOTFOUND) break;
    DisconnectReader(session_.get());
  }
  if (status == NORVEX_E_DEVICE_NOTFOUND)
    throw CliError(kExitCardError, readerNotFoundMessage(reader, status));
  check(status, reader);
}

long ReaderSession::connect(const std::string& readerName, int productId) {
  name_ = readerName;
  productId_ = productId;
  std::vector<char> name(readerName.begin(), readerName.end());
  name.push_back('\0');
  return ConnectReader(session_.get(), NORVEX_INTERFACE_USB, name.data(), productId);
}

void ReaderSession::Closer::operator()(void* session) const {
  DisconnectReader(session);
  ReleaseSession(session);
}

}  // namespace norvex::cli
