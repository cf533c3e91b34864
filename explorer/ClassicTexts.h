// SPDX-License-Identifier: MIT
#pragma once
// Texts the Mifare Classic view and its managers share: key names, block counts and the reasons
// of failed card operations.

#include <QString>

class QVMifareObj;

namespace classic_text {

// "key A" or "key B" for MIF_KEY_TYPE_A / MIF_KEY_TYPE_B.
QString KeyName(int keyNum);
// "1 changed block", "3 changed blocks".
QString Blocks(int count, const char* kind);
// "07": a sector number as the views show it.
QString Sector(int sector);
// The library's or the card access object's text for a failed status (-1: the object's own).
QString FailureText(const QVMifareObj& obj, int status);
// "Data cannot be <verb>, please check Keys or Access Bit", with `detail` below it.
QString Failure(const char* verb, const QString& detail = {});

}  // namespace classic_text

namespace classic_text {
// "S03 B013": the sector and card block a line of a data image shows, the image holding sectors
// `firstSector` to `sectors` - 1 from `offset` 0; "" past them.
QString BlockLabel(int offset, int sectors, int firstSector);
}  // namespace classic_text
