// SPDX-License-Identifier: MIT
// norvex classic restore: a dump file written back to the card in the field.
//
// Data blocks are written with whichever key the card accepts (key B first, the usual writing
// key), never block 0, and read back. Trailers are written only with --trailers, after every data
// block of their sector, and only when the dump holds them whole and they leave the sector usable
// (see dump/TrailerSafety.h; --allow-permanent accepts well-formed trailers that do not): one bad
// trailer refuses the whole restore before anything is written. A card that leaves the field
// stops the restore, and the table still shows what was written up to there.
#include <algorithm>
#include <iostream>
#include <utility>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/ClassicCard.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Confirm.h"
#include "cli/KeySearch.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "dump/DumpFile.h"
#include "dump/Hex.h"
#include "dump/KeyFile.h"
#include "dump/TrailerSafety.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex classic restore FILE [--key HEX]... [-k KEYFILE]... [--trailers\n"
    "                              [--allow-permanent]]\n"
    "                              [--dry-run] [--yes] [--reader USB_n]\n"
    "Writes the data blocks of a dump (.mfd/.bin, .json, .mct/.txt, .eml) to the Mifare Classic\n"
    "card in the field, never block 0, and reads each back. Sector trailers are written only with\n"
    "--trailers, and a dump with a trailer that is incomplete, has inconsistent access bytes, or\n"
    "would leave a data block unreadable or the access bits unchangeable with its keys is refused\n"
    "whole. --allow-permanent writes the last two kinds anyway: on a real card that is for good.\n"
    "Writing trailers is confirmed on a terminal and needs --yes elsewhere; --dry-run prints the\n"
    "plan (per sector the data blocks and trailer to be written) and touches no card. A dump read\n"
    "from another card (another UID) is written after a warning.\n"
    "A sector whose trailer is all zeros in a .mfd/.bin or .eml dump was never read (those "
    "formats\n"
    "store unread bytes as 00): it is skipped, and said so.\n"
    "The card's keys are searched among the default keys, the key files and the keys the dump\n"
    "holds (its key list and the keys in its trailers, in every format); the table, on stderr,\n"
    "says where the keys that opened each sector came from. Exit status 1 when any block was not\n"
    "written or read back differently.\n";

constexpr std::size_t kManufacturerBlock = 0;

std::size_t trailerOf(std::size_t sector) {
  return dump::firstBlockOfSector(sector) + dump::blocksInSector(sector) - 1;
}

// Whether the dump holds nothing of the sector (it was not read): it is skipped.
bool sectorAbsent(const dump::CardImage& image, std::size_t sector) {
  for (std::size_t block = dump::firstBlockOfSector(sector); block <= trailerOf(sector); ++block)
    if (!image.blockUnknown(block)) return false;
  return true;
}

// A raw or EML dump stores sectors it never read as zeros: they are forgotten, and said so.
void forgetNeverReadSectors(const std::string& path, dump::CardImage& image) {
  const auto format = dump::formatOfPath(path);
  if (!format || dump::formatKeepsUnreadBytes(*format)) return;
  for (std::size_t sector : dump::forgetNeverReadSectors(image))
    std::cerr << "norvex: " << path << ": sector " << sector
              << " has an all-zero trailer (never read): skipped\n";
}

// Refuses the restore when a trailer to be written is not whole, is malformed, or would take part
// of its sector out of use for good (unless allowPermanent).
void checkTrailers(const dump::CardImage& image, bool allowPermanent) {
  for (std::size_t sector = 0; sector < image.sectorCount(); ++sector) {
    if (sectorAbsent(image, sector)) continue;
    auto trailer = image.block(trailerOf(sector));
    std::string where = "sector " + std::to_string(sector) + ": ";
    if (!trailer)
      throw CliError(kExitCardError, where +
                                         "the dump's trailer is incomplete (unread keys); "
                                         "nothing written");
    const dump::TrailerVerdict verdict = dump::judgeTrailer(sector, *trailer);
    using Kind = dump::TrailerVerdict::Kind;
    if (verdict.kind == Kind::Malformed || (verdict.kind == Kind::Permanent && !allowPermanent))
      throw CliError(kExitCardError,
                     where + "access bytes " + hex::encode(trailer->data() + 6, 4) + ": " +
                         verdict.reason + "; nothing written" +
                         (verdict.kind == Kind::Permanent ? " (--allow-permanent writes it)" : ""));
  }
}

// The plan of a restore, without a card: what each sector would get.
void printPlan(const dump::CardImage& image, bool trailers) {
  std::vector<std::vector<std::string>> rows;
  for (std::size_t sector = 0; sector < image.sectorCount(); ++sector) {
    if (sectorAbsent(image, sector)) {
      rows.push_back({std::to_string(sector), "-", "-", "not in the dump"});
      continue;
    }
    std::size_t blocks = 0;
    for (std::size_t block = dump::firstBlockOfSector(sector); block < trailerOf(sector); ++block)
      if (block != kManufacturerBlock && image.blockKnown(block)) ++blocks;
    std::string trailer = "not written";
    if (trailers) {
      const dump::Block bytes = *image.block(trailerOf(sector));
      trailer = "keys and access bytes " + hex::encode(bytes.data() + 6, 4);
    }
    rows.push_back({std::to_string(sector), std::to_string(blocks), trailer, "planned"});
  }
  printTable(std::cout, {"SECTOR", "DATA BLOCKS", "TRAILER", "RESULT"}, rows);
}

