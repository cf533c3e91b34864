/* SPDX-License-Identifier: MIT */
/* DESFire EV1 with AES in C: format a factory-state card under its DES master key, create an
 * application with AES keys, give it its own master key, create an enciphered file, write a text
 * and read it back. The secure channel (session key, IV, CMAC) lives in the session: no session
 * key passes through the caller. Run with NORVEX_SIMULATOR set to a simulator's socket (see
 * run_with_simulator.sh), or against a real reader with a factory-state EV1 card: it formats it. */
#include <norvexapi.h>
#include <stdio.h>
#include <string.h>

static int report(const char* step, long status) {
  if (status != NORVEX_OK)
    fprintf(stderr, "%s failed: %ld %s\n", step, status, GetErrorText((int)status));
  return status == NORVEX_OK;
}

static int desfire_aes(void* session) {
  static const uint8_t factory[16] = {0}; /* the card's DES master key, a new AES key */
  static const uint8_t issuer[16] = {0x2B, 0x7E, 0x15, 0x16, 0x28, 0xAE, 0xD2, 0xA6,
                                     0xAB, 0xF7, 0x15, 0x88, 0x09, 0xCF, 0x4F, 0x3C};
  const tag_file_acl onlyKey0 = {0, 0, 0, 0}; /* read, write, read-write, change */
  const unsigned aid = 0x00AE51;
  const char text[] = "Hello, DESFire EV1";
  unsigned char back[sizeof text];
  unsigned length = sizeof back;

  if (!report("DF_Connect", DF_Connect(session)) ||
      !report("DF_AuthenticateEV1", DF_AuthenticateEV1(session, 0, DF_KEY_DES, factory, 16)) ||
      !report("DF_FormatCard", DF_FormatCard(session)) ||
      !report("DF_CreateAppEV1",
              DF_CreateAppEV1(session, aid, 0x0F, 1, DF_KEY_AES, NULL, NULL, 0)) ||
      !report("DF_SelectApp", DF_SelectApp(session, aid)) ||
      !report("DF_AuthenticateEV1", DF_AuthenticateEV1(session, 0, DF_KEY_AES, factory, 16)) ||
      !report("DF_ChangeKeyEV1", DF_ChangeKeyEV1(session, 0, DF_KEY_AES, issuer, 16, 1, NULL, 0)) ||
      !report("DF_AuthenticateEV1", DF_AuthenticateEV1(session, 0, DF_KEY_AES, issuer, 16)) ||
      !report("DF_CreateStdFile",
              DF_CreateStdFile(session, 1, COMM_ENCIPHERED, &onlyKey0, sizeof text)) ||
      !report("DF_WriteDataEV1",
              DF_WriteDataEV1(session, 1, COMM_ENCIPHERED, 0, sizeof text, (const uint8_t*)text)) ||
      !report("DF_ReadDataEV1", DF_ReadDataEV1(session, 1, COMM_ENCIPHERED, 0, &length, back)))
    return 0;
  printf("read back: %s\n", (const char*)back);
  return length == sizeof text && memcmp(back, text, sizeof text) == 0;
}

int main(void) {
  void* session = CreateSession();
  char reader[] = "USB_0";
  int ok = session != NULL &&
           report("ConnectReader", ConnectReader(session, NORVEX_INTERFACE_USB, reader, 0x0110)) &&
           desfire_aes(session);
  if (session != NULL) ReleaseSession(session);
  return ok ? 0 : 1;
}
