// The card access object against the in-process reader simulator: connecting, card registration
// and type detection, re-selection, the checks that reject bad arguments, and block, sector,
// whole-card and trailer transfers checked against what the simulated card holds.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "QVMifareObj.h"
#include "norvexapi.h"
#include "sim/Simulator.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kKeyA = MIF_KEY_TYPE_A;
constexpr int kKeyB = MIF_KEY_TYPE_B;
constexpr uint8_t kActivateIdle = 0x43;

struct Alert {
  QString title;
  QString text;
};

QByteArray ToQBytes(const Bytes& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

QByteArray Pattern(int count, uint8_t salt) {
  QByteArray bytes(count, '\0');
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 13 + salt) & 0xFF);
  return bytes;
}

// Data bytes (no trailers) of the sectors of a card memory image, in sector order.
QByteArray DataImage(const Bytes& memory, int sectors) {
  QByteArray image;
  for (int s = 0; s < sectors; ++s) {
    const int first = s < 32 ? 4 * s : 128 + 16 * (s - 32);
    const int dataBlocks = s < 32 ? 3 : 15;
    image +=
        ToQBytes(Bytes(memory.begin() + 16 * first, memory.begin() + 16 * (first + dataBlocks)));
  }
  return image;
}

class MifareObjTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orlith-obj-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory = pattern;
    sim = std::make_unique<norvexsim::Simulator>(directory + "/bus");
    ASSERT_EQ(setenv("NORVEX_SIMULATOR", sim->socketPath().c_str(), 1), 0);
    obj = std::make_unique<QVMifareObj>();
    obj->SetDebugMode(false);
    obj->SetAlertHandler([this](const QString& title, const QString& text) {
      alerts.push_back({title, text});
    });
  }

  void TearDown() override {
    obj.reset();
    sim.reset();
    unsetenv("NORVEX_SIMULATOR");
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  // A reader, a connected access object and the cards placed one after the other, each registered
  // by the scans that follow its placing, so that registration order is placing order.
  void ConnectWithCards(const std::vector<std::string>& specs) {
    reader = sim->addReader(0x0110);
    ASSERT_TRUE(obj->ConnectToReader(0x0110, QStringLiteral("USB_0")));
    for (const auto& spec : specs) {
      uids.push_back(sim->placeCard(reader, spec));
      const int wanted = static_cast<int>(uids.size());
      for (int scan = 0; scan < 20 && obj->NumberOfRegisteredCards() < wanted; ++scan) {
        obj->SelectAidleCard();
      }
      ASSERT_EQ(obj->NumberOfRegisteredCards(), wanted);
      ASSERT_EQ(obj->RegisteredCards().back()->Uid(),
                QString::fromLatin1(ToQBytes(uids.back()).toHex().toUpper()));
    }
  }

  // A registered card, re-selected so that card operations reach it.
  QVMifareCard& Selected(int index = 0) {
    QVMifareCard& card = *obj->RegisteredCards().at(index);
    EXPECT_EQ(obj->SelectACard(card), 0);
    return card;
  }

  Bytes Memory(int index = 0) const { return sim->cardMemory(reader, uids.at(index)); }

  Bytes MemoryBlock(int block, int index = 0) const {
    const Bytes memory = Memory(index);
    return Bytes(memory.begin() + 16 * block, memory.begin() + 16 * (block + 1));
  }

  size_t Activations() const {
    const auto log = sim->log(reader);
    return static_cast<size_t>(std::count_if(log.begin(), log.end(), [](const auto& entry) {
      return entry.instruction == kActivateIdle;
    }));
  }

  std::string directory;
  std::unique_ptr<norvexsim::Simulator> sim;
  std::unique_ptr<QVMifareObj> obj;
  std::vector<Alert> alerts;
  std::vector<Bytes> uids;
  int reader = 0;
};

// ---------------------------------------------------------------- connecting

