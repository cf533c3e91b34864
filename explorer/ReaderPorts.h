// SPDX-License-Identifier: MIT
#pragma once
// The reader names ("USB_0", "USB_1", ...) the library finds for one product ID, in its order, so
// the port list shows the readers that are there rather than guessed names.

#include <QStringList>

QStringList EnumerateReaderPorts(int productId);
