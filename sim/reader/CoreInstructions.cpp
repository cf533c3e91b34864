// SPDX-License-Identifier: MIT
// Reader-level instructions of the core command set: configuration, RF reset, protocol
// attributes, firmware version, key sets and card type.
#include <cstdio>
#include <string>

#include "sim/cards/Field.h"
#include "sim/reader/Bytes.h"
#include "sim/reader/InstructionTable.h"
#include "sim/reader/ReaderState.h"
#include "sim/reader/StatusByte.h"

namespace norvexsim {

namespace {

constexpr size_t kMifareKeySize = 6;
constexpr uint8_t kHighestBitRateCode = 3;  // 106, 212, 424, 848 kbit/s

Reply ok(std::vector<uint8_t> data = {}) {
  return Reply{status::kOk, std::move(data)};
}
Reply badFrame() {
  return Reply{status::kFramingError, {}};
}

// Chip initialisation switches the RF field off and on again, so every card falls back to IDLE.
Reply pcdConfig(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  reader.field.rfReset();
  return ok();
}

Reply pcdRfReset(ReaderContext& reader, const Params& params) {
  if (params.size() != 2) return badFrame();
  reader.field.rfReset();
  return ok();
}

Reply setResponseTimeout(ReaderContext& reader, const Params& params) {
  if (params.size() != 4) return badFrame();
  std::vector<uint8_t> previous;
  appendLe32(previous, reader.state.responseTimeout);
  reader.state.responseTimeout = readLe32(params, 0);
  reader.field.setResponseTimeout(reader.state.responseTimeout);  // milliseconds
  return ok(std::move(previous));
}

Reply setDefaultAttrib(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  reader.state.resetAttributes();
  return ok();
}

// Bit rates for the two directions, as ISO 14443-4 DS/DR codes.
Reply setAttrib(ReaderContext& reader, const Params& params) {
  if (params.size() != 2) return badFrame();
  if (params[0] > kHighestBitRateCode || params[1] > kHighestBitRateCode) return badFrame();
  reader.state.attributes[0] = params[0];
  reader.state.attributes[1] = params[1];
  return ok();
}

Reply getAttrib(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  const auto& a = reader.state.attributes;
  return ok({a.begin(), a.end()});
}

// Counted text: a 16-bit length, then the version text.
Reply getFwVersion(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  char text[64];
  const int length = std::snprintf(text, sizeof text, "Norvex RD-%04X simulated firmware 1.00",
                                   static_cast<unsigned>(reader.state.productId));
  std::vector<uint8_t> data;
  appendLe16(data, static_cast<uint16_t>(length));
  data.insert(data.end(), text, text + length);
  return ok(std::move(data));
}

// A key set holds whole Mifare keys (6 bytes each, or coded 12-byte keys, a multiple of 6 too).
Reply loadKeySet(ReaderContext& reader, const Params& params) {
  if (params.size() < 1 + kMifareKeySize || (params.size() - 1) % kMifareKeySize != 0) {
    return badFrame();
  }
  reader.state.keySets[params[0]].assign(params.begin() + 1, params.end());
  return ok();
}

Reply loadConfig(ReaderContext& reader, const Params& params) {
  if (params.size() != 2) return badFrame();
  reader.state.configuration = readLe16(params, 0);
  return ok();
}

Reply setCardType(ReaderContext& reader, const Params& params) {
  if (params.size() != 1) return badFrame();
  reader.state.cardType = params[0];
  return ok();
}

}  // namespace

void registerCoreInstructions(InstructionTable& table) {
  table.add(0x10, "RdPcdConfig", pcdConfig);
  table.add(0x20, "RdPcdRfReset", pcdRfReset);
  table.add(0x27, "SetResponseTimeout", setResponseTimeout);
  table.add(0x45, "RdPcdSetDefaultAttrib", setDefaultAttrib);
  table.add(0x46, "RdPcdSetAttrib", setAttrib);
  table.add(0x47, "RdPcdGetAttrib", getAttrib);
  table.add(0x63, "PcdGetFwVersion", getFwVersion);
  table.add(0x98, "RdLoadKeySet", loadKeySet);
  table.add(0xEA, "RdPcdSetCardType", setCardType);
  table.add(0xED, "PcdLoadConfig", loadConfig);
}

}  // namespace norvexsim
