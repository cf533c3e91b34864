// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "reader/Host2RDCom.h"
#include "reader/Iso14443_4Block.h"

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

  // Reader maintenance (Host2NorvexBase_Maintenance.cpp): front-end registers, the reader's
  // EEPROM, firmware download, peripherals (LED, buzzer).
  long RdWriteRC(uint8_t reg, uint8_t value) override;
  // The reply must be exactly one byte, else read_too_long (8034).
  long RdReadRC(uint8_t reg, uint8_t* value) override;
  // Reads len bytes: a longer reply gives wrong_parameter_value (8031), a shorter one
  // resp_too_short (7005); data is untouched in both cases.
  long RdPcdReadE2(uint16_t addr, uint8_t len, uint8_t* data) override;
  long RdPcdWriteE2(uint16_t addr, uint8_t len, const uint8_t* data) override;
  long RdStartDownload() override;
  long SetPeriferialState(uint8_t device, uint8_t state) override;

  // ISO 14443-3 type B (Host2NorvexBase_TypeB.cpp). The parameter bytes are the reader's (AFI,
  // slot count, ...) and pass through unchanged. Answers (ATQB) are counted replies: *respLen is
  // the capacity of resp on entry and the answer length after, also when the answer does not fit
  // (read_too_long, 8034, resp untouched).
  long PcdISO14443TypeBCommonRequest(uint8_t p1, uint8_t p2, uint8_t p3, uint8_t* resp,
                                     uint16_t* respLen) override;
  long PcdISO14443TypeBRequestIdle(uint8_t p1, uint8_t p2, uint8_t* resp,
                                   uint16_t* respLen) override;
  long PcdISO14443TypeBRequestWakeUp(uint8_t p1, uint8_t p2, uint8_t* resp,
                                     uint16_t* respLen) override;
  // ATTRIB for the card with this PUPI. *p5 goes out and comes back (the answer's first byte),
  // *p6 receives the second; *hlLen bytes of hl go out as higher-layer data and the card's
  // higher-layer answer comes back in hl (*hlLen is its capacity on entry, its length after).
  // The reply is [p5][p6][m][m bytes]; any other length gives read_too_long (8034), as does an
  // answer longer than the capacity of hl (then *hlLen = m and nothing else is written).
  long PcdISO14443TypeBAttrib(const uint8_t* pupi, uint8_t p2, uint8_t p3, uint8_t p4, uint8_t* p5,
                              uint8_t* p6, uint8_t* hlLen, uint8_t* hl) override;
  long PcdISO14443TypeBSlotMarker(uint8_t slot, uint8_t* resp, uint16_t* respLen) override;
  long PcdISO14443TypeBHalt(const uint8_t* pupi) override;

  // Operations of this reader family beyond the common interface, in this order.
  //
  // Serial line speed: 9600, 19200, 38400, 57600 or 115200 bit/s; any other speed is refused
  // with wrong_parameter_value (8031) and nothing is sent.
  virtual long SetOnLineBaudRate(unsigned int baud);
  // The speed the reader's jumpers select; a code the reader may send beyond the known ones
  // reads as 115200.
  virtual long GetJumperBaudRate(unsigned int* baud);
  virtual long TestWatchDog();
  // Echo test: *len bytes of data go out and must come back exactly (else wrong_parameter_value,
  // data untouched).
  virtual long PingReader(uint8_t* data, uint16_t* len);
  virtual long CheckWDT();  // the watchdog instruction, as TestWatchDog
  virtual long ReadBack(uint16_t value);

  // ISO 14443-4 (T=CL) block protocol (Host2NorvexBase_Tcl.cpp). Time-outs are the reader's
  // response time-out for the card's frame, in ms (instruction 0x27, sent before every block).
  //
  // Block number: one bit owned by the caller (only bit 0 of *blockNum is read). SendAPDU writes
  // the new value back only on success, so after a failure the caller still holds the block
  // number of the last good exchange; Send_NOP_APDU never changes it.
  // Frame size: the largest frame the card accepts, PCB and 2 CRC bytes included, 5 to 1024
  // (frame_too_small below, wrong_parameter_value above, before anything is sent). Each card
  // frame is received into a 1024-byte block buffer with the frame size as its capacity.
  // Statuses: unknown_command (8036) for an R-block nak other than 0/1 or an S-block type other
  // than DESELECT (0x00) / WTX (0x30); mi_comm_abort (8044) for a protocol error of the card,
  // a card frame longer than the frame size included; read_too_long (8034) when the joined answer
  // exceeds *respLen (which then keeps its value); wrong_parameter_value (8031) for a null
  // pointer, an empty APDU or a NAD (not supported); reader and transport failures as they are.
  //
  // A broken APDU exchange ends the card's session: once a block of an APDU went out, a failure
  // may leave the card in the middle of a chain, where the next APDU would be joined to the
  // broken one. SendAPDU then sends S(DESELECT) (best effort, its outcome ignored) and refuses
  // every later APDU with rd_chaining_error (6029), nothing sent, until a card is activated
  // again (a successful RATS or ATTRIB).

  // One I-block with the caller's PCB: the CID byte follows when the PCB has the CID bit, the
  // NAD byte when it has the NAD bit, then data.
  long SendIBlock(uint8_t pcb, uint8_t cid, uint8_t nad, const uint8_t* data, uint16_t len,
                  uint8_t* resp, uint16_t* respLen, uint32_t cardTimeout);
  // R(ACK) (nak 0) or R(NAK) (nak 1); pcbBits gives 0x02, the CID bit and the block number.
  long SendRBlock(uint8_t pcbBits, uint8_t cid, uint8_t nak, uint8_t* resp, uint16_t* respLen,
                  uint32_t cardTimeout);
  // S(DESELECT) (type 0x00) or an S(WTX) answer carrying wtxm (type 0x30).
  long SendSBlock(uint8_t cidFlag, uint8_t cid, uint8_t type, uint8_t wtxm, uint8_t* resp,
                  uint16_t* respLen, uint32_t cardTimeout);
  // A whole APDU: chained into I-blocks of at most frameSize bytes, waiting time extensions
  // answered (at most 32 in a row), a lost I-block sent again when the card's R(ACK) says so (at
  // most twice), a chained answer acknowledged and joined into resp. *respLen is the capacity of
  // resp on entry and the answer length after. nadFlag must be 0.
  long SendAPDU(const uint8_t* apdu, uint16_t apduLen, uint8_t* resp, uint16_t* respLen,
                uint16_t frameSize, uint8_t cid, uint8_t nad, uint8_t cidFlag, uint8_t nadFlag,
                uint8_t* blockNum, uint32_t cardTimeout) override;
  // Presence check: R(NAK) with the caller's block number; the card's answer (at most
  // respCapacity bytes, which may not exceed 1024) is discarded.
  long Send_NOP_APDU(uint16_t respCapacity, uint8_t cid, uint8_t cidFlag, uint8_t* blockNum,
                     uint32_t cardTimeout) override;
  // S(DESELECT) with the object's time-out.
  long Reset14443_4Card(uint8_t cidFlag, uint8_t cid, uint8_t* resp, uint16_t* respLen) override;
  // The reader's RATS (instruction 0xE7); param is the RATS parameter byte (FSDI, CID). An ATS
  // longer than *atsLen gives wrong_parameter_value with *atsLen unchanged. A card that sends its
  // ATS starts a new ISO 14443-4 session.
  long RequestATS(uint8_t param, uint8_t* ats, uint16_t* atsLen) override;
  // PPS request; an answer that does not repeat the PPSS byte gives mi_comm_abort.
  long ISO4PPSRequest(uint8_t cid, uint8_t dsi, uint8_t dri) override;

 protected:
  // The pause before the R(NAK) that follows a failed I-block exchange (one second).
  virtual void PauseBeforeRetry();

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
  // Sends the prepared type B instruction and copies its counted answer.
  long TypeBCountedReply(uint8_t* resp, uint16_t* respLen);
  // The byte-stream exchange with the instruction's time-out raised for a long card time-out.
  long ExchangeByteStream(uint8_t flags, const uint8_t* data, uint16_t len, uint8_t* resp,
                          uint16_t* respLen, uint32_t cardTimeout);

 private:
  struct ApduExchange;
  // The block protocol of one APDU; SendAPDU ends the card's session when it fails.
  long ExchangeApdu(ApduExchange& exchange, const uint8_t* apdu, uint16_t apduLen);
  // S(DESELECT) after a broken exchange, answer ignored; later APDUs are refused.
  void EndCardSession(const ApduExchange& exchange);
  // Returns status; a card activated (status 0) is in a fresh ISO 14443-4 session.
  long StartCardSession(long status);
  // Sets the reader's response time-out, then exchanges the first frameLength bytes of
  // blockFrame with the card.
  long ExchangeBlock(size_t frameLength, uint8_t* resp, uint16_t* respLen, uint32_t cardTimeout);
  long ExchangeChunk(ApduExchange& exchange, const uint8_t* chunk, uint16_t length, bool chaining);
  long SendChunk(ApduExchange& exchange, const uint8_t* chunk, uint16_t length, bool chaining,
                 std::optional<tcl::CardFrame>& answer);
  long AnswerWaitingTimeExtensions(ApduExchange& exchange, tcl::CardFrame& frame);
  long RequestNextBlock(ApduExchange& exchange, tcl::CardFrame& frame);
  long ReceiveAnswer(ApduExchange& exchange, tcl::CardFrame frame);

  // T=CL blocks are built in blockFrame and card frames received into blockReply, so an exchange
  // allocates nothing.
  std::array<uint8_t, tcl::kBlockBufferSize> blockFrame{};
  std::array<uint8_t, tcl::kBlockBufferSize> blockReply{};
  uint16_t blockReplyLength = 0;
  // Set by a broken APDU exchange, cleared by the next activation (RATS or ATTRIB).
  bool cardSessionEnded = false;
  // The response time-out the reader holds from the last block exchange: the next block with the
  // same time-out skips setting it again, an exchange saved per block. Any other instruction, or a
  // failed block exchange, may have changed the reader's setting and forgets it.
  std::optional<uint32_t> readerResponseTimeout;
};
