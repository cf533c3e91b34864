// SPDX-License-Identifier: MIT
#include "session/SessionRegistry.h"

#include <mutex>
#include <unordered_set>

namespace {

// Sessions may be created and released from different threads, so the set has its own lock.
struct Registry {
  std::mutex mutex;
  std::unordered_set<const void*> live;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

void RegisterSession(SESSION_DATA* session) {
  std::lock_guard lock(registry().mutex);
  registry().live.insert(session);
}

void UnregisterSession(SESSION_DATA* session) {
  std::lock_guard lock(registry().mutex);
  registry().live.erase(session);
}

bool IsLiveSession(const void* handle) {
  Registry& sessions = registry();
  std::lock_guard lock(sessions.mutex);
  return sessions.live.contains(handle);
}
