// SPDX-License-Identifier: MIT
// The library's flat API over the real libusb backend, reaching a simulated reader through an
// emulated USB device: a umockdev testbed provides the device in sysfs (descriptors, bus and
// device numbers) and its usbfs node, whose URBs a UsbfsReader answers with a VirtualReader.
// Needs libumockdev-preload; the program re-runs itself under it and skips when it is missing.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "UsbfsReader.h"
#include "lib/status/StatusCodes.h"
#include "norvexapi.h"
#include "sim/reader/VirtualReader.h"

namespace {

constexpr char kPreload[] = "libumockdev-preload.so.0";
constexpr uint16_t kProductId = 0x0110;
constexpr char kDevnode[] = "/dev/bus/usb/001/002";  // the reader at port 1-1, address 2

// Whether the preload library is loaded (an LD_PRELOAD naming a missing file loads nothing).
bool UnderPreload() {
  void* loaded = dlopen(kPreload, RTLD_LAZY | RTLD_NOLOAD);
  if (loaded == nullptr) return false;
  dlclose(loaded);
  return true;
}

// Device descriptor, then the configuration with one interface of two interrupt endpoints of 32
// bytes: pipe 1 IN (0x81) first, pipe 2 OUT (0x02) second, as the readers have them.
std::vector<uint8_t> Descriptors(uint16_t productId, bool swapEndpoints = false) {
  uint8_t first = UsbfsReader::kInEndpoint;
  uint8_t second = UsbfsReader::kOutEndpoint;
  if (swapEndpoints) std::swap(first, second);
  return {18,
          1,
          0x00,
          0x02,
          0,
          0,
          0,
          64,  // USB 2.0, vendor-specific at interface level
          0x5A,
          0x2E,
          static_cast<uint8_t>(productId),
          static_cast<uint8_t>(productId >> 8),
          0x00,
          0x01,
          0,
          0,
          0,
          1,  // bcdDevice 1.00, no strings, 1 config
          9,
          2,
          32,
          0,
          1,
          1,
          0,
          0x80,
          50,  // configuration 1, bus powered
          9,
          4,
          0,
          0,
          2,
          0xFF,
          0,
          0,
          0,  // interface 0, two endpoints
          7,
          5,
          first,
          3,
          32,
          0,
          1,
          7,
          5,
          second,
          3,
          32,
          0,
          1};
}

// The device in umockdev's record format: sysfs path, device node, udev properties, sysfs
// attributes (A: text, H: binary as hex).
std::string DeviceRecord(uint16_t productId, int port = 1, bool swapEndpoints = false) {
  std::string hex;
  for (uint8_t byte : Descriptors(productId, swapEndpoints)) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  char product[5];
  std::snprintf(product, sizeof product, "%04x", productId);
  const std::string number = std::to_string(port + 1);  // device address
  const std::string devnode = "/dev/bus/usb/001/00" + number;
  return "P: /devices/pci0000:00/usb1/1-" + std::to_string(port) + "\n" +
         "N: " + devnode.substr(5) + "\n" + "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" +
         "E: DEVNAME=" + devnode + "\nE: BUSNUM=001\nE: DEVNUM=00" + number + "\n" +
         "A: busnum=1\\n\nA: devnum=" + number + "\\n\nA: dev=189:" + number +
         "\\n\nA: speed=12\\n\n" +
         "A: bConfigurationValue=1\\n\nA: idVendor=2e5a\\n\nA: idProduct=" + product + "\\n\n" +
         "H: descriptors=" + hex + "\n";
}

struct Session {
  void* handle = CreateSession();
  ~Session() { ReleaseSession(handle); }
  long Connect(uint16_t productId = kProductId) {
    char name[] = "USB_0";
    return ConnectReader(handle, NORVEX_INTERFACE_USB, name, productId);
  }
  long FirmwareVersion(std::string* text = nullptr) {
    uint8_t version[64] = {};
    uint8_t length = sizeof version;
    const long status = GetFWVersion(handle, version, &length);
    if (status == 0 && text != nullptr) text->assign(reinterpret_cast<char*>(version), length);
    return status;
  }
};

int CountReaders(int productId) {
  int count = 0;
  auto collect = [](long user, const char*) -> bool {
    ++*reinterpret_cast<int*>(user);
    return true;
  };
  EXPECT_EQ(EnumUSBReaders(productId, collect, reinterpret_cast<long>(&count)), 0);
  return count;
}

class LibusbUmockdev : public testing::Test {
 protected:
  void SetUp() override {
    if (!UnderPreload()) GTEST_SKIP() << kPreload << " is not available";
    testbed_ = umockdev_testbed_new();
    GError* error = nullptr;
    const bool added =
        umockdev_testbed_add_from_string(testbed_, DeviceRecord(kProductId).c_str(), &error);
    ASSERT_TRUE(added) << (error != nullptr ? error->message : "");
    reader_ = std::make_unique<norvexsim::VirtualReader>(kProductId);
    device_ = std::make_unique<UsbfsReader>(testbed_, kDevnode, *reader_);
    ASSERT_TRUE(device_->Attached());
  }

