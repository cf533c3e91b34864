// SPDX-License-Identifier: MIT
#pragma once
// The property lines the card tree shows for one card: type, T=CL support, block and sector
// counts, method, key A and key B.

#include <QStringList>

class QVMifareCard;

QStringList CardPropertyLines(const QVMifareCard& card);
