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
#include <ctime>
#include <iostream>
#include <thread>

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/ReaderList.h"
#include "cli/ReaderSession.h"
#include "dump/CardType.h"
#include "dump/Hex.h"
#include "dump/JsonValue.h"
#include "dump/TypeBPoll.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex scan [--watch | --all] [--json] [--reader USB_n] [--product ID]\n"
    "Lists the cards in the reader's field: UID, ATQA, SAK, the card type they announce, and the\n"
    "ATS of ISO 14443-4 cards; ISO 14443-B cards follow with their PUPI as UID (and their ATQB\n"
    "in JSON). --watch (type A cards) keeps scanning until interrupted and prints a line for\n"
    "each card that arrives (+) or leaves (-); with --json one JSON object per line, with the\n"
    "time (UTC) and the reader. --all scans every reader present, naming the reader of each\n"
    "card.\n";

constexpr std::size_t kMaxCards = 16;
constexpr uint16_t kRfResetMs = 10;
constexpr uint8_t kRatsParam = 0x80;  // FSDI 8: the host takes frames of 256 bytes, CID 0
constexpr auto kWatchInterval = std::chrono::milliseconds(200);

volatile std::sig_atomic_t stopWatching = 0;
extern "C" void onStopSignal(int) {
  stopWatching = 1;
}

struct CardRow {
  std::string reader;  // with --all only: the reader's name and product ID
  int productId = 0;
  bool sharedName = false;  // another model's reader has the same name
  std::vector<uint8_t> uid;
  uint8_t atqa[2] = {};
  uint8_t sak = 0;
  std::vector<uint8_t> ats;
  std::string atsError;
  std::vector<uint8_t> atqb;  // type B cards only
};

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

// The card's type as the scan found it: by ATQA and SAK, or as a type B card.
dump::CardType typeOf(const CardRow& card) {
  return card.atqb.empty() ? dump::cardTypeOf(card.atqa, card.sak) : dump::kTypeBCard;
}

dump::JsonValue cardJson(const CardRow& card) {
  const bool typeB = !card.atqb.empty();
  const dump::CardType type = typeOf(card);
  auto hexOrNull = [](const std::vector<uint8_t>& bytes) {
    return bytes.empty() ? dump::JsonValue{} : dump::jsonHex(bytes.data(), bytes.size());
  };
  dump::JsonValue json = dump::JsonValue::object();
  if (!card.reader.empty())
    json.add("reader", dump::jsonString(card.reader))
        .add("product", dump::jsonString(productText(card.productId)));
  json.add("uid", dump::jsonHex(card.uid.data(), card.uid.size()))
      .add("atqa", typeB ? dump::JsonValue{} : dump::jsonString(dump::atqaText(card.atqa)))
      .add("sak", typeB ? dump::JsonValue{} : dump::jsonHex(&card.sak, 1))
      .add("kind", dump::jsonString(type.kind))
      .add("type", dump::jsonString(type.name));
  if (typeB) json.add("atqb", hexOrNull(card.atqb));
  return json.add("ats", hexOrNull(card.ats));
}

// Now in UTC with milliseconds, as ISO 8601 writes it: 2026-12-08T16:28:07.123Z.
std::string timestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis));
  return text;
}

bool sameUidIn(const std::vector<CardRow>& cards, const CardRow& card) {
  for (const CardRow& other : cards)
    if (other.uid == card.uid) return true;
  return false;
}

// The reader a watch reports on: its name and product ID, as `readers` lists them.
struct WatchedReader {
  std::string name;
  std::string product;
};

void printEvent(char sign, const CardRow& card, const WatchedReader& reader, bool json) {
  if (json)
    std::cout << dump::writeJsonText(
        dump::JsonValue::object()
            .add("event", dump::jsonString(sign == '+' ? "arrived" : "left"))
            .add("time", dump::jsonString(timestamp()))
            .add("reader", dump::jsonString(reader.name))
            .add("product", dump::jsonString(reader.product))
            .add("card", cardJson(card)),
        dump::JsonLayout::OneLine);
  else
    std::cout << sign << " " << hex::encode(card.uid) << "  " << dump::atqaText(card.atqa) << "  "
              << hex::encode(&card.sak, 1) << "  " << dump::cardTypeName(card.atqa, card.sak)
              << (card.ats.empty() ? "" : "  " + hex::encode(card.ats)) << "\n";
  std::cout.flush();
}

