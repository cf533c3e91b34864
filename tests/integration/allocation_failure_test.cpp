// SPDX-License-Identifier: MIT
// Out of memory at every point of a whole-card read: the allocation that fails is the N-th one the
// calling thread makes, for every N the read makes at all. Each call must then report 8013 and
// leave the caller's memory as it was, and the same call tried again must succeed: no exception
// leaves the library, nothing leaks, and the session stays usable.

#include <cstdlib>
#include <new>

#include "SimulatorHarness.h"

namespace {

// Counting and failing apply to the test's own thread only: the simulator answers on others.
thread_local bool counting = false;
thread_local long allocations = 0;
thread_local long failAt = 0;
thread_local bool failed = false;

void* Allocate(std::size_t size, bool nothrow) {
  if (counting && ++allocations == failAt) {
    failed = true;
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  if (nothrow) return nullptr;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size, false);
}
void* operator new[](std::size_t size) {
  return Allocate(size, false);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, true);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, true);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}

namespace {

// Counts (and fails) the allocations of the library calls made while it lives, not the test's own.
struct LibraryCall {
  LibraryCall() { counting = true; }
  ~LibraryCall() { counting = false; }
};

template <typename Step>
auto Counted(Step step) {
  LibraryCall call;
  return step();
}

constexpr uint8_t kUntouched = 0xA5;
constexpr int kSectors = 16;  // Mifare Classic 1K

// One whole-card read as a card explorer does it, counting the calls that ran out of memory.
class WholeCardRead {
 public:
  explicit WholeCardRead(const SimulatorHarness& bus, int reader, const Bytes& uid)
      : bus_(bus), reader_(reader), uid_(uid) {}

  void Run() {
    session_ = Retried([] { return CreateSession(); });
    ASSERT_NE(session_, nullptr);
    char name[] = "USB_0";
    Call([&] { return ConnectReader(session_, NORVEX_INTERFACE_USB, name, 0x0110); });
    CallInto(10, [&](uint8_t* uid) {
      uint8_t length = 10, atq[2] = {}, sak = 0;
      return SelectIdleCard(session_, uid, &length, atq, &sak);
    });
    const Bytes memory = bus_->cardMemory(reader_, uid_);
    for (int sector = 0; sector < kSectors; ++sector) {
      SCOPED_TRACE(sector);
      const Bytes data = CallInto(48, [&](uint8_t* buffer) {
        return MifC_ReadSectorDataAuth(session_, &kTransportKey, uid_.data(), buffer, 48,
                                       static_cast<uint8_t>(sector));
      });
      EXPECT_EQ(data, Bytes(memory.begin() + 64 * sector, memory.begin() + 64 * sector + 48));
    }
    Call([&] { return DisconnectReader(session_); });
    Call([&] { return ReleaseSession(session_); });
  }

  int outOfMemoryReports = 0;

 private:
  void* Retried(void* (*create)()) {
    if (void* handle = Counted(create)) return handle;
    ++outOfMemoryReports;
    return Counted(create);
  }

  template <typename Step>
  void Call(Step step) {
    long status = Counted(step);
    if (status == NORVEX_E_MEM_NO_SPACE) {
      ++outOfMemoryReports;
      status = Counted(step);
    }
    EXPECT_EQ(status, NORVEX_OK) << GetErrorText(static_cast<int>(status));
  }

  // A step that fills a caller buffer: after 8013 the buffer must hold what it held before.
  template <typename Step>
  Bytes CallInto(std::size_t size, Step step) {
    Bytes buffer(size, kUntouched);
    uint8_t* data = buffer.data();
    long status = Counted([&] { return step(data); });
    if (status == NORVEX_E_MEM_NO_SPACE) {
      ++outOfMemoryReports;
      EXPECT_EQ(buffer, Bytes(size, kUntouched)) << "caller memory changed by a failed call";
      status = Counted([&] { return step(data); });
    }
    EXPECT_EQ(status, NORVEX_OK) << GetErrorText(static_cast<int>(status));
    return buffer;
  }

  const SimulatorHarness& bus_;
  int reader_;
  Bytes uid_;
  void* session_ = nullptr;
};

TEST(AllocationFailure, EveryAllocationOfAWholeCardReadFailsCleanly) {
  SimulatorHarness bus;
  const int reader = bus->addReader();
  const Bytes uid = bus->placeCard(reader, "classic1k");

  allocations = 0;
  failAt = 0;
  WholeCardRead(bus, reader, uid).Run();
  const long total = allocations;
  ASSERT_GT(total, 0);

  // The first read also makes one-time allocations of the library, so later reads may make fewer.
  for (long n = 1; n <= total; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of at most " + std::to_string(total));
    WholeCardRead read(bus, reader, uid);
    allocations = 0;
    failAt = n;
    failed = false;
    read.Run();
    EXPECT_EQ(read.outOfMemoryReports, failed ? 1 : 0) << "a failed allocation is reported once";
    if (HasFailure() || !failed) break;
  }
}

}  // namespace
