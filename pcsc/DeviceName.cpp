// SPDX-License-Identifier: MIT
#include "pcsc/DeviceName.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace norvex::pcsc {

namespace {

std::string readAttribute(const std::filesystem::path& device, const char* name) {
  std::ifstream in(device / name);
  std::string value;
  std::getline(in, value);
  return value;
}

// A USB device's place in the topology (bus, ports from the root, address): the order in which
// the library lists readers.
std::vector<unsigned> topologyKey(const std::filesystem::path& device) {
  std::vector<unsigned> key = {static_cast<unsigned>(std::stoul(readAttribute(device, "busnum")))};
  std::string ports = readAttribute(device, "devpath");
  std::replace(ports.begin(), ports.end(), '.', ' ');
  std::istringstream portWords(ports);
  for (unsigned port; portWords >> port;) key.push_back(port);
  key.push_back(static_cast<unsigned>(std::stoul(readAttribute(device, "devnum"))));
  return key;
}

// Index of the device at bus/address among the attached readers with this product ID, in
// topology order; 0 when sysfs does not list it.
unsigned indexOfUsbDevice(int productId, unsigned bus, unsigned address) {
  std::vector<std::vector<unsigned>> keys;
  std::optional<std::vector<unsigned>> wanted;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/usb/devices", error)) {
    try {
      if (std::stoi(readAttribute(entry.path(), "idVendor"), nullptr, 16) != kVendorId ||
          std::stoi(readAttribute(entry.path(), "idProduct"), nullptr, 16) != productId)
        continue;
      auto key = topologyKey(entry.path());
      if (key.front() == bus && key.back() == address) wanted = key;
      keys.push_back(std::move(key));
    } catch (const std::exception&) {  // not a device (an interface), or unreadable attributes
    }
  }
  if (!wanted) return 0;
  std::sort(keys.begin(), keys.end());
  return static_cast<unsigned>(std::find(keys.begin(), keys.end(), *wanted) - keys.begin());
}

}  // namespace

std::optional<ReaderAddress> parseDeviceName(const std::string& deviceName) {
  static const std::regex libraryForm(
      "(?:norvex:)?USB_([0-9]{1,3})(?::(0x[0-9A-Fa-f]{1,4}|[0-9]{1,5}))?(?:@(/.+))?");
  static const std::regex hotplugForm(
      "usb:2e5a/([0-9a-f]{4})(?::libudev:[0-9]+:/dev/bus/usb/([0-9]{1,3})/([0-9]{1,3})"
      "|:libusb-1\\.0:([0-9]{1,3}):([0-9]{1,3}):[0-9]+)?",
      std::regex::icase);
  std::smatch match;
  ReaderAddress address;
  if (std::regex_match(deviceName, match, libraryForm)) {
    if (std::stoul(match[1]) > 127) return std::nullopt;  // the library's reader names stop there
    address.libraryName = "USB_" + match[1].str();
    if (match[2].matched) {
      const int id = static_cast<int>(std::stol(match[2], nullptr, 0));
      if (id <= 0 || id > 0xFFFF) return std::nullopt;
      address.productId = id;
    }
    address.simulatorSocket = match[3];
    return address;
  }
  if (std::regex_match(deviceName, match, hotplugForm)) {
    address.productId = std::stoi(match[1], nullptr, 16);
    // Bus and address as pcscd's udev or libusb hot-plug gives them; the first reader without.
    const size_t at = match[2].matched ? 2 : match[4].matched ? 4 : 0;
    const unsigned index = at == 0 ? 0
                                   : indexOfUsbDevice(*address.productId, std::stoul(match[at]),
                                                      std::stoul(match[at + 1]));
    address.libraryName = "USB_" + std::to_string(index);
    return address;
  }
  return std::nullopt;
}

}  // namespace norvex::pcsc
