// SPDX-License-Identifier: MIT
#pragma once

#include <span>

// One entry of the status table: a code, its symbolic name and its English text.
struct StatusEntry {
  long code;
  const char* name;
  const char* text;
};

// Every status code that has a text of its own, ordered by code. The table is constant and
// lives as long as the library; GetErrorText and the family text functions look codes up here.
std::span<const StatusEntry> StatusTable();

// Family text functions. Each returns its family's default text for any code it has no entry
// for, including codes outside its range. The texts are constant and owned by the library.
const char* GetSysErr(int code);
const char* GetCOMErr(int code);
const char* GetUSBErr(int code);
const char* Get3964Err(int code);
const char* GetTLP224Err(int code);
const char* GetBFPErr(int code);
const char* GetKstErr(int code);
const char* GetDesFireErr(int code);
