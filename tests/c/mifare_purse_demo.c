/* SPDX-License-Identifier: MIT */
/* A purse on a Mifare Classic card: format sector 1 as a value sector with new keys, create a
 * value of 1000 in block 4 with the issuer's key B, debit 250 with the terminal's key A (which
 * may only take money out), and read the balance back. Run with NORVEX_SIMULATOR set to a
 * simulator's socket (see run_with_simulator.sh), or against a real reader with a
 * factory-state card: it changes the keys of sector 1. */
#include <stdio.h>

#include <norvexapi.h>

static int report(const char* step, long status) {
  if (status != NORVEX_OK)
    fprintf(stderr, "%s failed: %ld %s\n", step, status, GetErrorText((int)status));
  return status == NORVEX_OK;
}

static int purse(void* session) {
  static const _MIF_KEY_ factory = {MIF_KEY_TYPE_A, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  static const _MIF_KEY_ terminal = {MIF_KEY_TYPE_A, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}};
  static const _MIF_KEY_ issuer = {MIF_KEY_TYPE_B, {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}};
  const uint8_t sector = 1, block = 4;
  uint32_t balance = 0;

  if (!report("MifC_FormatValueSector",
              MifC_FormatValueSector(session, sector, &terminal, &issuer, &factory)))
    return 0;
  if (!report("MifC_CreateValue", MifC_CreateValue(session, 1000, block, &issuer))) return 0;
  if (!report("MifC_ProcessValueSingle",
              MifC_ProcessValueSingle(session, &terminal, MIF_VALUE_DECREMENT, block, 250)))
    return 0;
  /* The card refuses a top-up with the terminal's key. */
  if (MifC_ProcessValueSingle(session, &terminal, MIF_VALUE_INCREMENT, block, 1) == NORVEX_OK) {
    fprintf(stderr, "key A was allowed to increment\n");
    return 0;
  }
  if (!report("GetValue", GetValue(session, block, &terminal, &balance))) return 0;
  printf("balance %u\n", (unsigned)balance);
  return balance == 750;
}

int main(void) {
  void* session = CreateSession();
  char reader[] = "USB_0";
  int ok = session != NULL &&
           report("ConnectReader", ConnectReader(session, NORVEX_INTERFACE_USB, reader, 0x0110)) &&
           purse(session);
  if (session != NULL) ReleaseSession(session);
  return ok ? 0 : 1;
}
