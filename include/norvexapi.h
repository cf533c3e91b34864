// SPDX-License-Identifier: MIT
/*
 * libnorvexapi: driver library for USB contactless card readers (ISO 14443 A/B, 13.56 MHz).
 *
 * Every function takes the session handle returned by CreateSession first (a void*) and returns a
 * status code: 0 on success, otherwise a code whose text GetErrorText gives. Buffers and key
 * records cross by pointer and stay owned by the caller. A session is used by one thread at a time.
 *
 * The header compiles as C11 and as C++17 or later.
 */
#ifndef NORVEXAPI_H
#define NORVEXAPI_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "norvexapi_status.h"
#include "norvexapi_version.h"

#if defined(NORVEX_BUILDING_LIBRARY)
#define NORVEX_API __attribute__((visibility("default")))
#else
#define NORVEX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- Sessions and reader connection
 */

/* Interface types of ConnectReader / EnumReaders. Only USB readers can be connected. */
#define NORVEX_INTERFACE_RS232 1
#define NORVEX_INTERFACE_USB 4
#define NORVEX_INTERFACE_TCP 8

/* Reader type 4096 selects the command set of network-attached readers. */
#define NORVEX_READER_TYPE_IP 4096

/* Enumeration callbacks get the caller's value first; they return true to go on, false to stop. */
typedef bool (*NorvexReaderCallback)(long userValue, const char* name);
typedef bool (*NorvexInterfaceCallback)(long userValue, const char* name, int interfaceType);

NORVEX_API void* CreateSession(void);
NORVEX_API long ReleaseSession(void* session);
NORVEX_API long ConnectReaderEx(void* session, int interfaceType, char* readerName, int readerType,
                                long baudRate);
NORVEX_API long ConnectReader(void* session, int interfaceType, char* readerName, int readerType);
NORVEX_API long DisconnectReader(void* session);
NORVEX_API long SetSessionFlags(void* session, long flags);
NORVEX_API long GetSessionFlags(void* session, long* flags);
NORVEX_API long SetSessionUserData(void* session, long data);
NORVEX_API long GetSessionUserData(void* session, long* data);

/* Reader traffic trace. The callback gets every frame written to the reader (direction
 * NORVEX_TRACE_OUT) and every whole frame read from it (NORVEX_TRACE_IN), as the bytes on the link,
 * with the microseconds since the callback was set. It runs on the thread that called into the
 * session, inside that call; it must not call the session's functions. A null callback stops the
 * trace. The setting belongs to the session and holds across reconnection. */
#define NORVEX_TRACE_OUT 0
#define NORVEX_TRACE_IN 1
typedef void (*NorvexTraceCallback)(void* context, int direction, const unsigned char* frame,
                                    size_t length, uint64_t microseconds);
NORVEX_API long SetTraceCallback(void* session, NorvexTraceCallback callback, void* context);

NORVEX_API long GetUSBInterface(void* session, int baudRate, int productId, char* readerName);
NORVEX_API long GetRS232Interface(void* session, int baudRate, char* readerName);
NORVEX_API long GetTCPInterface(void* session, char* readerName);

NORVEX_API long EnumReaders(int readerType, int interfaceType, NorvexReaderCallback callback,
                            long userValue);
NORVEX_API long EnumUSBReaders(int productId, NorvexReaderCallback callback, long userValue);
NORVEX_API long GetComPortsCount(NorvexReaderCallback callback, long userValue);
NORVEX_API long GetSupportedCommInterfaces(NorvexInterfaceCallback callback, long userValue);

NORVEX_API char* lstrcpyn(char* destination, const char* source, unsigned long n);
NORVEX_API char* GetPort(char* text);
NORVEX_API char* GetIP(char* text);
NORVEX_API signed char GetUSBName(char* name);
NORVEX_API int GetComPort(char* name);
NORVEX_API int ParseRemoteName(char* name, char** readerPart, char** hostPart, short* port);
NORVEX_API int ParseURL(char* url, char** host, unsigned short* port);
NORVEX_API int c2bin(const char* text, int n);
NORVEX_API void bin2c(int value, char* out, int n);
NORVEX_API int c2bin2(const char* text);
NORVEX_API void bin2c2(int value, char* out);

/* ---------------------------------------------------------------- Status codes and version */

/* The status codes have names: NORVEX_OK and NORVEX_E_... in norvexapi_status.h. */

/* Text of any status code: a constant NUL-terminated English message owned by the library (never
 * freed by the caller). Codes outside the library's families get the system's strerror text. */
NORVEX_API const char* GetErrorText(int code);

/* Version of the loaded library as "MAJOR.MINOR.PATCH", a constant text owned by the library.
 * NORVEX_VERSION_MAJOR/MINOR/PATCH give the version of the headers a caller was built with. */
NORVEX_API const char* GetLibraryVersion(void);

/* ---------------------------------------------------------------- Card selection and reader
 * operations */

/* ISO 14443-A selection. uidLen is in/out: the capacity of uid on entry (10 holds any UID), the
 * UID length after. atq receives 2 bytes, sak 1 byte. The serial of SelectCard/GetCardID holds the
 * 4 serial number bytes in the order the card sent them (raw bytes, not a number). */
NORVEX_API long SelectCard(void* session, uint32_t* serial, uint8_t* atq, uint8_t* sak);
NORVEX_API long GetCardID(void* session, uint32_t* serial);
NORVEX_API long SelectCardEx(void* session, uint8_t* uid, uint8_t* uidLen, uint8_t* atq,
                             uint8_t* sak);
NORVEX_API long GetCardIDEx(void* session, uint8_t* uid, uint8_t* uidLen);
NORVEX_API long GetCardIDF(void* session);
NORVEX_API long SelectIdleCard(void* session, uint8_t* uid, uint8_t* uidLen, uint8_t* atq,
                               uint8_t* sak);
NORVEX_API long SelectWakeUpCard(void* session, uint8_t* uid, uint8_t* uidLen, uint8_t* atq,
                                 uint8_t* sak);
NORVEX_API long ExecAnticol(void* session, uint8_t bitCount, uint8_t* snr);
NORVEX_API long HaltCard(void* session);
NORVEX_API long RfReset(void* session, uint16_t duration);

/* ---------------------------------------------------------------- ISO 14443-4 (T=CL) */

/* Activation: Request_ATS selects an idle card (V2_RequestATS resets the RF field first) and, when
 * its SAK announces ISO 14443-4 (bit 0x20), has the reader send RATS with param (FSDI in the high
 * nibble, CID in the low one). atsLen is in/out: the capacity of ats on entry (the ATS is at most
 * 256 bytes), the ATS length after. 8045 (NORVEX_E_NO_ISO_14443_4) for a card without
 * ISO 14443-4, nothing sent; 8031 for an ATS longer than *atsLen, which keeps its value. */
NORVEX_API long Request_ATS(void* session, uint8_t param, uint16_t* atsLen, uint8_t* ats);
NORVEX_API long V2_RequestATS(void* session, uint8_t param, uint16_t* atsLen, uint8_t* ats);

/* APDU exchange with the activated card, CID 0, no NAD. The library runs the block protocol:
 * chains the APDU into I-blocks, answers the card's waiting time extensions (giving it the longer
 * time it asks for, up to 4949 ms, at most 32 in a row), sends an I-block again when the card
 * says it missed it (at most twice), acknowledges and joins a chained answer.
 *
 * blockNumber: the ISO 14443-4 block number, owned by the caller: 0 after activation, then passed
 * to every exchange with the card (only bit 0 is read). It is updated on success only, so after a
 * failure it still holds the value of the last good exchange.
 * frameSize: the largest frame the card accepts (FSC from its ATS), PCB and CRC included,
 * 5 to 1024; each I-block then carries at most frameSize - 4 APDU bytes. The card's frames may not
 * be longer either.
 * respLen is in/out: the capacity of resp on entry, the answer length after (data and status
 * word). timeout: the card's response time-out per block in ms.
 * Status: 0; 8046 (FRAME_TOO_SMALL) for a frame size below 5, 8031 (WRONG_PARAMETER_VALUE) above
 * 1024, for an empty APDU or a null pointer, all before anything is sent; 8034 (READ_TOO_LONG)
 * when the answer exceeds *respLen (which keeps its value); 8044 (MI_COMM_ABORT) for a block
 * protocol error of the card (a malformed frame, one longer than frameSize, a block out of turn);
 * 6029 (RD_CHAINING_ERROR) after a broken exchange, see below; otherwise the reader's or the
 * transport's status.
 *
 * A broken exchange ends the card's session. When an exchange fails once a block went to the
 * card, the card may be left in the middle of a chain, and the next APDU would be joined to the
 * broken one. The library therefore sends S(DESELECT) (best effort: the card, if it hears it,
 * goes to HALT) and refuses every later APDU of the session (Send_Raw_APDU, KstSend_APDU and the
 * DF_ functions) with 6029, sending nothing, until a card is activated again: by Request_ATS,
 * V2_RequestATS, DF_Connect or TypeB_Attrib. A halted card answers only after an RF reset, so use
 * V2_RequestATS, or RfReset before Request_ATS or DF_Connect. */
NORVEX_API long Send_Raw_APDU(void* session, uint8_t* blockNumber, uint16_t frameSize,
                              const uint8_t* apdu, uint16_t apduLen, uint8_t* resp,
                              uint16_t* respLen, uint32_t timeout);

/* A caller's channel to one card for KstSend_APDU: the block number (updated by each exchange),
 * the card's frame size and the time-out, as for Send_Raw_APDU. */
typedef struct APDU_CHANNEL {
  uint8_t blockNumber;
  uint16_t frameSize;
  uint32_t timeout;
} APDU_CHANNEL;

/* As Send_Raw_APDU, with the card's status word split off: resp receives the answer's data,
 * *statusWord = SW1 * 256 + SW2. respLen is in/out: the capacity of resp, then the data length,
 * also when the data do not fit resp, which returns 8047 (NORVEX_E_WRONG_BUFFER_SIZE) with the
 * status word set and resp untouched. An answer shorter than the status word gives 7005
 * (RESP_TOO_SHORT). */
NORVEX_API long KstSend_APDU(void* session, APDU_CHANNEL* channel, const uint8_t* apdu,
                             uint16_t apduLen, uint8_t* resp, uint16_t* respLen,
                             uint16_t* statusWord);

/* Presence check: an R(NAK) with the caller's block number (not changed); the card's answer, at
 * most capacity bytes (capacity at most 1024, else 8031), is discarded. */
NORVEX_API long TCLPing(void* session, uint8_t* blockNumber, uint16_t capacity, uint32_t timeout);

/* S(DESELECT) without CID: ends the card's ISO 14443-4 session. bufferSize is the capacity for the
 * card's answer, which is discarded (at most 1024 bytes are taken). */
NORVEX_API long Reset14443_4(void* session, uint16_t bufferSize);

/* PPS: bit rates divisors dsi (card to reader) and dri (reader to card), 0-3 each, for the card
 * with this CID. 8044 when the card's answer does not confirm the request. */
NORVEX_API long ISO4PPS_Request(void* session, uint8_t cid, uint8_t dsi, uint8_t dri);

/* ---------------------------------------------------------------- ISO 14443-3 type B */

/* Polling: p1 and p2 are the reader's request parameters (application family, number of
 * anticollision slots) and pass through unchanged. The card answering in slot 0 sends its ATQB
 * (0x50, PUPI 4 bytes, application data 4 bytes, protocol info 3 bytes); atqbLen is in/out: the
 * capacity of atqb on entry, the answer length after (0 when no card answered in the slot). An
 * answer longer than the capacity gives 8034 with *atqbLen set to its length and atqb untouched.
 * TypeB_RequestWakeUp also wakes halted cards. TypeB_SlotMarker asks the cards that chose the
 * given slot (2 to the number of slots) to answer. */
