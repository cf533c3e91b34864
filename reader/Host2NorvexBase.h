#pragma once

#include <cstdint>
#include <span>

#include "reader/Host2RDCom.h"

// The command set of the reader family: each operation is one reader instruction.
//
// Every instruction follows the same pattern: reset the command object, set the instruction code,
// append the parameters least significant byte first, send with the object's time-out, return a
// transport or framing failure as it is (out-arguments untouched), then check and copy the reply
// data, and finally return the reader's status for the instruction.
//
// Reply checks: every copy into a caller's buffer is bounded by the buffer's capacity and by the
// reply's actual length. A reply without the expected shape yields the reader's own status when
// that reports a failure (a failing reader sends no meaningful data), otherwise the shape error
// of the instruction. Null pointers for buffers the instruction needs give
// wrong_parameter_value (8031) before any traffic.
class Host2NorvexBase : public Host2RDCom {
 public:
  explicit Host2NorvexBase(ProtocolBase* protocol);
  ~Host2NorvexBase() override;

  long EnterISPMode() override;
  long RdPcdConfig() override;
  long RdMfPiccRequest(uint8_t reqCode, uint8_t* atq) override;
  long RdMfPiccAnticoll(uint8_t bitCount, uint8_t* snr) override;
  long RdMfPiccSelect(const uint8_t* snr, uint8_t* sak) override;
  long RdMfPiccAuthKey(uint8_t keyType, const uint8_t* snr, const uint8_t* codedKey,
                       uint8_t block) override;
  long RdMfPiccRead(uint8_t block, uint8_t* data) override;
  long RdMfPiccWrite(uint8_t block, const uint8_t* data) override;
  long RdMfPiccValue(uint8_t mode, uint8_t block, const uint8_t* value,
                     uint8_t transBlock) override;
  long RdPcdRfReset(uint16_t duration) override;
  long RdPcdSetDefaultAttrib() override;
  long RdPcdSetAttrib(uint8_t a, uint8_t b) override;
  long RdPcdGetAttrib(uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d, uint8_t* e) override;
  long RdPiccCommonRequest(uint8_t reqCode, uint8_t* atq) override;
  long RdPiccCascAnticoll(uint8_t selCode, uint8_t bitCount, uint8_t* snr) override;
  long RdPiccCascSelect(uint8_t selCode, const uint8_t* snr, uint8_t* sak) override;
  long RdPiccActivateIdle(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                          uint8_t* uidLen) override;
  long RdPiccActivateIdleLoop(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                              uint8_t* uidLen, uint8_t rounds) override;
  long RdPiccActivateWakeup(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                            uint8_t* uidLen) override;
  long RdMfPiccAuth(uint8_t a, uint8_t b, uint8_t c) override;
  long RdMfPiccAuthE(uint8_t a, const uint8_t* snr, uint8_t c, uint8_t d) override;
  long RdPcdLoadKeyE2(uint8_t a, uint8_t b, const uint8_t* key) override;
  long RdPiccCommonRead(uint8_t cmd, uint8_t addr, uint8_t len, uint8_t* data) override;
  long RdPiccWrite4(uint8_t addr, const uint8_t* data) override;
  long RdPiccCommonWrite(uint8_t cmd, uint8_t addr, uint8_t len, const uint8_t* data) override;
  long RdMfPiccValueDebit(uint8_t mode, uint8_t block, const uint8_t* value) override;
  long RdPiccExchangeBlock(const uint8_t* data, uint16_t len, uint8_t* resp, uint16_t* respLen,
                           uint8_t mode, uint32_t timeout) override;
  long RdPiccExchangeByteStream(uint8_t flags, const uint8_t* data, uint16_t len, uint8_t* resp,
                                uint16_t* respLen) override;
  long RdMfPiccHalt() override;
  long PcdGetFwVersion(uint8_t* version, uint8_t* len) override;
  long RdLoadKeySet(uint8_t set, uint8_t len, const uint8_t* keys) override;
  long PcdLoadConfig(uint16_t config) override;
  long RdPcdSetCardType(uint8_t cardType) override;
  long ExecCommand(uint8_t code, const uint8_t* params, uint32_t paramLen, uint8_t* reply,
                   uint32_t* replyLen) override;

 protected:
  // Empties the command object and sets the instruction code of the next instruction.
  void BeginInstruction(uint8_t code);
  // Sends the prepared instruction. Returns 0 when a reply was accepted, otherwise the transport
  // or framing failure, narrowed to its low 16 bits and sign-extended.
  long SendInstruction(uint32_t instructionTimeout);
  long SendInstruction() { return SendInstruction(timeout); }
  // Sends the prepared instruction and returns the transport failure or the reader's status;
  // for instructions whose reply data is not used.
  long Execute();
  // The reader's status for the accepted reply (0 = success), sign-extended from 16 bits.
  long ReplyStatus() const;
  // The data bytes of the accepted reply.
  std::span<const uint8_t> Reply() const;
  // The result for a reply without the expected shape: the reader's failure status when it
  // reports one, otherwise shapeError.
  long MalformedReply(long shapeError) const;
  // Copies a reply of exactly out.size() bytes; any other length gives shapeError.
  long CopyExactReply(std::span<uint8_t> out, long shapeError);
  // Copies the first out.size() reply bytes; a shorter reply gives resp_too_short (7005).
  long CopyLeadingReply(std::span<uint8_t> out);
  // Checks and copies an activation reply [ATQ 2][SAK 1][UID length 1][UID].
  long CopyActivationReply(uint8_t* atq, uint8_t* sak, uint8_t* uid, uint8_t* uidLen);
};
