// SPDX-License-Identifier: MIT
#include "sim/cards/CardFactory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "sim/bus/Fd.h"
#include "sim/cards/ClassicNdefImage.h"
#include "sim/cards/HexBytes.h"
#include "sim/cards/MifareClassic.h"
#include "sim/cards/TclCard.h"
#include "sim/cards/Type2Tag.h"
#include "sim/cards/UltralightC.h"
#include "sim/cards/desfire/DesfireApp.h"
#include "sim/cards/desfire/NdefApplication.h"
#include "sim/cards/iso7816/Iso7816App.h"
#include "sim/cards/typeb/TypeBCard.h"

namespace norvexsim {
namespace {

// Loads a card's memory image. Only a regular file of exactly the card's size is read: opening
// with O_NONBLOCK keeps a FIFO from wedging the simulator, and the checks on the opened
// descriptor keep devices (/dev/zero) and files of any other size out. Messages name the path
// and the reason, never the file's contents.
std::vector<uint8_t> readImage(const std::string& path, size_t expectedSize) {
  const auto refuse = [&](const std::string& why) {
    return std::invalid_argument("card image '" + path + "' " + why);
  };
  const Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file.valid()) throw refuse(std::string("cannot be opened: ") + std::strerror(errno));
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw refuse("is not a regular file");
  }
  const std::string wanted = "must hold exactly " + std::to_string(expectedSize) + " bytes";
  if (static_cast<size_t>(info.st_size) != expectedSize) throw refuse(wanted);

