// SPDX-License-Identifier: MIT
// norvex scan: every ISO 14443-A card in the field, the ATS of the ISO 14443-4 ones, then the
// ISO 14443-B cards (PUPI as UID, with their ATQB).
//
// Each card found is halted so that the next selection finds another. For an ATS the field is
// reset and the cards found before it are selected and halted again, in the same order (the
// anticollision over the same cards resolves the same way), so that Request_ATS activates the
// card asked for.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include "cli/Arguments.h"
#include "cli/CardType.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/ReaderList.h"
#include "cli/ReaderSession.h"
#include "cli/TypeBPoll.h"
#include "dump/Hex.h"
#include "dump/JsonValue.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex scan [--watch | --all] [--json] [--reader USB_n] [--product ID]\n"
    "Lists the cards in the reader's field: UID, ATQA, SAK, the card type they announce, and the\n"
    "ATS of ISO 14443-4 cards; ISO 14443-B cards follow with their PUPI as UID (and their ATQB\n"
    "in JSON). --watch (type A cards) keeps scanning until interrupted and prints a line for\n"
    "each card that arrives (+) or leaves (-); with --json one JSON object per line. --all scans\n"
    "every reader present, naming the reader of each card.\n";

constexpr std::size_t kMaxCards = 16;
constexpr uint16_t kRfResetMs = 10;
constexpr uint8_t kRatsParam = 0x80;  // FSDI 8: the host takes frames of 256 bytes, CID 0
constexpr auto kWatchInterval = std::chrono::milliseconds(200);

volatile std::sig_atomic_t stopWatching = 0;
extern "C" void onStopSignal(int) {
  stopWatching = 1;
}

struct CardRow {
  std::string reader;  // with --all only
  std::vector<uint8_t> uid;
  uint8_t atqa[2] = {};
  uint8_t sak = 0;
  std::vector<uint8_t> ats;
  std::string atsError;
  std::vector<uint8_t> atqb;  // type B cards only
};

constexpr const char* kTypeBName = "ISO 14443-B";

std::vector<CardRow> selectEveryCard(void* session) {
  std::vector<CardRow> cards;
  check(RfReset(session, kRfResetMs), "resetting the field");
  while (cards.size() < kMaxCards) {
    CardRow card;
    uint8_t uid[10] = {}, uidLen = sizeof uid;
    long status = SelectIdleCard(session, uid, &uidLen, card.atqa, &card.sak);
    if (status != NORVEX_OK) {
      // No card answers any more; a failure before the first card is the reader's or the field's.
      if (cards.empty() && status != NORVEX_E_NO_CARD_IN_RF) check(status, "selecting a card");
      break;
    }
    card.uid.assign(uid, uid + uidLen);
    cards.push_back(card);
    HaltCard(session);
  }
  return cards;
}

void requestAts(void* session, std::size_t index, CardRow& card) {
  check(RfReset(session, kRfResetMs), "resetting the field");
  for (std::size_t i = 0; i < index; ++i) {
    uint8_t uid[10] = {}, uidLen = sizeof uid, atqa[2] = {}, sak = 0;
    check(SelectIdleCard(session, uid, &uidLen, atqa, &sak), "selecting a card");
    HaltCard(session);
  }
  uint8_t ats[256] = {};
  uint16_t atsLen = sizeof ats;
  long status = Request_ATS(session, kRatsParam, &atsLen, ats);
  if (status == NORVEX_OK)
    card.ats.assign(ats, ats + atsLen);
  else
    card.atsError = statusMessage("RATS", status);
}

std::string cardJson(const CardRow& card) {
  if (!card.atqb.empty())
    return "{\"uid\": \"" + hex::encode(card.uid) +
           "\", \"atqa\": null, \"sak\": null, \"type\": \"" + kTypeBName + "\", \"atqb\": \"" +
           hex::encode(card.atqb) + "\", \"ats\": null}";
  return "{\"uid\": \"" + hex::encode(card.uid) + "\", \"atqa\": \"" + atqaText(card.atqa) +
         "\", \"sak\": \"" + hex::encode(&card.sak, 1) +
         "\", \"type\": " + dump::jsonQuoted(cardTypeName(card.atqa, card.sak)) +
         ", \"ats\": " + (card.ats.empty() ? "null" : "\"" + hex::encode(card.ats) + "\"") + "}";
}

bool sameUidIn(const std::vector<CardRow>& cards, const CardRow& card) {
  for (const CardRow& other : cards)
    if (other.uid == card.uid) return true;
  return false;
}