// The ATS of a card that arrived; a card that left (or a card that came) since the scan ends no
// watch: the ATS is then left out.
void watchedAts(void* session, std::size_t index, CardRow& card) {
  try {
    requestAts(session, index, card);
  } catch (const CliError& error) {
    card.atsError = error.what();
  }
}

// Scans until SIGINT or SIGTERM, printing the cards that arrive (with the ATS of ISO 14443-4
// cards) and leave.
int watch(void* session, const WatchedReader& reader, bool json) {
  std::signal(SIGINT, onStopSignal);
  std::signal(SIGTERM, onStopSignal);
  std::vector<CardRow> present;
  while (!stopWatching) {
    std::vector<CardRow> now = selectEveryCard(session);
    for (std::size_t i = 0; i < now.size(); ++i) {
      if (sameUidIn(present, now[i])) continue;
      if (dump::announcesIso14443_4(now[i].sak)) watchedAts(session, i, now[i]);
      printEvent('+', now[i], reader, json);
    }
    for (const CardRow& card : present)
      if (!sameUidIn(now, card)) printEvent('-', card, reader, json);
    present = std::move(now);
    std::this_thread::sleep_for(kWatchInterval);
  }
  return kExitOk;
}

void printCardsJson(const std::vector<CardRow>& cards) {
  dump::JsonValue list = dump::JsonValue::array();
  for (const CardRow& card : cards) list.push(cardJson(card));
  printJson(list);
}

// Every card of one reader's field: type A with their ATS, then type B.
std::vector<CardRow> scanReader(void* session) {
  std::vector<CardRow> cards = selectEveryCard(session);
  for (std::size_t i = 0; i < cards.size(); ++i)
    if (dump::announcesIso14443_4(cards[i].sak)) requestAts(session, i, cards[i]);
  for (const std::vector<uint8_t>& atqb : dump::pollTypeBCards(session)) {
    CardRow card;
    card.uid.assign(atqb.begin() + 1, atqb.begin() + 5);  // the PUPI
    card.atqb = atqb;
    cards.push_back(card);
  }
  return cards;
}

// The cards of every reader present, each with its reader's name and product ID.
std::vector<CardRow> scanAllReaders() {
  const std::vector<ReaderId> readers = presentReaders();
  std::vector<CardRow> cards;
  for (const ReaderId& id : readers) {
    bool shared = false;
    for (const ReaderId& other : readers)
      shared = shared || (other.name == id.name && other.productId != id.productId);
    ReaderSession reader(id.name, id.productId);
    for (CardRow& card : scanReader(reader.handle())) {
      card.reader = id.name;
      card.productId = id.productId;
      card.sharedName = shared && id.productId != knownProductIds().front();
      cards.push_back(std::move(card));
    }
  }
  return cards;
}

// The reader in the --all table: its name, with the product ID ("USB_0/0x0120") for a model
// other than the first where two models share a name.
std::string readerColumn(const CardRow& card) {
  return card.sharedName ? card.reader + "/" + productText(card.productId) : card.reader;
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
    if (options.has("watch"))
      return watch(reader.handle(), {reader.name(), productText(reader.productId())},
                   options.has("json"));
    cards = scanReader(reader.handle());
  }
  if (options.has("json")) {
    printCardsJson(cards);
    return kExitOk;
  }
  if (cards.empty()) {
    std::cerr << "norvex: no card in the field\n";
    return kExitOk;
  }
  std::vector<std::vector<std::string>> table;
  for (const CardRow& card : cards) {
    if (!card.atqb.empty()) {
      table.push_back({hex::encode(card.uid), "-", "-", dump::kTypeBCard.name, "-"});
    } else {
      table.push_back({hex::encode(card.uid), dump::atqaText(card.atqa), hex::encode(&card.sak, 1),
                       dump::cardTypeName(card.atqa, card.sak),
                       !card.ats.empty()       ? hex::encode(card.ats)
                       : card.atsError.empty() ? "-"
                                               : card.atsError});
    }
    if (options.has("all")) table.back().insert(table.back().begin(), readerColumn(card));
  }
  std::vector<std::string> header = {"UID", "ATQA", "SAK", "TYPE", "ATS"};
  if (options.has("all")) header.insert(header.begin(), "READER");
  printTable(std::cout, header, table);
  return kExitOk;
}

}  // namespace norvex::cli