  std::vector<uint8_t> image(expectedSize + 1);  // one more: a file that grew is noticed
  size_t done = 0;
  while (done < image.size()) {
    const ssize_t got = ::read(file.get(), image.data() + done, image.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw refuse(std::string("cannot be read: ") + std::strerror(errno));
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  if (done != expectedSize) throw refuse(wanted);
  image.resize(expectedSize);
  return image;
}

std::vector<uint8_t> hexOption(const CardDescription& description, const std::string& name,
                               std::initializer_list<size_t> lengths) {
  auto bytes = parseHexBytes(*description.option(name));
  for (size_t length : lengths) {
    if (bytes.size() == length) return bytes;
  }
  throw std::invalid_argument("option " + name + "=" + *description.option(name) +
                              " has the wrong number of bytes");
}

std::unique_ptr<Card> makeClassic(const CardDescription& description, const UidSource& freshUid,
                                  ClassicModel model) {
  description.requireOnly({"uid", "atq", "sak", "file", "ndef"});
  std::vector<uint8_t> image;
  if (auto path = description.option("file"))
    image = readImage(*path, MifareClassic::memorySize(model));
  if (description.option("file") && description.option("ndef"))
    throw std::invalid_argument("options file and ndef exclude each other");

  std::vector<uint8_t> uid;
  if (description.option("uid")) {
    uid = hexOption(description, "uid", {4, 7});
  } else if (!image.empty()) {
    uid.assign(image.begin(), image.begin() + 4);  // a single-size UID heads block 0
  } else {
    uid = freshUid(4);
  }
  Atq atq = MifareClassic::defaultAtq(model, uid.size());
  if (description.option("atq")) {
    auto bytes = hexOption(description, "atq", {2});
    atq = {bytes[0], bytes[1]};
  }
  uint8_t sak = MifareClassic::defaultSak(model);
  if (description.option("sak")) sak = hexOption(description, "sak", {1})[0];

  auto card = std::make_unique<MifareClassic>(model, std::move(uid), atq, sak);
  if (!image.empty()) card->setMemory(image);
  if (auto message = description.option("ndef")) {
    // ndef=HEX: formatted as an NFC Forum tag holding that message ("ndef=" for an empty one).
    image = card->memory();
    formatClassicNdef(image, parseHexBytes(*message));
    card->setMemory(image);
  }
  return card;
}

// A generic ISO 14443-4 card with a 7816-4 file system. ATQA: UID size in bits 8-7, bit frame
// anticollision in bit 3. ndef=HEX puts that NDEF message into its type 4 tag's NDEF file;
// ndef=none makes a card without the NFC Forum application.
std::unique_ptr<Card> makeIso14443_4(const CardDescription& description,
                                     const UidSource& freshUid) {
  description.requireOnly({"uid", "ats", "fsci", "cid", "ndef"});
  auto uid = description.option("uid") ? hexOption(description, "uid", {4, 7}) : freshUid(7);
  auto ats = description.option("ats") ? tcl::Ats::parse(parseHexBytes(*description.option("ats")))
                                       : tcl::Ats::standard();
  if (auto fsci = description.option("fsci")) {
    const bool digits = !fsci->empty() && fsci->size() <= 2 &&
                        fsci->find_first_not_of("0123456789") == std::string::npos;
    if (!digits) throw std::invalid_argument("option fsci=" + *fsci + " is not a number 0-12");
    ats.setFsci(static_cast<uint8_t>(std::stoi(*fsci)));
  }
  if (auto cid = description.option("cid")) {
    if (*cid != "on" && *cid != "off") throw std::invalid_argument("option cid is on or off");
    ats.setCidSupported(*cid == "on");
  }
  uint32_t seed = 0;
  for (uint8_t byte : uid) seed = seed * 31 + byte;
  const Atq atq{static_cast<uint8_t>(uid.size() == 7 ? 0x44 : 0x04), 0x00};
  const auto ndef = description.option("ndef");
  const bool withNdef = ndef != "none";
  auto application = std::make_unique<iso7816::Iso7816App>(seed, withNdef);
  if (ndef && withNdef && !application->setNdefMessage(parseHexBytes(*ndef))) {
    throw std::invalid_argument("option ndef: the message does not fit the 1024-byte NDEF file");
  }
  return std::make_unique<TclCard>("iso14443-4", std::move(uid), atq, std::move(ats),
                                   std::move(application));
}

// The PICC master key of key=[TYPE:]HEX: des (8 or 16 bytes, the default type), 2k3des (16),
// 3k3des (24) or aes (16, key version 0).
desfire::Key desfireKey(const std::string& text) {
  struct KeyKind {
    std::string_view prefix;
    desfire::KeyType type;
    std::initializer_list<size_t> lengths;
  };
  static const std::array<KeyKind, 4> kKinds{{
      {"des:", desfire::KeyType::kDes, {8, 16}},
      {"2k3des:", desfire::KeyType::kDes, {16}},
      {"3k3des:", desfire::KeyType::k3K3Des, {24}},
      {"aes:", desfire::KeyType::kAes, {16}},
  }};
  KeyKind kind = kKinds[0];
  std::string hex = text;
  for (const auto& candidate : kKinds) {
    if (!text.starts_with(candidate.prefix)) continue;
    kind = candidate;
    hex = text.substr(candidate.prefix.size());
  }
  auto bytes = parseHexBytes(hex);
  if (std::find(kind.lengths.begin(), kind.lengths.end(), bytes.size()) == kind.lengths.end()) {
    throw std::invalid_argument("option key=" + text + " has the wrong number of bytes");
  }
  if (bytes.size() == 8) bytes.insert(bytes.end(), bytes.begin(), bytes.end());
  return desfire::Key::of(kind.type, bytes);
}

desfire::CardSize desfireSize(const std::string& text) {
  if (text == "2k") return desfire::CardSize::k2K;
  if (text == "4k") return desfire::CardSize::k4K;
  if (text == "8k") return desfire::CardSize::k8K;
  throw std::invalid_argument("option size=" + text + " is not 2k, 4k or 8k");
}

// A DESFire EV1 card in factory state: PICC master key (key=, see desfireKey; default 16 zero
// bytes, single DES), no application, 2, 4 or 8 KiB of EEPROM (size=, default 4k). ATQA 0344,
// SAK 20, ATS with FSCI 5 (64-byte frames). ndef=HEX gives it the NFC Forum type 4 application
// holding that message, as formatters create it.
std::unique_ptr<Card> makeDesfire(const CardDescription& description, const UidSource& freshUid) {
  description.requireOnly({"uid", "key", "size", "ndef"});
  auto uid = description.option("uid") ? hexOption(description, "uid", {7}) : freshUid(7);
  desfire::Key key;
  if (auto text = description.option("key")) key = desfireKey(*text);
  const auto size = desfireSize(description.option("size").value_or("4k"));
  uint32_t seed = 0;
  for (uint8_t byte : uid) seed = seed * 31 + byte;
  auto ats = tcl::Ats::parse({0x06, 0x75, 0x77, 0x81, 0x02, 0x80});
  auto application = std::make_unique<desfire::DesfireApp>(uid, key, seed, size);
  if (description.option("ndef")) {
    desfire::placeNdefApplication(*application, parseHexBytes(*description.option("ndef")));
  }
  return std::make_unique<TclCard>("desfire", std::move(uid), Atq{0x44, 0x03}, std::move(ats),
                                   std::move(application));
}

// The password options of the tags with configuration pages: pwd= (4 bytes), pack= (2 bytes)
// and auth0= (hex, the first protected page), written into the configuration pages.
void applyPassword(const CardDescription& description, Type2Tag& card) {
  const unsigned config = card.model().configPage;
  auto image = card.memory();
  const auto put = [&](const char* name, size_t length, unsigned page, size_t byte) {
    if (!description.option(name)) return;
    if (config == 0)
      throw std::invalid_argument(std::string("option ") + name + " needs a tag with a password");
    const auto bytes = hexOption(description, name, {length});
    std::copy(bytes.begin(), bytes.end(),
              image.begin() + (config + page) * Type2Tag::kPageSize + byte);
  };
  put("auth0", 1, 0, 3);
  put("pwd", 4, 2, 0);
  put("pack", 2, 3, 0);
  card.setMemory(image);
}

// The originality signature of the chips with GET_VERSION: signature= (32 bytes, r || s, kept as
// given) or sigkey= (16 bytes, the private key that signs the UID); by default the test key of
// OriginalitySigner.h signs it.
void applySignature(const CardDescription& description, Type2Tag& card) {
  if (description.option("signature")) {
    const auto bytes = hexOption(description, "signature", {Signature{}.size()});
    Signature signature{};
    std::copy(bytes.begin(), bytes.end(), signature.begin());
    card.setSignature(signature);
  } else if (description.option("sigkey")) {
    const auto bytes = hexOption(description, "sigkey", {SigningKey{}.size()});
    SigningKey key{};
    std::copy(bytes.begin(), bytes.end(), key.begin());
    card.setSignature(signUid(card.uid(), key));
  }
}

// The 7-byte UID of a type 2 tag: uid=, else that of the memory image in pages 0 and 1, else one
// drawn with the manufacturer byte 04.
std::vector<uint8_t> type2Uid(const CardDescription& description, const UidSource& freshUid,
                              const std::vector<uint8_t>& image) {
  if (description.option("uid")) return hexOption(description, "uid", {7});
  if (!image.empty()) return {image[0], image[1], image[2], image[4], image[5], image[6], image[7]};
  auto uid = freshUid(7);
  uid[0] = 0x04;
  return uid;
}

// ndef=HEX on a type 2 tag: the message in an NDEF TLV from page 4, followed by a terminator when
// there is room, and the NFC Forum capability container in page 3 for a blank tag (its data area
// up to the configuration pages).
void applyNdef(const CardDescription& description, Type2Tag& card) {
  if (!description.option("ndef")) return;
  const auto message = parseHexBytes(*description.option("ndef"));
  auto image = card.memory();
  const auto cc = image.begin() + 3 * Type2Tag::kPageSize;
  if (cc[0] == 0x00) {
    const unsigned end = card.model().configPage ? card.model().configPage : card.model().pages;
    const std::array<uint8_t, 4> container{
        0xE1, 0x10, static_cast<uint8_t>((end - 4) * Type2Tag::kPageSize / 8), 0x00};
    std::copy(container.begin(), container.end(), cc);
  }
  std::vector<uint8_t> tlv{0x03};
  if (message.size() > 0xFE) {
    tlv.insert(tlv.end(), {0xFF, static_cast<uint8_t>(message.size() >> 8),
                           static_cast<uint8_t>(message.size())});
  } else {
    tlv.push_back(static_cast<uint8_t>(message.size()));
  }
  tlv.insert(tlv.end(), message.begin(), message.end());
  const size_t area = static_cast<size_t>(cc[2]) * 8;
  if (tlv.size() > area)
    throw std::invalid_argument("option ndef: the message does not fit the tag");
  if (tlv.size() < area) tlv.push_back(0xFE);
  std::copy(tlv.begin(), tlv.end(), image.begin() + 4 * Type2Tag::kPageSize);
  card.setMemory(image);
}

// An Ultralight, Ultralight EV1 or NTAG21x in factory state (uid=, 7 bytes, manufacturer byte 04
// when drawn), or with the memory image of file= (its UID from pages 0 and 1 unless uid= is
// given); then the password options.
std::unique_ptr<Card> makeType2(const CardDescription& description, const UidSource& freshUid,
                                const Type2Model& model) {
  std::vector<uint8_t> image;
  if (auto path = description.option("file")) {
    image = readImage(*path, model.pages * Type2Tag::kPageSize);
  }
  auto card = std::make_unique<Type2Tag>(model, type2Uid(description, freshUid, image));
  if (!image.empty()) card->setMemory(image);
  applyPassword(description, *card);
  if (model.version) applySignature(description, *card);
  applyNdef(description, *card);
  return card;
}

template <const Type2Model& (*model)()>
std::unique_ptr<Card> makeType2Of(const CardDescription& description, const UidSource& freshUid) {
  if (model().configPage == 0) {
    description.requireOnly({"uid", "file", "ndef"});
  } else {
    description.requireOnly({"uid", "file", "pwd", "pack", "auth0", "signature", "sigkey", "ndef"});
  }
  return makeType2(description, freshUid, model());
}

// An Ultralight EV1: model=mf0ul11 (20 pages, the default) or model=mf0ul21 (41 pages).
std::unique_ptr<Card> makeUltralightEv1(const CardDescription& description,
                                        const UidSource& freshUid) {
  description.requireOnly(
      {"uid", "file", "pwd", "pack", "auth0", "model", "signature", "sigkey", "ndef"});
  const std::string chip = description.option("model").value_or("mf0ul11");
  if (chip != "mf0ul11" && chip != "mf0ul21") {
    throw std::invalid_argument("option model=" + chip + " is not mf0ul11 or mf0ul21");
  }
  return makeType2(description, freshUid, ultralightEv1Model(chip == "mf0ul21"));
}

// An Ultralight C in factory state with key= (16 bytes, K1 || K2; default the factory key), or
// with the memory image of file= (its key pages included); uid= as for the other type 2 tags.
// challenge= (8 bytes) fixes the tag's RndB, for known-answer tests.
std::unique_ptr<Card> makeUltralightC(const CardDescription& description,
                                      const UidSource& freshUid) {
  description.requireOnly({"uid", "file", "key", "challenge"});
  std::vector<uint8_t> image;
  if (auto path = description.option("file")) {
    image = readImage(*path, ultralightCModel().pages * Type2Tag::kPageSize);
  }
  UltralightC::Key key = UltralightC::kDefaultKey;
  if (description.option("key")) {
    if (!image.empty())
      throw std::invalid_argument("option key and a file= image exclude each other");
    const auto bytes = hexOption(description, "key", {key.size()});
    std::copy(bytes.begin(), bytes.end(), key.begin());
  }
  auto card = std::make_unique<UltralightC>(type2Uid(description, freshUid, image), key);
  if (!image.empty()) card->setMemory(image);
  if (description.option("challenge")) {
    const auto bytes = hexOption(description, "challenge", {UltralightC::Block{}.size()});
    UltralightC::Block rndB{};
    std::copy(bytes.begin(), bytes.end(), rndB.begin());
    card->fixChallenge(rndB);
  }
  return card;
}

// A type B card with an ISO 7816-4 file system behind its ISO 14443-4 layer: pupi= (4 bytes,
// drawn when absent), afi=, appdata=, proto=, hlr= (up to 64 bytes) and slot= (1-16).
std::unique_ptr<Card> makeTypeB(const CardDescription& description, const UidSource& freshPupi) {
  constexpr size_t kMaxHigherLayerResponse = 64;
  description.requireOnly({"pupi", "afi", "appdata", "proto", "hlr", "slot"});
  TypeBIdentity identity;
  const auto pupi = description.option("pupi") ? hexOption(description, "pupi", {4}) : freshPupi(4);
  std::copy(pupi.begin(), pupi.end(), identity.pupi.begin());
  if (description.option("afi")) identity.afi = hexOption(description, "afi", {1})[0];
  if (description.option("appdata")) {
    const auto bytes = hexOption(description, "appdata", {4});
    std::copy(bytes.begin(), bytes.end(), identity.applicationData.begin());
  }
  if (description.option("proto")) {
    const auto bytes = hexOption(description, "proto", {3});
    std::copy(bytes.begin(), bytes.end(), identity.protocolInfo.begin());
  }
  if (auto hlr = description.option("hlr")) {
    identity.higherLayerResponse = parseHexBytes(*hlr);
    if (identity.higherLayerResponse.size() > kMaxHigherLayerResponse) {
      throw std::invalid_argument("option hlr holds at most 64 bytes");
    }
  }
  if (auto slot = description.option("slot")) {
    const bool digits = !slot->empty() && slot->size() <= 2 &&
                        slot->find_first_not_of("0123456789") == std::string::npos;
    const int number = digits ? std::stoi(*slot) : 0;
    if (number < 1 || number > 16) throw std::invalid_argument("option slot is a number 1-16");
    identity.fixedSlot = static_cast<unsigned>(number);
  }
  uint32_t seed = 0;
  for (uint8_t byte : identity.pupi) seed = seed * 31 + byte;
  return std::make_unique<TypeBCard>(std::move(identity),
                                     std::make_unique<iso7816::Iso7816App>(seed));
}

struct Maker {
  std::string_view kind;
  std::unique_ptr<Card> (*make)(const CardDescription&, const UidSource&);
};

constexpr std::array<Maker, 12> kMakers{{
    {"classicmini",
     [](const CardDescription& description, const UidSource& uid) {
       return makeClassic(description, uid, ClassicModel::kMini);
     }},
    {"classic1k",
     [](const CardDescription& description, const UidSource& uid) {
       return makeClassic(description, uid, ClassicModel::k1K);
     }},
    {"classic4k",
     [](const CardDescription& description, const UidSource& uid) {
       return makeClassic(description, uid, ClassicModel::k4K);
     }},
    {"iso14443-4", makeIso14443_4},
    {"desfire", makeDesfire},
    {"ultralight", makeType2Of<ultralightModel>},
    {"ntag213", makeType2Of<ntag213Model>},
    {"ntag215", makeType2Of<ntag215Model>},
    {"ntag216", makeType2Of<ntag216Model>},
    {"ultralight-ev1", makeUltralightEv1},
    {"ultralight-c", makeUltralightC},
    {"typeb", makeTypeB},
}};

}  // namespace

std::unique_ptr<Card> makeCard(const CardDescription& description, const UidSource& freshUid) {
  for (const auto& maker : kMakers) {
    if (maker.kind == description.kind()) return maker.make(description, freshUid);
  }
  throw std::invalid_argument("unknown card kind '" + description.kind() + "'");
}

std::vector<std::string> cardKinds() {
  std::vector<std::string> kinds;
  for (const auto& maker : kMakers) kinds.emplace_back(maker.kind);
  return kinds;
}

}  // namespace norvexsim