TEST_F(MifareObjTest, ConnectFailureReportsTheLibraryTextAndReleasesTheSession) {
  sim->addReader(0x0110);
  const struct {
    int readerId;
    const char* port;
  } cases[] = {{0x0120, "USB_0"}, {0x0110, "USB_1"}};
  for (const auto& c : cases) {
    EXPECT_FALSE(obj->ConnectToReader(c.readerId, QString::fromLatin1(c.port)));
    EXPECT_FALSE(obj->IsConnected());
    EXPECT_EQ(obj->ReaderIdentifier(), c.readerId);
    EXPECT_EQ(obj->ErrorMsg(),
              QStringLiteral("QVMifareObj::ConnectToReader -> Error: Cannot connect the reader ") +
                  QString::fromLatin1(GetErrorText(3002)));
  }
  // Debug mode is off: nothing shown until the failure is forced onto the screen, once.
  EXPECT_TRUE(alerts.empty());
  obj->ForceDisplayMsgErr();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, QStringLiteral("Informazioni"));
  EXPECT_EQ(alerts[0].text, obj->ErrorMsg());
  EXPECT_FALSE(obj->IsDebugMode());
}

TEST_F(MifareObjTest, ConnectingTwiceKeepsTheSessionButForgetsTheCards) {
  reader = sim->addReader(0x0110);
  sim->placeCard(reader, "classic1k:uid=01020304");
  ASSERT_TRUE(obj->ConnectToReader());
  EXPECT_TRUE(obj->IsConnected());
  EXPECT_EQ(obj->ErrorMsg(),
            QStringLiteral("QVMifareObj::ConnectToReader ->Reader 110 connected on USB_0."));
  ASSERT_EQ(obj->SelectAidleCard(), 0);
  ASSERT_EQ(obj->NumberOfRegisteredCards(), 1);

  EXPECT_TRUE(obj->ConnectToReader());
  EXPECT_TRUE(obj->IsConnected());
  EXPECT_EQ(obj->NumberOfRegisteredCards(), 0);
  EXPECT_TRUE(obj->RegisteredCards().isEmpty());
  EXPECT_EQ(
      obj->ErrorMsg(),
      QStringLiteral("QVMifareObj::ConnectToReader ->Reader 110 already connected on USB_0."));
  // The session still works.
  EXPECT_EQ(obj->SelectAidleCard(), 0);
  EXPECT_EQ(obj->NumberOfRegisteredCards(), 1);

  obj->DisconnectToReader();
  EXPECT_FALSE(obj->IsConnected());
  EXPECT_EQ(obj->ErrorMsg(),
            QStringLiteral("QVMifareObj::DisconnectToReader ->Reader 110  disconnected on USB_0"));
  EXPECT_EQ(obj->NumberOfRegisteredCards(), 1);
}

TEST_F(MifareObjTest, DebugModeShowsEveryStoredMessage) {
  obj->SetDebugMode(true);
  sim->addReader(0x0110);
  ASSERT_TRUE(obj->ConnectToReader());
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].text, obj->ErrorMsg());
  obj->ForceDisplayMsgErr();  // already shown
  EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(MifareObjTest, WithoutAReaderCardOperationsGetTheSessionError) {
  QVMifareCard card;
  card.GetCardInfo()->BlocksCount = 64;
  card.GetCardInfo()->SectorsCount = 16;
  std::array<uint8_t, 16> block{};
  EXPECT_EQ(obj->ReadBlock(card, 1, kKeyA, block), 8010);
  EXPECT_EQ(obj->SelectAidleCard(), 8010);
  EXPECT_EQ(obj->NumberOfRegisteredCards(), 0);
}

// ---------------------------------------------------------------- detection and registration

struct DetectionCase {
  const char* spec;
  const char* typeText;
  uint16_t blocks;
  uint8_t sectors;
  uint8_t method;
  bool identifierKept;
};

void PrintTo(const DetectionCase& c, std::ostream* os) {
  *os << c.spec;
}

std::string DetectionCaseName(const ::testing::TestParamInfo<DetectionCase>& info) {
  static const char* const kNames[] = {"Classic1K",  "Classic4K",   "Classic1KWithTcl",
                                       "Ultralight", "DesfireLike", "OtherCard"};
  return kNames[info.index];
}

class DetectionTest : public MifareObjTest, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(DetectionTest, TypeAndGeometryComeFromAtqAndSak) {
  const DetectionCase& c = GetParam();
  ConnectWithCards({c.spec});
  const QVMifareCard& card = *obj->RegisteredCards().at(0);
  EXPECT_EQ(card.CardType(), QString::fromLatin1(c.typeText));
  EXPECT_EQ(card.Uid(), QStringLiteral("0A0B0C0D"));
  const _tag_card_data& info = *card.GetCardInfo();
  EXPECT_EQ(info.BlocksCount, c.blocks);
  EXPECT_EQ(info.SectorsCount, c.sectors);
  EXPECT_EQ(info.Method, c.method);
  const Bytes id(info.ChipID.Mif_UID, info.ChipID.Mif_UID + 4);
  const Bytes expectedId = c.identifierKept ? Bytes{0x0A, 0x0B, 0x0C, 0x0D} : Bytes(4, 0);
  EXPECT_EQ(id, expectedId);
  EXPECT_TRUE(obj->ErrorMsg().startsWith(QStringLiteral("Card ID: 0A0B0C0D")));
}

