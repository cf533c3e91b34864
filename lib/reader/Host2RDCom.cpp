// SPDX-License-Identifier: MIT
#include "reader/Host2RDCom.h"

#include "status/StatusCodes.h"

Host2RDCom::~Host2RDCom() = default;

// Each key nibble travels in the low half of a byte whose high half holds its complement, so the
// reader can check the key for transmission errors before loading it.
long Host2RDCom::RdHostCodeKey(const uint8_t* key, uint8_t* codedKey) {
  if (key == nullptr || codedKey == nullptr) return wrong_parameter_value;
  for (int i = 0; i < 6; ++i) {
    const unsigned high = key[i] >> 4;
    const unsigned low = key[i] & 0x0F;
    codedKey[2 * i] = static_cast<uint8_t>((~high << 4) | high);
    codedKey[2 * i + 1] = static_cast<uint8_t>((~low << 4) | low);
  }
  return 0;
}

size_t Host2RDCom::ReplyLength() const {
  return command != nullptr ? command->GetDataBufferLength() : 0;
}

long Host2RDCom::SetTimeOuts(uint32_t newTimeout, uint32_t* previous) {
  if (previous != nullptr) *previous = timeout;
  timeout = newTimeout;
  return 0;
}

// Operations a reader family does not implement.
long Host2RDCom::RdActiveAntennaSlaveConfig() {
  return cmd_not_supported;
}
long Host2RDCom::RdActiveAntennaMasterConfig() {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdSetDefaultAttrib() {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdSetAttrib(uint8_t, uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdGetAttrib(uint8_t*, uint8_t*, uint8_t*, uint8_t*, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccCommonRequest(uint8_t, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccCascAnticoll(uint8_t, uint8_t, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccCascSelect(uint8_t, const uint8_t*, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccActivateIdle(uint8_t, uint8_t*, uint8_t*, uint8_t*, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccActivateIdleLoop(uint8_t, uint8_t*, uint8_t*, uint8_t*, uint8_t*, uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccActivateWakeup(uint8_t, uint8_t*, uint8_t*, uint8_t*, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdMfPiccAuth(uint8_t, uint8_t, uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdMfPiccAuthE(uint8_t, const uint8_t*, uint8_t, uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdLoadKeyE2(uint8_t, uint8_t, const uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccCommonRead(uint8_t, uint8_t, uint8_t, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccWrite4(uint8_t, const uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccCommonWrite(uint8_t, uint8_t, uint8_t, const uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdMfPiccValueDebit(uint8_t, uint8_t, const uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccExchangeBlock(const uint8_t*, uint16_t, uint8_t*, uint16_t*, uint8_t,
                                     uint32_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdPiccExchangeByteStream(uint8_t, const uint8_t*, uint16_t, uint8_t*, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdMfPiccHalt() {
  return cmd_not_supported;
}
long Host2RDCom::RequestATS(uint8_t, uint8_t*, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::SendAPDU(const uint8_t*, uint16_t, uint8_t*, uint16_t*, uint16_t, uint8_t, uint8_t,
                          uint8_t, uint8_t, uint8_t*, uint32_t) {
  return cmd_not_supported;
}
long Host2RDCom::Send_NOP_APDU(uint16_t, uint8_t, uint8_t, uint8_t*, uint32_t) {
  return cmd_not_supported;
}
long Host2RDCom::Reset14443_4Card(uint8_t, uint8_t, uint8_t*, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdReset() {
  return cmd_not_supported;
}
long Host2RDCom::RdExchangeByteStream(uint8_t, const uint8_t*, uint16_t, uint8_t*, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdSetTmo(uint32_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdInitializeE2() {
  return cmd_not_supported;
}
long Host2RDCom::RdReadWord(uint32_t, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdGetSnr(uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdReadE2(uint16_t, uint8_t, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdWriteE2(uint16_t, uint8_t, const uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdSetIdleMode() {
  return cmd_not_supported;
}
long Host2RDCom::PcdGetFwVersion(uint8_t*, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdGetRicVersion(uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdDbgTrigger(uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdHostTransTmrStart() {
  return cmd_not_supported;
}
long Host2RDCom::RdHostTransTmrStop(uint32_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdHostGetExecutionTime(uint32_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdSetNrLengthBytes(char) {
  return cmd_not_supported;
}
long Host2RDCom::RdSetCheckSumCalc(char) {
  return cmd_not_supported;
}
long Host2RDCom::RdSwitchLED(uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdClearIdleMode() {
  return cmd_not_supported;
}
long Host2RDCom::RdStartDownload() {
  return cmd_not_supported;
}
long Host2RDCom::RdGetOnlineStatus() {
  return cmd_not_supported;
}
long Host2RDCom::RdWriteRC(uint8_t, uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdReadRC(uint8_t, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdWriteMultiple(uint8_t*, uint16_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdReadMultiple(uint8_t*, uint16_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdLoadKeySet(uint8_t, uint8_t, const uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdRicTestPcd(uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdRicTestPicc(uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdRicTestFlashNr(uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::RdRicTestCommunication(uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::SetPeriferialState(uint8_t, uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::ISO4PPSRequest(uint8_t, uint8_t, uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::PcdISO14443TypeBCommonRequest(uint8_t, uint8_t, uint8_t, uint8_t*, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::PcdISO14443TypeBRequestIdle(uint8_t, uint8_t, uint8_t*, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::PcdISO14443TypeBRequestWakeUp(uint8_t, uint8_t, uint8_t*, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::PcdISO14443TypeBAttrib(const uint8_t*, uint8_t, uint8_t, uint8_t, uint8_t*,
                                        uint8_t*, uint8_t*, uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::PcdISO14443TypeBSlotMarker(uint8_t, uint8_t*, uint16_t*) {
  return cmd_not_supported;
}
long Host2RDCom::PcdISO14443TypeBHalt(const uint8_t*) {
  return cmd_not_supported;
}
long Host2RDCom::PcdLoadConfig(uint16_t) {
  return cmd_not_supported;
}
long Host2RDCom::RdPcdSetCardType(uint8_t) {
  return cmd_not_supported;
}
long Host2RDCom::ExecCommand(uint8_t, const uint8_t*, uint32_t, uint8_t*, uint32_t*) {
  return cmd_not_supported;
}
