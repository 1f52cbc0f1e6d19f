// unit_staticmem_tags.cpp - the frame tags of the simulated static memory, which have no public
// entry point (snap code records them, the frame transform reads them), tested on the simulator's
// own functions.
#include <QuarnVideo.h>
#include <gtest/gtest.h>
#include <staticmem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint64_t kFrame = 768 * 576 * 2;  // one 16-bit PAL frame

// A lock of the simulator's static memory, released at the end of the scope.
class ScopedLock {
 public:
  ScopedLock(uint64_t offset, uint64_t size)
      : m_status(quarnsim::StaticMemLock(offset, size, &m_lock, &m_address)) {}
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;
  ~ScopedLock() { Release(); }
  void Release() {
    if (m_status == QUARN_OK) quarnsim::StaticMemUnlock(m_lock);
    m_status = QUARN_ERR_GENERAL;
  }
  int status() const { return m_status; }
  const uint8_t* at(uint64_t byte) const { return static_cast<const uint8_t*>(m_address) + byte; }

 private:
  uint32_t m_lock = 0;
  void* m_address = nullptr;
  int m_status;
};

std::optional<int> FormatAt(const void* address) {
  int format = -1;
  if (!quarnsim::StaticMemFormatAt(address, &format)) return std::nullopt;
  return format;
}

// Each case gets its own state folder and boot id.
class FrameTagTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* parent = std::getenv("QUARN_SIM_STATE_DIR");
    if (parent != nullptr) m_parent = parent;
    std::string pattern = (m_parent.empty() ? std::filesystem::temp_directory_path()
                                            : std::filesystem::path(m_parent)) /
                          "tags-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    setenv("QUARN_SIM_STATE_DIR", m_dir.c_str(), 1);
    setenv("QUARN_SIM_BOOT_ID", "boot-1", 1);
  }
  void TearDown() override {
    if (!m_parent.empty()) setenv("QUARN_SIM_STATE_DIR", m_parent.c_str(), 1);
    unsetenv("QUARN_SIM_BOOT_ID");
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }

  std::string m_parent;
  std::string m_dir;
};

TEST_F(FrameTagTest, TagIsFoundThroughAnyLockCoveringIt) {
  ScopedLock ring(0, 3 * kFrame);
  ASSERT_EQ(ring.status(), QUARN_OK);
  quarnsim::StaticMemTagFrames(0, 3 * kFrame, QUARN_FORMAT_RGB565);
  EXPECT_EQ(FormatAt(ring.at(kFrame + 10)), QUARN_FORMAT_RGB565);
  EXPECT_EQ(FormatAt(ring.at(3 * kFrame - 1)), QUARN_FORMAT_RGB565);
  // A lock of one slot, mapped elsewhere: fault caught, an address turned into an offset
  // relative to the wrong lock.
  ScopedLock slot(2 * kFrame + 100, kFrame - 100);
  ASSERT_EQ(slot.status(), QUARN_OK);
  EXPECT_EQ(FormatAt(slot.at(0)), QUARN_FORMAT_RGB565);
}

TEST_F(FrameTagTest, UnalignedLockFindsTheTagOfTheExactByte) {
  // Fault caught: the lock's page start taken for the byte at its offset, which shifts every
  // looked-up offset by up to a page.
  quarnsim::StaticMemTagFrames(0, kFrame, QUARN_FORMAT_RGB565);
  quarnsim::StaticMemTagFrames(kFrame, kFrame, QUARN_FORMAT_YUV422);
  ScopedLock seam(kFrame - 8, 16);
  ASSERT_EQ(seam.status(), QUARN_OK);
  EXPECT_EQ(FormatAt(seam.at(7)), QUARN_FORMAT_RGB565);
  EXPECT_EQ(FormatAt(seam.at(8)), QUARN_FORMAT_YUV422);
  EXPECT_EQ(FormatAt(seam.at(15)), QUARN_FORMAT_YUV422);
  EXPECT_EQ(FormatAt(seam.at(16)), std::nullopt);  // just past the lock
}

TEST_F(FrameTagTest, NewestTagWinsWhereRangesOverlap) {
  ScopedLock lock(0, 4 * kFrame);
  ASSERT_EQ(lock.status(), QUARN_OK);
  quarnsim::StaticMemTagFrames(0, 4 * kFrame, QUARN_FORMAT_YUV422);
  quarnsim::StaticMemTagFrames(kFrame, kFrame, QUARN_FORMAT_RGB565);
  EXPECT_EQ(FormatAt(lock.at(kFrame / 2)), QUARN_FORMAT_YUV422);
  EXPECT_EQ(FormatAt(lock.at(kFrame)), QUARN_FORMAT_RGB565);
  EXPECT_EQ(FormatAt(lock.at(2 * kFrame - 1)), QUARN_FORMAT_RGB565);
  EXPECT_EQ(FormatAt(lock.at(2 * kFrame)), QUARN_FORMAT_YUV422);
  // A tag covering both replaces them everywhere.
  quarnsim::StaticMemTagFrames(0, 4 * kFrame, QUARN_FORMAT_RGB888);
  EXPECT_EQ(FormatAt(lock.at(kFrame)), QUARN_FORMAT_RGB888);
  EXPECT_EQ(FormatAt(lock.at(3 * kFrame)), QUARN_FORMAT_RGB888);
}