void printEvent(char sign, const CardRow& card, bool json) {
  if (json)
    std::cout << "{\"event\": \"" << (sign == '+' ? "arrived" : "left")
              << "\", \"card\": " << cardJson(card) << "}";
  else
    std::cout << sign << " " << hex::encode(card.uid) << "  " << atqaText(card.atqa) << "  "
              << hex::encode(&card.sak, 1) << "  " << cardTypeName(card.atqa, card.sak);
  std::cout << std::endl;
}

// Scans until SIGINT or SIGTERM, printing the cards that arrive and leave.
int watch(void* session, bool json) {
  std::signal(SIGINT, onStopSignal);
  std::signal(SIGTERM, onStopSignal);
  std::vector<CardRow> present;
  while (!stopWatching) {
    std::vector<CardRow> now = selectEveryCard(session);
    for (const CardRow& card : now)
      if (!sameUidIn(present, card)) printEvent('+', card, json);
    for (const CardRow& card : present)
      if (!sameUidIn(now, card)) printEvent('-', card, json);
    present = std::move(now);
    std::this_thread::sleep_for(kWatchInterval);
  }
  return kExitOk;
}

void printJson(const std::vector<CardRow>& cards) {
  std::cout << "[";
  for (std::size_t i = 0; i < cards.size(); ++i)
    std::cout << (i ? ",\n " : "\n ")
              << (cards[i].reader.empty() ? cardJson(cards[i])
                                          : "{\"reader\": " + dump::jsonQuoted(cards[i].reader) +
                                                ", " + cardJson(cards[i]).substr(1));
  std::cout << (cards.empty() ? "]\n" : "\n]\n");
}

// Every card of one reader's field: type A with their ATS, then type B.
std::vector<CardRow> scanReader(void* session) {
  std::vector<CardRow> cards = selectEveryCard(session);
  for (std::size_t i = 0; i < cards.size(); ++i)
    if (announcesIso14443_4(cards[i].sak)) requestAts(session, i, cards[i]);
  for (const std::vector<uint8_t>& atqb : pollTypeBCards(session)) {
    CardRow card;
    card.uid.assign(atqb.begin() + 1, atqb.begin() + 5);  // the PUPI
    card.atqb = atqb;
    cards.push_back(card);
  }
  return cards;
}

// The cards of every reader present, each named with its reader ("USB_0/0x0120" for a model
// other than the first where two models share a name).
std::vector<CardRow> scanAllReaders() {
  const std::vector<ReaderId> readers = readersPresent();
  std::vector<CardRow> cards;
  for (const ReaderId& id : readers) {
    bool shared = false;
    for (const ReaderId& other : readers)
      shared = shared || (other.name == id.name && other.productId != id.productId);
    ReaderSession reader(id.name, id.productId);
    for (CardRow& card : scanReader(reader.handle())) {
      card.reader = id.name;
      if (shared && id.productId != knownProductIds().front()) {
        char product[8];
        std::snprintf(product, sizeof product, "0x%04X", static_cast<unsigned>(id.productId));
        card.reader += "/" + std::string(product);
      }
      cards.push_back(std::move(card));
    }
  }
  return cards;
}

}  // namespace

int runScan(const Words& args) {
  Arguments options(
      args, readerOptions({{"json", 0, false}, {"watch", 'w', false}, {"all", 'a', false}}));
  if (options.has("help")) return std::cout << kUsage, kExitOk;
  if (!options.positional().empty()) usageError("scan takes no arguments");
  if (options.has("all") && (options.has("watch") || options.has("reader")))
    usageError("scan --all takes neither --watch nor --reader");
  std::vector<CardRow> cards;
  if (options.has("all")) {
    cards = scanAllReaders();
  } else {
    ReaderSession reader(options);
    if (options.has("watch")) return watch(reader.handle(), options.has("json"));
    cards = scanReader(reader.handle());
  }
  if (options.has("json")) {
    printJson(cards);
    return kExitOk;
  }
  if (cards.empty()) {
    std::cerr << "norvex: no card in the field\n";
    return kExitOk;
  }
  std::vector<std::vector<std::string>> table;
  for (const CardRow& card : cards) {
    if (!card.atqb.empty()) {
      table.push_back({hex::encode(card.uid), "-", "-", kTypeBName, "-"});
    } else {
      table.push_back({hex::encode(card.uid), atqaText(card.atqa), hex::encode(&card.sak, 1),
                       cardTypeName(card.atqa, card.sak),
                       !card.ats.empty()       ? hex::encode(card.ats)
                       : card.atsError.empty() ? "-"
                                               : card.atsError});
    }
    if (options.has("all")) table.back().insert(table.back().begin(), card.reader);
  }
  std::vector<std::string> header = {"UID", "ATQA", "SAK", "TYPE", "ATS"};
  if (options.has("all")) header.insert(header.begin(), "READER");
  printTable(std::cout, header, table);
  return kExitOk;
}

}  // namespace norvex::cli
