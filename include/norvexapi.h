/*
 * libnorvexapi: driver library for USB contactless card readers (ISO 14443 A/B, 13.56 MHz).
 *
 * Every function takes the session handle returned by CreateSession first (a void*) and returns a
 * status code: 0 on success, otherwise a code whose text GetErrorText gives. Buffers and key records
 * cross by pointer and stay owned by the caller. A session is used by one thread at a time.
 *
 * The header compiles as C11 and as C++17 or later.
 */
#ifndef NORVEXAPI_H
#define NORVEXAPI_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(NORVEX_BUILDING_LIBRARY)
#define NORVEX_API __attribute__((visibility("default")))
#else
#define NORVEX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- Sessions and reader connection */

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

/* ---------------------------------------------------------------- Status codes */

/* Text of any status code: a constant NUL-terminated English message owned by the library (never
 * freed by the caller). Codes outside the library's families get the system's strerror text. */
NORVEX_API const char* GetErrorText(int code);

/* ---------------------------------------------------------------- Card selection and reader operations */

/* ---------------------------------------------------------------- Mifare Classic access conditions */

/* ---------------------------------------------------------------- Mifare Classic sectors and blocks */

#ifdef __cplusplus
}
#endif

#endif /* NORVEXAPI_H */
