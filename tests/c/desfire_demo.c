/* SPDX-License-Identifier: MIT */
/* DESFire in C: connect to a factory-state DESFire card, authenticate with its master key, create
 * an application, give it its own master key, create an enciphered file in it, write a text and
 * read it back. Run with NORVEX_SIMULATOR set to a simulator's socket (see
 * run_with_simulator.sh), or against a real reader with a factory-state card: it adds an
 * application. */
#include <stdio.h>
#include <string.h>

#include <norvexapi.h>

static int report(const char* step, long status) {
  if (status != NORVEX_OK)
    fprintf(stderr, "%s failed: %ld %s\n", step, status, GetErrorText((int)status));
  return status == NORVEX_OK;
}

static int desfire(void* session) {
  static const tag_des_key factory = {{0}, {0}}; /* every key of a new card and application */
  static const tag_des_key issuer = {{0x2B, 0x7E, 0x15, 0x16, 0x28, 0xAE, 0xD2, 0xA6},
                                     {0xAB, 0xF7, 0x15, 0x88, 0x09, 0xCF, 0x4F, 0x3C}};
  const tag_file_acl onlyKey0 = {0, 0, 0, 0}; /* read, write, read-write, change */
  const unsigned aid = 0x00DF01;
  const char text[] = "Hello, DESFire";
  unsigned char back[sizeof text];
  unsigned length = sizeof back;
  tag_des_key sessionKey;

  if (!report("DF_Connect", DF_Connect(session)) ||
      !report("DF_AuthKey", DF_AuthKey(session, 0, &factory, &sessionKey)) ||
      !report("DF_CreateApp", DF_CreateApp(session, aid, 0x0F, 1)) ||
      !report("DF_SelectApp", DF_SelectApp(session, aid)) ||
      !report("DF_AuthKey", DF_AuthKey(session, 0, &factory, &sessionKey)) ||
      !report("DF_ChangeCurKey",
              DF_ChangeCurKey(session, 0, (const uint8_t*)&issuer, &sessionKey)) ||
      !report("DF_AuthKey", DF_AuthKey(session, 0, &issuer, &sessionKey)) ||
      !report("DF_CreateStdFile",
              DF_CreateStdFile(session, 1, COMM_ENCIPHERED, &onlyKey0, sizeof text)) ||
      !report("DF_WriteData", DF_WriteData(session, 1, COMM_ENCIPHERED, 0, sizeof text,
                                           (const uint8_t*)text, &sessionKey)) ||
      !report("DF_ReadData",
              DF_ReadData(session, 1, COMM_ENCIPHERED, 0, &length, back, &sessionKey)))
    return 0;
  printf("read back: %s\n", (const char*)back);
  return length == sizeof text && memcmp(back, text, sizeof text) == 0;
}

int main(void) {
  void* session = CreateSession();
  char reader[] = "USB_0";
  int ok = session != NULL &&
           report("ConnectReader", ConnectReader(session, NORVEX_INTERFACE_USB, reader, 0x0110)) &&
           desfire(session);
  if (session != NULL) ReleaseSession(session);
  return ok ? 0 : 1;
}
