// CRC-16/MCRF4XX known answers. "123456789" -> 0x6F91 is the check value of the published
// catalogue of parametrised CRC algorithms (CRC-16/MCRF4XX: poly 0x1021 reflected, init 0xFFFF,
// refin/refout true, xorout 0); the frame vector is the reader's RF-configuration request
// A5 00 10 00 00, whose CRC goes on the wire as 8D 79.

#include "transport/Crc16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "norvexapi_status.h"

#include "transport/BlockFramingProtocol.h"

namespace {

TEST(Crc16Mcrf4xx, KnownAnswersAndFrameCheck) {
  constexpr uint8_t kCheck[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  static_assert(crc16Mcrf4xx(kCheck, sizeof(kCheck)) == 0x6F91,
                "the simulator may compute it at compile time");
  EXPECT_EQ(crc16Mcrf4xx(kCheck, sizeof(kCheck)), 0x6F91);
  EXPECT_EQ(crc16Mcrf4xx(nullptr, 0), 0xFFFF) << "no data leaves the initial value";

  unsigned char frame[] = {0xA5, 0x00, 0x10, 0x00, 0x00, 0x8D, 0x79};
  EXPECT_EQ(crc16Mcrf4xx(frame, 5), 0x798D);
  EXPECT_EQ(BlockFramingProtocol::CalculateCRC(frame, 5), 0x798D);
  EXPECT_EQ(BlockFramingProtocol::VerifyCRC(frame, sizeof(frame)), 0) << "low byte first";
  std::swap(frame[5], frame[6]);
  EXPECT_EQ(BlockFramingProtocol::VerifyCRC(frame, sizeof(frame)), NORVEX_E_CRC_ERR);
  EXPECT_EQ(BlockFramingProtocol::VerifyCRC(frame, 1), NORVEX_E_CRC_ERR)
      << "too short to hold a CRC";
}

}  // namespace
