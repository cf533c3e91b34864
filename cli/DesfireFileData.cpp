// SPDX-License-Identifier: MIT
// norvex desfire create-file, write, and read through the EV1 channel: an application's data
// files and their contents, secured as each file's communication setting says.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/CliError.h"
#include "cli/DesfireEv1Commands.h"
#include "cli/DesfireKeyOptions.h"
#include "cli/Output.h"
#include "dump/Hex.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

// The largest data file of an 8 KiB card: more input than this cannot fit any file.
constexpr size_t kMaxFileBytes = 8192;

struct FileSettings {
  uint8_t type = 0, commSet = 0, acl[4] = {}, extraLen = 0, extra[20] = {};
  unsigned number(int at) const { return extra[at] | extra[at + 1] << 8 | extra[at + 2] << 16; }
};

FileSettings fileSettings(void* handle, uint8_t fileNo) {
  FileSettings file;
  check(DF_GetFileSettings(handle, fileNo, &file.commSet, &file.type, file.acl, &file.extraLen,
                           file.extra),
        "reading the settings of file " + std::to_string(fileNo));
  return file;
}

// The file's communication setting, refused when it needs the channel and there is none.
FILE_COMM_SET commSetOf(void* handle, const FileSettings& file, uint8_t fileNo) {
  const auto set = static_cast<FILE_COMM_SET>(file.commSet);
  if (set != COMM_PLAIN && !ev1ChannelOpen(handle))
    throw CliError(kExitCardError, "file " + std::to_string(fileNo) +
                                       " is MACed or enciphered: authenticate with --key");
  return set;
}

uint8_t fileNumber(const Arguments& options, const std::string& command) {
  requireApplication(options, true, command);
  if (!options.has("file")) usageError("desfire " + command + " needs --file N");
  return static_cast<uint8_t>(parseDesfireNumber(options.value("file"), 10, 31, "--file"));
}

FILE_COMM_SET parseCommSet(const std::string& text) {
  if (text == "plain") return COMM_PLAIN;
  if (text == "mac") return COMM_MACED;
  if (text == "enc") return COMM_ENCIPHERED;
  usageError("--comm: \"" + text + "\" is not plain, mac or enc");
}

// "R,W,RW,CHANGE": key numbers 0-13, free or never for each right.
tag_file_acl parseAccess(const std::string& text) {
  uint8_t keys[4] = {};
  std::istringstream in(text);
  std::string item;
  int count = 0;
  while (std::getline(in, item, ',')) {
    if (count == 4) usageError("--access takes four rights: READ,WRITE,READ-WRITE,CHANGE");
    keys[count++] =
        item == "free" ? 14
        : item == "never"
            ? 15
            : static_cast<uint8_t>(parseDesfireNumber(item, 10, 13, "--access: key number"));
  }
  if (count != 4) usageError("--access takes four rights: READ,WRITE,READ-WRITE,CHANGE");
  return tag_file_acl{keys[0], keys[1], keys[2], keys[3]};
}

struct NewFile {
  uint8_t fileNo = 0;
  bool backup = false, hasIsoFid = false;
  uint16_t isoFid = 0;
  FILE_COMM_SET set = COMM_PLAIN;
  tag_file_acl acl{};
  unsigned size = 0;
};

std::vector<uint8_t> writeData(const Arguments& options) {
  std::vector<uint8_t> data;
  const bool fromFile = options.has("input");
  if (fromFile == (options.positional().size() == 2))
    usageError("desfire write takes the data in hex or -i FILE, one of them");
  if (!fromFile) {
    if (!parseHex(options.positional()[1], data)) usageError("write: the data is not hex");
  } else {
    std::ifstream in(options.value("input"), std::ios::binary);
    if (!in) usageError("write: cannot read " + options.value("input"));
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (data.empty() || data.size() > kMaxFileBytes)
    usageError("write: 1 to " + std::to_string(kMaxFileBytes) + " bytes of data");
  return data;
}

int printRecords(void* handle, uint8_t fileNo, FILE_COMM_SET set, const FileSettings& file) {
  const unsigned recordSize = file.number(0);
  unsigned count = file.number(6);
  std::vector<uint8_t> records(static_cast<size_t>(count) * recordSize);
  if (count > 0)
    check(DF_ReadRecordsEV1(handle, fileNo, set, 0, &count, records.data(), recordSize),
          "reading the records of file " + std::to_string(fileNo));
  for (unsigned i = 0; i < count && (i + 1) * recordSize <= records.size(); ++i)
    std::cout << hex::encode(&records[i * recordSize], recordSize) << "\n";
  return kExitOk;
}

}  // namespace