// The UID the dump was read from: its own field, or the first bytes of block 0.
std::vector<uint8_t> uidOfDump(const dump::CardImage& image) {
  if (!image.uid.empty()) return image.uid;
  std::vector<uint8_t> uid;
  if (auto block0 = image.block(kManufacturerBlock))
    uid.assign(block0->begin(), block0->begin() + 4);
  return uid;
}

void warnOnOtherCard(const dump::CardImage& image, const std::vector<uint8_t>& cardUid) {
  const std::vector<uint8_t> dumpUid = uidOfDump(image);
  if (dumpUid.empty() || dumpUid == cardUid) return;
  std::cerr << "norvex: warning: the dump was read from card " << hex::encode(dumpUid)
            << ", the card in the field is " << hex::encode(cardUid) << "\n";
}

// The dump's own keys, from its key list and from its trailers: a card restored before, or the
// card the dump was read from, carries them.
std::vector<dump::Key> keysOfDump(const dump::CardImage& image) {
  std::vector<dump::Key> fromDump;
  std::vector<dump::SectorKeys> sectors = image.keys;
  for (std::size_t sector = 0; sector < image.sectorCount(); ++sector)
    sectors.push_back(dump::keysOfTrailer(image, sector));
  for (const dump::SectorKeys& found : sectors)
    for (const auto& key : {found.a, found.b})
      if (key) fromDump.push_back(*key);
  return fromDump;
}

// Where the keys that opened a sector came from: "A transport, B dump".
class KeyOrigins {
 public:
  KeyOrigins(std::vector<dump::Key> fromFiles, std::vector<dump::Key> given)
      : fromFiles_(std::move(fromFiles)), given_(std::move(given)) {}

  std::string describe(const dump::SectorKeys& keys) const {
    std::string text;
    if (keys.a) text = "A " + origin(*keys.a);
    if (keys.b) text += (text.empty() ? "B " : ", B ") + origin(*keys.b);
    return text.empty() ? "-" : text;
  }

 private:
  std::string origin(const dump::Key& key) const {
    const auto& defaults = defaultKeys();
    if (key == defaults.front()) return "transport";
    if (std::find(defaults.begin(), defaults.end(), key) != defaults.end()) return "default";
    if (std::find(given_.begin(), given_.end(), key) != given_.end()) return "--key";
    if (std::find(fromFiles_.begin(), fromFiles_.end(), key) != fromFiles_.end()) return "key file";
    return "dump";
  }

  std::vector<dump::Key> fromFiles_;
  std::vector<dump::Key> given_;
};

class SectorWriter {
 public:
  SectorWriter(ClassicCard& card, std::size_t sector, const dump::SectorKeys& keys)
      : card_(card), sector_(sector), keys_(keys) {}

  bool write(std::size_t block, const dump::Block& data) {
    return withEachKey({MIF_KEY_TYPE_B, MIF_KEY_TYPE_A}, [&] { return card_.write(block, data); });
  }

  std::optional<dump::Block> read(std::size_t block) {
    std::optional<dump::Block> data;
    withEachKey({MIF_KEY_TYPE_A, MIF_KEY_TYPE_B},
                [&] { return (data = card_.read(block)).has_value(); });
    return data;
  }

 private:
  // The key the card already holds for the sector goes first, so that a block written and read
  // back costs no authentication of its own.
  template <typename Operation>
  bool withEachKey(std::initializer_list<uint8_t> preferred, Operation operation) {
    std::vector<uint8_t> order(preferred);
    if (card_.authenticatedType(sector_) == order.back()) std::swap(order.front(), order.back());
    for (uint8_t type : order) {
      const std::optional<dump::Key>& key = type == MIF_KEY_TYPE_A ? keys_.a : keys_.b;
      if (key && card_.authenticate(sector_, type, *key) && operation()) return true;
    }
    return false;
  }

  ClassicCard& card_;
  std::size_t sector_;
  dump::SectorKeys keys_;
};

// How far one sector got: blocks written and verified, and where it is (for a restore cut short).
struct SectorProgress {
  std::size_t written = 0;
  std::string at = "its key search";
};

// Writes the data blocks of one sector and reads them back; returns the problem, or "".
std::string restoreData(ClassicCard& card, std::size_t sector, const dump::SectorKeys& keys,
                        const dump::CardImage& image, SectorProgress& progress) {
  SectorWriter writer(card, sector, keys);
  for (std::size_t block = dump::firstBlockOfSector(sector); block < trailerOf(sector); ++block) {
    auto data = image.block(block);
    if (block == kManufacturerBlock || !data) continue;
    progress.at = "block " + std::to_string(block);
    if (!writer.write(block, *data)) return "block " + std::to_string(block) + ": write refused";
    if (writer.read(block) != data)
      return "block " + std::to_string(block) + ": reads back differently";
    ++progress.written;
  }
  return {};
}

