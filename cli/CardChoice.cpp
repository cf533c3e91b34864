// SPDX-License-Identifier: MIT
#include "cli/CardChoice.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "cli/CliError.h"
#include "cli/Output.h"
#include "dump/Hex.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr std::size_t kMaxCards = 16;
constexpr uint16_t kRfResetMs = 10;
constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr long kMaxWaitSeconds = 86400;

std::vector<uint8_t> parseUid(const std::string& text) {
  std::vector<uint8_t> uid;
  if (!parseHex(text, uid) || (uid.size() != 4 && uid.size() != 7 && uid.size() != 10))
    usageError("--uid needs a UID of 4, 7 or 10 bytes in hex, not \"" + text + "\"");
  return uid;
}

long parseSeconds(const std::string& option, const std::string& text) {
  char* end = nullptr;
  const long seconds = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || seconds <= 0 || seconds > kMaxWaitSeconds)
    usageError("--" + option + " needs seconds from 1 to " + std::to_string(kMaxWaitSeconds) +
               ", not \"" + text + "\"");
  return seconds;
}

std::string uidList(const std::vector<FieldCard>& cards) {
  std::string text;
  for (const FieldCard& card : cards) text += (text.empty() ? "" : ", ") + hex::encode(card.uid);
  return text;
}

const FieldCard* withUid(const std::vector<FieldCard>& cards, const std::vector<uint8_t>& uid) {
  for (const FieldCard& card : cards)
    if (card.uid == uid) return &card;
  return nullptr;
}

// Whether the field holds what the command waits for: the named card, or any card.
bool arrived(const std::vector<FieldCard>& cards, const std::vector<uint8_t>& uid) {
  return uid.empty() ? !cards.empty() : withUid(cards, uid) != nullptr;
}

}  // namespace

std::vector<OptionDef> cardOptions(std::vector<OptionDef> more, const std::string& waitBound) {
  more.push_back({"uid", 0, true});
  more.push_back({"wait", 0, false});
  more.push_back({waitBound, 0, true});
  return readerOptions(std::move(more));
}

std::vector<FieldCard> cardsInField(void* session) {
  std::vector<FieldCard> cards;
  check(RfReset(session, kRfResetMs), "resetting the field");
  while (cards.size() < kMaxCards) {
    FieldCard card;
    uint8_t uid[10] = {}, uidLen = sizeof uid;
    const long status = SelectIdleCard(session, uid, &uidLen, card.atqa, &card.sak);
    if (status == NORVEX_E_NO_CARD_IN_RF) break;
    check(status, "selecting a card");
    card.uid.assign(uid, uid + uidLen);
    cards.push_back(card);
    HaltCard(session);  // a halted card stays out of the next selection
  }
  return cards;
}

FieldCard chooseCard(void* session, const Arguments& options, const std::string& waitBound) {
  std::vector<uint8_t> uid;
  if (options.has("uid")) uid = parseUid(options.value("uid"));
  const bool bounded = options.has(waitBound);
  const auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::seconds(bounded ? parseSeconds(waitBound, options.value(waitBound)) : 0);
  std::vector<FieldCard> cards = cardsInField(session);
  while (options.has("wait") && !arrived(cards, uid)) {
    if (bounded && std::chrono::steady_clock::now() >= deadline)
      throw CliError(kExitCardError, (uid.empty() ? std::string("no card")
                                                  : "no card with UID " + hex::encode(uid)) +
                                         " arrived within " + options.value(waitBound) + " s");
    std::this_thread::sleep_for(kPollInterval);
    cards = cardsInField(session);
  }
  if (!uid.empty()) {
    if (const FieldCard* card = withUid(cards, uid)) return *card;
    throw CliError(kExitCardError,
                   "no card with UID " + hex::encode(uid) + " in the field" +
                       (cards.empty() ? std::string() : " (in the field: " + uidList(cards) + ")"));
  }
  if (cards.empty()) check(NORVEX_E_NO_CARD_IN_RF, "selecting the card");
  if (cards.size() > 1)
    throw CliError(kExitUsage, std::to_string(cards.size()) + " cards in the field: " +
                                   uidList(cards) + "; choose one with --uid");
  return cards.front();
}

// After a field reset each selection halts the card it finds unless it is the chosen one. The
// chosen card, left active, falls back to idle at the next request without answering, so the other
// idle cards are found; once it is found twice in a row (or nothing else answers), every other
// card is halted.
void isolateCard(void* session, const FieldCard& card) {
  check(RfReset(session, kRfResetMs), "resetting the field");
  bool chosenLast = false;
  for (std::size_t attempt = 0; attempt < 2 * kMaxCards + 2; ++attempt) {
    uint8_t uid[10] = {}, uidLen = sizeof uid, atqa[2] = {}, sak = 0;
    const long status = SelectIdleCard(session, uid, &uidLen, atqa, &sak);
    if (status == NORVEX_E_NO_CARD_IN_RF && chosenLast) return;
    check(status, "selecting the card " + hex::encode(card.uid));
    const bool chosen = std::vector<uint8_t>(uid, uid + uidLen) == card.uid;
    if (chosen && chosenLast) return;
    if (!chosen) HaltCard(session);
    chosenLast = chosen;
  }
  throw CliError(kExitCardError,
                 "the card " + hex::encode(card.uid) + " cannot be told apart in the field");
}

std::string cardChoiceHelp(const std::string& waitBound) {
  return "Card choice: --uid HEX works on the card with that UID; without it the command needs\n"
         "exactly one card in the field (several are listed: choose one with --uid). --wait\n"
         "waits for a card to arrive, for at most --" +
         waitBound + " SECONDS when given (exit status 1 after).\n";
}

FieldCard chooseAndIsolate(void* session, const Arguments& options, const std::string& waitBound) {
  FieldCard card = chooseCard(session, options, waitBound);
  isolateCard(session, card);
  return card;
}

}  // namespace norvex::cli
