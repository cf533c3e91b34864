// SPDX-License-Identifier: MIT
// norvex ultralight: the pages of a Mifare Ultralight or NTAG tag, dumped or written one by one,
// behind its password or 3DES key when given; info, auth and protection in UltralightSecurity.cpp.
//
// A refused address or write sends the tag back to IDLE, so it is activated (and authenticated)
// again after each.
#include <algorithm>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/CardInField.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Confirm.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "cli/Suggest.h"
#include "cli/TagModel.h"
#include "cli/UltralightAccess.h"
#include "cli/UltralightCommands.h"
#include "cli/UltralightMemory.h"
#include "dump/DumpFile.h"
#include "dump/Hex.h"
#include "dump/JsonValue.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex ultralight dump [-o FILE | --json] [AUTH] [--reader USB_n] [--product ID]\n"
    "       norvex ultralight write PAGE HEX [--yes] [AUTH] [--reader USB_n] [--product ID]\n"
    "       norvex ultralight info|auth|protect|unprotect ... (see below)\n"
    "AUTH is --password HEX [--pack HEX] (NTAG21x, Ultralight EV1: 4-byte password, 2-byte PACK\n"
    "expected in answer) or --key HEX (Ultralight C: 16-byte 3DES key), sent before the pages are\n"
    "read or written. A wrong one stops the command: the tag counts it, and it is not retried.\n"
    "dump reads every page of the Mifare Ultralight / NTAG tag in the field and prints one line\n"
    "per page (PAGE, 4 bytes in hex, ASCII), or writes the pages byte for byte to FILE with -o\n"
    "(replaced in one step). The chip model goes to stderr with what it was read from:\n"
    "GET_VERSION, else the capability container in page 3, else the number of pages. Pages the\n"
    "tag refuses to read (password protection) show as -------- and are named; the dump is then\n"
    "incomplete (exit status 1) and a file holds the pages before them.\n"
    "write stores HEX (4 bytes, 8 hex digits, per page) in page PAGE and the pages after it;\n"
    "lock bits make pages read-only for good and the tag refuses writes to them: the other\n"
    "pages are still written, and the refused ones named. Writing the lock or OTP bits (pages\n"
    "2 and 3) or an Ultralight EV1 / NTAG configuration page cannot be undone: it is confirmed on\n"
    "a terminal, and needs --yes elsewhere.\n";

constexpr unsigned kMaxPages = 256;

// What a write to the page changes for good, or "" for a page of user memory. The configuration
// pages (dynamic lock bytes, CFG0/CFG1, PWD, PACK) of Ultralight EV1 and NTAG 213/215/216 are
// named by address, whichever of those tags is in the field.
std::string irreversibleEffect(unsigned page) {
  if (page == 2) return "page 2 (static lock bits: the pages they lock become read-only for good)";
  if (page == 3) return "page 3 (one-time bits: a bit set stays set)";
  constexpr unsigned kConfigRanges[][2] = {{0x10, 0x13}, {0x24, 0x2C}, {0x82, 0x86}, {0xE2, 0xE6}};
  for (const auto& range : kConfigRanges)
    if (page >= range[0] && page <= range[1])
      return "page " + std::to_string(page) + " (a lock or configuration page on EV1 / NTAG tags)";
  return {};
}

// The refusal of a write: "page 4 is locked (lock bits in page 2)" when the static lock bits say
// so, otherwise the library's status. The tag, idle after the refusal, is activated again.
std::string refusalText(void* session, unsigned page, long status) {
  uint8_t uid[8] = {};
  uint8_t lock[kPageSize] = {};
  if (page >= 3 && page < 16 && MifU_GetCard(session, uid) == NORVEX_OK &&
      MifU_ReadPage(session, 2, lock) == NORVEX_OK) {
    const bool locked = page < 8 ? (lock[2] >> page & 1) != 0 : (lock[3] >> (page - 8) & 1) != 0;
    if (locked) return "page " + std::to_string(page) + " is locked (lock bits in page 2)";
  }
  return statusMessage("writing page " + std::to_string(page), status);
}

// The bytes as text: printable ASCII as is, anything else as '.'.
std::string asciiText(const uint8_t* data, std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i)
    text += data[i] >= 0x20 && data[i] < 0x7F ? static_cast<char>(data[i]) : '.';
  return text;
}

// Every page of the chip: the data read, or null for a page the tag refused.
void printDumpJson(const std::vector<uint8_t>& uid, const TagModel& model,
                   const TagMemory& memory) {
  dump::JsonValue pages = dump::JsonValue::array();
  for (unsigned page = 0; page < std::max(memory.pagesRead(), memory.knownPages); ++page)
    pages.push(
        dump::JsonValue::object()
            .add("page", dump::jsonNumber(page))
            .add("data", page < memory.pagesRead()
                             ? dump::jsonHex(memory.bytes.data() + page * kPageSize, kPageSize)
                             : dump::JsonValue{}));
  printJson(dump::JsonValue::object()
                .add("uid", dump::jsonHex(uid.data(), uid.size()))
                .add("kind", dump::jsonString(model.kind))
                .add("type", dump::jsonString(model.name))
                .add("identifiedBy", dump::jsonString(model.basis))
                .add("pages", std::move(pages)));
}

