// SPDX-License-Identifier: MIT
// norvex classic dump: the whole card into a dump file, with the keys found for each sector.
#include <chrono>
#include <iostream>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/ClassicCard.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/KeySearch.h"
#include "cli/KeyTable.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "cli/SectorReader.h"
#include "dump/DumpFile.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex classic dump [--key HEX]... [-k KEYFILE]... [-o FILE [--force]] [--json] [-v]\n"
    "                           [--reader USB_n]\n"
    "Reads the whole Mifare Classic card in the field. For each sector the default keys\n"
    "(FFFFFFFFFFFF first) and those of the key files are tried as key A and key B, after the\n"
    "keys given with --key (-k - reads a key file from standard input). The dump goes\n"
    "to FILE, its format chosen by the extension: .mfd/.bin (raw image), .json, .mct/.txt (one\n"
    "line per block, - for unread bytes) or .eml; without -o it is printed in the .mct layout\n"
    "(in JSON with --json, which then holds the keys found instead of the table). FILE is\n"
    "replaced in one step once the card is read; an incomplete dump does not replace an existing\n"
    "FILE but goes to FILE.partial, unless --force is given. .mfd/.bin and .eml store unread\n"
    "blocks as 00: an incomplete dump is written in them only with --force.\n"
    "A table of sectors x (key A, key B, blocks read) follows on stderr, so that standard output\n"
    "carries only the dump (with -o and --json the table is printed as JSON on standard output).\n"
    "Unreadable sectors do not stop the dump; the exit status is 1 when any block stayed unread.\n"
    "--verbose adds the keys tried, card operations and time taken on stderr.\n";

std::size_t unreadBlocks(const dump::CardImage& image) {
  std::size_t unread = 0;
  for (std::size_t block = 0; block < image.blockCount(); ++block)
    if (!image.blockKnown(block)) ++unread;
  return unread;
}

// Reads every sector with the keys found for it; blocksRead gets the count per sector.
dump::CardImage readCard(ClassicCard& card, const std::vector<dump::Key>& candidates,
                         std::vector<std::size_t>& blocksRead) {
  dump::CardImage image(card.size());
  image.uid = card.uid();
  image.atqa = std::array<uint8_t, 2>{card.atqa()[1], card.atqa()[0]};  // as written: MSB first
  image.sak = card.sak();
  image.keys.assign(card.sectorCount(), {});
  blocksRead.assign(card.sectorCount(), 0);
  KeySearch search(card, candidates);
  Progress progress("reading sectors", card.sectorCount());
  for (std::size_t sector = 0; sector < card.sectorCount(); ++sector) {
    progress.update(sector);
    image.keys[sector] = search.find(sector);
    blocksRead[sector] = readSector(card, sector, image.keys[sector], image);
  }
  return image;
}

// Where the dump goes: FILE, or FILE.partial when an incomplete dump would replace an existing
// file without --force.
std::string outputPath(const Arguments& options, const dump::CardImage& image) {
  const std::string output = options.value("output");
  if (unreadBlocks(image) == 0 || options.has("force") || !dump::regularFileExists(output))
    return output;
  std::cerr << "norvex: incomplete dump: " << output << " kept as it was; the dump goes to "
            << output << ".partial (--force replaces " << output << ")\n";
  return output + ".partial";
}

// The dump to stdout, then the table of keys on stderr (standard output stays a dump that restore
// reads back); or the table (as JSON on stdout with --json), then the dump to the file.
void writeResult(const Arguments& options, const dump::CardImage& image,
                 const std::vector<std::size_t>& blocksRead) {
  const std::string output = options.value("output");
  const bool json = options.has("json");
  if (output.empty()) {
    std::cout << (json ? dump::writeJson(image) : dump::writeMct(image));
    if (json) return;  // the JSON dump holds the keys found: no table after it
  } else {
    printKeyTable(json ? std::cout : std::cerr, image, blocksRead, json);
    const dump::DumpFormat format = *dump::formatOfPath(output);
    if (!dump::formatKeepsUnreadBytes(format) && unreadBlocks(image) > 0 && !options.has("force"))
      throw CliError(kExitCardError, "incomplete dump: " + std::to_string(unreadBlocks(image)) +
                                         " blocks not read, which " + output +
                                         " would store as 00; nothing "
                                         "written (save as .mct or .json, or --force writes it)");
    const std::string path = outputPath(options, image);
    if (std::string error = dump::saveDumpFile(path, image, format); !error.empty())
      throw CliError(kExitCardError, error);
    if (!dump::formatKeepsUnreadBytes(format) && unreadBlocks(image) > 0)
      std::cerr << "norvex: " << path << ": unread blocks are stored as 00 in this format\n";
    return;
  }
  printKeyTable(std::cerr, image, blocksRead, false);
}

}  // namespace

int runClassicDump(const Words& args) {
  Arguments options(args, cardOptions(keyOptions({{"output", 'o', true},
                                                  {"force", 0, false},
                                                  {"json", 0, false},
                                                  {"verbose", 'v', false}})));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  if (!options.positional().empty()) usageError("classic dump takes no arguments besides options");
  const std::string output = options.value("output");
  if (!output.empty() && !dump::formatOfPath(output))
    usageError(output + ": unknown dump format (use .mfd, .bin, .json, .mct, .txt or .eml)");
  // Checked before the card is read, and again (with FILE.partial) when the dump is written.
  if (std::string refused = dump::checkOutputPath(output); !output.empty() && !refused.empty())
    usageError(refused);
  const std::vector<dump::Key> candidates = loadCandidateKeys(options);

  const auto start = std::chrono::steady_clock::now();
  ReaderSession reader(options);
  ClassicCard card(reader.handle(), chooseCard(reader.handle(), options));
  std::vector<std::size_t> blocksRead;
  const dump::CardImage image = readCard(card, candidates, blocksRead);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);

  writeResult(options, image, blocksRead);
  if (options.has("verbose"))
    std::cerr << "norvex: " << card.sectorCount() << " sectors, " << candidates.size()
              << " candidate keys, " << card.cardCalls() << " card operations in "
              << elapsed.count() << " ms\n";
  if (std::size_t unread = unreadBlocks(image)) {
    std::cerr << "norvex: incomplete dump: " << unread << " of " << image.blockCount()
              << " blocks not read\n";
    return kExitCardError;
  }
  return kExitOk;
}

}  // namespace norvex::cli
