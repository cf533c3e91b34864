// Status codes: the table, the text lookup by family and the reader status mapping.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "api/StatusCodes.h"
#include "api/StatusTable.h"
#include "norvexapi.h"

namespace {

std::string SystemText(int code) {
  return std::strerror(code);
}

struct FamilyCase {
  const char* family;
  long lowerBound;
  long upperBound;
  const char* (*text)(int);
  const char* defaultText;
  std::size_t entries;
};

const FamilyCase kFamilies[] = {
    {"RS232", 1000, 1999, GetCOMErr, "RS232 ERROR: unknown error", 10},
    {"USB", 3000, 3999, GetUSBErr, "ERROR: unknown error", 5},
    {"3964", 5000, 5999, Get3964Err, "unknown error", 10},
    {"TLP224", 6000, 6999, GetTLP224Err, "TLP224 ERROR: unknown error", 33},
    {"BFP", 7000, 7999, GetBFPErr, "BlockFramingProtocol: unknown error", 6},
    {"API", 8000, 8999, GetKstErr, "ERROR: unknown error", 45},
    {"DESFire", 0xA000, 0xAFFF, GetDesFireErr, "DESFire error: unknown error", 28},
};

const FamilyCase* FamilyOf(long code) {
  for (const auto& family : kFamilies) {
    if (code > family.lowerBound && code < family.upperBound) return &family;
  }
  return nullptr;
}

TEST(StatusTable, EveryEntryBelongsToAFamilyAndHasAUniqueName) {
  std::map<std::string, std::size_t> perFamily;
  std::set<std::string> names;
  for (const auto& entry : StatusTable()) {
    SCOPED_TRACE(entry.name);
    const auto* family = FamilyOf(entry.code);
    ASSERT_NE(family, nullptr) << entry.code;
    ++perFamily[family->family];
    EXPECT_TRUE(names.insert(entry.name).second);
    EXPECT_NE(std::strlen(entry.text), 0u);
  }
  for (const auto& family : kFamilies) {
    EXPECT_EQ(perFamily[family.family], family.entries) << family.family;
  }
}

TEST(StatusTable, GetErrorTextGivesEveryEntrysOwnText) {
  for (const auto& entry : StatusTable()) {
    SCOPED_TRACE(entry.name);
    EXPECT_STREQ(GetErrorText(static_cast<int>(entry.code)), entry.text);
    EXPECT_STREQ(FamilyOf(entry.code)->text(static_cast<int>(entry.code)), entry.text);
  }
}

// Texts callers see verbatim, including their historic spelling, and shared texts.
TEST(StatusTable, KeepsTheExactTexts) {
  const std::pair<long, const char*> cases[] = {
      {com_wrong_baudrate, "RS232 ERROR: invlaid baud rate is set"},
      {com_read_error, "RS232 ERROR: read failuture"},
      {device_notfound, "USB ERROR: device was not found"},
      {bad_parsed_data, "USB ERROR: device prased data was corrupted"},
      {crc_wrong_alg, "wrong crc algorithem"},
      {rd_read_error, "TLP224 ERROR: can not read the card"},
      {rd_read_failed, "TLP224 ERROR: can not read the card"},
      {rd_short_circuit, "TLP224 ERROR: electrical interfrence"},
      {rd_chaining_error, "TLP224 ERROR: chainig error"},
      {rd_resp_truncated, "TLP224 ERROR: "},
      {coll_err, "BlockFramingProtocol: collision occured"},
      {resp_too_long, "BlockFramingProtocol: response is too long"},
      {no_session_error, "ERROR: no session"},
      {bad_session_sig, "ERROR: invalid session used"},
      {no_reader, "ERROR: no reader"},
      {wrong_parameter_value, "ERROR: wrong prameter is used"},
      {vb_addr_diff, "ERROR: value block has corrupted address bytes"},
      {vb_invalid_addr, "ERROR: value block has corrupted address bytes"},
      {no_reader_resp, "ERROR: reponse time out for reader"},
      {frame_too_small, "ERROR: ISO 14443 part 4 frame is too small"},
      {df_additional_frame, "DESFire error: additional frame follows"},
      {df_bad_opid, "DESFire error: bad operation ID"},
      {df_unknown_error, "DESFire error: unknown error"},
  };
  for (const auto& [code, text] : cases) {
    EXPECT_STREQ(GetErrorText(static_cast<int>(code)), text) << code;
  }
}

TEST(StatusTable, CodesWithoutEntryGetTheirFamilyDefault) {
  const std::pair<int, const char*> cases[] = {
      {1011, "RS232 ERROR: unknown error"},
      {1998, "RS232 ERROR: unknown error"},
      {3006, "ERROR: unknown error"},
      {3998, "ERROR: unknown error"},
      {5005, "unknown error"},
      {5010, "unknown error"},
      {5019, "unknown error"},
      {5998, "unknown error"},
      {6034, "TLP224 ERROR: unknown error"},
      {6998, "TLP224 ERROR: unknown error"},
      {7007, "BlockFramingProtocol: unknown error"},
      {7998, "BlockFramingProtocol: unknown error"},
      {8042, "ERROR: unknown error"},
      {8047, "ERROR: unknown error"},
      {8998, "ERROR: unknown error"},
      {0xA001, "DESFire error: unknown error"},
      {0xA100, "DESFire error: unknown error"},
      {0xA2FE, "DESFire error: unknown error"},
      {0xAFFE, "DESFire error: unknown error"},
  };
  for (const auto& [code, text] : cases) {
    EXPECT_STREQ(GetErrorText(code), text) << code;
  }
}

// The range tests are strict: the bounds themselves, success and everything outside the
// families are system error numbers.
TEST(StatusTable, BoundsAndForeignNumbersGetSystemTexts) {
  const int codes[] = {0,    1,     2,     -1,    999,   1000,   1999,          2000, 3000,
                       3999, 5000,  5999,  6000,  6999,  7000,   7999,          8000, 8999,
                       9000, 40959, 40960, 45055, 45056, 0xFFFF, 0x10000 + 8001};
  for (int code : codes) {
    const std::string text = GetErrorText(code);
    EXPECT_EQ(text, SystemText(code)) << code;
  }
}

TEST(StatusTable, FamilyFunctionsAnswerForeignCodesWithTheirDefault) {
  for (const auto& family : kFamilies) {
    SCOPED_TRACE(family.family);
    for (long foreign : {no_card_in_rf, com_general_err, df_no_changes, 0L, 999999L}) {
      if (FamilyOf(foreign) == &family) continue;
      EXPECT_STREQ(family.text(static_cast<int>(foreign)), family.defaultText) << foreign;
    }
    EXPECT_STREQ(family.text(static_cast<int>(family.lowerBound)), family.defaultText);
    EXPECT_STREQ(family.text(static_cast<int>(family.upperBound)), family.defaultText);
  }
  EXPECT_EQ(std::string(GetSysErr(8001)), SystemText(8001));
}

// Reader status bytes arrive as raw bytes; every one of the 256 values is checked.
TEST(ReaderStatus, MapsEveryStatusByte) {
  const std::map<int, long> known = {
      {0, 0},
      {-1, no_card_in_rf},
      {-2, crc_error},
      {-3, overflow_3964},
      {-4, no_auth_allowed},
      {-5, com_parity_err},
      {-8, wrong_card},
      {-10, no_auth_done},
      {-11, card_bit_err},
      {-12, card_byte_err},
      {-13, idle_err},
      {-20, after_pooling},
      {-21, framing_erro},
      {-22, access_timeout},
      {-24, coll_err},
  };
  for (int byte = 0; byte < 256; ++byte) {
    const int signedStatus = byte < 128 ? byte : byte - 256;
    const auto it = known.find(signedStatus);
    const long expected = it == known.end() ? any_wire_err : it->second;
    EXPECT_EQ(GetErr(static_cast<char>(byte)), expected) << "status byte " << byte;
  }
}

}  // namespace
