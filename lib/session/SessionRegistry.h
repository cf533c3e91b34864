// SPDX-License-Identifier: MIT
#pragma once
// The set of live session records, so that a released or foreign handle is recognised without
// reading memory the library does not own.

struct SESSION_DATA;

void RegisterSession(SESSION_DATA* session);
void UnregisterSession(SESSION_DATA* session);
bool IsLiveSession(const void* handle);