NORVEX_API long TypeB_RequestIdle(void* session, uint8_t p1, uint8_t p2, uint8_t* atqb,
                                  uint16_t* atqbLen);
NORVEX_API long TypeB_RequestWakeUp(void* session, uint8_t p1, uint8_t p2, uint8_t* atqb,
                                    uint16_t* atqbLen);
NORVEX_API long TypeB_SlotMarker(void* session, uint8_t slot, uint8_t* atqb, uint16_t* atqbLen);
/* HLTB for the card with this 4-byte PUPI. */
NORVEX_API long TypeB_Halt(void* session, const uint8_t* pupi);
/* ATTRIB for the card with this PUPI: p2, p3, p4 and *p5 are the reader's parameter bytes (*p5
 * also receives the first byte of the reader's answer, p6 the second). *hlLen bytes of hl go to
 * the card as higher-layer data (none when *hlLen is 0); the card's higher-layer answer comes back
 * in hl, with *hlLen its capacity on entry and its length after. 8034 when the answer does not
 * fit (then *hlLen is its length and nothing else is written) or when the reader's reply is not
 * as long as it announces. */
NORVEX_API long TypeB_Attrib(void* session, const uint8_t* pupi, uint8_t p2, uint8_t p3, uint8_t p4,
                             uint8_t* p5, uint8_t* p6, uint8_t* hlLen, uint8_t* hl);

/* ---------------------------------------------------------------- Reader configuration and
 * maintenance */

NORVEX_API long PcdSetAttrib(void* session, uint8_t a, uint8_t b);
NORVEX_API long PcdSetDefaultAttrib(void* session);
NORVEX_API long PcdSetCardType(void* session, uint8_t cardType);
NORVEX_API long Pcd_LoadConfig(void* session, uint16_t config);
/* len is in/out: the capacity of version on entry, the version length after. */
NORVEX_API long GetFWVersion(void* session, uint8_t* version, uint8_t* len);
/* The time-out handed to the reader protocol with every instruction; previous may be NULL. */
NORVEX_API long Interface_SetTimeOuts(void* session, uint32_t timeout, uint32_t* previous);

/* The reader's front-end registers; PcdReadReg gives 8034 when the reply is not one byte. */
NORVEX_API long PcdReadReg(void* session, uint8_t reg, uint8_t* value);
NORVEX_API long PcdWriteReg(void* session, uint8_t reg, uint8_t value);
/* Peripherals of the reader (LED, buzzer): device and state numbers are the reader's. */
NORVEX_API long SetIODevState(void* session, uint8_t device, uint8_t state);
/* Starts the reader's boot loader for a firmware update: the reader leaves the bus. The session
 * can then only be disconnected; after the reader comes back, connect again. */
NORVEX_API long EnterISPMode(void* session);

/* Any reader instruction with raw parameters. outLen NULL or *outLen 0: the reply is discarded;
 * otherwise *outLen is the capacity of out on entry and the reply length after (also when the
 * reply does not fit, which returns 8031). */
NORVEX_API long SendDirectCommand(void* session, uint8_t instruction, const uint8_t* params,
                                  uint32_t paramLen, uint8_t* out, uint32_t* outLen);
NORVEX_API long SetRFScan(void* session, bool on);
/* *state = 1 while the reader scans, 0 otherwise; a reply without its state byte gives 7005. */
NORVEX_API long GetRFScan(void* session, uint32_t* state);

/* Raw transport access, bypassing the block framing. done receives the bytes moved. */
NORVEX_API long ReadRawData(void* session, uint8_t* data, uint32_t size, uint32_t* done,
                            uint32_t timeout);
NORVEX_API long WriteRawData(void* session, uint8_t* data, uint32_t length, uint32_t* done,
                             uint32_t timeout);

/* ---------------------------------------------------------------- Mifare Classic access conditions
 */

/* The access part of a sector trailer travels as 4 bytes: trailer bytes 6, 7, 8 (access bits) and
 * 9 (general-purpose byte, never changed). Access bits of one block are decoded into a pair of
 * privilege masks, one for key A and one for key B, and encoded back from such a pair. Results are
 * the condition index C1*4 + C2*2 + C3 (0-7), or 0 for the table listings, or -1 when the block,
 * index or privilege pair is not covered (or a pointer is null); on -1 nothing is written. */

/* Privileges on a data block. */
enum {
  ACL_DATA_READ = 0x01,
  ACL_DATA_WRITE = 0x02,
  ACL_DATA_INCREMENT = 0x04,
  ACL_DATA_DECREMENT = 0x08 /* also transfer and restore */
};

/* Privileges on the sector trailer. Key A is never readable. */
enum {
  ACL_TRAILER_READ_KEYA = 0x01,
  ACL_TRAILER_WRITE_KEYA = 0x02,
  ACL_TRAILER_READ_ACL = 0x04,
  ACL_TRAILER_WRITE_ACL = 0x08,
  ACL_TRAILER_READ_KEYB = 0x10,
  ACL_TRAILER_WRITE_KEYB = 0x20
};

NORVEX_API int32_t ACL_ParseDataConditions(uint32_t block, const unsigned char* acl, uint32_t* keyA,
                                           uint32_t* keyB);
NORVEX_API int32_t ACL_ParseTrailerConditions(const unsigned char* acl, uint32_t* keyA,
                                              uint32_t* keyB);
NORVEX_API int32_t ACL_GenDataConditions(uint32_t block, unsigned char* acl, uint32_t keyA,
                                         uint32_t keyB);
NORVEX_API int32_t ACL_GenTrailerConditions(unsigned char* acl, uint32_t keyA, uint32_t keyB);
NORVEX_API int32_t ACL_GetValidDataSecPrivs(uint32_t index, uint32_t* keyA, uint32_t* keyB);
NORVEX_API int32_t ACL_GetValidTrailerPrivs(uint32_t index, uint32_t* keyA, uint32_t* keyB);

/* ---------------------------------------------------------------- Mifare Classic sectors and
 * blocks */

/* One Mifare Classic key: the authentication code (0x60 key A, 0x61 key B) followed by the 6 key
 * bytes as they stand in the sector trailer. 7 bytes, no padding. */
typedef struct _MIF_KEY_ {
  uint8_t KeyType;
  uint8_t KeyValue[6];
} _MIF_KEY_;

#define MIF_KEY_TYPE_A 0x60
#define MIF_KEY_TYPE_B 0x61

/* A single-size (4-byte) card UID, as one anticollision level returns it. */
typedef struct _MIF_SINGLE_UID {
  uint8_t Mif_UID[4];
} _MIF_SINGLE_UID;

/* Sector trailer bytes 6 to 9: three access bytes and the general-purpose byte. */
typedef uint8_t MIF_ACL_BYTES[4];

/* Sectors 0-31 hold 4 blocks from block 4*s, sectors 32-39 (4K cards) 16 blocks from
 * 128 + 16*(s - 32); the last block of a sector is its trailer (key A, access bytes, key B).
 * "Sector data" is the data blocks of a sector without the trailer: 48 or 240 bytes; a "whole
 * sector" adds the trailer: 64 or 256 bytes.
 *
 * Three forms of most operations: the plain form expects the card selected and the sector
 * authenticated; the ...Auth form authenticates with the given key and UID first; the ...Single
 * form also selects the card first (request for all cards, one anticollision level, select).
 *
 * Status: 0 on success; 8043 for a sector above 39; 8047 when a buffer size is not the sector's
 * (data or whole-sector) size; 8031 for a null pointer the call needs; otherwise the session check
 * (8010, 8011, 8029) or the status of the failing reader instruction. These three checks come
 * before anything is sent. A multi-step call stops at the first failing step and undoes nothing.
 * Block 0 (manufacturer block) is never written by the sector-data writers. */

NORVEX_API long MifC_GetCard(void* session, uint8_t* uid);
NORVEX_API long MifC_AuthBlock(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                               uint8_t block);
NORVEX_API long MifC_AuthBlockSingle(void* session, const _MIF_KEY_* key, uint8_t block);
NORVEX_API long MifC_AuthSector(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                uint8_t sector);
NORVEX_API long MifC_AuthSectorSingle(void* session, const _MIF_KEY_* key, uint8_t sector);

NORVEX_API long MifC_ReadBlock(void* session, uint8_t block, uint8_t* data);
NORVEX_API long MifC_ReadBlockAuth(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                   uint8_t block, uint8_t* data);
NORVEX_API long MifC_ReadBlockSingle(void* session, const _MIF_KEY_* key, uint8_t block,
                                     uint8_t* data);
NORVEX_API long MifC_WriteBlock(void* session, uint8_t block, const uint8_t* data);
NORVEX_API long MifC_WriteBlockAuth(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                    uint8_t block, const uint8_t* data);
NORVEX_API long MifC_WriteBlockSingle(void* session, const _MIF_KEY_* key, uint8_t block,
                                      const uint8_t* data);

/* Geometry: no session; the output byte is left untouched on error. */
NORVEX_API long MifC_GetSectorFirstBlock(uint8_t sector, uint8_t* block);
NORVEX_API long MifC_GetSectorBlocksCount(uint8_t sector, uint8_t* count);
NORVEX_API long MifC_GetSectorDataSize(uint8_t sector, uint8_t* size);
NORVEX_API long MifC_GetSectorTrailerBlock(uint8_t sector, uint8_t* block);

NORVEX_API long MifC_ReadSectorData(void* session, uint8_t* buffer, uint8_t size, uint8_t sector);
NORVEX_API long MifC_ReadSectorDataAuth(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                        uint8_t* buffer, uint8_t size, uint8_t sector);
NORVEX_API long MifC_ReadSectorDataSingle(void* session, const _MIF_KEY_* key, uint8_t* buffer,
                                          uint8_t size, uint8_t sector);
NORVEX_API long MifC_WriteSectorData(void* session, const uint8_t* buffer, uint8_t size,
                                     uint8_t sector);
NORVEX_API long MifC_WriteSectorDataAuth(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                         const uint8_t* buffer, uint8_t size, uint8_t sector);
NORVEX_API long MifC_WriteSectorDataSingle(void* session, const _MIF_KEY_* key,
                                           const uint8_t* buffer, uint8_t size, uint8_t sector);

/* Whole sectors: the data blocks, then the trailer. The ...2 forms take the whole sector (64 or 256
 * bytes, trailer last) in one buffer. */
NORVEX_API long MifC_WriteSector(void* session, uint8_t sector, const uint8_t* data, uint8_t size,
                                 const uint8_t* acl, const _MIF_KEY_* keyA, const _MIF_KEY_* keyB);
NORVEX_API long MifC_WriteSectorAuth(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                     uint8_t sector, const uint8_t* data, uint8_t size,
                                     const uint8_t* acl, const _MIF_KEY_* keyA,
                                     const _MIF_KEY_* keyB);
NORVEX_API long MifC_WriteSectorSingle(void* session, uint8_t sector, const uint8_t* data,
                                       uint8_t size, const uint8_t* acl, const _MIF_KEY_* key,
                                       const _MIF_KEY_* keyA, const _MIF_KEY_* keyB);
NORVEX_API long MifC_WriteSector2(void* session, uint8_t sector, const uint8_t* buffer,
                                  uint16_t size);
