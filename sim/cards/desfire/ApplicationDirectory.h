// SPDX-License-Identifier: MIT
#pragma once
// The PICC level's application directory: listing (by AID or by DF name), selecting, creating
// and deleting applications (up to 28), and FormatPICC, which deletes them all and frees the
// memory.

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

Answer getApplicationIds(CardContext& card, Command command);  // 6A
Answer selectApplication(CardContext& card, Command command);  // 5A
Answer createApplication(CardContext& card, Command command);  // CA
Answer deleteApplication(CardContext& card, Command command);  // DA
Answer formatPicc(CardContext& card, Command command);         // FC
Answer getDfNames(CardContext& card, Command command);         // 6D

}  // namespace norvexsim::desfire
