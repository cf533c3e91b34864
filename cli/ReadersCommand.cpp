// SPDX-License-Identifier: MIT
// norvex readers: every reader of the known models, with its firmware version.
#include <iostream>

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "dump/JsonValue.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex readers [--json]\n"
    "Lists every reader (USB and simulated): its name (USB_n, per product ID), USB product ID\n"
    "and firmware version.\n";

struct ReaderRow {
  std::string name;
  int productId;
  std::string firmware;
  std::string error;
};

bool collectName(long userValue, const char* name) {
  reinterpret_cast<std::vector<std::string>*>(userValue)->push_back(name);
  return true;
}

ReaderRow describe(const std::string& name, int productId) {
  ReaderRow row{name, productId, {}, {}};
  try {
    ReaderSession reader(name, productId);
    uint8_t version[64] = {};
    uint8_t length = sizeof version;
    long status = GetFWVersion(reader.handle(), version, &length);
    if (status != NORVEX_OK)
      row.error = statusMessage("firmware version", status);
    else
      row.firmware.assign(reinterpret_cast<const char*>(version), length);
  } catch (const CliError& error) {
    row.error = error.what();
  }
  return row;
}

std::string productText(int productId) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(productId));
  return text;
}

}  // namespace

int runReaders(const Words& args) {
  Arguments options(args, {{"json", 0, false}, {"help", 'h', false}});
  if (options.has("help")) return std::cout << kUsage, kExitOk;
  if (!options.positional().empty()) usageError("readers takes no arguments");
  std::vector<ReaderRow> rows;
  for (int productId : knownProductIds()) {
    std::vector<std::string> names;
    check(EnumUSBReaders(productId, collectName, reinterpret_cast<long>(&names)),
          "listing the readers");
    for (const std::string& name : names) rows.push_back(describe(name, productId));
  }
  if (options.has("json")) {
    std::cout << "[";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const ReaderRow& row = rows[i];
      std::cout << (i ? ",\n " : "\n ") << "{\"name\": " << dump::jsonQuoted(row.name)
                << ", \"product\": \"" << productText(row.productId) << "\", \"firmware\": "
                << (row.error.empty() ? dump::jsonQuoted(row.firmware) : "null")
                << ", \"error\": " << (row.error.empty() ? "null" : dump::jsonQuoted(row.error))
                << "}";
    }
    std::cout << (rows.empty() ? "]\n" : "\n]\n");
    return kExitOk;
  }
  if (rows.empty()) {
    std::cerr << "norvex: no reader found\n";
    return kExitOk;
  }
  std::vector<std::vector<std::string>> table;
  for (const ReaderRow& row : rows)
    table.push_back({row.name, productText(row.productId),
                     row.error.empty() ? row.firmware : "(" + row.error + ")"});
  printTable(std::cout, {"NAME", "PRODUCT", "FIRMWARE"}, table);
  return kExitOk;
}

bool printHelpIfAsked(const Words& args, const char* usage) {
  for (const std::string& word : args)
    if (word == "--help" || word == "-h") return std::cout << usage, true;
  return false;
}

}  // namespace norvex::cli
