// SPDX-License-Identifier: MIT
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/reader/VirtualReader.h"

namespace norvexsim {

inline constexpr uint16_t kVendorId = 0x2E5A;
inline constexpr uint16_t kDefaultProductId = 0x0110;

using ConnectionId = uint64_t;

struct DeviceId {
  uint16_t vendorId = kVendorId;
  uint16_t productId = 0;
};

// The virtual readers of one simulator and what the bus sees of them: which are plugged in, in
// which order they were attached, and which connection holds each open. Readers keep their
// index for the simulator's lifetime; unplugging only hides them from the bus. Thread-safe.
class DeviceRegistry {
 public:
  struct OpenResult {
    uint8_t result = 0;  // a bus:: open result
    int reader = -1;
    VirtualReader* device = nullptr;
  };

  int add(uint16_t productId);
  size_t size() const;
  // The reader with this index; throws std::out_of_range for an unknown index.
  VirtualReader& reader(int index) const;

  // The plugged-in readers in the order they were attached.
  std::vector<DeviceId> list() const;
  // Opens the device at this position of list() for the connection.
  OpenResult open(size_t position, ConnectionId connection);
  // Whether the connection still holds the reader (false once it was unplugged).
  bool owns(int reader, ConnectionId connection) const;
  void release(int reader, ConnectionId connection);

  // Unplugs the reader; returns the connection that held it open, which must now be cut.
  std::optional<ConnectionId> unplug(int reader);
  // Attaches an unplugged reader again; it comes last in the bus order, as a device does that
  // is plugged in anew.
  void replug(int reader);
  bool plugged(int reader) const;

 private:
  struct Slot {
    std::unique_ptr<VirtualReader> device;
    bool plugged = true;
    uint64_t attachOrder = 0;
    std::optional<ConnectionId> owner;
  };

  Slot& slot(int index);
  const Slot& slot(int index) const;
  std::vector<int> attachedInOrder() const;

  mutable std::mutex mutex_;
  std::vector<Slot> slots_;
  uint64_t nextAttach_ = 0;
};

}  // namespace norvexsim
