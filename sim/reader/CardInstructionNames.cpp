// SPDX-License-Identifier: MIT
#include "sim/reader/InstructionTable.h"

namespace norvexsim {

// Card instructions: the field and its cards carry them out; the table only names them for the
// instruction log.
void registerCardInstructionNames(InstructionTable& table) {
  table.add(0x03, "RdPiccExchangeByteStream");
  table.add(0x11, "RdMfPiccRequest");
  table.add(0x12, "RdMfPiccAnticoll");
  table.add(0x13, "RdMfPiccSelect");
  table.add(0x14, "RdMfPiccAuth");
  table.add(0x15, "RdMfPiccAuthE");
  table.add(0x17, "RdPcdLoadKeyE2");
  table.add(0x18, "RdMfPiccAuthKey");
  table.add(0x19, "RdMfPiccRead");
  table.add(0x1A, "RdMfPiccWrite");
  table.add(0x1B, "RdMfPiccValue");
  table.add(0x1C, "RdMfPiccValueDebit");
  table.add(0x1D, "RdMfPiccHalt");
  table.add(0x1E, "RdPiccWrite4");
  table.add(0x1F, "RdPiccCommonWrite");
  table.add(0x28, "RdPiccCommonRead");
  table.add(0x40, "RdPiccCommonRequest");
  table.add(0x41, "RdPiccCascAnticoll");
  table.add(0x42, "RdPiccCascSelect");
  table.add(0x43, "RdPiccActivateIdle");
  table.add(0x44, "RdPiccActivateWakeup");
  table.add(0x48, "RdPiccExchangeBlock");
  table.add(0xE7, "RequestATS");
  // ISO 14443-3 type B
  table.add(0xB0, "PcdISO14443TypeBCommonRequest");
  table.add(0xB1, "PcdISO14443TypeBRequestIdle");
  table.add(0xB2, "PcdISO14443TypeBRequestWakeUp");
  table.add(0xB3, "PcdISO14443TypeBAttrib");
  table.add(0xB4, "PcdISO14443TypeBSlotMarker");
  table.add(0xB5, "PcdISO14443TypeBHalt");
}

}  // namespace norvexsim