  void TearDown() override {
    device_.reset();
    reader_.reset();
    if (testbed_ != nullptr) g_object_unref(testbed_);
  }

  UMockdevTestbed* testbed_ = nullptr;
  std::unique_ptr<norvexsim::VirtualReader> reader_;
  std::unique_ptr<UsbfsReader> device_;
};

TEST_F(LibusbUmockdev, EnumeratesTheReaderByVendorAndProduct) {
  EXPECT_EQ(CountReaders(kProductId), 1);
  EXPECT_EQ(CountReaders(0x0220), 0);
}

TEST_F(LibusbUmockdev, ExchangesFramesOverTheInterruptPipes) {
  Session session;
  ASSERT_EQ(session.Connect(), 0);
  EXPECT_EQ(device_->ClaimedInterfaces(), 1);
  std::string version;
  ASSERT_EQ(session.FirmwareVersion(&version), 0);
  EXPECT_FALSE(version.empty());
  EXPECT_EQ(reader_->log().size(), 1u);
  EXPECT_EQ(DisconnectReader(session.handle), 0);
  EXPECT_EQ(device_->ClaimedInterfaces(), 0);
}

// Frames of several packets both ways: 100 bytes written to the reader's EEPROM and read back
// (a 110-byte request frame, then a 107-byte reply frame: four packets each).
TEST_F(LibusbUmockdev, CarriesFramesOfSeveralPackets) {
  constexpr uint8_t kWriteEeprom = 0x24;
  constexpr uint8_t kReadEeprom = 0x23;
  constexpr uint8_t kLength = 100;
  Session session;
  ASSERT_EQ(session.Connect(), 0);
  std::vector<uint8_t> write = {0x00, 0x01, kLength};  // address 0x100, little-endian
  for (int i = 0; i < kLength; ++i) write.push_back(static_cast<uint8_t>(i * 7));
  ASSERT_EQ(SendDirectCommand(session.handle, kWriteEeprom, write.data(),
                              static_cast<uint32_t>(write.size()), nullptr, nullptr),
            0);
  const uint8_t read[] = {0x00, 0x01, kLength};
  uint8_t out[128] = {};
  uint32_t outLength = sizeof out;
  ASSERT_EQ(SendDirectCommand(session.handle, kReadEeprom, read, sizeof read, out, &outLength), 0);
  EXPECT_EQ(std::vector<uint8_t>(out, out + outLength),
            std::vector<uint8_t>(write.begin() + 3, write.end()));
}

TEST_F(LibusbUmockdev, RefusesADeviceWhosePipesAreInTheWrongOrder) {
  constexpr uint16_t kOtherProduct = 0x0220;
  ASSERT_TRUE(umockdev_testbed_add_from_string(
      testbed_, DeviceRecord(kOtherProduct, 2, true).c_str(), nullptr));
  EXPECT_EQ(CountReaders(kOtherProduct), 1);
  Session session;
  EXPECT_EQ(session.Connect(kOtherProduct), no_dev_info);
  EXPECT_EQ(session.Connect(), 0);  // the reader beside it is not disturbed
}

TEST_F(LibusbUmockdev, UnpluggedReaderIsNotFound) {
  umockdev_testbed_remove_device(testbed_, "/sys/devices/pci0000:00/usb1/1-1");
  EXPECT_EQ(CountReaders(kProductId), 0);
  Session session;
  EXPECT_EQ(session.Connect(), device_notfound);
}

// The read time-out set through the API reaches libusb: a silent reader gives a status after it,
// the abandoned IN transfer is discarded, and the next exchange works again.
TEST_F(LibusbUmockdev, SilentReaderTimesOutWithAStatus) {
  Session session;
  ASSERT_EQ(session.Connect(), 0);
  ASSERT_EQ(Interface_SetTimeOuts(session.handle, 300, nullptr), 0);
  device_->SetSilent(true);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(session.FirmwareVersion(), com_read_error);  // the framing's word for a failed read
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(250));
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
  EXPECT_GE(device_->DiscardedUrbs(), 1);
  device_->SetSilent(false);
  EXPECT_EQ(session.FirmwareVersion(), 0);
}

}  // namespace

// Re-runs the program with the umockdev preload library when it is installed and not yet loaded.
int main(int argc, char** argv) {
  if (!UnderPreload() && std::getenv("NORVEX_UMOCKDEV_TRIED") == nullptr) {
    setenv("NORVEX_UMOCKDEV_TRIED", "1", 1);
    const char* old = std::getenv("LD_PRELOAD");
    std::string preload = kPreload;
    if (old != nullptr && old[0] != '\0') preload += std::string(":") + old;
    setenv("LD_PRELOAD", preload.c_str(), 1);
    execv("/proc/self/exe", argv);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
