// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>

#include "transport/CommandObject.h"

class ProtocolBase;

// The abstract reader command interface: one virtual operation per reader instruction.
//
// Every higher layer (the flat API, the ISO 14443-4 block protocol, the Mifare and DESFire
// services) reaches the reader only through these operations, so the order of the virtual
// operations is part of the interface and must not change: new operations are only appended by
// the concrete classes. Every operation returns a status code (0 = success).
//
// Operations a reader family does not implement answer cmd_not_supported (8023) without any
// exchange. Pointer arguments name caller-owned buffers; input byte strings are const.
class Host2RDCom {
 public:
  Host2RDCom(const Host2RDCom&) = delete;
  Host2RDCom& operator=(const Host2RDCom&) = delete;
  virtual ~Host2RDCom();

  virtual long EnterISPMode() = 0;
  virtual long RdPcdConfig() = 0;
  virtual long RdMfPiccRequest(uint8_t reqCode, uint8_t* atq) = 0;
  virtual long RdMfPiccAnticoll(uint8_t bitCount, uint8_t* snr) = 0;
  virtual long RdMfPiccSelect(const uint8_t* snr, uint8_t* sak) = 0;
  // Codes a 6-byte Mifare key into the 12-byte form RdMfPiccAuthKey sends.
  virtual long RdHostCodeKey(const uint8_t* key, uint8_t* codedKey);
  virtual long RdMfPiccAuthKey(uint8_t keyType, const uint8_t* snr, const uint8_t* codedKey,
                               uint8_t block) = 0;
  virtual long RdMfPiccRead(uint8_t block, uint8_t* data) = 0;
  virtual long RdMfPiccWrite(uint8_t block, const uint8_t* data) = 0;
  virtual long RdMfPiccValue(uint8_t mode, uint8_t block, const uint8_t* value,
                             uint8_t transBlock) = 0;
  virtual long RdPcdRfReset(uint16_t duration) = 0;
  virtual long RdActiveAntennaSlaveConfig();
  virtual long RdActiveAntennaMasterConfig();
  virtual long RdPcdSetDefaultAttrib();
  virtual long RdPcdSetAttrib(uint8_t a, uint8_t b);
  virtual long RdPcdGetAttrib(uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d, uint8_t* e);
  virtual long RdPiccCommonRequest(uint8_t reqCode, uint8_t* atq);
  virtual long RdPiccCascAnticoll(uint8_t selCode, uint8_t bitCount, uint8_t* snr);
  virtual long RdPiccCascSelect(uint8_t selCode, const uint8_t* snr, uint8_t* sak);
  virtual long RdPiccActivateIdle(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                                  uint8_t* uidLen);
  virtual long RdPiccActivateIdleLoop(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                                      uint8_t* uidLen, uint8_t rounds);
  virtual long RdPiccActivateWakeup(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                                    uint8_t* uidLen);
  virtual long RdMfPiccAuth(uint8_t a, uint8_t b, uint8_t c);
  virtual long RdMfPiccAuthE(uint8_t a, const uint8_t* snr, uint8_t c, uint8_t d);
  virtual long RdPcdLoadKeyE2(uint8_t a, uint8_t b, const uint8_t* key);
  virtual long RdPiccCommonRead(uint8_t cmd, uint8_t addr, uint8_t len, uint8_t* data);
  virtual long RdPiccWrite4(uint8_t addr, const uint8_t* data);
  virtual long RdPiccCommonWrite(uint8_t cmd, uint8_t addr, uint8_t len, const uint8_t* data);
  virtual long RdMfPiccValueDebit(uint8_t mode, uint8_t block, const uint8_t* value);
  virtual long RdPiccExchangeBlock(const uint8_t* data, uint16_t len, uint8_t* resp,
                                   uint16_t* respLen, uint8_t mode, uint32_t timeout);
  virtual long RdPiccExchangeByteStream(uint8_t flags, const uint8_t* data, uint16_t len,
                                        uint8_t* resp, uint16_t* respLen);
  virtual long RdMfPiccHalt();
  virtual long RequestATS(uint8_t param, uint8_t* ats, uint16_t* atsLen);
  virtual long SendAPDU(const uint8_t* apdu, uint16_t apduLen, uint8_t* resp, uint16_t* respLen,
                        uint16_t frameSize, uint8_t cid, uint8_t nad, uint8_t cidFlag,
                        uint8_t nadFlag, uint8_t* blockNum, uint32_t timeout);
  virtual long Send_NOP_APDU(uint16_t respCapacity, uint8_t cid, uint8_t cidFlag, uint8_t* blockNum,
                             uint32_t timeout);
  virtual long Reset14443_4Card(uint8_t cidFlag, uint8_t cid, uint8_t* resp, uint16_t* respLen);
  virtual long RdPcdReset();
  virtual long RdExchangeByteStream(uint8_t flags, const uint8_t* data, uint16_t len, uint8_t* resp,
                                    uint16_t* respLen);
  virtual long RdPcdSetTmo(uint32_t tmo);
  virtual long RdPcdInitializeE2();
  virtual long RdReadWord(uint32_t addr, uint16_t* value);
  virtual long RdPcdGetSnr(uint8_t* snr);
  virtual long RdPcdReadE2(uint16_t addr, uint8_t len, uint8_t* data);
  virtual long RdPcdWriteE2(uint16_t addr, uint8_t len, const uint8_t* data);
  virtual long RdPcdSetIdleMode();
  virtual long PcdGetFwVersion(uint8_t* version, uint8_t* len);
  virtual long RdPcdGetRicVersion(uint8_t* version);
  virtual long RdDbgTrigger(uint8_t trigger);
  virtual long RdHostTransTmrStart();
  virtual long RdHostTransTmrStop(uint32_t* elapsed);
  virtual long RdHostGetExecutionTime(uint32_t* elapsed);
  virtual long RdSetNrLengthBytes(char count);
  virtual long RdSetCheckSumCalc(char mode);
  virtual long RdSwitchLED(uint8_t state);
  virtual long RdPcdClearIdleMode();
  virtual long RdStartDownload();
  virtual long RdGetOnlineStatus();
  virtual long RdWriteRC(uint8_t reg, uint8_t value);
  virtual long RdReadRC(uint8_t reg, uint8_t* value);
  virtual long RdWriteMultiple(uint8_t* pairs, uint16_t len);
  virtual long RdReadMultiple(uint8_t* pairs, uint16_t len);
  virtual long RdLoadKeySet(uint8_t set, uint8_t len, const uint8_t* keys);
  virtual long RdRicTestPcd(uint8_t* result);
  virtual long RdRicTestPicc(uint8_t* result);
  virtual long RdRicTestFlashNr(uint8_t* result);
  virtual long RdRicTestCommunication(uint8_t* result);
  // Sets the time-out handed to the protocol with every instruction; the old one goes to
  // *previous when previous is not null.
  virtual long SetTimeOuts(uint32_t newTimeout, uint32_t* previous);
  virtual long SetPeriferialState(uint8_t device, uint8_t state);
  virtual long ISO4PPSRequest(uint8_t cid, uint8_t dsi, uint8_t dri);
  virtual long PcdISO14443TypeBCommonRequest(uint8_t p1, uint8_t p2, uint8_t p3, uint8_t* resp,
                                             uint16_t* respLen);
  virtual long PcdISO14443TypeBRequestIdle(uint8_t p1, uint8_t p2, uint8_t* resp,
                                           uint16_t* respLen);
  virtual long PcdISO14443TypeBRequestWakeUp(uint8_t p1, uint8_t p2, uint8_t* resp,
                                             uint16_t* respLen);
  virtual long PcdISO14443TypeBAttrib(const uint8_t* pupi, uint8_t p2, uint8_t p3, uint8_t p4,
                                      uint8_t* p5, uint8_t* p6, uint8_t* hlLen, uint8_t* hl);
  virtual long PcdISO14443TypeBSlotMarker(uint8_t slot, uint8_t* resp, uint16_t* respLen);
  virtual long PcdISO14443TypeBHalt(const uint8_t* pupi);
  virtual long PcdLoadConfig(uint16_t config);
  virtual long RdPcdSetCardType(uint8_t cardType);
  // Any reader instruction with raw parameters. With replyLen null or *replyLen 0 the reply is
  // discarded; otherwise *replyLen is the capacity of reply on entry and the reply length after.
  virtual long ExecCommand(uint8_t code, const uint8_t* params, uint32_t paramLen, uint8_t* reply,
                           uint32_t* replyLen);

  // The number of data bytes in the reply to the last instruction (0 before the first), for
  // callers of an operation that copies a reply of variable length and needs a fixed one.
  size_t ReplyLength() const;

 protected:
  Host2RDCom() = default;

  ProtocolBase* protocol = nullptr;        // the session's framing protocol; borrowed
  std::unique_ptr<CommandObject> command;  // reused for every instruction; owned
  uint32_t timeout = 0;                    // handed to the protocol with every instruction
};