int dump(const Words& args) {
  Arguments options(
      args, cardOptions(withCredentialOptions({{"output", 'o', true}, {"json", 0, false}})));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  if (!options.positional().empty())
    usageError("ultralight dump takes no arguments besides options");
  const TagCredentials credentials = parseCredentials(options);
  const std::string output = options.value("output");
  if (std::string refused = dump::checkOutputPath(output); !output.empty() && !refused.empty())
    usageError(refused);
  ReaderSession reader(options);
  const FieldCard chosen = chooseAndIsolate(reader.handle(), options);
  const std::vector<uint8_t> uid = selectTag(reader.handle());
  const ChipVersion version = askVersion(reader.handle());
  const TagMemory memory = readTagMemory(reader.handle(), credentials, chipLayout(version.chip),
                                         chosen, version.answered());
  const TagModel model = identifyTag(version, memory.bytes);
  std::cerr << "norvex: " << model.name << ", " << std::max(memory.pagesRead(), memory.knownPages)
            << " pages (by " << model.basis << ")\n";
  if (!memory.complete()) std::cerr << "norvex: " << unreadPagesText(memory, credentials) << "\n";
  const int status = memory.complete() ? kExitOk : kExitCardError;
  if (!output.empty()) {
    const std::string_view bytes(reinterpret_cast<const char*>(memory.bytes.data()),
                                 memory.bytes.size());
    if (std::string error = dump::writeFileAtomically(output, bytes); !error.empty())
      throw CliError(kExitCardError, error);
    std::cerr << "norvex: " << memory.pagesRead() << " pages written to " << output << "\n";
    return status;
  }
  if (options.has("json")) {
    printDumpJson(uid, model, memory);
    return status;
  }
  std::vector<std::vector<std::string>> rows;
  for (unsigned page = 0; page < std::max(memory.pagesRead(), memory.knownPages); ++page) {
    const uint8_t* data = memory.bytes.data() + std::size_t{page} * kPageSize;
    rows.push_back(page < memory.pagesRead()
                       ? std::vector<std::string>{std::to_string(page),
                                                  hex::encode(data, kPageSize),
                                                  asciiText(data, kPageSize)}
                       : std::vector<std::string>{std::to_string(page), "--------", ""});
  }
  printTable(std::cout, {"PAGE", "DATA", "ASCII"}, rows);
  return status;
}

int write(const Words& args) {
  Arguments options(args, cardOptions(withCredentialOptions({{"yes", 'y', false}})));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  const TagCredentials credentials = parseCredentials(options);
  const auto& words = options.positional();
  if (words.size() != 2) usageError("ultralight write takes PAGE and HEX");
  std::size_t used = 0;
  unsigned long page = 0;
  try {
    page = std::stoul(words[0], &used, 0);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != words[0].size() || page >= kMaxPages) usageError(words[0] + ": not a page number");
  std::vector<uint8_t> data;
  if (!parseHex(words[1], data) || data.empty() || data.size() % kPageSize != 0)
    usageError(words[1] + ": a page takes 4 bytes (8 hex digits)");
  const std::size_t pages = data.size() / kPageSize;
  if (page + pages > kMaxPages) usageError(words[1] + ": more pages than the tag can have");
  std::string forGood;
  for (std::size_t i = 0; i < pages; ++i)
    if (std::string effect = irreversibleEffect(static_cast<unsigned>(page + i)); !effect.empty())
      forGood += (forGood.empty() ? "writing " : ", ") + effect;
  if (!forGood.empty()) confirmIrreversible(options, forGood);
  ReaderSession reader(options);
  chooseAndIsolate(reader.handle(), options);
  activateTag(reader.handle(), credentials);
  std::string refused;
  for (std::size_t i = 0; i < pages; ++i) {
    const unsigned at = static_cast<unsigned>(page + i);
    const long status =
        MifU_WritePage(reader.handle(), static_cast<uint8_t>(at), data.data() + i * kPageSize);
    if (status == NORVEX_OK) continue;
    refused += (refused.empty() ? "" : "; ") + refusalText(reader.handle(), at, status);
    // A tag that refuses a write goes idle: it is activated again for the pages that follow.
    if (i + 1 < pages) activateTag(reader.handle(), credentials);
  }
  if (!refused.empty()) throw CliError(kExitCardError, refused);
  return kExitOk;
}

}  // namespace

int runUltralight(const Words& args) {
  if (args.empty())
    usageError("ultralight needs a command: dump, write, info, auth, protect or unprotect");
  const std::string& command = args[0];
  const Words rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h")
    return std::cout << kUsage << kUltralightSecurityUsage << cardChoiceHelp(), kExitOk;
  if (command == "dump") return dump(rest);
  if (command == "write") return write(rest);
  if (command == "info") return runUltralightInfo(rest);
  if (command == "auth") return runUltralightAuth(rest);
  if (command == "protect") return runUltralightProtect(rest);
  if (command == "unprotect") return runUltralightUnprotect(rest);
  usageError("unknown ultralight command '" + command + "'" +
             didYouMean(command, {"dump", "write", "info", "auth", "protect", "unprotect"}) +
             " (see norvex ultralight --help)");
}

}  // namespace norvex::cli
