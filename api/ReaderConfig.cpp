// Reader configuration: RF attributes, card type, configuration sets, firmware version and the
// time-out the command set hands to the protocol.

#include "api/Session.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"

extern "C" {

NORVEX_API long PcdSetAttrib(void* handle, uint8_t a, uint8_t b) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPcdSetAttrib(a, b);
}

NORVEX_API long PcdSetDefaultAttrib(void* handle) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPcdSetDefaultAttrib();
}

NORVEX_API long PcdSetCardType(void* handle, uint8_t cardType) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPcdSetCardType(cardType);
}

NORVEX_API long Pcd_LoadConfig(void* handle, uint16_t config) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdLoadConfig(config);
}

NORVEX_API long GetFWVersion(void* handle, uint8_t* version, uint8_t* len) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdGetFwVersion(version, len);
}

NORVEX_API long Interface_SetTimeOuts(void* handle, uint32_t timeout, uint32_t* previous) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->SetTimeOuts(timeout, previous);
}

}  // extern "C"