NORVEX_API long MifC_WriteSectorAuth2(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                      uint8_t sector, const uint8_t* buffer, uint16_t size);
NORVEX_API long MifC_WriteSectorSingle2(void* session, uint8_t sector, const uint8_t* buffer,
                                        uint16_t size, const _MIF_KEY_* key);

/* Trailers. A trailer written from parts is keyA->KeyValue, acl[0..3], keyB->KeyValue (the KeyType
 * fields are not written). The ...Direct forms and MifC_WriteTrailerSingle/2 take the trailer's
 * block number, the others a sector number. The trailer readers store the bytes as the card returns
 * them (zeros where a key may not be read); their acl, keyA and keyB outputs may each be null. */
NORVEX_API long MifC_WriteTrailerDirect(void* session, uint8_t block, const uint8_t* acl,
                                        const _MIF_KEY_* keyA, const _MIF_KEY_* keyB);
NORVEX_API long MifC_WriteTrailerDirect2(void* session, uint8_t block, const uint8_t* trailer);
NORVEX_API long MifC_WriteSectorTrailer2(void* session, uint8_t sector, const uint8_t* acl,
                                         const _MIF_KEY_* keyA, const _MIF_KEY_* keyB);
NORVEX_API long MifC_WriteSectorTrailer(void* session, uint8_t sector, const uint8_t* trailer);
NORVEX_API long MifC_WriteSectorTrailerAuth(void* session, uint8_t sector, const _MIF_KEY_* key,
                                            const uint8_t* uid, const uint8_t* acl,
                                            const _MIF_KEY_* keyA, const _MIF_KEY_* keyB);
NORVEX_API long MifC_WriteSectorTrailerAuth2(void* session, uint8_t sector, const _MIF_KEY_* key,
                                             const uint8_t* uid, const uint8_t* trailer);
NORVEX_API long MifC_GetSectorTrailer(void* session, uint8_t sector, uint8_t* trailer);
NORVEX_API long MifC_GetSectorTrailer2(void* session, uint8_t sector, uint8_t* acl, _MIF_KEY_* keyA,
                                       _MIF_KEY_* keyB);
NORVEX_API long MifC_GetSectorTrailerAuth(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                          uint8_t sector, uint8_t* trailer);
NORVEX_API long MifC_GetSectorTrailerAuth2(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                           uint8_t sector, uint8_t* acl, _MIF_KEY_* keyA,
                                           _MIF_KEY_* keyB);
NORVEX_API long MifC_GetSectorTrailerSingle(void* session, const _MIF_KEY_* key, uint8_t sector,
                                            uint8_t* trailer);
NORVEX_API long MifC_GetSectorTrailerSingle2(void* session, const _MIF_KEY_* key, uint8_t sector,
                                             uint8_t* acl, _MIF_KEY_* keyA, _MIF_KEY_* keyB);

/* MifC_WriteTrailerSingle and MifC_WriteTrailerSingle2 (further below) select the card,
 * authenticate the given block and write it as a trailer; they are exported with C++ linkage. */

/* ---------------------------------------------------------------- Mifare Classic value blocks */

/* A value block keeps a 32-bit value three times (value, ~value, value; least significant byte
 * first, bytes 0-11) and an address byte four times (a, ~a, a, ~a, bytes 12-15). The library
 * always writes the block's own number as the address. Value operations name the same block as
 * source and transfer target, so the card's result lands back in the block operated on. */

#define MIF_VALUE_DECREMENT 0xC0
#define MIF_VALUE_INCREMENT 0xC1

/* Selects the card, authenticates the sector with key and writes its trailer as
 * keyA->KeyValue, 08 77 8F 00, keyB->KeyValue: the three data blocks become value blocks (key A
 * reads and decrements, key B also writes and increments) and only key B changes the trailer from
 * then on. The data blocks themselves are not written. 8043 for a sector above 39. */
NORVEX_API long MifC_FormatValueSector(void* session, uint8_t sector, const _MIF_KEY_* keyA,
                                       const _MIF_KEY_* keyB, const _MIF_KEY_* key);
/* Selects the card, authenticates block with key and writes a value block holding value, with the
 * block number as address. A sector trailer is refused with 8031 before anything is sent. */
NORVEX_API long MifC_CreateValue(void* session, uint32_t value, uint8_t block,
                                 const _MIF_KEY_* key);
/* One value operation (op: MIF_VALUE_DECREMENT or MIF_VALUE_INCREMENT, or any code the card
 * knows, passed through) on block with the operand value, the result transferred back into block.
 * The plain form expects the sector authenticated; ...Auth authenticates block with key and uid
 * first; ...Single also selects the card first. */
NORVEX_API long MifC_ProcessValue(void* session, uint8_t op, uint8_t block, uint32_t value);
NORVEX_API long MifC_ProcessValueAuth(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                      uint8_t op, uint8_t block, uint32_t value);
NORVEX_API long MifC_ProcessValueSingle(void* session, const _MIF_KEY_* key, uint8_t op,
                                        uint8_t block, uint32_t value);
/* Selects the card (RF reset, request, anticollision, select), authenticates block with key and
 * reads the value with full checking, in this order: 8030 when the three value copies disagree,
 * 8033 when the four address bytes disagree, 8035 when the address is not the block's number.
 * *value is written only on success. */
NORVEX_API long GetValue(void* session, uint8_t block, const _MIF_KEY_* key, uint32_t* value);

/* CreateValueBlock, IncrementValue and DecrementValue (further below) are the value functions of
 * the older sector interface; they are exported with C++ linkage. */

/* ---------------------------------------------------------------- Mifare Classic: the older
 * sector interface */

/* Each call that needs the card selects it itself (RF reset, request, anticollision, select: a
 * 4-byte UID) and authenticates with the key it is given; the ...SN forms and ReadSectorData take
 * the UID from the caller instead, and the ..._CMD functions run exactly one reader instruction.
 *
 * Sectors: the plain functions (ReadSector, WriteSector, WriteSectorData, WriteTrailerData) serve
 * the 4-block sectors 0-31 (blocks 4*s to 4*s+3) and refuse other sectors with 8043. The ...Ex
 * functions take a MIF_SECTOR_DATA_EX record that must describe a real sector (FirstBlock the
 * first block of a sector, BlockCount its 4 or 16 blocks), else 8043. The ...Bytes functions
 * serve sectors 0-39 and move the bytes in a length-tagged _MIF_APPLICATION_DATA_ record; another
 * sector or a wrong DataLength gives 8031. A sector read includes the trailer (64 or 256 bytes).
 *
 * Trailer writes take the two new keys in either order: the one whose KeyType is 0x60 becomes key
 * A, the other key B; two keys of one type give 8028. The trailer writers refuse a block that is
 * not a sector trailer with 8043.
 *
 * Status: 0 on success; 8031 for a null pointer the call needs; the session check (8010, 8011,
 * 8029); otherwise the status of the first failing reader instruction. Argument checks come before
 * anything is sent. A call stops at its first failing step and undoes nothing. Block 0 (the
 * manufacturer block) is never written by the sector writers. */

/* A sector, described by the caller. DataBlocks holds (BlockCount - 1) * 16 bytes of sector data,
 * TrailerBlock the 16 bytes of the trailer (block FirstBlock + BlockCount - 1). */
typedef struct MIF_SECTOR_DATA_EX {
  uint16_t BlockCount; /* 4 or 16, the trailer included */
  uint8_t FirstBlock;
  uint8_t* DataBlocks;
  uint8_t* TrailerBlock;
} MIF_SECTOR_DATA_EX;

/* A length-tagged byte buffer. A record the library fills with a buffer of its own is released
 * with FreeAppDataStruct. */
typedef struct _MIF_APPLICATION_DATA_ {
  uint32_t DataLength;
  uint8_t* DataBuffer;
} _MIF_APPLICATION_DATA_;

/* Frees a buffer the library allocated (when both fields are non-zero) and zeroes both fields;
 * returns 0 (8031 for a null record). Only for buffers the library handed out. */
NORVEX_API long FreeAppDataStruct(_MIF_APPLICATION_DATA_* data);

/* One block (16 bytes): select, authenticate block with key, read it. WriteBlock is below. */
NORVEX_API long ReadBlock(void* session, uint8_t block, const _MIF_KEY_* key, uint8_t* data);
/* Sectors 0-31: ReadSector reads all four blocks (64 bytes, the trailer last, as the card shows
 * it); WriteSector writes all four from data[64] (the trailer last) and WriteSectorData the three
 * data blocks from data[48]. For sector 0 the bytes of block 0 are skipped. The writers stop at
 * the first failing block and return its status. */
NORVEX_API long ReadSector(void* session, const _MIF_KEY_* key, uint16_t sector, uint8_t* data);
NORVEX_API long WriteSector(void* session, uint16_t sector, const _MIF_KEY_* key,
                            const uint8_t* data);
NORVEX_API long WriteSectorData(void* session, const _MIF_KEY_* key, uint16_t sector,
                                const uint8_t* data);
/* Trailer of sector 0-31 (WriteTrailerData) or at a trailer block (WriteTrailerDataDirect):
 * select, authenticate the trailer with key, write key A . acl[0..3] . key B. */
NORVEX_API long WriteTrailerData(void* session, uint16_t sector, const uint8_t* acl,
                                 const _MIF_KEY_* key, const _MIF_KEY_* newKey1,
                                 const _MIF_KEY_* newKey2);
NORVEX_API long WriteTrailerDataDirect(void* session, uint16_t block, const uint8_t* acl,
                                       const _MIF_KEY_* key, const _MIF_KEY_* newKey1,
                                       const _MIF_KEY_* newKey2);
/* With the caller's UID, no selection: WriteSectorDataExSN writes the record's data blocks,
 * ReadSectorData reads them (the trailer is not touched). */
NORVEX_API long WriteSectorDataExSN(void* session, const _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector,
                                    const uint8_t* uid);
NORVEX_API long ReadSectorData(void* session, const _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector,
                               const uint8_t* uid);
/* Selects the card (any UID size; the last four UID bytes authenticate, as Mifare Classic cards
 * with 7-byte UIDs expect) and reads the sector data of sector 0-39 (48 or 240 bytes) into the
 * record. An empty record (DataLength 0, DataBuffer NULL) gets a library buffer of exactly the
 * data size, released with FreeAppDataStruct. A record holding a buffer (both non-zero, for
 * example one filled by an earlier call) is filled in place: 8013 when DataLength is smaller than
 * the data size, else the data size is copied and DataLength and any bytes beyond stay. A record
 * with only one of the two fields set gives 8031 before anything is sent. On failure the record
 * keeps its fields. */
NORVEX_API long ReadSectorDataBytes(void* session, const _MIF_KEY_* key, uint16_t sector,
                                    _MIF_APPLICATION_DATA_* data);
/* No selection, no authentication: one read (card command 0x30) at address; count is the most
 * bytes data can take. */
NORVEX_API long ReadDataDirect(void* session, uint8_t address, uint8_t count, uint8_t* data);
/* No selection, no authentication. command 0xA0: count bytes of data written at address.
 * command 0xA2 (a 4-byte page write): sent as the 16-byte compatibility write 0xA0 made of the
 * first count bytes of data (at most 16; count 0 gives 8031) followed by zeros. Any other command:
 * 8023, nothing sent. */
NORVEX_API long WriteDataDirect(void* session, uint8_t command, uint8_t address, uint8_t count,
                                const uint8_t* data);
/* Authenticates the sector (0-39, else 8043) with key and uid, then reads or writes count blocks
 * from block first + offset, 16 bytes each, stopping at the first failure. Blocks past the
 * sector fail at the card; a range past block 255 gives 8043 before anything is sent. */
