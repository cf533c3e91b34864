// SPDX-License-Identifier: MIT
// norvex apdu: activates the ISO 14443-4 card in the field and sends it APDUs in turn.
#include <iostream>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/CardInField.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "dump/Hex.h"
#include "dump/StatusWords.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex apdu [--timeout MS] [--json] [--reader USB_n] HEX...\n"
    "Activates the ISO 14443-4 card in the field (RATS) and sends each APDU in turn, printing\n"
    "the answer's data and its status word, with the meaning of the common ones (--json: the\n"
    "ATS and one {\"apdu\", \"data\", \"sw\"} object per APDU). Exit status 1 when a status\n"
    "word is not 9000, 9100 or 61xx.\n";

constexpr uint8_t kRatsParam = 0x80;  // FSDI 8 (256-byte frames to the host), CID 0
constexpr uint16_t kReaderFrameSize = 256;
constexpr uint16_t kFscOfFsci[] = {16, 24, 32, 40, 48, 64, 96, 128, 256, 512, 1024, 1024, 1024};

// The card's frame size from the format byte T0 of its ATS (FSC 32 when the ATS has no T0).
uint16_t frameSizeOf(const std::vector<uint8_t>& ats) {
  if (ats.size() < 2) return 32;
  const unsigned fsci = ats[1] & 0x0F;
  return fsci < std::size(kFscOfFsci) ? kFscOfFsci[fsci] : 1024;
}

// RATS with param (FSDI, CID 0) for the isolated card; its ATS.
std::vector<uint8_t> activate(void* session, uint8_t param) {
  uint8_t ats[256] = {};
  uint16_t length = sizeof ats;
  if (const long status = Request_ATS(session, param, &length, ats)) {
    if (status == NORVEX_E_NO_ISO_14443_4 || status == NORVEX_E_NO_CARD_IN_RF)
      throwWrongCard(session, "activating the card",
                     "does not speak ISO 14443-4, which APDUs need");
    check(status, "activating the card");
  }
  return {ats, ats + length};
}

uint32_t parseTimeout(const std::string& text) {
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value == 0 || value > 60000)
    usageError("--timeout needs milliseconds from 1 to 60000, not \"" + text + "\"");
  return static_cast<uint32_t>(value);
}

}  // namespace

int runApdu(const Words& args) {
  // --timeout is the card's response time here: the wait for a card is bounded by --wait-timeout.
  Arguments options(args,
                    cardOptions({{"timeout", 't', true}, {"json", 0, false}}, "wait-timeout"));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp("wait-timeout"), kExitOk;
  if (options.positional().empty()) usageError("apdu needs at least one APDU in hex");
  std::vector<std::vector<uint8_t>> apdus;
  for (const std::string& text : options.positional()) {
    std::vector<uint8_t> apdu;
    if (!parseHex(text, apdu) || apdu.size() < 4 || apdu.size() > 261)
      usageError("\"" + text + "\" is not an APDU (4 to 261 bytes in hex)");
    apdus.push_back(apdu);
  }
  const uint32_t timeout = parseTimeout(options.value("timeout", "1000"));

  ReaderSession reader(options);
  const FieldCard card = chooseAndIsolate(reader.handle(), options, "wait-timeout");
  std::vector<uint8_t> ats = activate(reader.handle(), kRatsParam);
  // The block protocol takes one frame size both ways: a card that accepts smaller frames than
  // the reader asked for is deselected and activated again, asked for frames of its own size.
  if (frameSizeOf(ats) < kReaderFrameSize) {
    Reset14443_4(reader.handle(), frameSizeOf(ats));
    isolateCard(reader.handle(), card);
    ats =
        activate(reader.handle(), static_cast<uint8_t>((ats.size() < 2 ? 2 : ats[1] & 0x0F) << 4));
  }
  const bool json = options.has("json");
  if (!json) std::cout << "ATS " << hex::encode(ats) << "\n";
  dump::JsonValue exchanges = dump::JsonValue::array();
  uint8_t blockNumber = 0;
  bool allSucceeded = true;
  for (const std::vector<uint8_t>& apdu : apdus) {
    uint8_t response[1026] = {};
    uint16_t responseLen = sizeof response;
    check(Send_Raw_APDU(reader.handle(), &blockNumber, frameSizeOf(ats), apdu.data(),
                        static_cast<uint16_t>(apdu.size()), response, &responseLen, timeout),
          "sending " + hex::encode(apdu));
    const bool hasSw = responseLen >= 2;
    const auto dataLen = static_cast<uint16_t>(hasSw ? responseLen - 2u : responseLen);
    const uint8_t* sw = response + dataLen;
    allSucceeded = allSucceeded && hasSw && dump::statusWordSucceeds(sw[0], sw[1]);
    const std::string meaning = hasSw ? dump::statusWordText(sw[0], sw[1]) : "no status word";
    if (json) {
      exchanges.push(
          dump::JsonValue::object()
              .add("apdu", dump::jsonHex(apdu.data(), apdu.size()))
              .add("data", dump::jsonHex(response, dataLen))
              .add("sw", hasSw ? dump::jsonHex(sw, 2) : dump::JsonValue{})
              .add("meaning", meaning.empty() ? dump::JsonValue{} : dump::jsonString(meaning)));
      continue;
    }
    std::cout << "> " << hex::encode(apdu) << "\n< " << hex::encode(response, dataLen);
    if (hasSw) std::cout << (dataLen > 0 ? " " : "") << "SW " << hex::encode(sw, 2);
    std::cout << (meaning.empty() ? "" : " (" + meaning + ")") << "\n";
  }
  if (json)
    printJson(dump::JsonValue::object()
                  .add("ats", dump::jsonHex(ats.data(), ats.size()))
                  .add("exchanges", std::move(exchanges)));
  return allSucceeded ? kExitOk : kExitCardError;
}

}  // namespace norvex::cli
