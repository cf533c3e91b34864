// SPDX-License-Identifier: MIT
#include "cli/UltralightAccess.h"

#include "cli/CardInField.h"
#include "cli/CliError.h"
#include "cli/Output.h"
#include "dump/Hex.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr std::size_t kPasswordLength = 4;
constexpr std::size_t kPackLength = 2;
constexpr std::size_t kKeyLength = 16;

}  // namespace

std::vector<OptionDef> withCredentialOptions(std::vector<OptionDef> more) {
  more.push_back({"password", 0, true});
  more.push_back({"pack", 0, true});
  more.push_back({"key", 0, true});
  return more;
}

std::vector<uint8_t> hexOption(const Arguments& options, const std::string& name,
                               std::size_t length) {
  if (!options.has(name)) return {};
  std::vector<uint8_t> bytes;
  if (!parseHex(options.value(name), bytes) || bytes.size() != length)
    usageError("--" + name + " takes " + std::to_string(length) + " bytes (" +
               std::to_string(2 * length) + " hex digits)");
  return bytes;
}

TagCredentials parseCredentials(const Arguments& options) {
  TagCredentials credentials{hexOption(options, "password", kPasswordLength),
                             hexOption(options, "pack", kPackLength),
                             hexOption(options, "key", kKeyLength)};
  if (!credentials.pack.empty() && credentials.password.empty())
    usageError("--pack goes with --password");
  if (!credentials.password.empty() && !credentials.key.empty())
    usageError("--password (NTAG21x, Ultralight EV1) and --key (Ultralight C) exclude each other");
  return credentials;
}

// Type 2 tags (Ultralight, NTAG) answer SAK 00 with a 7-byte UID; a DESFire has 7 bytes too, so
// the SAK tells them apart.
std::vector<uint8_t> selectTag(void* session) {
  uint8_t uid[10] = {}, uidLength = sizeof uid, atqa[2] = {}, sak = 0;
  check(SelectIdleCard(session, uid, &uidLength, atqa, &sak), "selecting the tag");
  if (uidLength != 7 || sak != 0x00)
    throwWrongCard(session, "selecting the tag", "is not a Mifare Ultralight / NTAG");
  return std::vector<uint8_t>(uid, uid + 7);
}

void authenticateTag(void* session, const TagCredentials& credentials, uint8_t* pack) {
  if (!credentials.key.empty()) {
    const long status = MifU_AuthenticateC(session, credentials.key.data());
    if (status == NORVEX_E_NO_AUTH_ALLOWED)
      throw CliError(kExitCardError, "the tag refused the 3DES key (--key)");
    if (status == NORVEX_E_WRONG_CARD)
      throw CliError(kExitCardError, "the tag's answer does not prove it holds the 3DES key");
    check(status, "authenticating with --key (an Ultralight C's 3DES key)");
    return;
  }
  if (credentials.password.empty()) return;
  uint8_t answer[kPackLength] = {};
  const long status =
      MifU_PasswordAuth(session, credentials.password.data(),
                        credentials.pack.empty() ? nullptr : credentials.pack.data(), answer);
  if (status == NORVEX_E_NO_AUTH_ALLOWED)
    throw CliError(kExitCardError,
                   "the tag refused the password (counted against its AUTHLIM; not retried)");
  if (status == NORVEX_E_WRONG_CARD)
    throw CliError(kExitCardError, "the tag answered PACK " + hex::encode(answer, kPackLength) +
                                       ", not " +
                                       hex::encode(credentials.pack.data(), kPackLength) +
                                       " (--pack): not the tag the password was set on");
  check(status, "sending the password");
  if (pack != nullptr) std::copy(answer, answer + kPackLength, pack);
}

std::vector<uint8_t> activateTag(void* session, const TagCredentials& credentials, uint8_t* pack) {
  std::vector<uint8_t> uid = selectTag(session);
  authenticateTag(session, credentials, pack);
  return uid;
}

}  // namespace norvex::cli
