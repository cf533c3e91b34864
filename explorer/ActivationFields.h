// SPDX-License-Identifier: MIT
#pragma once
// What an ISO 14443-4 card announces when it is activated, field by field: the ATS of a type A
// card (ISO 14443-4: TL, T0 with FSCI, TA bit rates, TB frame waiting and start-up guard times,
// TC CID/NAD support, historical bytes) and the ATQB of a type B card (ISO 14443-3: PUPI,
// application data, protocol info with bit rates, frame size, protocol type, FWI, ADC and frame
// options). A field the answer is too short for is reported as missing, never read.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

struct ActivationField {
  QString name;
  QString value;
};

// The frame size a 4-bit FSCI or Max_Frame_Size code stands for (codes above 12 count 1024).
uint16_t FrameSizeOfCode(unsigned code);

// The fields of an ATS as Request_ATS returns it (TL first).
QList<ActivationField> DecodeAts(const QByteArray& ats);
// The card's frame size from its ATS (FSC 32 when T0 is absent).
uint16_t FrameSizeOfAts(const QByteArray& ats);

// The fields of an ATQB (0x50 first).
QList<ActivationField> DecodeAtqb(const QByteArray& atqb);
// The card's frame size from its ATQB protocol info (32 when the ATQB is too short).
uint16_t FrameSizeOfAtqb(const QByteArray& atqb);
