// SPDX-License-Identifier: MIT
#pragma once
// The file directory of the selected application: creating files of each type (within the
// card's memory, 32-byte blocks given back only by FormatPICC), deleting them, listing them and
// reading or changing their settings.

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

Answer createDataFile(CardContext& card, Command command);      // CD standard, CB backup
Answer createValueFile(CardContext& card, Command command);     // CC
Answer createRecordFile(CardContext& card, Command command);    // C0 linear, C1 cyclic
Answer deleteFile(CardContext& card, Command command);          // DF
Answer getFileIds(CardContext& card, Command command);          // 6F
Answer getIsoFileIds(CardContext& card, Command command);       // 61
Answer getFileSettings(CardContext& card, Command command);     // F5
Answer changeFileSettings(CardContext& card, Command command);  // 5F

}  // namespace norvexsim::desfire
