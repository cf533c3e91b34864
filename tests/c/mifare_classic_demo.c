/* SPDX-License-Identifier: MIT */
/* A C caller's Mifare Classic round trip: connect to the first USB reader, select the card in the
 * field, authenticate block 4 with the factory key A, write it, read it back, and halt the card.
 * Run with NORVEX_SIMULATOR set to a simulator's socket (see run_with_simulator.sh), or against a
 * real reader with a factory-state Mifare Classic card. */
#include <stdio.h>
#include <string.h>

#include "norvexapi.h"

static int report(const char* step, long status) {
  if (status != NORVEX_OK) fprintf(stderr, "%s failed: %ld %s\n", step, status, GetErrorText((int)status));
  return status == NORVEX_OK;
}

static int round_trip(void* session) {
  static const _MIF_KEY_ key = {MIF_KEY_TYPE_A, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  const uint8_t block = 4;
  uint8_t written[16];
  uint8_t read[16] = {0};
  _MIF_SINGLE_UID uid;

  for (int i = 0; i < 16; ++i) written[i] = (uint8_t)(0xC0 + i);
  if (!report("MifC_GetCard", MifC_GetCard(session, uid.Mif_UID))) return 0;
  printf("card %02X%02X%02X%02X selected\n", uid.Mif_UID[0], uid.Mif_UID[1], uid.Mif_UID[2],
         uid.Mif_UID[3]);
  if (!report("MifC_AuthBlock", MifC_AuthBlock(session, &key, uid.Mif_UID, block))) return 0;
  if (!report("MifC_WriteBlock", MifC_WriteBlock(session, block, written))) return 0;
  if (!report("MifC_ReadBlock", MifC_ReadBlock(session, block, read))) return 0;
  if (memcmp(written, read, sizeof written) != 0) {
    fprintf(stderr, "block %u reads back different bytes\n", block);
    return 0;
  }
  printf("block %u written and read back\n", block);
  if (!report("HaltCard", HaltCard(session))) return 0;
  /* A halted card answers only a request for all cards: a plain read now fails. */
  if (MifC_ReadBlock(session, block, read) == NORVEX_OK) {
    fprintf(stderr, "the halted card still answered a read\n");
    return 0;
  }
  printf("card halted\n");
  return 1;
}

int main(void) {
  void* session = CreateSession();
  char reader[] = "USB_0";
  int ok = session != NULL &&
           report("ConnectReader", ConnectReader(session, NORVEX_INTERFACE_USB, reader, 0x0110)) &&
           round_trip(session);
  if (session != NULL) ReleaseSession(session);
  return ok ? 0 : 1;
}