INSTANTIATE_TEST_SUITE_P(
    Cards, DetectionTest,
    ::testing::Values(
        DetectionCase{"classic1k:uid=0A0B0C0D", "Mifare 1K", 64, 16, 2, true},
        DetectionCase{"classic4k:uid=0A0B0C0D", "Mifare 4K", 256, 40, 3, true},
        DetectionCase{"classic1k:uid=0A0B0C0D,sak=28", "Mifare 1K", 64, 16, 5, true},
        DetectionCase{"classic1k:uid=0A0B0C0D,atq=4400,sak=00", "Mifare Ultralight", 4, 1, 1,
                      false},
        DetectionCase{"classic1k:uid=0A0B0C0D,atq=4403,sak=20", "Mifare DESFire", 0, 0, 5, false},
        DetectionCase{"classic1k:uid=0A0B0C0D,atq=0800,sak=00", "Non Mifare Card", 0, 0, 0, false}),
    DetectionCaseName);

TEST_F(MifareObjTest, EachCardIsRegisteredOnceInOrderOfDetection) {
  ConnectWithCards({"classic1k:uid=11111111"});
  uids.push_back(sim->placeCard(reader, "classic4k:uid=22222222"));
  for (int scan = 0; scan < 30; ++scan) obj->SelectAidleCard();
  ASSERT_EQ(obj->NumberOfRegisteredCards(), 2);
  ASSERT_EQ(obj->RegisteredCards().size(), 2);
  EXPECT_EQ(obj->RegisteredCards()[0]->Uid(), QStringLiteral("11111111"));
  EXPECT_EQ(obj->RegisteredCards()[1]->Uid(), QStringLiteral("22222222"));

  EXPECT_TRUE(obj->SearchCard(*obj->RegisteredCards()[1]));
  QVMifareCard stranger;
  stranger.GetCardInfo()->ChipID = {{9, 9, 9, 9}};
  EXPECT_FALSE(obj->SearchCard(stranger));
  obj->RemoveCard(stranger);
  EXPECT_EQ(obj->NumberOfRegisteredCards(), 2);
  const auto first = obj->RegisteredCards()[0];
  obj->RemoveCard(*first);
  EXPECT_EQ(obj->NumberOfRegisteredCards(), 1);
  EXPECT_EQ(obj->RegisteredCards()[0]->Uid(), QStringLiteral("22222222"));
}

TEST_F(MifareObjTest, CardsWithoutAnIdentifierRegisterAsOne) {
  ConnectWithCards({"classic1k:uid=11111111,atq=4400,sak=00"});
  uids.push_back(sim->placeCard(reader, "classic1k:uid=22222222,atq=4403,sak=20"));
  for (int scan = 0; scan < 30; ++scan) obj->SelectAidleCard();
  EXPECT_EQ(obj->NumberOfRegisteredCards(), 1);
}

TEST_F(MifareObjTest, NoCardInTheFieldRegistersNothing) {
  reader = sim->addReader(0x0110);
  ASSERT_TRUE(obj->ConnectToReader());
  EXPECT_NE(obj->SelectAidleCard(), 0);
  EXPECT_EQ(obj->NumberOfRegisteredCards(), 0);
  EXPECT_FALSE(obj->LastSelectedCard());
}

// ---------------------------------------------------------------- re-selection

TEST_F(MifareObjTest, ReselectionFindsTheWantedCardAmongOthers) {
  ConnectWithCards({"classic1k:uid=11111111", "classic1k:uid=22222222"});
  for (int index : {0, 1, 0}) {
    EXPECT_EQ(obj->SelectACard(*obj->RegisteredCards()[index]), 0);
    EXPECT_EQ(obj->LastUid(), ToQBytes(uids[static_cast<size_t>(index)]));
  }
}