// Writes the trailer, then authenticates with the new key A and compares the access bytes.
std::string restoreTrailer(ClassicCard& card, std::size_t sector, const dump::SectorKeys& keys,
                           const dump::CardImage& image) {
  const dump::Block trailer = *image.block(trailerOf(sector));
  if (!SectorWriter(card, sector, keys).write(trailerOf(sector), trailer))
    return "trailer: write refused";
  dump::SectorKeys newKeys;
  std::copy_n(trailer.begin(), 6, newKeys.a.emplace().begin());
  std::copy_n(trailer.begin() + 10, 6, newKeys.b.emplace().begin());
  auto readBack = SectorWriter(card, sector, newKeys).read(trailerOf(sector));
  if (!readBack || !std::equal(trailer.begin() + 6, trailer.begin() + 10, readBack->begin() + 6))
    return "trailer: the new keys and access bytes do not read back";
  return {};
}

}  // namespace

int runClassicRestore(const Words& args) {
  Arguments options(args, cardOptions(keyOptions({{"trailers", 0, false},
                                                  {"allow-permanent", 0, false},
                                                  {"dry-run", 0, false},
                                                  {"yes", 'y', false}})));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  if (options.positional().size() != 1) usageError("classic restore needs one dump file");
  auto loaded = dump::loadDumpFile(options.positional()[0]);
  if (!loaded.value) usageError(loaded.error);
  dump::CardImage image = std::move(*loaded.value);
  forgetNeverReadSectors(options.positional()[0], image);
  const bool trailers = options.has("trailers");
  if (options.has("allow-permanent") && !trailers)
    usageError("--allow-permanent only applies with --trailers");
  if (trailers) checkTrailers(image, options.has("allow-permanent"));
  if (options.has("dry-run")) return printPlan(image, trailers), kExitOk;
  std::vector<dump::Key> candidates = loadCandidateKeys(options);
  const KeyOrigins origins(candidates, keysGiven(options));
  dump::appendNewKeys(candidates, keysOfDump(image));

  ReaderSession reader(options);
  ClassicCard card(reader.handle(), chooseCard(reader.handle(), options));
  if (card.size() != image.size())
    throw CliError(kExitCardError, "the dump holds " + std::to_string(image.byteCount()) +
                                       " bytes, the card " +
                                       std::to_string(static_cast<std::size_t>(card.size())));
  warnOnOtherCard(image, card.uid());
  if (trailers)
    confirmIrreversible(options, "writing the sector trailers of " + options.positional()[0] +
                                     " (keys and access bits: wrong ones lock a sector for good)");
  KeySearch search(card, candidates);
  bool complete = true;
  std::vector<std::vector<std::string>> rows;
  const auto dataText = [](const SectorProgress& progress) {
    return std::to_string(progress.written) + " written, verified";
  };
  std::size_t sector = 0;
  SectorProgress progress;
  try {
    Progress bar("writing sectors", card.sectorCount());
    for (; sector < card.sectorCount(); ++sector) {
      bar.update(sector);
      progress = {};
      if (sectorAbsent(image, sector)) {
        rows.push_back({std::to_string(sector), "-", "-", "-", "not in the dump"});
        continue;
      }
      dump::SectorKeys keys = search.find(sector);
      std::string problem = !keys.a && !keys.b ? "no key opens the sector"
                                               : restoreData(card, sector, keys, image, progress);
      std::string trailerResult = trailers ? "-" : "not written";
      if (problem.empty() && trailers) {
        progress.at = "the trailer";
        problem = restoreTrailer(card, sector, keys, image);
        if (problem.empty()) trailerResult = "written, verified";
      }
      complete = complete && problem.empty();
      rows.push_back({std::to_string(sector), dataText(progress), trailerResult,
                      origins.describe(keys), problem.empty() ? "ok" : problem});
    }
  } catch (const CliError&) {
    // The card or reader failed (the card left the field, most often): the table still says
    // what was written before, and where the restore stopped; the error itself follows it.
    const bool atTrailer = progress.at == "the trailer";
    rows.push_back({std::to_string(sector), dataText(progress),
                    atTrailer ? "not verified" : "not written", "-", "stopped at " + progress.at});
    for (std::size_t rest = sector + 1; rest < card.sectorCount(); ++rest)
      rows.push_back({std::to_string(rest), "-", "-", "-", "not reached"});
    printTable(std::cerr, {"SECTOR", "DATA BLOCKS", "TRAILER", "KEYS", "RESULT"}, rows);
    std::cerr << "norvex: restore stopped in sector " << sector << " at " << progress.at << "\n";
    throw;
  }
  printTable(std::cerr, {"SECTOR", "DATA BLOCKS", "TRAILER", "KEYS", "RESULT"}, rows);
  if (!complete) std::cerr << "norvex: restore incomplete: see the sectors not marked ok\n";
  return complete ? kExitOk : kExitCardError;
}

}  // namespace norvex::cli
