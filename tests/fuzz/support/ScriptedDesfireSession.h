// SPDX-License-Identifier: MIT
#pragma once
// A session whose reader is a script read from the fuzz input (see CardScript.h), with a DESFire
// record of frame size 16.

#include <memory>

#include "norvexapi.h"
#include "session/Session.h"
#include "support/CardScript.h"
#include "support/Fuzz.h"

struct ScriptedSession {
  explicit ScriptedSession(FuzzInput& input) : handle(CreateSession()) {
    auto* session = static_cast<SESSION_DATA*>(handle);
    auto script = std::make_unique<CardScript>(input);
    card = script.get();
    session->protocol = std::move(script);
    session->commandSet = std::make_unique<FuzzedReader>(session->protocol.get());
    DF_InitData(handle);
    DF_SetFrameSize(handle, 16);
  }
  ~ScriptedSession() { ReleaseSession(handle); }
  ScriptedSession(const ScriptedSession&) = delete;
  ScriptedSession& operator=(const ScriptedSession&) = delete;
  void* handle;
  CardScript* card;
};
