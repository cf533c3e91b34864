// SPDX-License-Identifier: MIT
// norvex readers: every reader of the known models, with its firmware version.
#include <iostream>

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/ReaderList.h"
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

}  // namespace

int runReaders(const Words& args) {
  Arguments options(args, {{"json", 0, false}, {"help", 'h', false}});
  if (options.has("help")) return std::cout << kUsage, kExitOk;
  if (!options.positional().empty()) usageError("readers takes no arguments");
  std::vector<ReaderRow> rows;
  for (const ReaderId& id : presentReaders()) rows.push_back(describe(id.name, id.productId));
  if (options.has("json")) {
    dump::JsonValue list = dump::JsonValue::array();
    for (const ReaderRow& row : rows)
      list.push(
          dump::JsonValue::object()
              .add("name", dump::jsonString(row.name))
              .add("product", dump::jsonString(productText(row.productId)))
              .add("firmware",
                   row.error.empty() ? dump::jsonString(row.firmware) : dump::JsonValue{})
              .add("error", row.error.empty() ? dump::JsonValue{} : dump::jsonString(row.error)));
    printJson(list);
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
