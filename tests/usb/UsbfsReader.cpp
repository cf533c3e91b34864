// SPDX-License-Identifier: MIT
#include "UsbfsReader.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <span>

#include "sim/device/Packet.h"

namespace {

usbdevfs_urb& UrbOf(UMockdevIoctlData* data) {
  return *reinterpret_cast<usbdevfs_urb*>(data->data);
}

void Release(UMockdevIoctlData* data) {
  if (data != nullptr) g_object_unref(data);
}

}  // namespace

UsbfsReader::UsbfsReader(UMockdevTestbed* testbed, const char* devnode,
                         norvexsim::VirtualReader& reader)
    : testbed_(testbed),
      devnode_(devnode, devnode + std::strlen(devnode) + 1),
      reader_(reader),
      handler_(umockdev_ioctl_base_new()) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbfsReader::OnIoctl), this);
  attached_ = umockdev_testbed_attach_ioctl(testbed_, devnode_.data(), handler_, nullptr);
}

UsbfsReader::~UsbfsReader() {
  if (attached_) umockdev_testbed_detach_ioctl(testbed_, devnode_.data(), nullptr);
  g_signal_handlers_disconnect_by_data(handler_, this);
  g_object_unref(handler_);
  for (const auto* queue : {&pendingIn_, &completed_, &reaped_}) {
    for (const Urb& urb : *queue) {
      Release(urb.buffer);
      Release(urb.urb);
    }
  }
}

void UsbfsReader::SetSilent(bool silent) {
  std::lock_guard lock(mutex_);
  silent_ = silent;
}

void UsbfsReader::ReleaseReaped() {
  std::lock_guard lock(mutex_);
  for (const Urb& urb : reaped_) {
    Release(urb.buffer);
    Release(urb.urb);
  }
  reaped_.clear();
}

int UsbfsReader::DiscardedUrbs() const {
  std::lock_guard lock(mutex_);
  return discarded_;
}

int UsbfsReader::ClaimedInterfaces() const {
  std::lock_guard lock(mutex_);
  return claimed_;
}

// Runs on the testbed's worker thread.
gboolean UsbfsReader::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  int error = 0;
  const long result = static_cast<UsbfsReader*>(self)->Handle(
      umockdev_ioctl_client_get_request(client), umockdev_ioctl_client_get_arg(client), error);
  umockdev_ioctl_client_complete(client, result, error);
  static_cast<UsbfsReader*>(self)->ReleaseReaped();  // only now: completing syncs them back
  return TRUE;
}

long UsbfsReader::Handle(unsigned long request, UMockdevIoctlData* arg, int& error) {
  std::lock_guard lock(mutex_);
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
      if (caps == nullptr) break;
      std::memset(caps->data, 0, sizeof(uint32_t));
      return 0;
    }
    case USBDEVFS_GETDRIVER:
      error = ENODATA;  // no kernel driver holds the interface
      return -1;
    case USBDEVFS_IOCTL:
      // Detaching a kernel driver (USBDEVFS_DISCONNECT): none is bound.
      error = ENODATA;
      return -1;
    case USBDEVFS_CLAIMINTERFACE:
      ++claimed_;
      return 0;
    case USBDEVFS_RELEASEINTERFACE:
      --claimed_;
      return 0;
    case USBDEVFS_SUBMITURB:
      return Submit(arg, error);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      return Reap(arg, error);
    case USBDEVFS_DISCARDURB:
      return Discard(arg, error);
    default:
      break;
  }
  error = ENOTTY;
  return -1;
}

long UsbfsReader::Submit(UMockdevIoctlData* arg, int& error) {
  UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  if (urbData == nullptr) {
    error = EFAULT;
    return -1;
  }
  const usbdevfs_urb& urb = UrbOf(urbData);
  const bool in = urb.endpoint == kInEndpoint;
  if (urb.type != USBDEVFS_URB_TYPE_INTERRUPT || (!in && urb.endpoint != kOutEndpoint) ||
      urb.buffer_length < 0) {
    error = EINVAL;
    return -1;
  }
  UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
      urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb.buffer_length), nullptr);
  if (buffer == nullptr) {
    error = EFAULT;
    return -1;
  }
  const Urb held{static_cast<UMockdevIoctlData*>(g_object_ref(urbData)),
                 static_cast<UMockdevIoctlData*>(g_object_ref(buffer))};
  if (in) {
    pendingIn_.push_back(held);
    ServeInUrbs();
  } else {
    OutPacket(held);
  }
  return 0;
}

void UsbfsReader::OutPacket(const Urb& urb) {
  const auto length = static_cast<size_t>(urb.buffer->data_len);
  norvexsim::Packet packet{};
  std::copy_n(urb.buffer->data, std::min(length, packet.size()), packet.begin());
  Complete(urb, 0, static_cast<int>(length));
  if (silent_) return;
  const auto assembled = assembler_.feed(packet);
  if (assembled.outcome == norvexsim::FrameAssembler::Outcome::kDiscarded)
    reader_.noteDiscardedPacket(packet[0]);
  if (assembled.outcome != norvexsim::FrameAssembler::Outcome::kFrame) return;
  const auto reply = reader_.handleFrame(assembled.frame);
  if (!reply) return;
  for (const norvexsim::Packet& out : norvexsim::splitIntoPackets(*reply))
    inPackets_.push_back(out);
  ServeInUrbs();
}

void UsbfsReader::ServeInUrbs() {
  while (!pendingIn_.empty() && !inPackets_.empty()) {
    const Urb urb = pendingIn_.front();
    pendingIn_.pop_front();
    const norvexsim::Packet packet = inPackets_.front();
    inPackets_.pop_front();
    const size_t length = std::min(packet.size(), static_cast<size_t>(urb.buffer->data_len));
    umockdev_ioctl_data_update(urb.buffer, 0, const_cast<guint8*>(packet.data()),
                               static_cast<gint>(length));
    Complete(urb, 0, static_cast<int>(length));
  }
}

void UsbfsReader::Complete(const Urb& urb, int status, int actualLength) {
  usbdevfs_urb& fields = UrbOf(urb.urb);
  fields.status = status;
  fields.actual_length = actualLength;
  completed_.push_back(urb);
}

long UsbfsReader::Reap(UMockdevIoctlData* arg, int& error) {
  if (completed_.empty()) {
    error = EAGAIN;
    return -1;
  }
  UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  if (slot == nullptr) {
    error = EFAULT;
    return -1;
  }
  const Urb urb = completed_.front();
  completed_.pop_front();
  umockdev_ioctl_data_set_ptr(slot, 0, urb.urb);
  reaped_.push_back(urb);
  return 0;
}

long UsbfsReader::Discard(UMockdevIoctlData* arg, int& error) {
  unsigned long address = 0;
  std::memcpy(&address, arg->data, std::min(sizeof(address), static_cast<size_t>(arg->data_len)));
  const auto found = std::find_if(pendingIn_.begin(), pendingIn_.end(),
                                  [&](const Urb& urb) { return urb.urb->client_addr == address; });
  if (found == pendingIn_.end()) {
    error = EINVAL;
    return -1;
  }
  const Urb urb = *found;
  pendingIn_.erase(found);
  ++discarded_;
  Complete(urb, -ENOENT, 0);
  return 0;
}