TEST_F(FrameTagTest, UntaggedOrUnlockedAddressesGiveNothing) {
  ScopedLock lock(0, 2 * kFrame);
  ASSERT_EQ(lock.status(), QUARN_OK);
  quarnsim::StaticMemTagFrames(kFrame, kFrame, QUARN_FORMAT_RGB555);
  EXPECT_EQ(FormatAt(lock.at(kFrame - 1)), std::nullopt);  // locked, not tagged
  const uint8_t* tagged = lock.at(kFrame);
  EXPECT_EQ(FormatAt(tagged), QUARN_FORMAT_RGB555);
  int local = 0;
  EXPECT_EQ(FormatAt(&local), std::nullopt);  // not static memory at all
  EXPECT_EQ(FormatAt(nullptr), std::nullopt);
  int format = -1;
  EXPECT_FALSE(quarnsim::StaticMemFormatAt(tagged, nullptr));
  lock.Release();
  // Only the address's value is looked at; the memory behind it is gone.
  EXPECT_FALSE(quarnsim::StaticMemFormatAt(tagged, &format));
  EXPECT_EQ(format, -1);
}

TEST_F(FrameTagTest, TagsDoNotOutliveTheMemoryTheyDescribe) {
  {
    ScopedLock lock(0, kFrame);
    ASSERT_EQ(lock.status(), QUARN_OK);
    quarnsim::StaticMemTagFrames(0, kFrame, QUARN_FORMAT_RGB565);
    ASSERT_EQ(FormatAt(lock.at(0)), QUARN_FORMAT_RGB565);
  }
  setenv("QUARN_SIM_BOOT_ID", "boot-2", 1);  // restart: the memory is re-created empty
  ScopedLock lock(0, kFrame);
  ASSERT_EQ(lock.status(), QUARN_OK);
  EXPECT_EQ(FormatAt(lock.at(0)), std::nullopt);
}

TEST_F(FrameTagTest, TableIsBoundedAndDropsOldestFirst) {
  constexpr uint64_t kCount = 1100;  // more than the table holds
  constexpr uint64_t kBytes = 64;
  ScopedLock lock(0, kCount * kBytes);
  ASSERT_EQ(lock.status(), QUARN_OK);
  for (uint64_t i = 0; i < kCount; ++i) {
    quarnsim::StaticMemTagFrames(i * kBytes, kBytes, static_cast<int>(i % 7));
  }
  EXPECT_EQ(FormatAt(lock.at(0)), std::nullopt);
  EXPECT_EQ(FormatAt(lock.at((kCount - 1) * kBytes)), static_cast<int>((kCount - 1) % 7));
  EXPECT_EQ(FormatAt(lock.at(kCount / 2 * kBytes)), static_cast<int>(kCount / 2 % 7));
}

TEST_F(FrameTagTest, TagOfAnotherProcessIsSeen) {
  ScopedLock lock(0, kFrame);
  ASSERT_EQ(lock.status(), QUARN_OK);
  quarnsim::StaticMemTagFrames(0, kFrame, QUARN_FORMAT_YUV422);
  ASSERT_EQ(FormatAt(lock.at(0)), QUARN_FORMAT_YUV422);
  // Fault caught: a tag table cached in this process and never re-read.
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    quarnsim::StaticMemTagFrames(0, kFrame, QUARN_FORMAT_RGB565);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(FormatAt(lock.at(0)), QUARN_FORMAT_RGB565);
}

TEST_F(FrameTagTest, LookupsRunWhileCardThreadsLockAndTag) {
  // As the UI thread transforms a displayed frame while card threads start rings and fill slots.
  constexpr int kThreads = 3;
  constexpr int kRounds = 100;
  ScopedLock display(0, kFrame);
  ASSERT_EQ(display.status(), QUARN_OK);
  quarnsim::StaticMemTagFrames(0, kFrame, QUARN_FORMAT_RGB565);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 1; t <= kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int round = 0; round < kRounds; ++round) {
        uint32_t lock = 0;
        void* address = nullptr;
        if (quarnsim::StaticMemLock(uint64_t(t) * kFrame, kFrame, &lock, &address) != QUARN_OK) {
          ++failures;
          continue;
        }
        if (round % 10 == 0) quarnsim::StaticMemTagFrames(uint64_t(t) * kFrame, kFrame, t);
        static_cast<uint8_t*>(address)[round] = 1;
        if (quarnsim::StaticMemUnlock(lock) != QUARN_OK) ++failures;
      }
    });
  }
  for (int i = 0; i < kThreads * kRounds; ++i) {
    if (FormatAt(display.at(uint64_t(i) % kFrame)) != QUARN_FORMAT_RGB565) ++failures;
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