TEST_F(MifareObjTest, ReselectionGivesUpAfterTwentyAttempts) {
  ConnectWithCards({"classic1k:uid=11111111", "classic1k:uid=22222222"});
  const QVMifareCard first = *obj->RegisteredCards()[0];
  ASSERT_TRUE(sim->removeCard(reader, uids[0]));

  // Another card answers every time: the last attempt's status, 0.
  sim->clearLog(reader);
  EXPECT_EQ(obj->SelectACard(first), 0);
  EXPECT_EQ(Activations(), 20u);
  EXPECT_EQ(obj->LastUid(), ToQBytes(uids[1]));

  // An empty field: the status of the last failed attempt.
  sim->removeAllCards(reader);
  sim->clearLog(reader);
  EXPECT_NE(obj->SelectACard(first), 0);
  EXPECT_EQ(Activations(), 20u);
}

// ---------------------------------------------------------------- argument checks

TEST_F(MifareObjTest, RangeAndKeyErrorsAreRejectedWithTheirMessages) {
  ConnectWithCards({"classic1k"});
  const QVMifareCard& card = Selected();
  sim->clearLog(reader);

  std::array<uint8_t, 16> block;
  block.fill(0xAA);
  QByteArray sector = "untouched";
  int numBytes = 0;
  std::array<uint8_t, 4> acl{0xAA, 0xAA, 0xAA, 0xAA};
  _MIF_KEY_ key{kKeyA, {0, 0, 0, 0, 0, 0}};

  const struct {
    std::function<int()> call;
    QString message;
  } cases[] = {
      {[&] { return obj->ReadBlock(card, 64, kKeyA, block); },
       "QVMifareObj::ReadBlock -> Error: Invalid block number! Max Blocks: 64 - Block request to "
       "read: 64"},
      {[&] { return obj->ReadBlock(card, -1, kKeyA, block); },
       "QVMifareObj::ReadBlock -> Error: Invalid block number! Max Blocks: 64 - Block request to "
       "read: -1"},
      {[&] { return obj->ReadBlock(card, 1, 0x62, block); },
       "QVMifareObj::ReadBlock -> Error: Invalid Key! Must be USE_KEY_A or USE_KEY_B"},
      {[&] { return obj->WriteBlock(card, 64, kKeyB, block); },
       "QVMifareObj::WriteBlock -> Error: Invalid block number! Max Blocks: 64 - Block request to "
       "write: 64"},
      {[&] { return obj->EraseBlock(card, 4, 0); },
       "QVMifareObj::WriteBlock -> Error: Invalid Key! Must be USE_KEY_A or USE_KEY_B"},
      {[&] { return obj->ReadSector(card, 16, kKeyA, sector, numBytes); },
       "QVMifareObj::ReadSector -> Error: Invalid sector number! Max Sectors: 16 - Sector request "
       "to read: 16"},
      {[&] { return obj->ReadSector(card, 1, 0x59, sector, numBytes); },
       "QVMifareObj::ReadSector -> Error: Invalid Key! Must be USE_KEY_A or USE_KEY_B"},
      {[&] { return obj->WriteSector(card, 16, kKeyA, QByteArray(48, 0)); },
       "QVMifareObj::WriteSector -> Error: Invalid sector number! Max Sectors: 16 - Sector request "
       "to read: 16"},
      {[&] { return obj->EraseSector(card, 2, 0x00); },
       "QVMifareObj::WriteSector -> Error: Invalid Key! Must be USE_KEY_A or USE_KEY_B"},
      {[&] { return obj->ReadACL(card, 16, kKeyA, acl, key); },
       "QVMifareObj::ReadACL -> Error: Invalid sector number! Max Sectors: 16 - Sector request to "
       "read: 16"},
      {[&] { return obj->ReadACL(card, 0, 0x62, acl, key); },
       "QVMifareObj::ReadACL -> Error: Invalid Key! Must be USE_KEY_A or USE_KEY_B"},
      {[&] { return obj->WriteACL(card, 16, key, acl, key, key); },
       "QVMifareObj::WriteACL -> Error: Invalid sector number! Max Sectors: 16 - Sector request to "
       "read: 16"},
      {[&] { return obj->ReadAllSector(card, sector, 0x62); },
       "QVMifareObj::ReadSector -> Error: Invalid Key! Must be USE_KEY_A or USE_KEY_B"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), -1) << c.message.toStdString();
    EXPECT_EQ(obj->ErrorMsg(), c.message);
  }
  EXPECT_TRUE(alerts.empty());  // debug mode is off
  EXPECT_TRUE(sim->log(reader).empty());
  EXPECT_EQ(block, (std::array<uint8_t, 16>{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA,
                                            0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));
  EXPECT_EQ(acl, (std::array<uint8_t, 4>{0xAA, 0xAA, 0xAA, 0xAA}));
  EXPECT_EQ(key.KeyType, kKeyA);
}

