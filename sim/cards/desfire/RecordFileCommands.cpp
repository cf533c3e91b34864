// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/RecordFileCommands.h"

#include <algorithm>

#include "sim/cards/desfire/DataFileCommands.h"
#include "sim/cards/desfire/DesfireStatus.h"
#include "sim/cards/desfire/FileAccess.h"

namespace norvexsim::desfire {
namespace {

bool isRecordFile(const File& file) {
  return file.type == FileType::kLinearRecord || file.type == FileType::kCyclicRecord;
}

}  // namespace

Answer writeRecord(CardContext& card, Command command) {
  WriteData write = openWrite(card, command);
  if (write.status != status::kOk) return {write.status};
  File& file = *write.file;
  if (!isRecordFile(file)) return {status::kParameterError};
  if (write.offset > file.recordSize || write.data.size() > file.recordSize - write.offset) {
    return {status::kBoundaryError};
  }
  const bool cyclic = file.type == FileType::kCyclicRecord;
  const size_t room = cyclic ? file.maxRecords - 1 : file.maxRecords;
  const bool opening = !file.pending || !file.pending->recordOpen;
  const auto& current = file.pending ? file.pending->content.records : file.committed.records;
  if (opening && !cyclic && current.size() >= room) return {status::kBoundaryError};
  PendingChange& change = file.change();
  auto& records = change.content.records;
  if (opening) {
    if (records.size() >= room) records.pop_front();
    records.emplace_back(file.recordSize, 0);
    change.recordOpen = true;
  }
  std::copy(write.data.begin(), write.data.end(), records.back().begin() + write.offset);
  return {status::kOk};
}

Answer readRecords(CardContext& card, Command command) {
  if (command.size() != 8) return {status::kLengthError};
  const FileLookup found = lookupFile(card, command);
  if (!found.file) return {found.status};
  const File& file = *found.file;
  if (!isRecordFile(file)) return {status::kParameterError};
  const Grant grant = grantAccess(file, right::kRead | right::kReadWrite, card);
  if (!grant.granted()) return {grant.status};
  const auto& records = file.committed.records;
  const size_t offset = readUnsigned(command, 2, 3);
  size_t count = readUnsigned(command, 5, 3);
  if (offset >= records.size()) return {status::kBoundaryError};
  if (count == 0) count = records.size() - offset;  // down to the oldest
  if (count > records.size() - offset) return {status::kBoundaryError};
  std::vector<uint8_t> data;
  const size_t first = records.size() - offset - count;
  for (size_t i = first; i < first + count; ++i) {
    data.insert(data.end(), records[i].begin(), records[i].end());
  }
  data = card.secureAnswer(grant.setting, data);
  Answer answer{status::kOk};
  answer.insert(answer.end(), data.begin(), data.end());
  return answer;
}

Answer clearRecords(CardContext& card, Command command) {
  if (command.size() != 2) return {status::kLengthError};
  const FileLookup found = lookupFile(card, command);
  if (!found.file) return {found.status};
  File& file = *found.file;
  if (!isRecordFile(file)) return {status::kParameterError};
  const Grant grant = grantAccess(file, right::kReadWrite, card);
  if (!grant.granted()) return {grant.status};
  PendingChange& change = file.change();
  change.content.records.clear();
  change.recordOpen = false;
  return {status::kOk};
}

}  // namespace norvexsim::desfire