NORVEX_API long ReadBlocksFromSector(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                     uint8_t sector, uint8_t offset, uint8_t count, uint8_t* data);
NORVEX_API long WriteBlocksFromSector(void* session, const _MIF_KEY_* key, const uint8_t* uid,
                                      uint8_t sector, uint8_t offset, uint8_t count,
                                      const uint8_t* data);

/* One reader instruction each. REQUEST_ALL_CMD wakes halted cards too (0x52), REQUEST_IDLE_CMD
 * only idle ones (0x26); answer receives the 2-byte ATQ. SELECT_CMD takes its output (the SAK)
 * first. AUTH_KEY_CMD codes the key and authenticates block. */
NORVEX_API long REQUEST_ALL_CMD(void* session, uint8_t* answer);
NORVEX_API long REQUEST_IDLE_CMD(void* session, uint8_t* answer);
NORVEX_API long ANTICOLLISION_CMD(void* session, uint8_t bitCount, uint8_t* uid);
NORVEX_API long SELECT_CMD(void* session, uint8_t* answer, const uint8_t* uid);
NORVEX_API long AUTH_KEY_CMD(void* session, uint8_t block, const uint8_t* uid,
                             const _MIF_KEY_* key);
NORVEX_API long READ_CMD(void* session, uint8_t block, uint8_t* data);
NORVEX_API long WRITE_CMD(void* session, uint8_t block, const uint8_t* data);

/* ---------------------------------------------------------------- Mifare Ultralight pages */

/* Ultralight and NTAG memory is a row of 4-byte pages, read four pages (16 bytes) at a time, with
 * wrap-around past the last page, and written one page at a time. No keys, no authentication:
 * lock bits make pages read-only for good and the card refuses writes to them (8002).
 *
 * A tag that refuses a command (a write to a locked page, an address past its last page) answers
 * with a NAK and goes idle, as real tags do: every later MifU_ call then fails with 8001
 * (NORVEX_E_NO_CARD_IN_RF) until MifU_GetCard activates the tag again. */

/* Activates an idle card and stores its 7-byte UID in uid (room for 8 bytes). Returns -1 (not a
 * status code) when the card's UID is not 7 bytes long; uid is then untouched. */
NORVEX_API long MifU_GetCard(void* session, uint8_t* uid);
/* Pages page to page + 3 into out[16]; a short answer gives 7005; out is untouched on failure. */
NORVEX_API long MifU_Read16Bytes(void* session, uint8_t page, uint8_t* out);
/* Page page alone into out[4]; out is untouched on failure. */
NORVEX_API long MifU_ReadPage(void* session, uint8_t page, uint8_t* out);
/* Compatibility write: 16 bytes offered, the card stores the first 4 in page. */
NORVEX_API long MifU_Write16Bytes(void* session, uint8_t page, const uint8_t* data);
/* Writes data[4] into page. */
NORVEX_API long MifU_WritePage(void* session, uint8_t page, const uint8_t* data);

/* The NDEF message of an NFC Forum type 2 tag (Ultralight, NTAG213/215/216): the capability
 * container E1 10 <data area size / 8> <access> in page 3 and, from page 4, TLVs (NULL, lock and
 * memory control, proprietary, NDEF message with a 1- or 3-byte length, terminator).
 *
 * MifU_ReadNdef gives the message bytes (decode them with NDEF_ParseMessage) into message with
 * the in/out length of the NDEF_ functions; an empty message gives length 0. MifU_WriteNdef
 * replaces the message (a valid NDEF message, or length 0 for none) where the NDEF TLV stands;
 * MifU_EraseNdef leaves an empty message. Writing sets the TLV's length to zero first, writes the
 * message pages that change and writes the length last, so a tag that leaves the field holds the
 * old message or an empty one. Bytes that lock control and memory control TLVs reserve inside
 * the data area (dynamic lock bits, areas the chip keeps) carry no message: the TLVs run on over
 * them, and a write leaves them unchanged. MifU_FormatNdef writes the capability container for a
 * data area of dataAreaSize bytes (48 Ultralight, 144 NTAG213, 496 NTAG215, 872 NTAG216) into a
 * blank page 3 (one-time programmable: this cannot be undone) and an empty message into page 4;
 * a tag formatted for that size already gets an empty message where its NDEF TLV stands, its
 * control TLVs kept (page 4 is rewritten only when its TLVs cannot be walked); a page 3 that
 * already holds another value gives 8031 and nothing is written.
 *
 * Status: 0; 8108 when page 3 is no NDEF capability container or the data area holds no NDEF
 * TLV; 8102 when a TLV length runs past the data area (nothing is written then); 8115 for a lock
 * or memory control TLV whose length is not 3 or whose reserved area covers bytes of the TLVs
 * before it (nothing is written then); 8109 when the message does not fit (refused before any
 * write); 8110 for a read-only capability container; a malformed message gives its NDEF status;
 * otherwise the status of the failing page command. */
NORVEX_API long MifU_ReadNdef(void* session, uint8_t* message, uint32_t* length);
NORVEX_API long MifU_WriteNdef(void* session, const uint8_t* message, uint32_t length);
NORVEX_API long MifU_EraseNdef(void* session);
NORVEX_API long MifU_FormatNdef(void* session, uint32_t dataAreaSize);

/* The NDEF message of a Mifare Classic card (Mini, 1K, 4K) formatted as an NFC Forum tag. The
 * Mifare application directory, MAD1 in sector 0 and MAD2 in sector 16 of a 4K card (when sector
 * 0's general-purpose byte names version 2), both read with the public key A A0A1A2A3A4A5 and
 * CRC-checked, names the NDEF sectors (entry 03 E1). Their data blocks, read and written with the
 * public key A D3F7D3F7D3F7, hold the TLVs of a type 2 tag across sectors; trailers and the
 * directory sectors are skipped. The card is selected afresh by each call (single-size UIDs).
 *
 * MifC_GetNdefInfo gives the largest message the NDEF sectors hold and the current message's
 * length. MifC_ReadNdef gives the message bytes with the in/out length of the NDEF_ functions;
 * an empty message gives length 0. MifC_WriteNdef replaces the message (a valid NDEF message, or
 * length 0 for none); MifC_EraseNdef leaves an empty message. Writing sets the TLV's length to
 * zero first, writes the data blocks that change and writes the length last, so a card that
 * leaves the field holds the old message or an empty one; no trailer is ever written.
 * MifC_FormatNdef formats a blank card (every sector with key A FFFFFFFFFFFF and transport access
 * bits): every sector but 0 (and 16 on a 4K card) becomes an NDEF sector (key A D3F7D3F7D3F7,
 * access 7F 07 88, general-purpose byte 40), the first one holding an empty message, then MAD2 and
 * MAD1 naming them are written (key A A0A1A2A3A4A5, access 78 77 88, general-purpose byte C1, C2
 * with MAD2). Key B stays FFFFFFFFFFFF. The keys and access bits cannot be changed back with the
 * public keys. A card that is already NDEF-formatted only gets an empty message.
 *
 * Status: 0; 8108 when the card is no Mifare Classic card, its sector 0 does not open with the
 * public MAD key or announces no MAD, no sector is an NDEF sector, or no NDEF TLV is found; 8113
 * when a MAD's CRC does not match; 8114 when its info byte or an entry names a sector the card
 * does not have; 8102 when a TLV length runs past the NDEF sectors (nothing is written then); 8109
 * when the message does not fit (refused before any write); 8110 when an NDEF sector's
 * general-purpose byte denies writing; a malformed message gives its NDEF status; otherwise the
 * status of the failing selection, authentication, read or write (a format of a card that is
 * neither blank nor NDEF-formatted gives the refused authentication). */
NORVEX_API long MifC_GetNdefInfo(void* session, uint32_t* capacity, uint32_t* messageLength);
NORVEX_API long MifC_ReadNdef(void* session, uint8_t* message, uint32_t* length);
NORVEX_API long MifC_WriteNdef(void* session, const uint8_t* message, uint32_t length);
NORVEX_API long MifC_EraseNdef(void* session);
NORVEX_API long MifC_FormatNdef(void* session);

/* ---------------------------------------------------------------- Ultralight EV1 and NTAG21x */

/* Version, password, counters and fast reads of the Ultralight EV1 (MF0UL11, MF0UL21) and
 * NTAG213/215/216, sent to the tag as raw frames through the reader's byte stream instruction
 * (the reader adds CRC_A). A tag that refuses one answers with a NAK and goes idle, as above. */

/* Chips MifU_GetVersion tells apart. */
#define MIFU_CHIP_UNKNOWN 0    /* answered GET_VERSION, but with no answer known here */
#define MIFU_CHIP_ULTRALIGHT 1 /* no GET_VERSION, no 3DES authentication: Ultralight */
/* Ultralight EV1 MF0UL11: 48 user bytes, configuration from page 0x10 */
#define MIFU_CHIP_UL_EV1_MF0UL11 2
/* Ultralight EV1 MF0UL21: 128 user bytes, configuration from page 0x25 */
#define MIFU_CHIP_UL_EV1_MF0UL21 3
#define MIFU_CHIP_NTAG213 4 /* 144 user bytes, configuration from page 0x29 */
#define MIFU_CHIP_NTAG215 5 /* 504 user bytes, configuration from page 0x83 */
#define MIFU_CHIP_NTAG216 6 /* 888 user bytes, configuration from page 0xE3 */
#define MIFU_CHIP_NTAG210 7 /* 48 user bytes, configuration from page 0x10 */
#define MIFU_CHIP_NTAG212 8 /* 128 user bytes, configuration from page 0x25 */
/* Ultralight C: 144 user bytes, AUTH0 in page 0x2A, AUTH1 in 0x2B, 3DES key in 0x2C-0x2F */
#define MIFU_CHIP_ULTRALIGHT_C 9

/* Bits of MifU_SetProtection's flags, as in the tag's ACCESS byte. */
#define MIFU_PROTECT_READS 0x80   /* PROT: pages from the first protected one refuse reads too */
#define MIFU_AUTH_LIMIT_MASK 0x07 /* AUTHLIM: wrong passwords before PWD_AUTH locks; 0 no limit */

/* GET_VERSION: version[8] receives the tag's answer, chip a MIFU_CHIP_* code and userBytes the
 * size of its user memory. A tag that refuses the command or stays silent is an Ultralight or
 * an Ultralight C, told apart by the first step of the 3DES authentication, which only the
 * Ultralight C answers (0, version all zeros, chip MIFU_CHIP_ULTRALIGHT with 48 bytes or
 * MIFU_CHIP_ULTRALIGHT_C with 144); that tag is then idle and MifU_GetCard activates it again.
 * An answer of another length gives 7005. */
NORVEX_API long MifU_GetVersion(void* session, uint8_t* version, uint8_t* chip,
                                uint16_t* userBytes);
/* PWD_AUTH with password[4]: the tag answers its 2-byte PACK, stored in pack when not NULL. A
 * wrong password, or any once the tag's AUTHLIM count is reached, gives 8002 (the tag counts each
 * wrong one; no retry is made). When expectedPack[2] is not NULL and differs from the answer the
 * call returns 8003 (NORVEX_E_WRONG_CARD): the tag is not the one the PACK was set on. Until the
 * tag leaves the field or goes idle, its protected pages can be read and written. */
NORVEX_API long MifU_PasswordAuth(void* session, const uint8_t* password,
                                  const uint8_t* expectedPack, uint8_t* pack);