TEST_F(MifareObjTest, ShortWriteDataIsRejectedBeforeAnythingIsWritten) {
  ConnectWithCards({"classic1k"});
  const QVMifareCard& card = Selected();
  const Bytes before = Memory();
  sim->clearLog(reader);

  EXPECT_EQ(obj->WriteSector(card, 3, kKeyA, QByteArray(47, 'x')), -1);
  EXPECT_EQ(obj->ErrorMsg(), QStringLiteral("QVMifareObj::WriteSector -> Error: Not enough data! "
                                            "Bytes needed: 48 - Bytes given: 47"));
  EXPECT_EQ(obj->WriteAllSector(card, QByteArray(767, 'x'), kKeyA), -1);
  EXPECT_EQ(obj->ErrorMsg(), QStringLiteral("QVMifareObj::WriteAllSector -> Error: Not enough "
                                            "data! Bytes needed: 768 - Bytes given: 767"));
  EXPECT_TRUE(sim->log(reader).empty());
  EXPECT_EQ(Memory(), before);
}

// ---------------------------------------------------------------- transfers

TEST_F(MifareObjTest, BlocksAreWrittenReadAndErased) {
  ConnectWithCards({"classic1k"});
  const QVMifareCard& card = Selected();
  std::array<uint8_t, 16> data{};
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x30 + i);

  ASSERT_EQ(obj->WriteBlock(card, 9, kKeyA, data), 0);
  EXPECT_EQ(MemoryBlock(9), Bytes(data.begin(), data.end()));
  std::array<uint8_t, 16> read{};
  ASSERT_EQ(obj->ReadBlock(card, 9, kKeyA, read), 0);
  EXPECT_EQ(read, data);
  ASSERT_EQ(obj->EraseBlock(card, 9, kKeyA), 0);
  EXPECT_EQ(MemoryBlock(9), Bytes(16, 0));
}

TEST_F(MifareObjTest, SectorTransfersUseTheSectorsDataSize) {
  ConnectWithCards({"classic4k"});
  const QVMifareCard& card = Selected();
  const struct {
    int sector;
    int size;
    int firstBlock;
  } cases[] = {{31, 48, 124}, {32, 240, 128}, {35, 240, 176}, {39, 240, 240}};
  for (const auto& c : cases) {
    const QByteArray data = Pattern(c.size, static_cast<uint8_t>(c.sector));
    ASSERT_EQ(obj->WriteSector(card, c.sector, kKeyA, data), 0) << c.sector;
    const Bytes memory = Memory();
    EXPECT_EQ(ToQBytes(Bytes(memory.begin() + 16 * c.firstBlock,
                             memory.begin() + 16 * c.firstBlock + c.size)),
              data);
    QByteArray read;
    int numBytes = 0;
    ASSERT_EQ(obj->ReadSector(card, c.sector, kKeyA, read, numBytes), 0) << c.sector;
    EXPECT_EQ(numBytes, c.size);
    EXPECT_EQ(read, data);
    ASSERT_EQ(obj->EraseSector(card, c.sector, kKeyA), 0);
    ASSERT_EQ(obj->ReadSector(card, c.sector, kKeyA, read, numBytes), 0);
    EXPECT_EQ(read, QByteArray(c.size, '\0'));
  }
}

TEST_F(MifareObjTest, WholeCardImagesHaveTheCardsSize) {
  ConnectWithCards({"classic1k:uid=11111111", "classic4k:uid=22222222"});
  const struct {
    int index;
    int sectors;
    int size;
  } cases[] = {{0, 16, 768}, {1, 40, 3456}};
  for (const auto& c : cases) {
    const QVMifareCard& card = Selected(c.index);
    QByteArray image = Pattern(c.size, 7);
    ASSERT_EQ(obj->WriteAllSector(card, image, kKeyA), 0);
    // Block 0 (manufacturer data) is never written.
    image.replace(0, 16, DataImage(Memory(c.index), 1).left(16));
    EXPECT_EQ(DataImage(Memory(c.index), c.sectors), image);

    QByteArray read = "stale";
    ASSERT_EQ(obj->ReadAllSector(card, read, kKeyA), 0);
    EXPECT_EQ(read.size(), c.size);
    EXPECT_EQ(read, image);
  }
}

