// SPDX-License-Identifier: MIT
#include "sim/bus/DeviceRegistry.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "sim/bus/Message.h"

namespace norvexsim {

int DeviceRegistry::add(uint16_t productId) {
  std::lock_guard lock(mutex_);
  slots_.push_back(Slot{std::make_unique<VirtualReader>(productId), true, nextAttach_++, {}});
  return static_cast<int>(slots_.size() - 1);
}

size_t DeviceRegistry::size() const {
  std::lock_guard lock(mutex_);
  return slots_.size();
}

VirtualReader& DeviceRegistry::reader(int index) const {
  std::lock_guard lock(mutex_);
  return *slot(index).device;
}

namespace {

template <typename Slots>
auto& slotAt(Slots& slots, int index) {
  if (index < 0 || static_cast<size_t>(index) >= slots.size()) {
    throw std::out_of_range("no reader " + std::to_string(index));
  }
  return slots[static_cast<size_t>(index)];
}

}  // namespace

DeviceRegistry::Slot& DeviceRegistry::slot(int index) {
  return slotAt(slots_, index);
}

const DeviceRegistry::Slot& DeviceRegistry::slot(int index) const {
  return slotAt(slots_, index);
}

std::vector<int> DeviceRegistry::attachedInOrder() const {
  std::vector<int> order;
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].plugged) order.push_back(static_cast<int>(i));
  }
  std::sort(order.begin(), order.end(), [this](int a, int b) {
    return slots_[static_cast<size_t>(a)].attachOrder < slots_[static_cast<size_t>(b)].attachOrder;
  });
  return order;
}

std::vector<DeviceId> DeviceRegistry::list() const {
  std::lock_guard lock(mutex_);
  std::vector<DeviceId> devices;
  for (int index : attachedInOrder()) {
    devices.push_back(DeviceId{kVendorId, slot(index).device->productId()});
  }
  return devices;
}

DeviceRegistry::OpenResult DeviceRegistry::open(size_t position, ConnectionId connection) {
  std::lock_guard lock(mutex_);
  const auto order = attachedInOrder();
  if (position >= order.size()) return {bus::kNoSuchDevice};
  Slot& target = slot(order[position]);
  if (target.owner && *target.owner != connection) return {bus::kAlreadyOpen};
  target.owner = connection;
  return {bus::kOpened, order[position], target.device.get()};
}

bool DeviceRegistry::owns(int reader, ConnectionId connection) const {
  std::lock_guard lock(mutex_);
  const Slot& target = slot(reader);
  return target.plugged && target.owner == connection;
}

void DeviceRegistry::release(int reader, ConnectionId connection) {
  std::lock_guard lock(mutex_);
  Slot& target = slot(reader);
  if (target.owner == connection) target.owner.reset();
}

std::optional<ConnectionId> DeviceRegistry::unplug(int reader) {
  std::lock_guard lock(mutex_);
  Slot& target = slot(reader);
  target.plugged = false;
  return std::exchange(target.owner, std::nullopt);
}

void DeviceRegistry::replug(int reader) {
  std::lock_guard lock(mutex_);
  Slot& target = slot(reader);
  if (target.plugged) return;
  target.plugged = true;
  target.attachOrder = nextAttach_++;
}

bool DeviceRegistry::plugged(int reader) const {
  std::lock_guard lock(mutex_);
  return slot(reader).plugged;
}

}  // namespace norvexsim
