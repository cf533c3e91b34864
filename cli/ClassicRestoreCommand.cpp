// SPDX-License-Identifier: MIT
// norvex classic restore: a dump file written back to the card in the field.
//
// Data blocks are written with whichever key the card accepts (key B first, the usual writing
// key), never block 0, and read back. Trailers are written only with --trailers, after every data
// block of their sector, and only when the dump holds them whole with consistent access bytes:
// one bad trailer refuses the whole restore before anything is written.
#include <algorithm>
#include <iostream>

#include "cli/AccessBytes.h"
#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/ClassicCard.h"
#include "cli/Commands.h"
#include "cli/KeySearch.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "dump/DumpFile.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex classic restore FILE [-k KEYFILE]... [--trailers] [--reader USB_n]\n"
    "Writes the data blocks of a dump (.mfd/.bin, .json, .mct/.txt, .eml) to the Mifare Classic\n"
    "card in the field, never block 0, and reads each back. Sector trailers are written only with\n"
    "--trailers, and a dump with a trailer that is incomplete or has inconsistent access bytes is\n"
    "refused whole. The card's keys are searched among the default keys, the key files and the\n"
    "keys the dump holds. Exit status 1 when any block was not written or read back differently.\n";

constexpr std::size_t kManufacturerBlock = 0;

std::size_t trailerOf(std::size_t sector) {
  return dump::firstBlockOfSector(sector) + dump::blocksInSector(sector) - 1;
}

// Refuses the restore when a trailer to be written is not whole or would block its sector.
void checkTrailers(const dump::CardImage& image) {
  for (std::size_t sector = 0; sector < image.sectorCount(); ++sector) {
    auto trailer = image.block(trailerOf(sector));
    std::string where = "sector " + std::to_string(sector) + ": ";
    if (!trailer)
      throw CliError(kExitCardError, where + "the dump's trailer is incomplete (unread keys); "
                                             "nothing written");
    if (!accessBytesConsistent(trailer->data() + 6))
      throw CliError(kExitCardError, where + "access bytes " + hex(trailer->data() + 6, 4) +
                                             " are inconsistent and would block the sector; "
                                             "nothing written");
  }
}

// The dump's own keys join the candidates: a card restored before carries them.
std::vector<dump::Key> candidatesWithDumpKeys(std::vector<dump::Key> keys,
                                              const dump::CardImage& image) {
  auto add = [&keys](const std::optional<dump::Key>& key) {
    if (key && std::find(keys.begin(), keys.end(), *key) == keys.end()) keys.push_back(*key);
  };
  for (const dump::SectorKeys& found : image.keys) {
    add(found.a);
    add(found.b);
  }
  return keys;
}

class SectorWriter {
 public:
  SectorWriter(ClassicCard& card, std::size_t sector, const dump::SectorKeys& keys)
      : card_(card), sector_(sector), keys_(keys) {}

  bool write(std::size_t block, const dump::Block& data) {
    return withEachKey({MIF_KEY_TYPE_B, MIF_KEY_TYPE_A}, [&] { return card_.write(block, data); });
  }

  std::optional<dump::Block> read(std::size_t block) {
    std::optional<dump::Block> data;
    withEachKey({MIF_KEY_TYPE_A, MIF_KEY_TYPE_B}, [&] { return (data = card_.read(block)).has_value(); });
    return data;
  }

 private:
  template <typename Operation>
  bool withEachKey(std::initializer_list<uint8_t> order, Operation operation) {
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

// Writes the data blocks of one sector and reads them back; returns the problem, or "".
std::string restoreData(ClassicCard& card, std::size_t sector, const dump::SectorKeys& keys,
                        const dump::CardImage& image, std::size_t& written) {
  SectorWriter writer(card, sector, keys);
  for (std::size_t block = dump::firstBlockOfSector(sector); block < trailerOf(sector); ++block) {
    auto data = image.block(block);
    if (block == kManufacturerBlock || !data) continue;
    if (!writer.write(block, *data)) return "block " + std::to_string(block) + ": write refused";
    if (writer.read(block) != data) return "block " + std::to_string(block) + ": reads back differently";
    ++written;
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
  Arguments options(args, readerOptions({{"key", 'k', true}, {"trailers", 0, false}}));
  if (options.has("help")) return std::cout << kUsage, kExitOk;
  if (options.positional().size() != 1) usageError("classic restore needs one dump file");
  auto loaded = dump::loadDumpFile(options.positional()[0]);
  if (!loaded.value) usageError(loaded.error);
  const dump::CardImage& image = *loaded.value;
  const bool trailers = options.has("trailers");
  if (trailers) checkTrailers(image);
  std::vector<dump::Key> candidates =
      candidatesWithDumpKeys(loadCandidateKeys(options.values("key")), image);

  ReaderSession reader(options);
  ClassicCard card(reader.handle());
  if (card.size() != image.size())
    throw CliError(kExitCardError, "the dump holds " + std::to_string(image.byteCount()) +
                                       " bytes, the card " +
                                       std::to_string(static_cast<std::size_t>(card.size())));
  KeySearch search(card, candidates);
  bool complete = true;
  std::vector<std::vector<std::string>> rows;
  {
    Progress progress("writing sectors", card.sectorCount());
    for (std::size_t sector = 0; sector < card.sectorCount(); ++sector) {
      progress.update(sector);
      dump::SectorKeys keys = search.find(sector);
      std::size_t written = 0;
      std::string problem = !keys.a && !keys.b ? "no key opens the sector"
                                               : restoreData(card, sector, keys, image, written);
      std::string trailerResult = trailers ? "-" : "not written";
      if (problem.empty() && trailers) {
        problem = restoreTrailer(card, sector, keys, image);
        if (problem.empty()) trailerResult = "written, verified";
      }
      complete = complete && problem.empty();
      rows.push_back({std::to_string(sector), std::to_string(written) + " written, verified",
                      trailerResult, problem.empty() ? "ok" : problem});
    }
  }
  printTable(std::cout, {"SECTOR", "DATA BLOCKS", "TRAILER", "RESULT"}, rows);
  if (!complete) std::cerr << "norvex: restore incomplete: see the sectors not marked ok\n";
  return complete ? kExitOk : kExitCardError;
}

}  // namespace norvex::cli