/* Sets up the password protection of a chip (a MIFU_CHIP_* code with configuration pages):
 * password[4] into PWD and pack[2] into PACK (either left as it is when NULL), PROT and AUTHLIM
 * of flags (MIFU_PROTECT_READS, MIFU_AUTH_LIMIT_MASK; other bits give 8031) into ACCESS, whose
 * other bits are kept (CFGLCK is never set), and firstPage into AUTH0 last (0xFF, or any page past
 * the tag's last: no protection). A protected tag needs MifU_PasswordAuth first. Returns 8031 for
 * a chip without configuration pages, or the status of the first page read or write that fails
 * (the pages before it are written). */
NORVEX_API long MifU_SetProtection(void* session, uint8_t chip, uint8_t firstPage, uint8_t flags,
                                   const uint8_t* password, const uint8_t* pack);
/* FAST_READ of pages first to last into out[4 * (last - first + 1)], in exchanges of up to 60
 * pages. A tag that refuses (a page past its last, a read-protected page) gives 8006; out is
 * untouched on failure. */
NORVEX_API long MifU_FastRead(void* session, uint8_t first, uint8_t last, uint8_t* out);
/* READ_CNT: the 24-bit counter number counter (Ultralight EV1: 0-2; NTAG21x: 2, its NFC counter)
 * into value. A counter the tag does not have, or one it protects by password, gives 8006. */
NORVEX_API long MifU_ReadCounter(void* session, uint8_t counter, uint32_t* value);
/* INCR_CNT (0xA5): adds increment to the 24-bit counter number counter of an Ultralight EV1
 * (0-2). The tag refuses an increment that would take the counter past 0xFFFFFF, and a counter
 * it does not have: 8006, the counter unchanged. increment above 0xFFFFFF gives 8031, nothing
 * sent. */
NORVEX_API long MifU_IncrementCounter(void* session, uint8_t counter, uint32_t increment);

/* READ_SIG (0x3C 00): the tag's 32-byte originality signature (r || s, 16 bytes each) into
 * signature[32]. A tag without one refuses (8006, or the reader's timeout). */
NORVEX_API long MifU_ReadSignature(void* session, uint8_t* signature);
/* Checks an originality signature[32] (r || s) over uid (uidLength bytes, taken directly as the
 * number signed, no hash) with the ECDSA public key publicKey (publicKeyLength bytes, an
 * uncompressed 04 || X || Y or compressed point) on the curve secp128r1. verified becomes 1 when
 * the signature holds, 0 when it does not; both return 0. Needs no session. A public key that is
 * no point of the curve, a uidLength of 0 or above 64, or a NULL pointer give 8031. */
NORVEX_API long MifU_VerifySignature(const uint8_t* uid, uint32_t uidLength,
                                     const uint8_t* signature, const uint8_t* publicKey,
                                     uint32_t publicKeyLength, int* verified);

/* ---------------------------------------------------------------- Ultralight C */

/* The Ultralight C's 16-byte two-key triple DES key (key[0..7] the first DES key, key[8..15] the
 * second; the factory key is 49 45 4D 4B 41 45 52 42 21 4E 41 43 55 4F 59 46) guards the pages
 * from AUTH0 on. */

/* 3DES mutual authentication (0x1A 00, then 0xAF with the host's answer): the tag proves it holds
 * key and learns the host does. A wrong key makes the tag refuse the host's answer: 8002, the tag
 * idle (MifU_GetCard activates it again). A tag whose answer does not prove the key gives 8003
 * (NORVEX_E_WRONG_CARD); a tag that does not know the command 8006 or, when it stays silent, the
 * reader's timeout. Until the tag leaves the field or goes idle, its protected pages can be read
 * and written. */
NORVEX_API long MifU_AuthenticateC(void* session, const uint8_t* key);
/* Writes key[16] (layout as above) into pages 0x2C-0x2F in the order the tag stores it (page 0x2C
 * holds key[7..4], 0x2D key[3..0], 0x2E key[15..12], 0x2F key[11..8]). The key pages cannot be
 * read back; a tag protected from page 0x2C on or before needs MifU_AuthenticateC first. Returns
 * the status of the first page write that fails (the pages before it are written: authenticate
 * with the old key fails then, and the key must be written again). */
NORVEX_API long MifU_ChangeKeyC(void* session, const uint8_t* key);
/* Sets AUTH1 (flags: MIFU_PROTECT_READS protects reads and writes, 0 writes only; other bits give
 * 8031) and then AUTH0 = firstPage (0x30 or above: no protection). A protected tag needs
 * MifU_AuthenticateC first. Returns the status of the first page write that fails. */
NORVEX_API long MifU_SetProtectionC(void* session, uint8_t firstPage, uint8_t flags);

/* ---------------------------------------------------------------- DESFire cryptography
 *
 * A DESFire key is 16 bytes, two DES keys K1 and K2; ciphering is two-key triple DES (EDE with
 * K3 = K1), so a key whose halves are equal behaves as single DES. Only whole 8-byte blocks are
 * ciphered: of a length that is not a multiple of 8 the remaining bytes are ignored. Unless said
 * otherwise, input and output may be the same buffer. */

typedef struct tag_des_key {
  uint8_t K1[8];
  uint8_t K2[8];
} tag_des_key;

/* A DESFire MAC: the first 4 bytes of the last CBC block. */
typedef struct _tag_mac_data {
  uint8_t mac[4];
} _tag_mac_data;

/* A file's communication settings, in the card's coding. */
typedef enum FILE_COMM_SET { COMM_PLAIN = 0, COMM_MACED = 1, COMM_ENCIPHERED = 3 } FILE_COMM_SET;

/* One byte into the ISO/IEC 14443-3 CRC: returns the new CRC and stores it in *crc. */
NORVEX_API uint16_t UpdateCrc(uint8_t ch, uint16_t* crc);
/* CRC of len bytes, type 1 CRC_A (preset 6363, not inverted) or 2 CRC_B (preset FFFF, inverted);
 * low byte to *first, high byte to *second. Another type leaves the outputs alone; len <= 0 gives
 * the CRC of no data (the preset, inverted for CRC_B). */
NORVEX_API void ComputeCrc(int type, const char* data, int len, uint8_t* first, uint8_t* second);
/* The reader's sending chain over len / 8 blocks with zero IV. mode 0 ("send mode", every
 * cryptogram sent to the card): y0 = D(x0), yi = D(xi ^ y(i-1)). Any other mode is ordinary CBC
 * encipherment: yi = E(xi ^ y(i-1)). */
NORVEX_API void DESFireCBCSend(const uint8_t* key, const uint8_t* in, uint8_t* out, unsigned len,
                               uint8_t mode);
/* The receiving chain: yi = C(xi) ^ x(i-1), x(-1) = 0; C is D for mode 0 (CBC decipherment of
 * what the card enciphered), E otherwise. */
NORVEX_API void DESFireCBCRecv(const uint8_t* key, const uint8_t* in, uint8_t* out, unsigned len,
                               uint8_t mode);
/* The card's MAC of len bytes: zero-padded up to the next multiple of 8 (nothing added when len
 * already is one; one zero block for len 0), CBC-enciphered, first 4 bytes of the last block. */
NORVEX_API void CalculateMAC(const uint8_t* data, unsigned len, _tag_mac_data* mac,
                             const tag_des_key* key);
/* 1 when the last 4 of the len bytes are the MAC of those before them, else 0 (also for len < 4).
 */
NORVEX_API int VerifyMAC(const uint8_t* data, unsigned len, const tag_des_key* key);
/* Appends CRC_A (low byte first) to the data, zero-pads to a multiple of 8 and ciphers it in send
 * mode into a new buffer (*out, *outLen bytes; free it with DF_FreeBuffer, or delete[] from
 * C++). When memory runs out *out is null and *outLen 0. */
NORVEX_API void DESDataCRC(const uint8_t* data, unsigned len, uint8_t** out, unsigned* outLen,
                           const tag_des_key* key);
/* Deciphers len enciphered bytes in place: when the 2 bytes after the first plainLen plain bytes
 * are their CRC_A, data starts with the plainLen plain bytes and 0 is returned; otherwise
 * (also when plainLen + 2 exceeds the whole blocks of len) NORVEX_E_DF_BAD_CRC, data unchanged. */
NORVEX_API long UnDESDataCRC(uint8_t* data, unsigned len, unsigned plainLen,
                             const tag_des_key* key);
/* Outgoing file data: COMM_MACED gives data || MAC, COMM_ENCIPHERED the DESDataCRC cryptogram,
 * each in a new buffer; any other setting NORVEX_E_DF_BAD_COMMSET and no buffer. */
NORVEX_API long SecureData(FILE_COMM_SET set, const uint8_t* data, unsigned len, uint8_t** out,
                           unsigned* outLen, const tag_des_key* key);
/* Incoming file data, in place: COMM_MACED checks and strips the MAC (NORVEX_E_DF_BAD_MAC),
 * COMM_ENCIPHERED deciphers and checks the CRC (NORVEX_E_DF_BAD_CRC); *len becomes the plain
 * length. Any other setting: NORVEX_E_DF_BAD_COMMSET. */
NORVEX_API long CheckDataSec(FILE_COMM_SET set, uint8_t* data, unsigned* len, unsigned plainLen,
                             const tag_des_key* key);
/* 8 bytes from the operating system's cryptographic generator, in a buffer of the calling thread
 * that the next call overwrites; null when the generator fails. */
NORVEX_API uint8_t* Gen8RND(void);
/* out[i] = a[i] ^ b[i] for i < n. */
NORVEX_API void BigXOR(const uint8_t* a, const uint8_t* b, uint8_t* out, unsigned n);
/* Frees a buffer that DESDataCRC, SecureData or SendNativeGreedyCMD handed out. */
NORVEX_API void DF_FreeBuffer(uint8_t* buffer);

/* Single-block DES and triple-DES routines. Those that return a pointer return the calling
 * thread's result buffer of that routine (8 bytes), overwritten by its next call. A non-null iv is
 * read as the chaining value and receives the new one. Keys: key8 single DES, key16 two-key
 * triple DES, key24 three-key triple DES. Should the cipher fail to run (memory ran out), those
 * return NULL and the others leave zeros in the output. */
NORVEX_API uint8_t* DES_ede3_cbc_encrypt_VOP(const uint8_t* key16, const uint8_t* in8,
                                             uint8_t* iv8);
NORVEX_API uint8_t* DES_ede3_cbc_decrypt_VOP(const uint8_t* key16, const uint8_t* in8,
                                             uint8_t* iv8);
NORVEX_API uint8_t* DES_cbc_decrypt(const uint8_t* key8, const uint8_t* in8, uint8_t* iv8);
/* Single DES with K1 when the key's halves are equal, else two-key triple DES. */
NORVEX_API uint8_t* DES_cbc_decrypt_DF(const uint8_t* key16, const uint8_t* in8, uint8_t* iv8);
/* CBC decipherment of len bytes under a single DES key, zero IV. */
NORVEX_API void DES_cbc_decrypt_ex(const uint8_t* key8, const uint8_t* in, uint8_t* out,
                                   unsigned len);
/* The same CBC decipherment (chained whether or not in and out are the same buffer). */
NORVEX_API void DES_cbc_decrypt_DF1(const uint8_t* key8, const uint8_t* in, uint8_t* out,
                                    unsigned len);
/* CBC encipherment of len bytes under a two-key triple DES key, zero IV. */
NORVEX_API void DES_ede3_cbc_encrypt_VOPEx(const uint8_t* key16, const uint8_t* in, uint8_t* out,
                                           unsigned len);