DesfireAction prepareCreateFile(const Arguments& options) {
  requireArguments(options, 0, "create-file");
  NewFile file;
  file.fileNo = fileNumber(options, "create-file");
  const std::string type = options.value("type", "std");
  if (type != "std" && type != "backup")
    usageError("--type: \"" + type + "\" is not std or backup");
  file.backup = type == "backup";
  if (!options.has("size")) usageError("desfire create-file needs --size N");
  file.size = parseDesfireNumber(options.value("size"), 10, kMaxFileBytes, "--size");
  if (file.size == 0) usageError("--size: a file holds at least one byte");
  file.set = parseCommSet(options.value("comm", "plain"));
  file.acl = parseAccess(options.value("access", "0,0,0,0"));
  file.hasIsoFid = options.has("iso-fid");
  if (file.hasIsoFid)
    file.isoFid = static_cast<uint16_t>(
        parseDesfireNumber(options.value("iso-fid"), 16, 0xFFFF, "--iso-fid"));
  return [file](void* handle) {
    const std::string what = "creating file " + std::to_string(file.fileNo);
    if (file.hasIsoFid) {
      const auto create = file.backup ? DF_CreateBackupFileEV1 : DF_CreateStdFileEV1;
      check(create(handle, file.fileNo, &file.isoFid, file.set, &file.acl, file.size), what);
    } else {
      const auto create = file.backup ? DF_CreateBackupFile : DF_CreateStdFile;
      check(create(handle, file.fileNo, file.set, &file.acl, file.size), what);
    }
    return kExitOk;
  };
}

DesfireAction prepareWrite(const Arguments& options) {
  const uint8_t fileNo = fileNumber(options, "write");
  const unsigned offset =
      parseDesfireNumber(options.value("offset", "0"), 10, kMaxFileBytes - 1, "--offset");
  const std::vector<uint8_t> data = writeData(options);
  return [fileNo, offset, data](void* handle) {
    const FileSettings file = fileSettings(handle, fileNo);
    if (file.type > 1)
      throw CliError(kExitCardError, "file " + std::to_string(fileNo) + " is not a data file");
    const FILE_COMM_SET set = commSetOf(handle, file, fileNo);
    check(DF_WriteDataEV1(handle, fileNo, set, static_cast<int>(offset),
                          static_cast<int>(data.size()), data.data()),
          "writing file " + std::to_string(fileNo));
    if (file.type == 1) check(DF_Commit(handle), "committing the backup file");
    return kExitOk;
  };
}

DesfireAction prepareReadEv1(const Arguments& options) {
  requireArguments(options, 0, "read");
  const uint8_t fileNo = fileNumber(options, "read");
  return [fileNo](void* handle) -> int {
    const FileSettings file = fileSettings(handle, fileNo);
    const FILE_COMM_SET set = commSetOf(handle, file, fileNo);
    if (file.type == 2) {
      int value = 0;
      check(DF_GetValueEV1(handle, fileNo, set, &value), "reading the value");
      std::cout << value << "\n";
      return kExitOk;
    }
    if (file.type > 2) return printRecords(handle, fileNo, set, file);
    unsigned length = file.number(0);
    std::vector<uint8_t> data(length);
    if (length > 0)
      check(DF_ReadDataEV1(handle, fileNo, set, 0, &length, data.data()),
            "reading file " + std::to_string(fileNo));
    std::cout << hex::encode(data.data(), std::min<size_t>(length, data.size())) << "\n";
    return kExitOk;
  };
}

}  // namespace norvex::cli
