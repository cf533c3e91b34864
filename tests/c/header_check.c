/* SPDX-License-Identifier: MIT */
/* Built as strict C11 against the public header and the shared library: a C caller's first steps.
 */
#include <stdio.h>
#include <string.h>

#include "norvexapi.h"

static int failures = 0;

static void expect(int condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

static bool count_interfaces(long userValue, const char* name, int interfaceType) {
  (void)name;
  (void)interfaceType;
  ++*(int*)(intptr_t)userValue;
  return true;
}

int main(void) {
  void* session = CreateSession();
  expect(session != NULL, "CreateSession gives a handle");

  long flags = 0;
  expect(SetSessionFlags(session, 0x5A) == 0, "SetSessionFlags");
  expect(GetSessionFlags(session, &flags) == 0 && flags == 0x5A, "GetSessionFlags");
  expect(DisconnectReader(session) == NORVEX_E_NO_READER,
         "DisconnectReader without a reader is 8029");
  expect(strcmp(GetErrorText(NORVEX_E_NO_READER), "ERROR: no reader") == 0, "GetErrorText(8029)");

  int interfaces = 0;
  expect(GetSupportedCommInterfaces(count_interfaces, (long)(intptr_t)&interfaces) == 0 &&
             interfaces == 3,
         "three interface types reported");

  char text[3] = {0};
  bin2c2(0x3A, text);
  expect(strcmp(text, "3A") == 0 && c2bin2("3a") == 0x3A, "hex helpers");

  expect(ReleaseSession(session) == 0, "ReleaseSession");
  expect(ReleaseSession(NULL) == NORVEX_E_NO_SESSION_ERROR, "ReleaseSession(NULL) is 8010");
  return failures == 0 ? 0 : 1;
}