/* CBC decipherment of len bytes under a three-key triple DES key; iv8 optional, updated. */
NORVEX_API void CBC3DES(const uint8_t* key24, uint8_t* iv8, const uint8_t* in, uint8_t* out,
                        unsigned len);
/* Triple DES CBC-MAC with ISO/IEC 9797-1 padding method 2 (80 then zeros) from the ICV in icv8;
 * the final value goes to icv8 (when not null) and to the returned buffer. */
NORVEX_API uint8_t* VOP_do_mac(uint8_t* icv8, const uint8_t* key16, const uint8_t* data,
                               unsigned len);
/* Replaces key16 by E(data16[0..7]) || E(data16[8..15]) under the old key. */
NORVEX_API void VOP_DeriveKey(uint8_t* key16, const uint8_t* data16);

/* ---------------------------------------------------------------- DESFire command exchange
 *
 * Native DESFire commands (command byte, parameters; answered by status byte, data) travel as
 * ISO 14443-4 I-blocks through Send_Raw_APDU with CID 0. The session's DESFire record (block
 * number, frame size, time-out 1000, an opaque command format) is created by DF_InitData or
 * DF_Connect and lives beside the session's user data until DF_FreeData or ReleaseSession.
 * Calls that reach the card check, in order: the session (8010, 8011), a connected reader (8029)
 * and the DESFire record (NORVEX_E_NO_DF_SESSION). A card status s other than 00 and AF is
 * reported as 0xA100 + s (NORVEX_E_DF_...). */

/* A fresh record (replacing any previous one). */
NORVEX_API long DF_InitData(void* session);
NORVEX_API long DF_FreeData(void* session);
NORVEX_API long DF_SetCmdFormat(void* session, unsigned format);
NORVEX_API long DF_GetCmdFormat(void* session, unsigned* format);
NORVEX_API long DF_SetFrameSize(void* session, uint16_t size);
NORVEX_API long DF_GetFrameSize(void* session, uint16_t* size);
/* A fresh record, then Request_ATS with parameter 0 (the idle card's ATS); frame size 16. After a
 * broken exchange (see Send_Raw_APDU) every DF_ command returns 6029 (NORVEX_E_RD_CHAINING_ERROR),
 * nothing sent, until RfReset and DF_Connect activate the card again. */
NORVEX_API long DF_Connect(void* session);
/* As DF_Connect, but RATS announces frames of FSDI fsdi (0-8: 16 to 256 bytes) so that the card
 * answers in frames that large, and the frame size becomes the card's own (FSCI of its ATS, 16
 * bytes without T0). wrong_parameter_value for fsdi above 8, nothing sent; Request_ATS's
 * statuses; NORVEX_E_RESP_TOO_SHORT for an empty ATS. */
NORVEX_API long DF_ConnectFrames(void* session, uint8_t fsdi);
/* One exchange: *respLen is resp's capacity on entry, the answer's length (status byte
 * included) on return. */
NORVEX_API long DF_SendNativeCMD(void* session, const uint8_t* cmd, uint16_t cmdLen, uint8_t* resp,
                                 uint16_t* respLen, uint32_t timeout);
/* The command, then the additional-frame command (AF) as long as the card answers AF; the frames'
 * data joined into out (may be null). *outLen is out's capacity on entry; on return it counts
 * every data byte received, also those of frames that did not fit (and so were not copied) and
 * those received before an error. An answer of more than 65535 data bytes or 4096 frames ends
 * with NORVEX_E_RD_RESP_TOO_LONG. */
NORVEX_API long DF_SendNativeCMDEx(void* session, const uint8_t* cmd, uint16_t cmdLen, uint8_t* out,
                                   uint16_t* outLen);
/* The same into a buffer it allocates (*out, *outLen data bytes), which the caller frees with
 * DF_FreeBuffer (or delete[] from C++), also after an error. */
NORVEX_API long SendNativeGreedyCMD(void* session, const uint8_t* cmd, uint16_t cmdLen,
                                    uint8_t** out, uint16_t* outLen);
/* Native three-pass authentication (command 0A) with key number keyNo: on success sessionKey holds
 * RndA[0..3] RndB[0..3] RndA[4..7] RndB[4..7], or for a single-DES key (equal halves)
 * RndA[0..3] RndB[0..3] twice. A wrong key gives NORVEX_E_DF_AUTHENTICATION_ERROR, an answer of
 * the wrong length NORVEX_E_RD_RESP_TRUNCATED. */
NORVEX_API long DF_AuthKey(void* session, uint8_t keyNo, const tag_des_key* key,
                           tag_des_key* sessionKey);

/* ---------------------------------------------------------------- DESFire commands
 *
 * One function per native command. Each needs a DESFire session (DF_Connect) and the card state
 * the command needs on the card, listed beside it: the PICC level (AID 0, selected after
 * DF_Connect and by DF_SelectApp(0)) or an application selected with DF_SelectApp, and where
 * the card demands it an authentication (DF_AuthKey) with the key named. Authentication ends
 * when another application is selected. Where the card refuses, the call returns its status
 * (NORVEX_E_DF_PERMISSION_DENIED, NORVEX_E_DF_AUTHENTICATION_ERROR, ...).
 *
 * Numbers sent to the card go least significant byte first: AIDs, offsets, lengths, sizes and
 * record counts in 3 bytes, value-file amounts in 4. sessionKey is the key DF_AuthKey gave: it
 * MACs or enciphers file data sent under COMM_MACED or COMM_ENCIPHERED and checks data received
 * so; those settings without a session key give NORVEX_E_DF_NO_SESSKEY before anything is sent.
 * A card answer of the wrong length gives NORVEX_E_RD_RESP_TRUNCATED and nothing is stored. */

/* A file's access rights: the key number (0-13) that grants each right, 14 for free access,
 * 15 for never. */
typedef struct tag_file_acl {
  uint8_t readKey;
  uint8_t writeKey;
  uint8_t readWriteKey;
  uint8_t changeKey;
} tag_file_acl;

/* The two access-right bytes as the card takes them: first = readWrite << 4 | change,
 * second = read << 4 | write. */
NORVEX_API void ACL2Bytes(const tag_file_acl* acl, uint8_t* first, uint8_t* second);

/* Called with the caller's pointer and one AID; returns non-zero to go on. */
typedef int (*DF_AppCallback)(void* user, unsigned aid);

/* Card, applications and keys */

/* GetVersion (60), any state: the joined answer (28 bytes) into out; *outLen is the capacity on
 * entry and the answer's length on return (frames that did not fit are counted, not copied). */
NORVEX_API long DF_GetVersion(void* session, uint8_t* out, uint16_t* outLen);
/* The same into out[28]; another answer length gives NORVEX_E_RD_RESP_TRUNCATED. */
NORVEX_API long DF_GetVersionI(void* session, uint8_t* out);
/* CreateApplication (CA) at the PICC level; the PICC master key's authentication unless its key
 * settings allow creation without it. keySettings as the card codes them; numKeys 1-14. */
NORVEX_API long DF_CreateApp(void* session, unsigned aid, uint8_t keySettings, uint8_t numKeys);
/* GetApplicationIDs (6A) at the PICC level (the PICC master key unless its settings allow free
 * listing). *count: room of aids on entry, number of applications on return; the AIDs are stored
 * only when they all fit. */
NORVEX_API long DF_ListApps(void* session, unsigned* aids, uint16_t* count);
/* DF_ListApps, then callback(user, aid) for each AID in order until it returns 0. */
NORVEX_API long DF_EnumApps(void* session, void* user, DF_AppCallback callback);
/* DeleteApplication (DA) at the PICC level, with the PICC master key or the application's. */
NORVEX_API long DF_DeleteApp(void* session, unsigned aid);
/* SelectApplication (5A), any state; 0 selects the PICC level. Ends any authentication and drops
 * the uncommitted changes of the application left. */
NORVEX_API long DF_SelectApp(void* session, unsigned aid);
/* ChangeKey (C4) of the key the session is authenticated with (newKey: 16 bytes). */
NORVEX_API long DF_ChangeCurKey(void* session, uint8_t keyNo, const uint8_t* newKey,
                                const tag_des_key* sessionKey);
/* ChangeKey (C4) of another key, authenticated with the key that the key settings name for key
 * changes (the application master key by default): keyA is the key replaced, keyB the new one
 * (16 bytes each). */
NORVEX_API long DF_ChangeKey(void* session, uint8_t keyNo, const uint8_t* keyA, const uint8_t* keyB,
                             const tag_des_key* sessionKey);
/* GetKeySettings (45) of the selected application or PICC (its master key unless the settings
 * allow free listing): the settings byte and the number of keys. */
NORVEX_API long DF_GetKeySettings(void* session, uint8_t* settings, uint8_t* maxKeys);
/* ChangeKeySettings (54), authenticated with the master key of the selected application or
 * PICC. */
NORVEX_API long DF_ChangeKeySettings(void* session, uint8_t settings,
                                     const tag_des_key* sessionKey);
/* GetKeyVersion (64) of a key of the selected application or PICC, no authentication needed. */
NORVEX_API long DF_GetKeyVersion(void* session, uint8_t keyNo, uint8_t* version);
/* FormatPICC (FC) at the PICC level with the PICC master key: every application goes. */
NORVEX_API long DF_FormatCard(void* session);

/* Files of the selected application. Creating and deleting files needs its master key unless its
 * key settings allow free creation. fileNo 0-15. */

/* CreateStdDataFile (CD) / CreateBackupDataFile (CB) of size bytes. */
NORVEX_API long DF_CreateStdFile(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                 const tag_file_acl* acl, unsigned size);
NORVEX_API long DF_CreateBackupFile(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                    const tag_file_acl* acl, unsigned size);
/* CreateValueFile (CC): limits, initial value, and whether limited credit is allowed. */
NORVEX_API long DF_CreateValueFile(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                   const tag_file_acl* acl, int lower, int upper, int value,
                                   bool limitedCredit);
/* CreateLinearRecordFile (C0) or, when cyclic, CreateCyclicRecordFile (C1). A cyclic file keeps
 * maxRecords - 1 records and overwrites the oldest. */
NORVEX_API long DF_CreateRecordFile(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                    const tag_file_acl* acl, unsigned recordSize,
                                    unsigned maxRecords, bool cyclic);
/* DeleteFile (DF). */
NORVEX_API long DF_DeleteFile(void* session, uint8_t fileNo);
/* GetFileIDs (6F) (the application master key unless free listing): up to 16 file numbers into
 * ids[16], their number in *count. */
NORVEX_API long DF_GetFileIDs(void* session, uint8_t* count, uint8_t* ids);
/* GetFileSettings (F5), same access as DF_GetFileIDs: file type (0 standard, 1 backup, 2 value,
 * 3 linear record, 4 cyclic record), communication setting, acl[4] in tag_file_acl order, and the
 * type's own settings (*extraLen bytes, at most 20) in extra. */
NORVEX_API long DF_GetFileSettings(void* session, uint8_t fileNo, uint8_t* commSet,
                                   uint8_t* fileType, uint8_t* acl, uint8_t* extraLen,
                                   uint8_t* extra);
/* ChangeFileSettings (5F) with the file's change key (sent plain when it is 14, free access;
 * otherwise enciphered under sessionKey). */
NORVEX_API long DF_ChangeFileSettings(void* session, uint8_t fileNo, uint8_t commSet,
                                      const tag_file_acl* acl, const tag_des_key* sessionKey);

/* Data. set is the file's communication setting. Reading needs the file's read or read-write
 * key, writing its write or read-write key (14: free). */

