// SPDX-License-Identifier: MIT
// Small string helpers that callers use to form and parse reader names: "USB_3", "/dev/ttyS0",
// "reader@host:port" and "host:port".

#include <cstdlib>
#include <cstring>

#include "norvexapi.h"

namespace {

// atoi of the text that starts at the fifth character ("USB_12" -> 12); 0 when the name is shorter.
int NumberAfterPrefix(const char* name) {
  if (name == nullptr || strnlen(name, 4) < 4) return 0;
  return std::atoi(name + 4);
}

// A freshly allocated, NUL-terminated copy of [begin, end); the caller frees it with free().
char* CopyRange(const char* begin, const char* end) {
  const size_t length = static_cast<size_t>(end - begin);
  auto* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, begin, length);
  copy[length] = '\0';
  return copy;
}

}  // namespace

extern "C" {

NORVEX_API char* lstrcpyn(char* destination, const char* source, unsigned long n) {
  if (n == 0) return destination;
  std::strncpy(destination, source, n);
  destination[n - 1] = '\0';
  return destination;
}

NORVEX_API char* GetPort(char* text) {
  return text ? std::strchr(text, '@') : nullptr;
}

NORVEX_API char* GetIP(char* text) {
  return text ? std::strchr(text, ':') : nullptr;
}

NORVEX_API signed char GetUSBName(char* name) {
  return static_cast<signed char>(NumberAfterPrefix(name));
}

NORVEX_API int GetComPort(char* name) {
  return NumberAfterPrefix(name);
}

NORVEX_API int ParseRemoteName(char* name, char** readerPart, char** hostPart, short* port) {
  if (name == nullptr || readerPart == nullptr || hostPart == nullptr || port == nullptr) return -1;
  if (std::strlen(name) < 11) return -1;
  const char* at = std::strchr(name, '@');
  if (at == nullptr) return -1;
  const char* colon = std::strchr(at + 1, ':');
  if (colon == nullptr) return -1;
  char* reader = CopyRange(name, at);
  char* host = CopyRange(at + 1, colon);
  if (reader == nullptr || host == nullptr) {
    std::free(reader);
    std::free(host);
    return -1;
  }
  *readerPart = reader;
  *hostPart = host;
  *port = static_cast<short>(std::atoi(colon + 1));
  return 0;
}

NORVEX_API int ParseURL(char* url, char** host, unsigned short* port) {
  if (url == nullptr || host == nullptr || port == nullptr) return -1;
  const char* colon = std::strchr(url, ':');
  if (colon == nullptr) return -1;
  char* hostPart = CopyRange(url, colon);
  if (hostPart == nullptr) return -1;
  *host = hostPart;
  *port = static_cast<unsigned short>(std::atoi(colon + 1));
  return 0;
}

}  // extern "C"
