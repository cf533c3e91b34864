// SPDX-License-Identifier: MIT
// An ISO 7816-4 session with the simulated ISO 14443-4 card through the flat API: activation
// (RATS), application selection, a 700-byte file read through a chained answer, an update sent as
// chained I-blocks and read back, and the DESELECT; each checked on the card and over the air. The
// card's faults: recovered, or reported with the card's session ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "TclHarness.h"

namespace {

constexpr uint32_t kTimeout = 1000;
constexpr uint16_t kFrameSize = 64;               // FSCI 5: the card's and the reader's (FSDI 5)
constexpr uint8_t kRatsParam = 0x50;              // FSDI 5, CID 0
constexpr size_t kNdefFileOffset = 16 + 64 + 15;  // EF E104 in the card's memory image
constexpr uint16_t kLength = 700;
const Bytes kNdefApplication{0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x01};

class TclCard : public TclTest {
 protected:
  void SetUp() override {
    TclTest::SetUp();
    try {
      uid = Place("iso14443-4:fsci=5");
    } catch (const std::invalid_argument&) {
      GTEST_SKIP() << "this simulator has no iso14443-4 card";
    }
  }
  // Sends an APDU; returns the answer with its status word, empty on failure.
  Bytes Transmit(const Bytes& apdu) {
    Bytes resp(2048);
    uint16_t respLen = static_cast<uint16_t>(resp.size());
    const long status =
        Send_Raw_APDU(session, &blockNumber, kFrameSize, apdu.data(),
                      static_cast<uint16_t>(apdu.size()), resp.data(), &respLen, kTimeout);
    EXPECT_EQ(status, 0) << ::testing::PrintToString(apdu);
    resp.resize(status == 0 ? respLen : 0);
    return resp;
  }
  Bytes FileContent() const {
    const Bytes memory = Memory(uid);
    return Bytes(memory.begin() + kNdefFileOffset, memory.begin() + kNdefFileOffset + kLength);
  }
  static Bytes Ok(Bytes data = {}) {
    data.insert(data.end(), {0x90, 0x00});
    return data;
  }

  // RATS, then the NDEF application and its file E104 selected.
  void OpenNdefFile(uint8_t (&ats)[64], uint16_t& atsLen, bool resetField) {
    atsLen = sizeof ats;
    ASSERT_EQ((resetField ? V2_RequestATS : Request_ATS)(session, kRatsParam, &atsLen, ats), 0);
    blockNumber = 0;
    Bytes select{0x00, 0xA4, 0x04, 0x0C, 0x07};
    select.insert(select.end(), kNdefApplication.begin(), kNdefApplication.end());
    ASSERT_EQ(Transmit(select), Ok());
    ASSERT_EQ(Transmit({0x00, 0xA4, 0x00, 0x0C, 0x02, 0xE1, 0x04}), Ok());
  }
  // UPDATE BINARY of count bytes of fill at offset (short Lc).
  static Bytes Update(uint16_t offset, uint8_t count, uint8_t fill) {
    Bytes apdu{0x00, 0xD6, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset), count};
    apdu.insert(apdu.end(), count, fill);
    return apdu;
  }

  Bytes uid;
  uint8_t blockNumber = 0;
};