/* WriteData (3D) to a standard or backup file: len bytes (0 to 16777215) at offset, sent in
 * frames of 52 and then 59 data bytes. Changes of a backup file take effect at DF_Commit. */
NORVEX_API long DF_WriteData(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset, int len,
                             const uint8_t* data, const tag_des_key* sessionKey);
/* ReadData (BD): *len bytes (1 to 65535) at offset into out, which has room for *len; on return
 * *len is the number of plain bytes stored. */
NORVEX_API long DF_ReadData(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                            unsigned* len, uint8_t* out, const tag_des_key* sessionKey);

/* Value files. DF_GetValue (6C) and DF_Debit (DC) need the read, write or read-write key,
 * DF_Credit (0C) the read-write key, DF_LimitedCredit (1C) the write or read-write key. Changes
 * take effect at DF_Commit. */
NORVEX_API long DF_GetValue(void* session, uint8_t fileNo, FILE_COMM_SET set, unsigned* value,
                            const tag_des_key* sessionKey);
NORVEX_API long DF_Credit(void* session, uint8_t fileNo, FILE_COMM_SET set, int value,
                          const tag_des_key* sessionKey);
NORVEX_API long DF_Debit(void* session, uint8_t fileNo, FILE_COMM_SET set, int value,
                         const tag_des_key* sessionKey);
NORVEX_API long DF_LimitedCredit(void* session, uint8_t fileNo, FILE_COMM_SET set, int value,
                                 const tag_des_key* sessionKey);

/* Record files. WriteRecord (3B) adds to the record being written (write or read-write key; len
 * and offset within the record size); it is kept at DF_Commit. ReadRecords (BB) (read or
 * read-write key): *count records (at least 1) of recordSize bytes from the offset-th newest
 * into out, which has room for *count * recordSize bytes (recordSize at least 1); on return *count
 * is the number of records stored. ClearRecordFile (EB) (read-write key) empties the file at
 * DF_Commit. */
NORVEX_API long DF_WriteRecord(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                               int len, const uint8_t* data, const tag_des_key* sessionKey);
NORVEX_API long DF_ReadRecords(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                               unsigned* count, uint8_t* out, unsigned recordSize,
                               const tag_des_key* sessionKey);
NORVEX_API long DF_ClearRecords(void* session, uint8_t fileNo);

/* Transactions of the selected application: CommitTransaction (C7) makes the changes of its
 * backup, value and record files take effect; AbortTransaction (A7) drops them. */
NORVEX_API long DF_Commit(void* session);
NORVEX_API long DF_Abort(void* session);

/* ---------------------------------------------------------------- DESFire EV1 secure channel
 *
 * DF_AuthenticateEV1 opens the EV1 secure channel; it lives in the session's DESFire record (key
 * type, session key, chaining value, authenticated key number), so callers never hold a session
 * key or an IV. While it is open every command of this library that reaches the card (the DF_
 * commands above as well as the ...EV1 ones below, except the legacy data and value functions
 * that take a sessionKey, and the raw DF_SendNativeCMD family) is CMACed and every answer's
 * 8-byte CMAC checked, the chaining value advancing as the card's does. The channel ends as the
 * card ends it: on any card status other than 00 and AF (the call returns 0xA100 + status), on
 * another authentication (also DF_AuthKey), on DF_SelectApp, when the authenticated key is
 * changed, and when an answer's CMAC (NORVEX_E_DF_BAD_MAC) or CRC32 (NORVEX_E_DF_BAD_CRC) does
 * not match or its length is wrong (NORVEX_E_RD_RESP_TRUNCATED); nothing is then stored for the
 * caller. Functions marked "channel" need it open and give NORVEX_E_DF_NO_SESSKEY, sending
 * nothing, without it. Enciphered data (COMM_ENCIPHERED) travels as data || CRC32 || zero
 * padding, ciphered under the session key; MACed data (COMM_MACED) carries 8 CMAC bytes.
 * Every function here also gives the entry statuses of the DESFire commands (8010, 8011, 8029,
 * NORVEX_E_NO_DF_SESSION) and NORVEX_E_WRONG_PARAMETER_VALUE for a missing pointer or an argument
 * out of range, before anything is sent. */

/* Key types. Keys: DES 8 bytes (or 16 with equal halves), 2K3DES 16, 3K3DES 24, AES-128 16. */
typedef enum DF_KEY_TYPE {
  DF_KEY_DES = 0,
  DF_KEY_2K3DES = 1,
  DF_KEY_3K3DES = 2,
  DF_KEY_AES = 3
} DF_KEY_TYPE;

/* An application's ISO identity, as GetDFNames lists it. */
typedef struct tag_df_name {
  unsigned aid;
  uint16_t isoFid;
  uint8_t nameLen;
  uint8_t name[16];
} tag_df_name;

/* Authenticates with key keyNo of the selected application (or the PICC master key): ISO
 * authentication (1A) for DES, 2K3DES and 3K3DES keys, AES authentication (AA) for AES keys. Ends
 * the channel that was open; on success opens a new one. A key of the wrong length or an unknown
 * type: NORVEX_E_WRONG_PARAMETER_VALUE. The card's refusal comes back as its status (a key number
 * beyond the application's keys NORVEX_E_DF_NO_SUCH_KEY, a key of another type than the
 * application's NORVEX_E_DF_AUTHENTICATION_ERROR or NORVEX_E_DF_PARAMETER_ERROR); a wrong key
 * NORVEX_E_DF_AUTHENTICATION_ERROR (the card's proof does not match); a challenge of the wrong
 * length NORVEX_E_RD_RESP_TRUNCATED. */
NORVEX_API long DF_AuthenticateEV1(void* session, uint8_t keyNo, DF_KEY_TYPE keyType,
                                   const uint8_t* key, unsigned keyLen);
/* The channel's state: *active 1 or 0, and the key number and type it was opened with. Needs the
 * DESFire record only. */
NORVEX_API long DF_GetChannelEV1(void* session, int* active, uint8_t* keyNo, DF_KEY_TYPE* keyType);

/* ChangeKey (C4), channel, with the application's change key (or the key itself, as its key
 * settings say). newKey of newType (an application's key type is fixed at its creation; at the
 * PICC level, AID 0, the master key may change type: the key number then carries 0x40 for 3K3DES,
 * 0x80 for AES). keyVersion goes with AES keys; DES keys carry their version in the low bit of
 * their bytes, as given. Changing the authenticated key: oldKey may be NULL, the card answers
 * without a CMAC and the channel ends. Changing another key: oldKey (of the same length, or
 * shorter and zero-extended) is the key it replaces, NULL gives NORVEX_E_WRONG_PARAMETER_VALUE. */
NORVEX_API long DF_ChangeKeyEV1(void* session, uint8_t keyNo, DF_KEY_TYPE newType,
                                const uint8_t* newKey, unsigned newKeyLen, uint8_t keyVersion,
                                const uint8_t* oldKey, unsigned oldKeyLen);
/* ChangeKeySettings (54), channel (the application's or PICC master key): settings enciphered. */
NORVEX_API long DF_ChangeKeySettingsEV1(void* session, uint8_t settings);
/* GetCardUID (51), channel: the card's 7-byte UID (enciphered by the card) into uid[7]. */
NORVEX_API long DF_GetCardUIDEV1(void* session, uint8_t* uid);
/* GetFreeMemory (6E), PICC level, any authentication: the free bytes of the card's memory. */
NORVEX_API long DF_GetFreeMemoryEV1(void* session, unsigned* freeBytes);
/* GetDFNames (6D), PICC level (the master key when its settings ask for it): the applications
 * created with an ISO file identifier, one per answer frame. *count is the room on entry and
 * the number of applications on return; they are stored only when they all fit. */
NORVEX_API long DF_GetDFNamesEV1(void* session, tag_df_name* names, uint8_t* count);
/* GetISOFileIDs (61), the selected application: the ISO identifiers of its files. *count is the
 * room on entry and their number on return; stored only when they all fit. */
NORVEX_API long DF_GetISOFileIDsEV1(void* session, uint16_t* fids, uint8_t* count);
/* SetConfiguration (5C), channel with the PICC master key: option 0 data[1] (bit 0 disables
 * FormatPICC for good, bit 1 turns on the random UID for good), option 1 the default key (24
 * bytes) and its version, option 2 the user ATS (its first byte its length); len 1 to 32. */
NORVEX_API long DF_SetConfigurationEV1(void* session, uint8_t option, const uint8_t* data,
                                       unsigned len);

/* CreateApplication (CA), PICC level (master key when its settings ask for it): numKeys keys
 * (1-14) of keyType, keySettings as in DF_CreateApp. With isoFid (not NULL) the application
 * gets that ISO file identifier and its files may get one (key settings 2 bit 5), and dfName
 * (1-16 bytes, NULL for none; only with isoFid) becomes its DF name. A duplicate identifier or
 * name gives NORVEX_E_DF_DUPLICATE_ERROR. */
NORVEX_API long DF_CreateAppEV1(void* session, unsigned aid, uint8_t keySettings, uint8_t numKeys,
                                DF_KEY_TYPE keyType, const uint16_t* isoFid, const uint8_t* dfName,
                                uint8_t dfNameLen);
/* CreateStdDataFile (CD), CreateBackupDataFile (CB), CreateLinear/CyclicRecordFile (C0/C1) with an
 * ISO file identifier (isoFid not NULL; the application must have been created with one), as
 * DF_CreateStdFile, DF_CreateBackupFile and DF_CreateRecordFile otherwise. Value files take no
 * ISO identifier: DF_CreateValueFile works under the channel. */
NORVEX_API long DF_CreateStdFileEV1(void* session, uint8_t fileNo, const uint16_t* isoFid,
                                    FILE_COMM_SET set, const tag_file_acl* acl, unsigned size);
NORVEX_API long DF_CreateBackupFileEV1(void* session, uint8_t fileNo, const uint16_t* isoFid,
                                       FILE_COMM_SET set, const tag_file_acl* acl, unsigned size);
NORVEX_API long DF_CreateRecordFileEV1(void* session, uint8_t fileNo, const uint16_t* isoFid,
                                       FILE_COMM_SET set, const tag_file_acl* acl,
                                       unsigned recordSize, unsigned maxRecords, bool cyclic);

/* File data under the channel, as DF_WriteData, DF_ReadData, DF_GetValue, DF_Credit, DF_Debit,
 * DF_LimitedCredit, DF_WriteRecord and DF_ReadRecords with the same access rights, the file's
 * communication setting set securing the data. COMM_PLAIN works without a channel too; MACed and
 * enciphered ones need it (channel). An unknown setting: NORVEX_E_DF_BAD_COMMSET. */
NORVEX_API long DF_WriteDataEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                                int len, const uint8_t* data);
NORVEX_API long DF_ReadDataEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                               unsigned* len, uint8_t* out);
NORVEX_API long DF_GetValueEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int* value);
NORVEX_API long DF_CreditEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int value);
NORVEX_API long DF_DebitEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int value);
NORVEX_API long DF_LimitedCreditEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int value);
NORVEX_API long DF_WriteRecordEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                                  int len, const uint8_t* data);
NORVEX_API long DF_ReadRecordsEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                                  unsigned* count, uint8_t* out, unsigned recordSize);

/* ---------------------------------------------------------------- NDEF messages and records */

