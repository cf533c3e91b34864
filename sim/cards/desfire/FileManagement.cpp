// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/FileManagement.h"

#include <algorithm>
#include <array>
#include <optional>

#include "sim/cards/desfire/DesfireStatus.h"
#include "sim/cards/desfire/FileAccess.h"

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kCreateBackupFile = 0xCB, kCreateCyclicRecordFile = 0xC1;
constexpr size_t kIsoFidLength = 2;

// The common head of every create command: code, file number, the ISO file identifier (2 bytes,
// least significant first; only in applications created for them), communication setting,
// access rights; the type's own parameters follow at body.
struct FileHeader {
  std::optional<uint16_t> isoFid;
  uint8_t comm = 0;
  std::array<uint8_t, 2> access{};
  size_t body = 0;
};

// The head of a create command whose type parameters take bodyLength bytes; std::nullopt when
// the command's length fits neither form.
std::optional<FileHeader> headerOf(CardContext& card, Command command, size_t bodyLength) {
  const Application* application = card.application();
  const bool withFid =
      application && application->isoFileIds && command.size() == 5 + kIsoFidLength + bodyLength;
  if (!withFid && command.size() != 5 + bodyLength) return std::nullopt;
  FileHeader header;
  size_t at = 2;
  if (withFid) {
    header.isoFid = static_cast<uint16_t>(readUnsigned(command, at, kIsoFidLength));
    at += kIsoFidLength;
  }
  header.comm = command[at];
  header.access = {command[at + 1], command[at + 2]};
  header.body = at + 3;
  return header;
}

bool isoFidTaken(const Application& application, uint16_t fid) {
  return std::any_of(application.files.begin(), application.files.end(),
                     [&](const auto& entry) { return entry.second.isoFid == fid; });
}

// Creating and deleting files takes the application master key unless the key settings free it.
uint8_t mayManageFiles(CardContext& card) {
  if (card.atPiccLevel()) return status::kPermissionDenied;
  if (card.keys().settings & kFreeCreateDelete || card.authenticatedWith(0)) return status::kOk;
  return status::kAuthenticationError;
}

uint8_t mayList(CardContext& card) {
  if (card.atPiccLevel()) return status::kPermissionDenied;
  if (card.keys().settings & kFreeDirectoryList || card.authenticatedWith(0)) return status::kOk;
  return status::kAuthenticationError;
}

// The common part of every create command; on success the file is added with its memory taken.
Answer addFile(CardContext& card, Command command, const FileHeader& header, File file,
               size_t bytes) {
  if (const uint8_t allowed = mayManageFiles(card); allowed != status::kOk) return {allowed};
  if (command[1] >= kMaxFiles || !comm::valid(header.comm)) return {status::kParameterError};
  Application& application = *card.application();
  if (application.files.contains(command[1])) return {status::kDuplicateError};
  if (header.isoFid && isoFidTaken(application, *header.isoFid)) return {status::kDuplicateError};
  if (bytes == 0) return {status::kParameterError};  // sizes or limits the caller refused
  const size_t blocks = (bytes + kMemoryBlock - 1) / kMemoryBlock * kMemoryBlock;
  if (card.picc.usedMemory + blocks > card.picc.capacity) return {status::kOutOfEeprom};
  card.picc.usedMemory += blocks;
  file.isoFid = header.isoFid;
  file.comm = header.comm;
  file.access = AccessRights::fromBytes(header.access[0], header.access[1]);
  application.files[command[1]] = std::move(file);
  return {status::kOk};
}

void appendFileSpecific(std::vector<uint8_t>& out, const File& file) {
  switch (file.type) {
    case FileType::kStandard:
    case FileType::kBackup:
      appendUnsigned(out, static_cast<uint32_t>(file.committed.data.size()), 3);
      break;
    case FileType::kValue:
      appendUnsigned(out, static_cast<uint32_t>(file.lower), 4);
      appendUnsigned(out, static_cast<uint32_t>(file.upper), 4);
      appendUnsigned(out, static_cast<uint32_t>(file.committed.limitedCredit), 4);
      out.push_back(file.limitedCreditEnabled ? 1 : 0);
      break;
    case FileType::kLinearRecord:
    case FileType::kCyclicRecord:
      appendUnsigned(out, file.recordSize, 3);
      appendUnsigned(out, file.maxRecords, 3);
      appendUnsigned(out, static_cast<uint32_t>(file.committed.records.size()), 3);
      break;
  }
}

}  // namespace

Answer createDataFile(CardContext& card, Command command) {
  const auto header = headerOf(card, command, 3);
  if (!header) return {status::kLengthError};
  const bool backup = command[0] == kCreateBackupFile;
  const uint32_t size = readUnsigned(command, header->body, 3);
  File file;
  file.type = backup ? FileType::kBackup : FileType::kStandard;
  file.committed.data.assign(size, 0);
  return addFile(card, command, *header, std::move(file), backup ? 2 * size : size);
}

