// SPDX-License-Identifier: MIT
// NDEF messages for norvex ndef: built from the record options of the command line, in the order
// given, and decoded into what people read (text with its language, URI, MIME type and size,
// external type, smart poster; raw hex otherwise). The codec is the library's NDEF_ functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "dump/JsonValue.h"

namespace norvex::cli {

// One record option: --text TEXT, --uri URL, --mime TYPE FILE or --raw FILE, with its values.
struct RecordOption {
  std::string name;  // "text", "uri", "mime", "raw"
  std::vector<std::string> values;
};

// Takes the record options out of words, in their order, leaving the other words for Arguments
// (--mime takes two values, which Arguments does not). Usage error for a value missing.
std::vector<RecordOption> takeRecordOptions(Words& words);

// The message holding one record per option, text records in language; a --raw file's records
// join in its place. Usage errors name the option at fault.
std::vector<uint8_t> buildMessage(const std::vector<RecordOption>& options,
                                  const std::string& language);

// The records of a message as table rows (RECORD, TYPE, CONTENT) and as a JSON array. A message
// the codec refuses is a card error naming the fault.
struct DecodedRecord {
  std::string type;
  std::string content;
  dump::JsonValue json;
};
std::vector<DecodedRecord> decodeMessage(const std::vector<uint8_t>& message);

}  // namespace norvex::cli