TEST_F(MifareObjTest, WholeCardReadStopsAtASectorWithAnotherKey) {
  ConnectWithCards({"classic1k"});
  const QVMifareCard& card = Selected();
  // Sector 5 gets a key A the card record does not know.
  _MIF_KEY_ transport{static_cast<uint8_t>(kKeyA), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  _MIF_KEY_ newKeyA{static_cast<uint8_t>(kKeyA), {1, 2, 3, 4, 5, 6}};
  _MIF_KEY_ newKeyB{static_cast<uint8_t>(kKeyB), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  const std::array<uint8_t, 4> acl{0xFF, 0x07, 0x80, 0x69};
  ASSERT_EQ(obj->WriteACL(card, 5, transport, acl, newKeyA, newKeyB), 0);

  ASSERT_EQ(obj->SelectACard(card), 0);
  QByteArray read;
  const int status = obj->ReadAllSector(card, read, kKeyA);
  EXPECT_NE(status, 0);
  EXPECT_NE(status, -1);
  EXPECT_EQ(read.size(), 5 * 48);
  EXPECT_EQ(read, DataImage(Memory(), 5));
}

TEST_F(MifareObjTest, TrailerIsReadAndRewritten) {
  ConnectWithCards({"classic1k"});
  QVMifareCard& card = Selected();
  std::array<uint8_t, 4> acl{};
  _MIF_KEY_ keyB{};
  ASSERT_EQ(obj->ReadACL(card, 2, kKeyA, acl, keyB), 0);
  EXPECT_EQ(acl, (std::array<uint8_t, 4>{0xFF, 0x07, 0x80, 0x69}));
  EXPECT_EQ(keyB.KeyType, kKeyB);
  EXPECT_EQ(Bytes(keyB.KeyValue, keyB.KeyValue + 6), Bytes(6, 0xFF));

  // New keys, and access bits under which key B is secret and opens the data blocks
  // (data blocks: condition 000; trailer: condition 011).
  _MIF_KEY_ authentication{static_cast<uint8_t>(kKeyA), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  _MIF_KEY_ newKeyA{static_cast<uint8_t>(kKeyA), {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}};
  _MIF_KEY_ newKeyB{static_cast<uint8_t>(kKeyB), {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}};
  const std::array<uint8_t, 4> newAcl{0x7F, 0x07, 0x88, 0x42};
  ASSERT_EQ(obj->WriteACL(card, 2, authentication, newAcl, newKeyA, newKeyB), 0);
  EXPECT_EQ(MemoryBlock(11), (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x7F, 0x07, 0x88, 0x42,
                                    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}));

  // Each key number authenticates with its own key of the card record.
  std::array<uint8_t, 16> block{};
  for (int keyNum : {kKeyA, kKeyB}) {
    ASSERT_EQ(obj->SelectACard(card), 0);
    EXPECT_GT(obj->ReadBlock(card, 8, keyNum, block), 0) << keyNum;
  }
  ASSERT_TRUE(card.setNewKeyA(QStringLiteral("a0a1a2a3a4a5")));
  ASSERT_TRUE(card.setNewKeyB(QStringLiteral("B0B1B2B3B4B5")));
  for (int keyNum : {kKeyA, kKeyB}) {
    ASSERT_EQ(obj->SelectACard(card), 0);
    EXPECT_EQ(obj->ReadBlock(card, 8, keyNum, block), 0) << keyNum;
  }
  ASSERT_EQ(obj->SelectACard(card), 0);
  ASSERT_EQ(obj->ReadACL(card, 2, kKeyB, acl, keyB), 0);
  EXPECT_EQ(acl, newAcl);
  // Key B is secret now: the card hands out zeros in its place.
  EXPECT_EQ(Bytes(keyB.KeyValue, keyB.KeyValue + 6), Bytes(6, 0x00));
}

TEST_F(MifareObjTest, HaltedCardNoLongerAnswersAnIdleSelection) {
  ConnectWithCards({"classic1k"});
  Selected();
  obj->HaltTheCard();
  EXPECT_NE(obj->SelectAidleCard(), 0);
}

}  // namespace