TEST_F(TclCard, SessionReadsAndUpdatesALongFileThroughChaining) {
  uint8_t ats[64];
  uint16_t atsLen = sizeof ats;
  ASSERT_EQ(Request_ATS(session, kRatsParam, &atsLen, ats), 0);
  ASSERT_GE(atsLen, 2);
  EXPECT_EQ(ats[1] & 0x0F, 5) << "the card's FSCI";
  EXPECT_EQ(Instructions(), (Bytes{0x43, kRequestAts}));
  EXPECT_EQ(Log()[1].params, Bytes{kRatsParam});

  Bytes select{0x00, 0xA4, 0x04, 0x0C, 0x07};
  select.insert(select.end(), kNdefApplication.begin(), kNdefApplication.end());
  EXPECT_EQ(Transmit(select), Ok());
  EXPECT_EQ(Transmit({0x00, 0xA4, 0x00, 0x0C, 0x02, 0xE1, 0x04}), Ok());

  // READ BINARY with an extended Le of 700: the answer comes back in chained I-blocks of at most
  // 60 bytes (64 less PCB, CID and CRC), each acknowledged by the reader.
  ClearLog();
  const Bytes read{0x00, 0xB0, 0x00, 0x00, 0x00, 0x02, 0xBC};
  EXPECT_EQ(Transmit(read), Ok(FileContent()));
  const auto cardFrames = CardFrames();
  ASSERT_EQ(cardFrames.size(), (kLength + 2 + 59) / 60);
  for (size_t i = 0; i < cardFrames.size(); ++i) {
    EXPECT_LE(cardFrames[i].size(), kFrameSize - 2u);
    EXPECT_EQ((cardFrames[i][0] & 0x10) != 0, i + 1 < cardFrames.size()) << "chaining bit " << i;
  }

  // UPDATE BINARY of 700 bytes goes out as chained I-blocks of 60 bytes with alternating block
  // numbers; the card then holds the new content.
  Bytes content(kLength);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 7 + 3);
  Bytes update{0x00, 0xD6, 0x00, 0x00, 0x00, 0x02, 0xBC};
  update.insert(update.end(), content.begin(), content.end());
  ClearLog();
  EXPECT_EQ(Transmit(update), Ok());
  const auto sent = SentFrames();
  const size_t blocks = (update.size() + 59) / 60;
  ASSERT_EQ(sent.size(), blocks);
  for (size_t i = 0; i < blocks; ++i) {
    EXPECT_EQ(sent[i][0] & 0x1F, (i + 1 < blocks ? 0x1A : 0x0A) | ((sent[0][0] & 1) ^ (i & 1)))
        << i;
    EXPECT_LE(sent[i].size(), kFrameSize - 2u);
  }
  EXPECT_EQ(FileContent(), content);
  EXPECT_EQ(Transmit(read), Ok(content));

  ClearLog();
  EXPECT_EQ(TCLPing(session, &blockNumber, kFrameSize, kTimeout), 0);
  EXPECT_EQ(Reset14443_4(session, 16), 0);
  EXPECT_EQ(SentFrames().back(), Bytes{0xC2});
}

