// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/DataFileCommands.h"

#include <algorithm>

#include "sim/cards/desfire/DesfireStatus.h"
#include "sim/cards/desfire/FileAccess.h"

namespace norvexsim::desfire {
namespace {

constexpr size_t kWriteHeader = 8;  // code, file number, offset 3, length 3

WriteData refused(uint8_t status) {
  WriteData write;
  write.status = status;
  return write;
}

bool isDataFile(const File& file) {
  return file.type == FileType::kStandard || file.type == FileType::kBackup;
}

}  // namespace

WriteLength writeCommandLength(CardContext& card, Command firstFrame) {
  if (firstFrame.size() < kWriteHeader) return {0, status::kLengthError};
  const FileLookup found = lookupFile(card, firstFrame);
  if (!found.file) return {0, found.status};
  const Grant grant = grantAccess(*found.file, right::kWrite | right::kReadWrite, card);
  if (!grant.granted()) return {0, grant.status};
  const uint32_t length = readUnsigned(firstFrame, 5, 3);
  if (length == 0) return {0, status::kLengthError};
  return {kWriteHeader + card.securedLength(grant.setting, length), status::kOk};
}

WriteData openWrite(CardContext& card, Command command) {
  const WriteLength expected = writeCommandLength(card, command);
  if (expected.status != status::kOk) return refused(expected.status);
  if (command.size() != expected.length) return refused(status::kLengthError);
  File& file = *lookupFile(card, command).file;
  const Grant grant = grantAccess(file, right::kWrite | right::kReadWrite, card);
  const uint32_t length = readUnsigned(command, 5, 3);
  auto data = card.openCommand(grant.setting, command, kWriteHeader, length);
  if (!data) return refused(status::kIntegrityError);
  return {&file, readUnsigned(command, 2, 3), std::move(*data), status::kOk};
}

Answer readData(CardContext& card, Command command) {
  if (command.size() != kWriteHeader) return {status::kLengthError};
  const FileLookup found = lookupFile(card, command);
  if (!found.file) return {found.status};
  const File& file = *found.file;
  if (!isDataFile(file)) return {status::kParameterError};
  const Grant grant = grantAccess(file, right::kRead | right::kReadWrite, card);
  if (!grant.granted()) return {grant.status};
  const size_t size = file.committed.data.size();
  const size_t offset = readUnsigned(command, 2, 3);
  size_t length = readUnsigned(command, 5, 3);
  if (offset >= size) return {status::kBoundaryError};
  if (length == 0) length = size - offset;  // to the end of the file
  if (length > size - offset) return {status::kBoundaryError};
  const auto data = std::span<const uint8_t>(file.committed.data).subspan(offset, length);
  Answer answer{status::kOk};
  const auto secured = card.secureAnswer(grant.setting, data);
  answer.insert(answer.end(), secured.begin(), secured.end());
  return answer;
}

// A standard file takes the data at once, a backup file at CommitTransaction.
Answer writeData(CardContext& card, Command command) {
  WriteData write = openWrite(card, command);
  if (write.status != status::kOk) return {write.status};
  File& file = *write.file;
  if (!isDataFile(file)) return {status::kParameterError};
  auto& target = file.type == FileType::kBackup ? file.change().content.data : file.committed.data;
  if (write.offset > target.size() || write.data.size() > target.size() - write.offset) {
    return {status::kBoundaryError};
  }
  std::copy(write.data.begin(), write.data.end(), target.begin() + write.offset);
  return {status::kOk};
}

}  // namespace norvexsim::desfire