/* The NFC Forum record codec: no session, no reader, only the caller's buffers. Messages are the
 * bytes of an NDEF message as a tag holds them (without the tag's TLV or length framing). Records
 * that arrive in chunks are joined: a caller sees one record with the whole payload.
 *
 * Output buffers come with an in/out length: on entry the buffer's size, on return the bytes
 * written. When the result does not fit, the call returns 8047 (NORVEX_E_WRONG_BUFFER_SIZE), stores
 * the size needed and writes nothing else; a null buffer with a size of 0 asks for that size.
 * A null pointer the call needs otherwise gives 8031. Malformed input gives one of the NDEF
 * statuses 8101-8107 (norvexapi_status.h) naming the fault; input is never read past its length.
 * Text comes and goes as UTF-8 bytes, without a terminating NUL. */

/* Type name formats (TNF). 6 (unchanged) appears only inside chunked records, 7 is reserved. */
enum {
  NDEF_TNF_EMPTY = 0,
  NDEF_TNF_WELL_KNOWN = 1, /* type "T" text, "U" URI, "Sp" smart poster */
  NDEF_TNF_MEDIA = 2,      /* MIME media type, e.g. "text/vcard" */
  NDEF_TNF_ABSOLUTE_URI = 3,
  NDEF_TNF_EXTERNAL = 4, /* "domain:type", e.g. "android.com:pkg" with the package as payload */
  NDEF_TNF_UNKNOWN = 5
};

/* One record to build: the type name format, then the type, ID and payload with their lengths.
 * A record without ID has idLength 0 (id may then be null); likewise type and payload. */
typedef struct NDEF_RECORD {
  uint8_t tnf;
  uint8_t typeLength;
  uint8_t idLength;
  const uint8_t* type;
  const uint8_t* id;
  const uint8_t* payload;
  uint32_t payloadLength;
} NDEF_RECORD;

/* Checks a whole message and counts its records. 0 or an NDEF status; *count is set on success. A
 * smart poster's payload is itself a message and parses with the same call. */
NORVEX_API long NDEF_ParseMessage(const uint8_t* message, uint32_t length, uint32_t* count);
/* Record index (from 0) of a valid message: its TNF, type, ID and (joined) payload. Each of type,
 * id and payload has its own in/out length. An index past the last record gives 8031. */
NORVEX_API long NDEF_GetRecord(const uint8_t* message, uint32_t length, uint32_t index,
                               uint8_t* tnf, uint8_t* type, uint32_t* typeLength, uint8_t* id,
                               uint32_t* idLength, uint8_t* payload, uint32_t* payloadLength);
/* Encodes count records as one message: MB on the first, ME on the last, short records where the
 * payload fits 255 bytes. No records: 8101; TNF 6 or 7, or an empty record (TNF 0) with content,
 * or a type on TNF 5: 8105 or 8106. */
NORVEX_API long NDEF_BuildMessage(const NDEF_RECORD* records, uint32_t count, uint8_t* message,
                                  uint32_t* messageLength);

/* Text record ("T") payloads. language is an IANA code such as "en" (1-63 bytes, NUL-terminated);
 * with utf16 non-zero the text is stored UTF-16 big-endian, else UTF-8. Text that is not valid
 * UTF-8, and a language outside 1-63 bytes, give 8107. Decoding gives the language, the text in
 * UTF-8 (converted from UTF-16, which may start with a byte order mark) and *utf16 = 1 when it was
 * stored as UTF-16. */
NORVEX_API long NDEF_BuildText(const char* language, const uint8_t* text, uint32_t textLength,
                               uint32_t utf16, uint8_t* payload, uint32_t* payloadLength);
NORVEX_API long NDEF_DecodeText(const uint8_t* payload, uint32_t payloadLength, uint8_t* language,
                                uint32_t* languageLength, uint8_t* text, uint32_t* textLength,
                                uint32_t* utf16);
/* URI record ("U") payloads: the longest matching prefix of the NFC Forum abbreviation table
 * (codes 0x01-0x23, "http://www." to "urn:nfc:") becomes the identifier code. Decoding expands
 * it; a code past the table or an empty payload gives 8107. */
NORVEX_API long NDEF_BuildUri(const uint8_t* uri, uint32_t uriLength, uint8_t* payload,
                              uint32_t* payloadLength);
NORVEX_API long NDEF_DecodeUri(const uint8_t* payload, uint32_t payloadLength, uint8_t* uri,
                               uint32_t* uriLength);

/* The NDEF message of the card in the field, whatever the tag type. Each call activates the card
 * itself (RF reset, ISO 14443-A selection and, for a card that speaks ISO 14443-4, RATS), so any
 * session the caller had with the card (a DESFire authentication, a selected application) ends.
 * The card's SAK chooses the mapping: ISO 14443-4 cards (the T=CL card, DESFire EV1) are NFC Forum
 * type 4 tags, SAK 00 cards (Ultralight, NTAG21x) type 2 tags, Mifare Classic cards the MAD
 * mapping.
 *
 * NDEF_GetTagInfo gives the mapping found (NDEF_MAPPING_NONE, with capacity and length 0, for a
 * card that holds no NDEF formatting), the largest message the tag can hold and the length of the
 * message it holds. NDEF_ReadTag gives the message with the in/out length of the NDEF_ codec
 * functions (8047 and the size needed when it does not fit; an empty message gives length 0).
 * NDEF_WriteTag replaces the message (a valid NDEF message, or length 0 for none) and
 * NDEF_EraseTag leaves an empty one; both write the message length as zero first and last of all,
 * so that a card leaving the field holds the old message or an empty one, and refuse a message
 * that does not fit (8109) or a read-only tag (8110) before anything is written. NDEF_FormatTag
 * prepares a blank tag: on a type 2 tag the capability container for the chip's size (one-time
 * programmable: it cannot be undone) and an empty message; on a DESFire EV1 the NDEF application
 * (DF name D2 76 00 00 85 01 01, AID EEEE10, capability container file E103 readable without a
 * key, NDEF file E104 of the free memory less 256 bytes, at most 2 KB, readable and writable
 * without a key), created with the default
 * PICC master key (DES, all zeros), as NFC formatters do: a card whose master key differs gives the
 * card's status; on a Mifare Classic the MAD and NDEF sectors as MifC_FormatNdef does (their
 * keys and access bits cannot be changed back). A tag that is already formatted is left formatted,
 * with an empty message. An ISO 14443-4 card that is neither a DESFire nor holds the NDEF
 * application is refused with 8112 and left unchanged: type 4 tags have no format command.
 *
 * Status: 0; 8108 when the card holds no NDEF formatting; 8111 for a malformed type 4 capability
 * container (lengths, mapping version, a reserved NDEF file identifier, MLe or MLc of 0); 8112
 * when a type 4 tag refuses a command with a status word other than 9000, or a format of an ISO
 * 14443-4 card that is no DESFire and has no NDEF application; 8031 for a card without
 * an NDEF mapping here; the type 2 statuses of MifU_ReadNdef and the Mifare Classic statuses of
 * MifC_ReadNdef (a MAD not to be trusted: 8113, 8114); otherwise the status of the failing
 * card command (DESFire statuses 0xA1xx while formatting). */
enum {
  NDEF_MAPPING_NONE = 0,
  NDEF_MAPPING_TYPE2 = 2,
  NDEF_MAPPING_TYPE4 = 4,
  NDEF_MAPPING_CLASSIC = 5
};
NORVEX_API long NDEF_GetTagInfo(void* session, uint32_t* mapping, uint32_t* capacity,
                                uint32_t* messageLength);
NORVEX_API long NDEF_ReadTag(void* session, uint8_t* message, uint32_t* length);
NORVEX_API long NDEF_WriteTag(void* session, const uint8_t* message, uint32_t length);
NORVEX_API long NDEF_EraseTag(void* session);
NORVEX_API long NDEF_FormatTag(void* session);

/* The older interface's functions that take records, and a few more, are exported with C++
 * linkage (further below). */

#ifdef __cplusplus
}
#endif

/* ---------------------------------------------------------------- Mifare Classic trailers (C++
 * linkage) Exported under symbols that encode their argument types. */
#ifdef __cplusplus
NORVEX_API long MifC_WriteTrailerSingle(void* session, _MIF_KEY_* key, unsigned char block,
                                        unsigned char* trailer);
NORVEX_API long MifC_WriteTrailerSingle2(void* session, _MIF_KEY_* key, unsigned char block,
                                         const unsigned char* acl, _MIF_KEY_* keyA,
                                         _MIF_KEY_* keyB);
#endif

/* ---------------------------------------------------------------- Older sector interface and
 * value blocks (C++ linkage) Exported under symbols that encode their argument types. */
#ifdef __cplusplus
/* Select, authenticate block with key, write data[16] to it (the card refuses block 0). */
NORVEX_API long WriteBlock(void* session, unsigned char block, _MIF_KEY_* key, unsigned char* data);
/* Select, authenticate the record's first block, read (write) its data blocks; authenticate the
 * trailer again and read (write) it last. WriteSectorDataEx writes the data blocks only. */
NORVEX_API long ReadSectorEx(void* session, _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector);
NORVEX_API long WriteSectorEx(void* session, _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector);
NORVEX_API long WriteSectorDataEx(void* session, _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector);
/* ReadSectorBytes: the whole sector 0-39 (64 bytes, or 256: 240 data bytes then the trailer) in a
 * new library buffer, which the caller owns and releases with FreeAppDataStruct. What the record
 * held before is not looked at, so an uninitialised record will do; a buffer it still held is not
 * freed (release it with FreeAppDataStruct first). On failure the record is left alone (another
 * sector gives 8031 before anything is sent). WriteSectorBytes takes the whole
 * sector (DataLength 64 or 256), WriteSectorDataBytes the sector data (48 or 240). */
NORVEX_API long ReadSectorBytes(void* session, _MIF_KEY_* key, unsigned short sector,
                                _MIF_APPLICATION_DATA_* data);
NORVEX_API long WriteSectorBytes(void* session, unsigned short sector, _MIF_KEY_* key,
                                 _MIF_APPLICATION_DATA_* data);
NORVEX_API long WriteSectorDataBytes(void* session, _MIF_KEY_* key, unsigned short sector,
                                     _MIF_APPLICATION_DATA_* data);
/* The trailer of sector 0-39 (8031 for others), composed as in WriteTrailerData. */
NORVEX_API long WriteTrailerDataEx(void* session, unsigned short sector, const unsigned char* acl,
                                   _MIF_KEY_* key, _MIF_KEY_* newKey1, _MIF_KEY_* newKey2);
/* With the caller's UID, no selection: authenticate the trailer block and write trailer[16]. */
NORVEX_API long WriteTrailerDataDirectSN(void* session, unsigned short block, _MIF_KEY_* key,
                                         unsigned char* trailer, unsigned char* uid);
/* Makes block (1-127, not a trailer; else 8043 above 127 and 8031 for block 0 or a trailer) a
 * value block holding 0: select, write the sector's trailer with the value-sector access bytes
 * 08 77 8F 00 (authenticated with key), authenticate block with newKey2 and write the value block.
 * Only key B may write value blocks then, so newKey1 must be the new key A (KeyType 0x60) and
 * newKey2 the new key B (0x61); anything else gives 8028 before anything is written. */
NORVEX_API long CreateValueBlock(void* session, unsigned char block, _MIF_KEY_* newKey1,
                                 _MIF_KEY_* newKey2, _MIF_KEY_* key);
/* Select, authenticate block with key, add value to (subtract it from) the value block. */
NORVEX_API long IncrementValue(void* session, unsigned char block, _MIF_KEY_* key,
                               unsigned int value);
NORVEX_API long DecrementValue(void* session, unsigned char block, _MIF_KEY_* key,
                               unsigned int value);
#endif

#endif /* NORVEXAPI_H */