// The card's own faults: the library recovers where the block rules allow it and otherwise
// stops with a status, leaving the block number alone, and deselects the card.
TEST_F(TclCard, CardFaultsAreRecoveredOrReported) {
  using norvexsim::tcl::TclFaultKind;
  const Bytes select{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
  const Bytes iBlock = [&] {
    Bytes frame{0x0A, 0x00};
    frame.insert(frame.end(), select.begin(), select.end());
    return frame;
  }();
  const Bytes wtx{0xFA, 0x00, 0x01}, nak{0xBA, 0x00}, deselect{0xCA, 0x00};
  const std::tuple<TclFaultKind, long, std::vector<Bytes>> cases[] = {
      {TclFaultKind::WtxRequests, 0, {iBlock, wtx, wtx, wtx}},
      {TclFaultKind::WrongAckNumber, 0, {iBlock, iBlock}},
      {TclFaultKind::LoseIBlock, 0, {iBlock, nak, iBlock}},
      {TclFaultKind::NakIBlock, NORVEX_E_MI_COMM_ABORT, {iBlock, deselect}},
      {TclFaultKind::EmptyAnswer, NORVEX_E_MI_COMM_ABORT, {iBlock, deselect}},
      {TclFaultKind::OneByteAnswer, NORVEX_E_MI_COMM_ABORT, {iBlock, deselect}},
  };
  for (const auto& [fault, status, sent] : cases) {
    SCOPED_TRACE(static_cast<int>(fault));
    bus->removeAllCards(reader);
    Place("iso14443-4:fsci=5");
    uint8_t ats[64];
    uint16_t atsLen = sizeof ats;
    ASSERT_EQ(Request_ATS(session, kRatsParam, &atsLen, ats), 0);
    bus->injectCardFault(reader, {fault, 3});
    ClearLog();
    uint8_t resp[64], apduBlockNumber = 0;
    uint16_t respLen = sizeof resp;
    EXPECT_EQ(Send_Raw_APDU(session, &apduBlockNumber, kFrameSize, select.data(),
                            static_cast<uint16_t>(select.size()), resp, &respLen, kTimeout),
              status);
    EXPECT_EQ(SentFrames(), sent);
    EXPECT_EQ(apduBlockNumber, status == 0 ? 1 : 0);
    if (status == 0) {
      EXPECT_EQ(Bytes(resp, resp + respLen), (Bytes{0x90, 0x00}));
    }
  }
}

// A card whose frame is lost in the middle of an APDU may still be inside the reader's chain: its
// session is ended (S(DESELECT)) and no later APDU goes to it until it is activated again, so the
// next APDU can never be joined to the broken one. A frame longer than the frame size is the
// card's protocol error as well.
TEST_F(TclCard, ABrokenExchangeEndsTheCardsSession) {
  using norvexsim::tcl::TclFaultKind;
  const Bytes readAll{0x00, 0xB0, 0x00, 0x00, 0x00, 0x02, 0xBC};
  const std::tuple<TclFaultKind, Bytes> cases[] = {
      {TclFaultKind::EmptyAnswer, Update(0, 184, 0xA5)},
      {TclFaultKind::OneByteAnswer, Update(0, 184, 0xA5)},
      {TclFaultKind::OversizeFrame, readAll},
  };
  const Bytes deselect{0xCA, 0x00};
  const Bytes later = Update(0x100, 184, 0x5A);
  for (const auto& [fault, broken] : cases) {
    SCOPED_TRACE(static_cast<int>(fault));
    uint8_t ats[64];
    uint16_t atsLen = 0;
    OpenNdefFile(ats, atsLen, true);
    const Bytes before = FileContent();
    bus->injectCardFault(reader, {fault, 1});
    ClearLog();
    Bytes resp(2048);
    uint16_t respLen = static_cast<uint16_t>(resp.size());
    EXPECT_EQ(Send_Raw_APDU(session, &blockNumber, kFrameSize, broken.data(),
                            static_cast<uint16_t>(broken.size()), resp.data(), &respLen, kTimeout),
              NORVEX_E_MI_COMM_ABORT);
    ASSERT_FALSE(SentFrames().empty());
    EXPECT_EQ(SentFrames().back(), deselect);

    // Refused at once, with nothing sent, by Send_Raw_APDU and KstSend_APDU alike.
    ClearLog();
    respLen = static_cast<uint16_t>(resp.size());
    EXPECT_EQ(Send_Raw_APDU(session, &blockNumber, kFrameSize, later.data(),
                            static_cast<uint16_t>(later.size()), resp.data(), &respLen, kTimeout),
              NORVEX_E_RD_CHAINING_ERROR);
    APDU_CHANNEL channel{blockNumber, kFrameSize, kTimeout};
    uint16_t statusWord = 0;
    respLen = static_cast<uint16_t>(resp.size());
    EXPECT_EQ(KstSend_APDU(session, &channel, later.data(), static_cast<uint16_t>(later.size()),
                           resp.data(), &respLen, &statusWord),
              NORVEX_E_RD_CHAINING_ERROR);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(FileContent(), before);

    // Activated again (the card was deselected: the field is reset), the update lands where it
    // was addressed.
    OpenNdefFile(ats, atsLen, true);
    EXPECT_EQ(Transmit(later), Ok());
    Bytes expected = before;
    std::fill_n(expected.begin() + 0x100, 184, 0x5A);
    EXPECT_EQ(FileContent(), expected);
  }
}

}  // namespace
