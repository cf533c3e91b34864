// SPDX-License-Identifier: MIT
// The entry points pcscd calls (IFD handler API v3). Each finds the reader slot of its LUN and
// hands the call over; no C++ exception leaves the driver.
extern "C" {
#include <ifdhandler.h>
#include <reader.h>
}

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "pcsc/ReaderSlot.h"

using norvex::pcsc::ReaderSlot;

namespace {

constexpr UCHAR kSlotsPerReader = 1;
constexpr UCHAR kMostReaders = 16;
constexpr char kVendorName[] = "Norvex";

// Readers by the reader part of the LUN (the high 16 bits; the low ones name the slot). The table
// outlives the static destructors of process exit, during which pcscd's threads may still poll.
struct SlotTable {
  std::mutex mutex;
  std::map<DWORD, std::shared_ptr<ReaderSlot>> slots;
};
SlotTable& table() {
  static SlotTable* const readers = new SlotTable;
  return *readers;
}

std::shared_ptr<ReaderSlot> slotOf(DWORD lun) {
  std::lock_guard lock(table().mutex);
  auto found = table().slots.find(lun >> 16);
  return found == table().slots.end() ? nullptr : found->second;
}

RESPONSECODE createChannel(DWORD lun, const std::string& deviceName) {
  const auto address = norvex::pcsc::parseDeviceName(deviceName);
  if (!address) return IFD_COMMUNICATION_ERROR;
  std::shared_ptr<ReaderSlot> slot = ReaderSlot::open(*address);
  if (!slot) return IFD_NO_SUCH_DEVICE;
  std::lock_guard lock(table().mutex);
  table().slots[lun >> 16] = std::move(slot);
  return IFD_SUCCESS;
}

RESPONSECODE putBytes(const void* bytes, DWORD count, PDWORD length, PUCHAR value) {
  if (*length < count) return IFD_ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(value, bytes, count);
  *length = count;
  return IFD_SUCCESS;
}

RESPONSECODE putByte(UCHAR byte, PDWORD length, PUCHAR value) {
  return putBytes(&byte, 1, length, value);
}

}  // namespace

extern "C" {

RESPONSECODE IFDHCreateChannelByName(DWORD Lun, LPSTR DeviceName) try {
  if (DeviceName == nullptr) return IFD_COMMUNICATION_ERROR;
  return createChannel(Lun, DeviceName);
} catch (...) {
  return IFD_COMMUNICATION_ERROR;
}

// Readers configured with a channel number instead of a name: channel n is the library's USB_n.
RESPONSECODE IFDHCreateChannel(DWORD Lun, DWORD Channel) try {
  return createChannel(Lun, "USB_" + std::to_string(Channel));
} catch (...) {
  return IFD_COMMUNICATION_ERROR;
}

RESPONSECODE IFDHCloseChannel(DWORD Lun) try {
  std::shared_ptr<ReaderSlot> slot;
  {
    std::lock_guard lock(table().mutex);
    auto found = table().slots.find(Lun >> 16);
    if (found == table().slots.end()) return IFD_COMMUNICATION_ERROR;
    slot = std::move(found->second);
    table().slots.erase(found);
  }
  return IFD_SUCCESS;  // the session closes with the last call still running on it
} catch (...) {
  return IFD_COMMUNICATION_ERROR;
}

RESPONSECODE IFDHGetCapabilities(DWORD Lun, DWORD Tag, PDWORD Length, PUCHAR Value) try {
  if (Length == nullptr || Value == nullptr) return IFD_COMMUNICATION_ERROR;
  switch (Tag) {
    case TAG_IFD_SLOTS_NUMBER:
      return putByte(kSlotsPerReader, Length, Value);
    case TAG_IFD_SIMULTANEOUS_ACCESS:
      return putByte(kMostReaders, Length, Value);
    case TAG_IFD_THREAD_SAFE:  // readers may be used at the same time, each behind its lock
      return putByte(1, Length, Value);
    case TAG_IFD_SLOT_THREAD_SAFE:
      return putByte(0, Length, Value);
    case SCARD_ATTR_VENDOR_NAME:
      return putBytes(kVendorName, sizeof kVendorName, Length, Value);
    case TAG_IFD_ATR:
    case SCARD_ATTR_ATR_STRING: {
      const auto slot = slotOf(Lun);
      if (!slot) return IFD_COMMUNICATION_ERROR;
      const auto atr = slot->atr();
      return putBytes(atr.data(), static_cast<DWORD>(atr.size()), Length, Value);
    }
    default:
      return IFD_ERROR_TAG;
  }
} catch (...) {
  return IFD_COMMUNICATION_ERROR;
}

RESPONSECODE IFDHSetCapabilities(DWORD, DWORD, DWORD, PUCHAR) {
  return IFD_NOT_SUPPORTED;
}

// Contactless cards exchange APDUs the same way whichever protocol the ATR's T=0/T=1 gives.
RESPONSECODE IFDHSetProtocolParameters(DWORD Lun, DWORD Protocol, UCHAR, UCHAR, UCHAR, UCHAR) try {
  if (!slotOf(Lun)) return IFD_COMMUNICATION_ERROR;
  return Protocol == SCARD_PROTOCOL_T0 || Protocol == SCARD_PROTOCOL_T1
             ? IFD_SUCCESS
             : IFD_PROTOCOL_NOT_SUPPORTED;
} catch (...) {
  return IFD_COMMUNICATION_ERROR;
}

RESPONSECODE IFDHPowerICC(DWORD Lun, DWORD Action, PUCHAR Atr, PDWORD AtrLength) try {
  const auto slot = slotOf(Lun);
  if (!slot || Atr == nullptr || AtrLength == nullptr) return IFD_COMMUNICATION_ERROR;
  return slot->power(Action, Atr, AtrLength);
} catch (...) {
  return IFD_COMMUNICATION_ERROR;
}

RESPONSECODE IFDHTransmitToICC(DWORD Lun, SCARD_IO_HEADER, PUCHAR TxBuffer, DWORD TxLength,
                               PUCHAR RxBuffer, PDWORD RxLength, PSCARD_IO_HEADER) try {
  const auto slot = slotOf(Lun);
  if (!slot || TxBuffer == nullptr || RxBuffer == nullptr || RxLength == nullptr)
    return IFD_COMMUNICATION_ERROR;
  return slot->transmit({TxBuffer, TxLength}, RxBuffer, RxLength);
} catch (...) {
  return IFD_COMMUNICATION_ERROR;
}

RESPONSECODE IFDHControl(DWORD, DWORD, PUCHAR, DWORD, PUCHAR, DWORD, LPDWORD BytesReturned) {
  if (BytesReturned != nullptr) *BytesReturned = 0;
  return IFD_ERROR_NOT_SUPPORTED;
}

RESPONSECODE IFDHICCPresence(DWORD Lun) try {
  const auto slot = slotOf(Lun);
  return slot ? slot->presence() : IFD_COMMUNICATION_ERROR;
} catch (...) {
  return IFD_COMMUNICATION_ERROR;
}

}  // extern "C"
