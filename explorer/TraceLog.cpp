// SPDX-License-Identifier: MIT
#include "TraceLog.h"

#include "norvexapi.h"

void TraceLog::Record(void* context, int direction, const unsigned char* frame, std::size_t length,
                      uint64_t microseconds) {
  auto* log = static_cast<TraceLog*>(context);
  if (log == nullptr || !log->recording || (frame == nullptr && length > 0)) return;
  Frame entry{0, direction == NORVEX_TRACE_OUT, microseconds, {frame, frame + length}};
  const std::lock_guard lock(log->mutex);
  entry.number = ++log->count;
  log->frames.push_back(std::move(entry));
  if (log->frames.size() > kCapacity) log->frames.pop_front();
}

std::vector<TraceLog::Frame> TraceLog::Since(uint64_t after) const {
  const std::lock_guard lock(mutex);
  std::vector<Frame> newer;
  for (auto it = frames.rbegin(); it != frames.rend() && it->number > after; ++it)
    newer.push_back(*it);
  return {newer.rbegin(), newer.rend()};
}

std::size_t TraceLog::Size() const {
  const std::lock_guard lock(mutex);
  return frames.size();
}
