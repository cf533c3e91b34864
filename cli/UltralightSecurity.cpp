// SPDX-License-Identifier: MIT
// norvex ultralight info, auth, protect and unprotect.
//
// NTAG21x and Ultralight EV1 guard the pages from AUTH0 on with a 4-byte password (PWD), answered
// by a 2-byte PACK; ACCESS says whether reads are guarded too (PROT), how many wrong passwords
// lock the password for good (AUTHLIM) and whether the configuration pages are locked (CFGLCK).
// The Ultralight C guards its pages from AUTH0 on with a 3DES key instead, AUTH1 saying whether
// reads are guarded. These chips sign their UID at the factory (READ_SIG), checked here against a
// public key the user gives.
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/CliError.h"
#include "cli/Confirm.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "cli/TagModel.h"
#include "cli/UltralightAccess.h"
#include "cli/UltralightCommands.h"
#include "cli/UltralightMemory.h"
#include "dump/Hex.h"
#include "dump/JsonValue.h"
#include "norvexapi.h"

namespace norvex::cli {

const char* const kUltralightSecurityUsage =
    "       norvex ultralight info [--public-key HEX] [--json] [AUTH]\n"
    "       norvex ultralight auth --password HEX [--pack HEX] | --key HEX\n"
    "       norvex ultralight protect --password HEX --pack HEX --from-page N [--read]\n"
    "                                 [--auth-limit N] [--current-password HEX] [--lock-config]\n"
    "       norvex ultralight protect --key HEX --from-page N [--read]     (Ultralight C)\n"
    "       norvex ultralight unprotect --password HEX | --key HEX\n"
    "info names the chip (GET_VERSION), its size, protection, counters and originality\n"
    "signature: verified, not verified (against --public-key, the chip maker's key as an\n"
    "uncompressed point) or no signature. auth checks a password (printing the PACK) or an\n"
    "Ultralight C key; the tag forgets it when the command ends, so dump and write take AUTH\n"
    "themselves. protect sets PWD and PACK and guards the pages from N on against writes (and\n"
    "reads with --read); --auth-limit N (1-7) locks the password after N wrong ones;\n"
    "--current-password opens a tag already protected. The new password is then checked.\n"
    "--lock-config locks the configuration pages for good (CFGLCK): confirmed on a terminal,\n"
    "--yes elsewhere. unprotect removes the protection (AUTH0 FF); the password stays set.\n";

namespace {

constexpr std::size_t kSignatureLength = 32;
constexpr uint8_t kCfgLock = 0x40;  // CFGLCK in ACCESS
constexpr unsigned kUltralightCAuth0Page = 0x2A;
constexpr unsigned kUltralightCPages = 0x30;  // AUTH0 from here: no protection

struct Protection {
  bool readable = false;  // false: the configuration pages are protected themselves
  unsigned fromPage = 0;  // AUTH0
  bool reads = false;     // PROT / AUTH1 bit 0 clear
  unsigned authLimit = 0;
  bool configLocked = false;
};

// The chip's protection settings as its configuration pages hold them; nothing for a chip
// without them. A tag that refuses the read is activated again.
std::optional<Protection> readProtection(void* session, const TagCredentials& credentials,
                                         uint8_t chip) {
  const std::optional<ChipLayout> layout = chipLayout(chip);
  const bool ultralightC = chip == MIFU_CHIP_ULTRALIGHT_C;
  if (!layout || (layout->configPage == 0 && !ultralightC)) return std::nullopt;
  // CFG0 CFG1 (PWD PACK read as zero), or the Ultralight C's AUTH0 and AUTH1 in pages 0x2A-0x2B.
  const unsigned first = ultralightC ? kUltralightCAuth0Page - 2 : layout->configPage;
  uint8_t pages[4 * kPageSize] = {};
  Protection protection;
  if (MifU_Read16Bytes(session, static_cast<uint8_t>(first), pages) != NORVEX_OK) {
    activateTag(session, credentials);
    return protection;
  }
  protection.readable = true;
  if (ultralightC) {
    protection.fromPage = pages[2 * kPageSize];
    protection.reads = (pages[3 * kPageSize] & 1) == 0;
  } else {
    const uint8_t access = pages[kPageSize];
    protection.fromPage = pages[3];
    protection.reads = (access & MIFU_PROTECT_READS) != 0;
    protection.authLimit = access & MIFU_AUTH_LIMIT_MASK;
    protection.configLocked = (access & kCfgLock) != 0;
  }
  return protection;
}

std::string protectionText(const std::optional<Protection>& protection, unsigned pages) {
  if (!protection) return "none (no password or key on this chip)";
  if (!protection->readable) return "configuration pages read-protected (give AUTH to see it)";
  std::string text = protection->fromPage >= pages
                         ? "none"
                         : "from page " + std::to_string(protection->fromPage) +
                               (protection->reads ? ", reads and writes" : ", writes");
  if (protection->authLimit != 0)
    text += ", password locked after " + std::to_string(protection->authLimit) + " wrong";
  if (protection->configLocked) text += ", configuration locked";
  return text;
}

// The counters the chip has: 0-2 on the Ultralight EV1, the NFC counter 2 on the NTAG21x.
std::vector<uint8_t> countersOf(uint8_t chip) {
  if (chip == MIFU_CHIP_UL_EV1_MF0UL11 || chip == MIFU_CHIP_UL_EV1_MF0UL21) return {0, 1, 2};
  if (chip == MIFU_CHIP_NTAG213 || chip == MIFU_CHIP_NTAG215 || chip == MIFU_CHIP_NTAG216)
    return {2};
  return {};
}

struct Signature {
  std::vector<uint8_t> bytes;  // empty: the tag gave none
  std::string verdict;         // "verified", "not verified", "no signature", "not checked"
};

Signature readSignature(void* session, const TagCredentials& credentials, bool answered,
                        const std::vector<uint8_t>& uid, const std::vector<uint8_t>& publicKey) {
  uint8_t signature[kSignatureLength] = {};
  if (!answered || MifU_ReadSignature(session, signature) != NORVEX_OK) {
    if (answered) activateTag(session, credentials);
    return {{}, "no signature"};
  }
  Signature result{{signature, signature + kSignatureLength}, "not checked (--public-key)"};
  if (publicKey.empty()) return result;
  int verified = 0;
  check(MifU_VerifySignature(uid.data(), static_cast<uint32_t>(uid.size()), signature,
                             publicKey.data(), static_cast<uint32_t>(publicKey.size()), &verified),
        "checking the signature with --public-key");
  result.verdict = verified != 0 ? "verified" : "not verified";
  return result;
}

struct TagInfo {
  std::vector<uint8_t> uid;
  ChipVersion version;
  TagModel model;
  unsigned pages = 0;
  std::optional<Protection> protection;
  std::vector<std::pair<uint8_t, std::optional<uint32_t>>> counters;
  Signature signature;
};

void printInfoJson(const TagInfo& info) {
  dump::JsonValue counters = dump::JsonValue::array();
  for (const auto& [counter, value] : info.counters)
    counters.push(dump::JsonValue::object()
                      .add("counter", dump::jsonNumber(counter))
                      .add("value", value ? dump::jsonNumber(*value) : dump::JsonValue{}));
  dump::JsonValue protection;
  if (info.protection && info.protection->readable)
    protection = dump::JsonValue::object()
                     .add("fromPage", dump::jsonNumber(info.protection->fromPage))
                     .add("reads", dump::jsonBool(info.protection->reads))
                     .add("authLimit", dump::jsonNumber(info.protection->authLimit))
                     .add("configLocked", dump::jsonBool(info.protection->configLocked));
  printJson(dump::JsonValue::object()
                .add("uid", dump::jsonHex(info.uid.data(), info.uid.size()))
                .add("kind", dump::jsonString(info.model.kind))
                .add("type", dump::jsonString(info.model.name))
                .add("identifiedBy", dump::jsonString(info.model.basis))
                .add("userBytes", dump::jsonNumber(info.version.userBytes))
                .add("pages", dump::jsonNumber(info.pages))
                .add("protection", std::move(protection))
                .add("counters", std::move(counters))
                .add("signature", dump::JsonValue::object()
                                      .add("data", info.signature.bytes.empty()
                                                       ? dump::JsonValue{}
                                                       : dump::jsonHex(info.signature.bytes.data(),
                                                                       kSignatureLength))
                                      .add("status", dump::jsonString(info.signature.verdict))));
}

void printInfo(const TagInfo& info) {
  auto line = [](const std::string& name, const std::string& value) {
    std::cout << std::left << std::setw(12) << name << value << "\n";
  };
  line("UID", hex::encode(info.uid.data(), info.uid.size()));
  line("Chip", info.model.name + " (" + info.model.basis + ")");
  if (info.pages != 0)
    line("Memory", std::to_string(info.pages) + " pages, " +
                       std::to_string(info.version.userBytes) + " user bytes");
  line("Protection", protectionText(info.protection, info.pages));
  for (const auto& [counter, value] : info.counters)
    line("Counter " + std::to_string(counter),
         value ? std::to_string(*value) : "not readable (disabled or password-protected)");
  line("Signature", info.signature.bytes.empty()
                        ? info.signature.verdict
                        : hex::encode(info.signature.bytes.data(), kSignatureLength) + " " +
                              info.signature.verdict);
}

int info(const Words& args) {
  Arguments options(
      args, cardOptions(withCredentialOptions({{"json", 0, false}, {"public-key", 0, true}})));
  if (options.has("help")) return std::cout << kUltralightSecurityUsage, kExitOk;
  if (!options.positional().empty()) usageError("ultralight info takes no arguments");
  const TagCredentials credentials = parseCredentials(options);
  std::vector<uint8_t> publicKey;
  if (options.has("public-key") && !parseHex(options.value("public-key"), publicKey))
    usageError("--public-key takes the key in hex");
  ReaderSession reader(options);
  void* session = reader.handle();
  chooseAndIsolate(session, options);
  TagInfo info;
  selectTag(session);
  info.version = askVersion(session);
  info.uid = activateTag(session, credentials);
  const std::optional<ChipLayout> layout = chipLayout(info.version.chip);
  info.pages = layout ? layout->readablePages + (layout->configPage == 0 ? 4 : 0) : 0;
  info.model = identifyTag(info.version, {});
  info.protection = readProtection(session, credentials, info.version.chip);
  for (uint8_t counter : countersOf(info.version.chip)) {
    uint32_t value = 0;
    if (MifU_ReadCounter(session, counter, &value) == NORVEX_OK) {
      info.counters.emplace_back(counter, value);
    } else {
      info.counters.emplace_back(counter, std::nullopt);
      activateTag(session, credentials);
    }
  }
  info.signature =
      readSignature(session, credentials, info.version.answered(), info.uid, publicKey);
  if (options.has("json"))
    printInfoJson(info);
  else
    printInfo(info);
  return kExitOk;
}

int auth(const Words& args) {
  Arguments options(args, cardOptions(withCredentialOptions({})));
  if (options.has("help")) return std::cout << kUltralightSecurityUsage, kExitOk;
  const TagCredentials credentials = parseCredentials(options);
  if (!credentials.any()) usageError("ultralight auth needs --password or --key");
  ReaderSession reader(options);
  chooseAndIsolate(reader.handle(), options);
  uint8_t pack[2] = {};
  activateTag(reader.handle(), credentials, pack);
  if (credentials.key.empty())
    std::cout << "password accepted, PACK " << hex::encode(pack, sizeof pack) << "\n";
  else
    std::cout << "3DES key accepted\n";
  return kExitOk;
}

unsigned pageOption(const Arguments& options) {
  const std::string text = options.value("from-page");
  std::size_t used = 0;
  unsigned long page = 256;
  try {
    page = std::stoul(text, &used, 0);
  } catch (const std::exception&) {
    used = 0;
  }
  if (text.empty() || used != text.size() || page > 255)
    usageError("--from-page takes a page number (0-255)");
  return static_cast<unsigned>(page);
}

// The chip in the field with its layout, which must have a password (an NTAG21x, an Ultralight
// EV1) or a 3DES key, as ultralightC says.
std::pair<uint8_t, ChipLayout> protectableChip(void* session, bool ultralightC) {
  selectTag(session);
  const ChipVersion version = askVersion(session);
  const std::optional<ChipLayout> layout = chipLayout(version.chip);
  const bool fits =
      layout && (ultralightC ? version.chip == MIFU_CHIP_ULTRALIGHT_C : layout->configPage != 0);
  if (!fits)
    throw CliError(kExitCardError,
                   "the tag (" +
                       (version.chip == MIFU_CHIP_ULTRALIGHT ? "Mifare Ultralight"
                                                             : identifyTag(version, {}).name) +
                       ") has no " +
                       (ultralightC ? "3DES key: --key is for an Ultralight C"
                                    : "password: --password is for NTAG21x and Ultralight EV1"));
  return {version.chip, *layout};
}

// Sets CFGLCK in ACCESS (CFG1, the page after CFG0) of the authenticated tag.
void lockConfiguration(void* session, unsigned configPage) {
  uint8_t pages[4 * kPageSize] = {};
  check(MifU_Read16Bytes(session, static_cast<uint8_t>(configPage), pages),
        "reading the configuration");
  pages[kPageSize] |= kCfgLock;
  check(MifU_WritePage(session, static_cast<uint8_t>(configPage + 1), pages + kPageSize),
        "locking the configuration");
}

int protectUltralightC(void* session, const TagCredentials& credentials, unsigned fromPage,
                       bool reads) {
  protectableChip(session, true);
  activateTag(session, credentials);
  check(
      MifU_SetProtectionC(session, static_cast<uint8_t>(fromPage), reads ? MIFU_PROTECT_READS : 0),
      "setting AUTH0 and AUTH1");
  std::cout << (fromPage >= kUltralightCPages ? std::string("protection removed")
                                              : "protected from page " + std::to_string(fromPage) +
                                                    (reads ? " (reads and writes)" : " (writes)"))
            << "\n";
  return kExitOk;
}

int protect(const Words& args) {
  Arguments options(args, cardOptions({{"password", 0, true},
                                       {"pack", 0, true},
                                       {"key", 0, true},
                                       {"from-page", 0, true},
                                       {"read", 0, false},
                                       {"auth-limit", 0, true},
                                       {"current-password", 0, true},
                                       {"lock-config", 0, false},
                                       {"yes", 'y', false}}));
  if (options.has("help")) return std::cout << kUltralightSecurityUsage, kExitOk;
  if (!options.has("from-page")) usageError("ultralight protect needs --from-page N");
  const unsigned fromPage = pageOption(options);
  const bool reads = options.has("read");
  if (options.has("key")) {
    const TagCredentials key{{}, {}, hexOption(options, "key", 16)};
    ReaderSession reader(options);
    chooseAndIsolate(reader.handle(), options);
    return protectUltralightC(reader.handle(), key, fromPage, reads);
  }
  if (!options.has("password") || !options.has("pack"))
    usageError("ultralight protect needs --password and --pack (or --key on an Ultralight C)");
  const TagCredentials next{hexOption(options, "password", 4), hexOption(options, "pack", 2), {}};
  const TagCredentials current{hexOption(options, "current-password", 4), {}, {}};
  const std::string limitText = options.value("auth-limit", "0");
  if (limitText.size() != 1 || limitText[0] < '0' || limitText[0] > '7')
    usageError("--auth-limit takes 0 (no limit) to 7");
  const uint8_t flags =
      static_cast<uint8_t>((reads ? MIFU_PROTECT_READS : 0) | (limitText[0] - '0'));
  if (options.has("lock-config"))
    confirmIrreversible(options,
                        "locking the configuration pages (CFGLCK): the password and the "
                        "protected range can never be changed again");
  ReaderSession reader(options);
  void* session = reader.handle();
  chooseAndIsolate(session, options);
  const auto [chip, layout] = protectableChip(session, false);
  if (fromPage >= layout.readablePages)
    usageError("the tag's last page is " + std::to_string(layout.readablePages - 1) +
               ": --from-page " + std::to_string(fromPage) + " would protect nothing");
  activateTag(session, current);
  check(MifU_SetProtection(session, chip, static_cast<uint8_t>(fromPage), flags,
                           next.password.data(), next.pack.data()),
        "setting up the protection");
  // The new password is checked on a fresh activation: it must open the tag and answer the PACK.
  activateTag(session, next);
  if (options.has("lock-config")) lockConfiguration(session, layout.configPage);
  std::cout << "protected from page " << fromPage << (reads ? " (reads and writes)" : " (writes)")
            << "; the tag answers the password "
            << "with PACK " << hex::encode(next.pack.data(), next.pack.size())
            << (options.has("lock-config") ? "; configuration locked" : "") << "\n";
  return kExitOk;
}

int unprotect(const Words& args) {
  Arguments options(args, cardOptions(withCredentialOptions({})));
  if (options.has("help")) return std::cout << kUltralightSecurityUsage, kExitOk;
  const TagCredentials credentials = parseCredentials(options);
  if (!credentials.any()) usageError("ultralight unprotect needs --password or --key");
  ReaderSession reader(options);
  void* session = reader.handle();
  chooseAndIsolate(session, options);
  if (!credentials.key.empty())
    return protectUltralightC(session, credentials, kUltralightCPages, false);
  const uint8_t chip = protectableChip(session, false).first;
  activateTag(session, credentials);
  check(MifU_SetProtection(session, chip, 0xFF, 0, nullptr, nullptr), "removing the protection");
  std::cout << "protection removed (AUTH0 FF); the password stays set\n";
  return kExitOk;
}

}  // namespace

int runUltralightInfo(const Words& args) {
  return info(args);
}
int runUltralightAuth(const Words& args) {
  return auth(args);
}
int runUltralightProtect(const Words& args) {
  return protect(args);
}
int runUltralightUnprotect(const Words& args) {
  return unprotect(args);
}

}  // namespace norvex::cli
