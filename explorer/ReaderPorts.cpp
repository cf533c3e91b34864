// SPDX-License-Identifier: MIT
#include "ReaderPorts.h"

#include "norvexapi.h"

namespace {

bool CollectName(long userValue, const char* name) {
  reinterpret_cast<QStringList*>(userValue)->append(QString::fromLatin1(name));
  return true;
}

}  // namespace

QStringList EnumerateReaderPorts(int productId) {
  QStringList names;
  if (EnumUSBReaders(productId, CollectName, reinterpret_cast<long>(&names)) != NORVEX_OK)
    names.clear();  // no USB access: the list stays empty and connecting says why
  return names;
}
