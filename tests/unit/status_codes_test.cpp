// SPDX-License-Identifier: MIT
// The status table walked whole: every entry lies inside a family and is found by GetErrorText and
// by its family's text function; codes without an entry get their family default, and the family
// bounds, success and foreign numbers are system error numbers. The public header names exactly
// the table's codes.

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "norvexapi.h"
#include "status/StatusCodes.h"
#include "status/StatusTable.h"

namespace {

struct Family {
  long lowerBound, upperBound;  // exclusive
  const char* (*text)(int);
  const char* defaultText;
  int codeWithoutEntry;
};

const Family kFamilies[] = {
    {1000, 1999, GetCOMErr, "RS232 ERROR: unknown error", 1011},
    {3000, 3999, GetUSBErr, "ERROR: unknown error", 3006},
    {5000, 5999, Get3964Err, "unknown error", 5005},
    {6000, 6999, GetTLP224Err, "TLP224 ERROR: unknown error", 6034},
    {7000, 7999, GetBFPErr, "BlockFramingProtocol: unknown error", 7007},
    {8000, 8999, GetKstErr, "ERROR: unknown error", 8048},
    {0xA000, 0xAFFF, GetDesFireErr, "DESFire error: unknown error", 0xA2FE},
};

TEST(StatusTable, EveryEntryFamilyDefaultsAndSystemTexts) {
  std::set<std::string> names;
  for (const auto& entry : StatusTable()) {
    SCOPED_TRACE(entry.name);
    const int code = static_cast<int>(entry.code);
    const Family* family = nullptr;
    for (const auto& f : kFamilies) {
      if (code > f.lowerBound && code < f.upperBound) family = &f;
    }
    ASSERT_NE(family, nullptr) << code;
    EXPECT_TRUE(names.insert(entry.name).second) << "names are unique";
    EXPECT_NE(std::strlen(entry.text), 0u);
    EXPECT_STREQ(GetErrorText(code), entry.text);
    EXPECT_STREQ(family->text(code), entry.text);
  }
  for (const auto& family : kFamilies) {
    SCOPED_TRACE(family.defaultText);
    EXPECT_STREQ(GetErrorText(family.codeWithoutEntry), family.defaultText);
    EXPECT_STREQ(GetErrorText(static_cast<int>(family.upperBound) - 1), family.defaultText);
    for (long bound : {family.lowerBound, family.upperBound}) {
      const int code = static_cast<int>(bound);
      EXPECT_EQ(std::string(GetErrorText(code)), std::string(std::strerror(code))) << code;
    }
    // Other families' codes, bounds and foreign numbers all get this family's default.
    for (long foreign : {0L, family.lowerBound, family.upperBound, 999999L, 1005L, 8001L}) {
      if (foreign > family.lowerBound && foreign < family.upperBound) continue;
      EXPECT_STREQ(family.text(static_cast<int>(foreign)), family.defaultText) << foreign;
    }
  }
  for (int code : {0, 1, -1, 999, 2000, 9000, 0x9FFF, 0xB000, 0xFFFF, 0x10000 + 8001}) {
    EXPECT_EQ(std::string(GetErrorText(code)), std::string(std::strerror(code))) << code;
  }
  EXPECT_EQ(std::string(GetSysErr(8001)), std::string(std::strerror(8001)));
}

// NORVEX_E_<NAME> value, for every status constant of the public header.
std::map<std::string, long> PublicStatusConstants() {
  std::ifstream header(NORVEX_PUBLIC_STATUS_HEADER);
  const std::regex define(R"(#define NORVEX_E_(\w+) (0x[0-9A-F]+|\d+))");
  std::map<std::string, long> constants;
  std::smatch match;
  for (std::string line; std::getline(header, line);) {
    if (std::regex_match(line, match, define))
      constants[match[1]] = std::stol(match[2], nullptr, 0);
  }
  return constants;
}

TEST(StatusTable, PublicHeaderNamesEveryEntryAndNothingElse) {
  auto constants = PublicStatusConstants();
  ASSERT_FALSE(constants.empty());
  for (const auto& entry : StatusTable()) {
    std::string name = entry.name;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto found = constants.find(name);
    ASSERT_NE(found, constants.end()) << "NORVEX_E_" << name;
    EXPECT_EQ(found->second, entry.code) << "NORVEX_E_" << name;
    constants.erase(found);
  }
  EXPECT_TRUE(constants.empty()) << "public constants without a table entry: " << constants.size();
  EXPECT_EQ(NORVEX_OK, 0);
}

}  // namespace
