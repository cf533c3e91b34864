// SPDX-License-Identifier: MIT
#pragma once
// The reader traffic as the library reports it: every frame to and from the reader, with its
// direction and time. Frames arrive on whichever thread calls into the session (the GUI thread or
// a card job's worker) and are taken by the GUI thread; only the newest kCapacity are kept.
// While recording is off a frame costs one flag test.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class TraceLog {
 public:
  static constexpr std::size_t kCapacity = 4000;

  struct Frame {
    uint64_t number = 0;  // counts every frame recorded, from 1
    bool toReader = false;
    uint64_t microseconds = 0;
    std::vector<uint8_t> bytes;
  };

  // The library's trace callback; `context` is the TraceLog.
  static void Record(void* context, int direction, const unsigned char* frame, std::size_t length,
                     uint64_t microseconds);

  void SetRecording(bool on) { recording = on; }
  bool IsRecording() const { return recording; }
  // The frames recorded after frame `after` that are still kept, oldest first.
  std::vector<Frame> Since(uint64_t after) const;
  std::size_t Size() const;

 private:
  std::atomic<bool> recording{false};
  mutable std::mutex mutex;
  std::deque<Frame> frames;
  uint64_t count = 0;
};