// Value files have no ISO file identifier.
Answer createValueFile(CardContext& card, Command command) {
  constexpr size_t kBody = 5;
  if (command.size() != kBody + 13) return {status::kLengthError};
  const FileHeader header{std::nullopt, command[2], {command[3], command[4]}, kBody};
  File file;
  file.type = FileType::kValue;
  file.lower = static_cast<int32_t>(readUnsigned(command, kBody, 4));
  file.upper = static_cast<int32_t>(readUnsigned(command, kBody + 4, 4));
  file.committed.value = static_cast<int32_t>(readUnsigned(command, kBody + 8, 4));
  file.limitedCreditEnabled = command[kBody + 12] & 1;
  const bool ordered = file.lower <= file.committed.value && file.committed.value <= file.upper;
  return addFile(card, command, header, std::move(file), ordered ? kMemoryBlock : 0);
}

// A cyclic file keeps one of its records free for the record being written, so it needs two.
Answer createRecordFile(CardContext& card, Command command) {
  const auto header = headerOf(card, command, 6);
  if (!header) return {status::kLengthError};
  File file;
  const bool cyclic = command[0] == kCreateCyclicRecordFile;
  file.type = cyclic ? FileType::kCyclicRecord : FileType::kLinearRecord;
  file.recordSize = readUnsigned(command, header->body, 3);
  file.maxRecords = readUnsigned(command, header->body + 3, 3);
  const bool fits = file.maxRecords >= (cyclic ? 2u : 1u);
  const size_t bytes = fits ? size_t{file.recordSize} * file.maxRecords : 0;
  return addFile(card, command, *header, std::move(file), bytes);
}

Answer deleteFile(CardContext& card, Command command) {
  if (command.size() != 2) return {status::kLengthError};
  if (const uint8_t allowed = mayManageFiles(card); allowed != status::kOk) return {allowed};
  const FileLookup found = lookupFile(card, command);
  if (!found.file) return {found.status};
  card.application()->files.erase(command[1]);
  return {status::kOk};
}

Answer getFileIds(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  if (const uint8_t allowed = mayList(card); allowed != status::kOk) return {allowed};
  Answer answer{status::kOk};
  for (const auto& [number, file] : card.application()->files) answer.push_back(number);
  return answer;
}

// 61: the ISO file identifiers of the application's files that have one, 2 bytes each.
Answer getIsoFileIds(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  if (const uint8_t allowed = mayList(card); allowed != status::kOk) return {allowed};
  Answer answer{status::kOk};
  for (const auto& [number, file] : card.application()->files) {
    if (file.isoFid) appendUnsigned(answer, *file.isoFid, 2);
  }
  return answer;
}

Answer getFileSettings(CardContext& card, Command command) {
  if (command.size() != 2) return {status::kLengthError};
  if (const uint8_t allowed = mayList(card); allowed != status::kOk) return {allowed};
  const FileLookup found = lookupFile(card, command);
  if (!found.file) return {found.status};
  const File& file = *found.file;
  const auto rights = file.access.bytes();
  Answer answer{status::kOk, static_cast<uint8_t>(file.type), file.comm, rights[0], rights[1]};
  appendFileSpecific(answer, file);
  return answer;
}

// 5F, file number, then the communication setting and the access right bytes: plain when the
// change right is free, else with their CRC enciphered under the session key of the change key.
Answer changeFileSettings(CardContext& card, Command command) {
  const FileLookup found = lookupFile(card, command);
  if (!found.file) return {found.status};
  File& file = *found.file;
  const Grant grant = grantAccess(file, right::kChange, card);
  if (!grant.granted()) return {grant.status};
  std::vector<uint8_t> settings(command.begin() + 2, command.end());
  if (file.access.change != kFreeAccess) {
    const Session& session = *card.authenticated();
    const size_t block = session.ev1() ? blockSizeOf(session.sessionKey.type) : 8;
    if (settings.size() != paddedLength(3, card.crcLength(), block)) {
      return {status::kLengthError};
    }
    settings = *card.decipherCryptogram(command, 2);
    if (!card.cryptogramCrcMatches(command.first(2), std::span(settings).first(3), settings, 3)) {
      return {status::kIntegrityError};
    }
    settings.resize(3);
  }
  if (settings.size() != 3) return {status::kLengthError};
  if (!comm::valid(settings[0])) return {status::kParameterError};
  file.comm = settings[0];
  file.access = AccessRights::fromBytes(settings[1], settings[2]);
  return {status::kOk};
}

}  // namespace norvexsim::desfire
