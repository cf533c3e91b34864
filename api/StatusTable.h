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
