// SPDX-License-Identifier: MIT
// Reader maintenance instructions: front-end registers, EEPROM, serial line speed, watchdog,
// echo, firmware download and in-system programming, peripherals and RF scanning.
#include <algorithm>
#include <string>

#include "sim/reader/Bytes.h"
#include "sim/reader/InstructionTable.h"
#include "sim/reader/LineSpeed.h"
#include "sim/reader/ReaderState.h"
#include "sim/reader/StatusByte.h"

namespace norvexsim {

namespace {

Reply ok(std::vector<uint8_t> data = {}) {
  return Reply{status::kOk, std::move(data)};
}
Reply badFrame() {
  return Reply{status::kFramingError, {}};
}

Reply noParams(const Params& params) {
  return params.empty() ? ok() : badFrame();
}

Reply writeRegister(ReaderContext& reader, const Params& params) {
  if (params.size() != 2 || params[0] >= ReaderState::kRegisterCount) return badFrame();
  reader.state.registers[params[0]] = params[1];
  return ok();
}

Reply readRegister(ReaderContext& reader, const Params& params) {
  if (params.size() != 1 || params[0] >= ReaderState::kRegisterCount) return badFrame();
  return ok({reader.state.registers[params[0]]});
}

bool eepromRangeValid(uint16_t address, size_t length) {
  return address + length <= ReaderState::kEepromSize;
}

Reply readEeprom(ReaderContext& reader, const Params& params) {
  if (params.size() != 3) return badFrame();
  const uint16_t address = readLe16(params, 0);
  const uint8_t length = params[2];
  if (!eepromRangeValid(address, length)) return badFrame();
  const auto begin = reader.state.eeprom.begin() + address;
  return ok({begin, begin + length});
}

// The product information at the start of the EEPROM is write-protected.
Reply writeEeprom(ReaderContext& reader, const Params& params) {
  if (params.size() < 3 || params.size() != 3u + params[2]) return badFrame();
  const uint16_t address = readLe16(params, 0);
  const uint8_t length = params[2];
  if (!eepromRangeValid(address, length)) return badFrame();
  if (length > 0 && address < ReaderState::kEepromProtected) {
    return Reply{status::kNoAuthAllowed, {}};
  }
  std::copy(params.begin() + 3, params.end(), reader.state.eeprom.begin() + address);
  return ok();
}

// Both hand the reader to its boot loader: the firmware acknowledges, then the device drops off
// the USB bus until it is plugged in again.
Reply startDownload(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  reader.state.downloadMode = true;
  reader.state.leaveBus = true;
  reader.note = "download mode: leaves the bus";
  return ok();
}

Reply enterIspMode(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  reader.state.ispMode = true;
  reader.state.leaveBus = true;
  reader.note = "in-system programming: leaves the bus";
  return ok();
}

Reply setOnlineBaudRate(ReaderContext& reader, const Params& params) {
  if (params.size() != 1 || !speedOfCode(params[0])) return badFrame();
  reader.state.onlineBaudCode = params[0];
  reader.note = "line speed " + describeSpeedCode(params[0]);
  return ok();
}

Reply getJumperBaudRate(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  return ok({reader.state.jumperBaudCode});
}

Reply testWatchdog(ReaderContext&, const Params& params) {
  return noParams(params);
}

Reply pingReader(ReaderContext&, const Params& params) {
  return ok(params);
}

Reply readBack(ReaderContext&, const Params& params) {
  if (params.size() != 2) return badFrame();
  return ok(params);
}

Reply setPeripheralState(ReaderContext& reader, const Params& params) {
  if (params.size() != 2) return badFrame();
  reader.state.peripherals[params[0]] = params[1];
  reader.note = peripheralName(params[0]) + (params[1] == 0 ? " off" : " on");
  return ok();
}

Reply rfScanOn(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  reader.state.rfScan = true;
  return ok();
}

Reply rfScanOff(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  reader.state.rfScan = false;
  return ok();
}

Reply rfScanState(ReaderContext& reader, const Params& params) {
  if (!params.empty()) return badFrame();
  return ok({static_cast<uint8_t>(reader.state.rfScan ? 1 : 0)});
}

}  // namespace

void registerMaintenanceInstructions(InstructionTable& table) {
  table.add(0x01, "RdWriteRC", writeRegister);
  table.add(0x02, "RdReadRC", readRegister);
  table.add(0x23, "RdPcdReadE2", readEeprom);
  table.add(0x24, "RdPcdWriteE2", writeEeprom);
  table.add(0x62, "RdStartDownload", startDownload);
  table.add(0x66, "EnterISPMode", enterIspMode);
  table.add(0x82, "SetOnLineBaudRate", setOnlineBaudRate);
  table.add(0x83, "GetJumperBaudRate", getJumperBaudRate);
  table.add(0x85, "TestWatchDog", testWatchdog);
  table.add(0x86, "PingReader", pingReader);
  table.add(0x87, "ReadBack", readBack);
  table.add(0xE0, "RdRFScanOn", rfScanOn);
  table.add(0xE1, "RdRFScanOff", rfScanOff);
  table.add(0xE6, "SetPeriferialState", setPeripheralState);
  table.add(0xE8, "RdRFScanState", rfScanState);
}

}  // namespace norvexsim
