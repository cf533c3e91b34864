// SPDX-License-Identifier: MIT
// Listing readers: USB readers by index ("USB_0", "USB_1", ...), serial ports by device path.

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"
#include "transport/HIDUSB.h"

namespace {

int MatchesSerialName(const struct dirent* entry) {
  return fnmatch("ttyS*", entry->d_name, FNM_PATHNAME) == 0;
}

// Number of "/dev/ttyS*" entries; 0 (with the system message on stderr) when /dev cannot be listed.
int CountSerialEntries() {
  struct dirent** entries = nullptr;
  const int count = scandir("/dev", &entries, MatchesSerialName, alphasort);
  if (count < 0) {
    std::perror("scandir");
    return 0;
  }
  for (int i = 0; i < count; ++i) std::free(entries[i]);
  std::free(entries);
  return count;
}

bool IsTerminal(const char* path) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool terminal = isatty(fd) != 0;
  close(fd);
  return terminal;
}

}  // namespace

extern "C" {

NORVEX_API long EnumUSBReaders(int productId, NorvexReaderCallback callback, long userValue) try {
  HIDUSB transport;
  transport.SetProductID(static_cast<unsigned long>(productId));
  int count = 0;
  if (long status = transport.EnumDevices(&count)) return status;
  for (int n = 0; n < count && callback != nullptr; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "USB_%u", static_cast<unsigned>(n));
    if (!callback(userValue, name)) break;
  }
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long GetComPortsCount(NorvexReaderCallback callback, long userValue) try {
  const int count = CountSerialEntries();
  for (int i = 0; i <= count && callback != nullptr; ++i) {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/ttyS%d", i);
    if (IsTerminal(path) && !callback(userValue, path)) break;
  }
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long EnumReaders(int readerType, int interfaceType, NorvexReaderCallback callback,
                            long userValue) try {
  switch (interfaceType) {
    case NORVEX_INTERFACE_USB:
      return EnumUSBReaders(readerType, callback, userValue);
    case NORVEX_INTERFACE_RS232:
      return GetComPortsCount(callback, userValue);
    default:
      return interface_not_supported;
  }
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long GetSupportedCommInterfaces(NorvexInterfaceCallback callback, long userValue) try {
  if (callback == nullptr) return 0;
  if (!callback(userValue, "RS232 interface", NORVEX_INTERFACE_RS232)) return 0;
  if (!callback(userValue, "USB interface", NORVEX_INTERFACE_USB)) return 0;
  callback(userValue, "TCP interface", NORVEX_INTERFACE_TCP);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
