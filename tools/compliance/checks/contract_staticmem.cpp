// contract_staticmem.cpp - the capture library's static memory on the simulated cards: the
// reservation and its restart rule, locks and their ranges, contents shared by locks and by
// processes, and locking from several threads at once.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "contract_support.h"

extern char** environ;

namespace {

constexpr uint64_t kPage = QUARN_PAGE_SIZE;
constexpr int kDefaultPages = 16384;
constexpr uint64_t kDefaultBytes = kDefaultPages * kPage;

// Restores an environment variable to what it was when this object was made.
class SavedEnv {
 public:
  explicit SavedEnv(const char* name) : m_name(name) {
    const char* value = std::getenv(name);
    if (value != nullptr) m_value = value;
  }
  SavedEnv(const SavedEnv&) = delete;
  SavedEnv& operator=(const SavedEnv&) = delete;
  ~SavedEnv() {
    if (m_value) {
      setenv(m_name, m_value->c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }

 private:
  const char* m_name;
  std::optional<std::string> m_value;
};

// A lock that is always paired with its unlock, even when an assertion ends the test early.
class ScopedLock {
 public:
  ScopedLock(uint64_t offset, uint64_t size)
      : m_status(QuarnStaticMemLock(offset, size, &m_lock, &m_address)) {}
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;
  ~ScopedLock() {
    if (m_status == QUARN_OK) QuarnStaticMemUnlock(m_lock);
  }
  int status() const { return m_status; }
  QUARN_MEMLOCK id() const { return m_lock; }
  uint8_t* bytes() const { return static_cast<uint8_t*>(m_address); }

 private:
  QUARN_MEMLOCK m_lock = 0;
  void* m_address = nullptr;
  int m_status;
};

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", byte);
    text += pair;
  }
  return text;
}

// Every test gets its own state folder and boot id, so the cases stay independent even when
// the whole suite runs in one process.
class StaticMemTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* parent = std::getenv("QUARN_SIM_STATE_DIR");
    std::string pattern = (parent != nullptr ? std::filesystem::path(parent)
                                             : std::filesystem::temp_directory_path()) /
                          "case-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    setenv("QUARN_SIM_STATE_DIR", m_dir.c_str(), 1);
    Restart("boot-1");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }

  // Simulates a restart of the machine: the boot id changes.
  static void Restart(const std::string& bootId) { setenv("QUARN_SIM_BOOT_ID", bootId.c_str(), 1); }

  static int Pages() {
    int pages = -1;
    EXPECT_EQ(QuarnGetStaticMem(&pages), QUARN_OK);
    return pages;
  }

  std::string MemoryFile() const { return m_dir + "/staticmem"; }

  SavedEnv m_savedDir{"QUARN_SIM_STATE_DIR"};
  SavedEnv m_savedBoot{"QUARN_SIM_BOOT_ID"};
  std::string m_dir;
};

// ---- The reservation and the restart rule ------------------------------------------------------

using ReservationTest = StaticMemTest;

TEST_F(ReservationTest, NeverSetGivesDefaultReservation) {
  QUARN_SIMULATOR_ONLY();
  EXPECT_EQ(Pages(), kDefaultPages);
  // Asking again must not change it (the first call creates the state).
  EXPECT_EQ(Pages(), kDefaultPages);
}

TEST_F(ReservationTest, NullOutParameterIsRejected) {
  EXPECT_EQ(QuarnGetStaticMem(nullptr), QUARN_ERR_BAD_PARAMETER);
}

TEST_F(ReservationTest, RequestTakesEffectOnlyAfterRestart) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(QuarnSetStaticMem(32768), QUARN_OK);
  // Fault caught: a request applied at once instead of at the next boot.
  EXPECT_EQ(Pages(), kDefaultPages);
  Restart("boot-2");
  EXPECT_EQ(Pages(), 32768);
  Restart("boot-3");
  EXPECT_EQ(Pages(), 32768);
}

TEST_F(ReservationTest, SecondRequestDownToZeroPages) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(QuarnSetStaticMem(100), QUARN_OK);
  Restart("boot-2");
  ASSERT_EQ(Pages(), 100);
  ASSERT_EQ(QuarnSetStaticMem(0), QUARN_OK);
  EXPECT_EQ(Pages(), 100);
  Restart("boot-3");
  EXPECT_EQ(Pages(), 0);
  // With nothing reserved, no byte can be locked.
  ScopedLock lock(0, 1);
  EXPECT_EQ(lock.status(), QUARN_ERR_STATIC_MEM);
}

TEST_F(ReservationTest, LaterRequestInSameBootReplacesEarlier) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(QuarnSetStaticMem(1000), QUARN_OK);
  ASSERT_EQ(QuarnSetStaticMem(2000), QUARN_OK);
  Restart("boot-2");
  EXPECT_EQ(Pages(), 2000);
}

TEST_F(ReservationTest, RequestBeforeRestartIsAppliedBeforeRecordingNextOne) {
  QUARN_SIMULATOR_ONLY();
  // Fault caught: a new request overwriting one that had already taken effect by the restart,
  // when nothing asked for the pages in between.
  ASSERT_EQ(QuarnSetStaticMem(1000), QUARN_OK);
  Restart("boot-2");
  ASSERT_EQ(QuarnSetStaticMem(3000), QUARN_OK);
  EXPECT_EQ(Pages(), 1000);
  Restart("boot-3");
  EXPECT_EQ(Pages(), 3000);
}

TEST_F(ReservationTest, OutOfRangeRequestsAreRejectedAndChangeNothing) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(QuarnSetStaticMem(500), QUARN_OK);
  for (int pages : {10'000'001, -1, INT_MIN, INT_MAX}) {
    EXPECT_EQ(QuarnSetStaticMem(pages), QUARN_ERR_BAD_PARAMETER) << pages;
  }
  Restart("boot-2");
  EXPECT_EQ(Pages(), 500);
}

TEST_F(ReservationTest, LargestReservationIsSparseAndItsEndIsSafe) {
  QUARN_SIMULATOR_ONLY();
  constexpr int kLargest = 10'000'000;
  ASSERT_EQ(QuarnSetStaticMem(kLargest), QUARN_OK);
  Restart("boot-2");
  ASSERT_EQ(Pages(), kLargest);
  const uint64_t total = uint64_t{kLargest} * kPage;

  // About 41 GB reserved, but nothing committed (fault caught: the file filled or preallocated).
  struct stat st {};
  ASSERT_EQ(stat(MemoryFile().c_str(), &st), 0);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), total);
  EXPECT_LT(static_cast<uint64_t>(st.st_blocks) * 512, uint64_t{1} << 20);

  // The far end either locks and holds what is written, or fails with a status: never SIGBUS.
  ScopedLock last(total - kPage, kPage);
  if (last.status() == QUARN_OK) {
    last.bytes()[0] = 0x5a;
    last.bytes()[kPage - 1] = 0xa5;
    ScopedLock again(total - 1, 1);
    ASSERT_EQ(again.status(), QUARN_OK);
    EXPECT_EQ(again.bytes()[0], 0xa5);
  } else {
    EXPECT_NE(last.status(), QUARN_OK);
  }
}

TEST_F(ReservationTest, KernelBootIdIsUsedWhenNoneIsForced) {
  QUARN_SIMULATOR_ONLY();
  unsetenv("QUARN_SIM_BOOT_ID");
  ASSERT_EQ(QuarnSetStaticMem(77), QUARN_OK);
  // Same machine boot: unchanged, so the kernel's id was read and kept.
  EXPECT_EQ(Pages(), kDefaultPages);
  Restart("some-other-boot");
  EXPECT_EQ(Pages(), 77);
}

// ---- Lock ranges
// ---------------------------------------------------------------------------------

using LockRangeTest = StaticMemTest;

TEST_F(LockRangeTest, RangesOutsideReservationFailAndWriteNothing) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(Pages(), kDefaultPages);
  struct Case {
    uint64_t offset;
    uint64_t size;
    const char* what;
  };
  const Case cases[] = {
      {kDefaultBytes, 1, "offset at the end"},
      {kDefaultBytes + kPage, kPage, "offset past the end"},
      {kDefaultBytes - kPage, kPage + 1, "range crossing the end"},
      {0, kDefaultBytes + 1, "range longer than the reservation"},
      {UINT64_MAX - 10, 100, "offset + size overflowing 64 bits"},
      {kPage, UINT64_MAX, "size overflowing 64 bits"},
      {UINT64_MAX, 1, "largest offset"},
  };
  for (const Case& c : cases) {
    QUARN_MEMLOCK lock = 0xdeadbeef;
    void* address = &lock;
    EXPECT_EQ(QuarnStaticMemLock(c.offset, c.size, &lock, &address), QUARN_ERR_STATIC_MEM)
        << c.what;
    EXPECT_EQ(lock, 0xdeadbeefu) << c.what;
    EXPECT_EQ(address, &lock) << c.what;
  }
}

TEST_F(LockRangeTest, EmptyRangeAndNullOutParametersAreBadParameters) {
  QUARN_MEMLOCK lock = 0xdeadbeef;
  void* address = &lock;
  EXPECT_EQ(QuarnStaticMemLock(0, 0, &lock, &address), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(lock, 0xdeadbeefu);
  EXPECT_EQ(address, &lock);
  EXPECT_EQ(QuarnStaticMemLock(0, 16, nullptr, &address), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnStaticMemLock(0, 16, &lock, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(lock, 0xdeadbeefu);
}

TEST_F(LockRangeTest, RangesTouchingBothEndsLock) {
  QUARN_SIMULATOR_ONLY();
  ScopedLock whole(0, kDefaultBytes);
  EXPECT_EQ(whole.status(), QUARN_OK);
  ScopedLock lastByte(kDefaultBytes - 1, 1);
  ASSERT_EQ(lastByte.status(), QUARN_OK);
  lastByte.bytes()[0] = 7;
  ASSERT_EQ(whole.status(), QUARN_OK);
  EXPECT_EQ(whole.bytes()[kDefaultBytes - 1], 7);
}

TEST_F(LockRangeTest, UnknownAndRepeatedUnlocksFail) {
  EXPECT_EQ(QuarnStaticMemUnlock(0), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnStaticMemUnlock(0xffffffffu), QUARN_ERR_BAD_PARAMETER);
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  ASSERT_EQ(QuarnStaticMemLock(0, 64, &lock, &address), QUARN_OK);
  EXPECT_EQ(QuarnStaticMemUnlock(lock), QUARN_OK);
  EXPECT_EQ(QuarnStaticMemUnlock(lock), QUARN_ERR_BAD_PARAMETER);
}

TEST_F(LockRangeTest, LockIdsAreNonZeroAndDistinct) {
  std::vector<QUARN_MEMLOCK> locks;
  for (int i = 0; i < 64; ++i) {
    QUARN_MEMLOCK lock = 0;
    void* address = nullptr;
    ASSERT_EQ(QuarnStaticMemLock(uint64_t(i) * 100, 100, &lock, &address), QUARN_OK);
    locks.push_back(lock);
  }
  const std::set<QUARN_MEMLOCK> distinct(locks.begin(), locks.end());
  EXPECT_EQ(distinct.size(), locks.size());
  EXPECT_EQ(distinct.count(0), 0u);
  for (QUARN_MEMLOCK lock : locks) EXPECT_EQ(QuarnStaticMemUnlock(lock), QUARN_OK);
}

// ---- Contents
// ------------------------------------------------------------------------------------

using ContentsTest = StaticMemTest;

TEST_F(ContentsTest, BytesWrittenThroughOneLockAreReadThroughOverlappingLocks) {
  // Unaligned offsets: fault caught, a mapping that starts at the page and not at the byte.
  ScopedLock writer(5000, 10000);
  ASSERT_EQ(writer.status(), QUARN_OK);
  for (int i = 0; i < 10000; ++i) writer.bytes()[i] = static_cast<uint8_t>(i * 7 + 3);

  ScopedLock reader(7001, 2000);
  ASSERT_EQ(reader.status(), QUARN_OK);
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(reader.bytes()[i], static_cast<uint8_t>((i + 2001) * 7 + 3)) << i;
  }
  // Written through the second lock, seen through the first.
  reader.bytes()[0] = 0xee;
  EXPECT_EQ(writer.bytes()[2001], 0xee);
}

TEST_F(ContentsTest, ContentsOutliveUnlockButNotRestart) {
  QUARN_SIMULATOR_ONLY();
  {
    ScopedLock lock(12345, 4);
    ASSERT_EQ(lock.status(), QUARN_OK);
    std::memcpy(lock.bytes(), "QRN1", 4);
  }
  {
    ScopedLock lock(12345, 4);
    ASSERT_EQ(lock.status(), QUARN_OK);
    EXPECT_EQ(std::memcmp(lock.bytes(), "QRN1", 4), 0);
  }
  ScopedLock heldAcrossRestart(12345, 4);
  ASSERT_EQ(heldAcrossRestart.status(), QUARN_OK);
  Restart("boot-2");
  ASSERT_EQ(Pages(), kDefaultPages);
  // Fault caught: the old file truncated in place, which makes this write a SIGBUS.
  std::memcpy(heldAcrossRestart.bytes(), "OLD!", 4);
  ScopedLock fresh(12345, 4);
  ASSERT_EQ(fresh.status(), QUARN_OK);
  EXPECT_EQ(std::vector<uint8_t>(fresh.bytes(), fresh.bytes() + 4), std::vector<uint8_t>(4, 0));
}

TEST_F(ContentsTest, LockWithoutAskingFirstAppliesPendingRequest) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(QuarnSetStaticMem(2), QUARN_OK);
  Restart("boot-2");
  // Only two pages now: the third must not lock even though nothing asked for the size.
  ScopedLock third(2 * kPage, 1);
  EXPECT_EQ(third.status(), QUARN_ERR_STATIC_MEM);
  ScopedLock second(kPage, kPage);
  EXPECT_EQ(second.status(), QUARN_OK);
}

// ---- A second process
// ----------------------------------------------------------------------------

// Runs the probe with this process's environment and returns its output lines.
std::vector<std::string> RunProbe(const std::vector<std::string>& commands) {
  std::vector<std::string> args = contract::ProbeCommand();
  if (args.empty()) return {"no probe command"};
  args.insert(args.end(), commands.begin(), commands.end());
  int out[2];
  if (pipe(out) != 0) return {"pipe failed"};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = read(out[0], chunk, sizeof chunk)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(chunk, static_cast<size_t>(got));
  }
  close(out[0]);
  if (spawned != 0) return {"spawn failed"};
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  if (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0) lines.push_back("probe failed");
  return lines;
}

using SecondProcessTest = StaticMemTest;

TEST_F(SecondProcessTest, SeesReservationAndBytesOfFirstProcess) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(QuarnSetStaticMem(4096), QUARN_OK);
  Restart("boot-2");
  ASSERT_EQ(Pages(), 4096);
  const std::vector<uint8_t> pattern{0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
  {
    ScopedLock lock(70001, pattern.size());
    ASSERT_EQ(lock.status(), QUARN_OK);
    std::memcpy(lock.bytes(), pattern.data(), pattern.size());
  }
  EXPECT_EQ(RunProbe({"get", "read", "70001", "8"}),
            (std::vector<std::string>{"pages 4096", "bytes " + Hex(pattern)}));
}

TEST_F(SecondProcessTest, BytesOfSecondProcessReachLockHeldHere) {
  ScopedLock held(8192, 4);
  ASSERT_EQ(held.status(), QUARN_OK);
  ASSERT_EQ(RunProbe({"write", "8192", "cafef00d"}), std::vector<std::string>{"ok"});
  EXPECT_EQ(Hex(std::vector<uint8_t>(held.bytes(), held.bytes() + 4)), "cafef00d");
}

TEST_F(SecondProcessTest, ItsRequestTakesEffectHereOnlyAfterRestart) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(Pages(), kDefaultPages);
  ASSERT_EQ(RunProbe({"set", "1234"}), std::vector<std::string>{"ok"});
  // Fault caught: this process keeping a stale cached record, or applying the request at once.
  EXPECT_EQ(Pages(), kDefaultPages);
  Restart("boot-2");
  EXPECT_EQ(Pages(), 1234);
  EXPECT_EQ(RunProbe({"get"}), std::vector<std::string>{"pages 1234"});
}

TEST_F(SecondProcessTest, ItsRequestFromBeforeRestartIsAppliedHere) {
  QUARN_SIMULATOR_ONLY();
  // This process has already seen boot 2 and knows the reservation; the other one records a
  // request under boot 1 (as if made just before the restart).
  Restart("boot-2");
  ASSERT_EQ(Pages(), kDefaultPages);
  Restart("boot-1");
  ASSERT_EQ(RunProbe({"set", "50"}), std::vector<std::string>{"ok"});
  Restart("boot-2");
  // Fault caught: this process answering from what it cached before the other one wrote.
  EXPECT_EQ(Pages(), 50);
}

TEST_F(SecondProcessTest, LockMapsMemoryRecreatedByAnotherProcess) {
  QUARN_SIMULATOR_ONLY();
  {
    ScopedLock lock(0, 4);
    ASSERT_EQ(lock.status(), QUARN_OK);
    std::memcpy(lock.bytes(), "old.", 4);
  }
  // The other process sees the restart first, re-creates the memory and writes into it.
  ASSERT_EQ(RunProbe({"set", "8"}), std::vector<std::string>{"ok"});
  Restart("boot-2");
  ASSERT_EQ(RunProbe({"get", "write", "0", "6e657721"}),
            (std::vector<std::string>{"pages 8", "ok"}));
  // Fault caught: this process still mapping the file it had open before.
  ScopedLock lock(0, 4);
  ASSERT_EQ(lock.status(), QUARN_OK);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(lock.bytes()), 4), "new!");
  EXPECT_EQ(Pages(), 8);
}

// ---- Threads
// -------------------------------------------------------------------------------------

using ThreadedTest = StaticMemTest;

TEST_F(ThreadedTest, CardThreadsLockAndUnlockWhileAnotherThreadDoesToo) {
  // As card threads do once per frame, while the UI thread asks and locks for playback.
  constexpr int kThreads = 4;
  constexpr int kFrames = 200;
  const int reserved = Pages();
  ASSERT_GE(uint64_t(reserved) * kPage, (uint64_t(kThreads) * 8 + 1) * kPage);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int frame = 0; frame < kFrames; ++frame) {
        const uint64_t offset = (uint64_t(t) * 8 + uint64_t(frame % 8)) * kPage;
        QUARN_MEMLOCK lock = 0;
        void* address = nullptr;
        if (QuarnStaticMemLock(offset, kPage, &lock, &address) != QUARN_OK) {
          ++failures;
          continue;
        }
        auto* bytes = static_cast<uint8_t*>(address);
        bytes[0] = static_cast<uint8_t>(t);
        bytes[kPage - 1] = static_cast<uint8_t>(frame);
        if (bytes[0] != t || QuarnStaticMemUnlock(lock) != QUARN_OK) ++failures;
      }
    });
  }
  for (int i = 0; i < kFrames; ++i) {
    int pages = 0;
    if (QuarnGetStaticMem(&pages) != QUARN_OK || pages != reserved) ++failures;
    ScopedLock playback(uint64_t(kThreads) * 8 * kPage, kPage);
    if (playback.status() != QUARN_OK) ++failures;
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  // Every thread's last frame landed in its own page.
  ScopedLock check(0, uint64_t(kThreads) * 8 * kPage);
  ASSERT_EQ(check.status(), QUARN_OK);
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(check.bytes()[uint64_t(t) * 8 * kPage], t);
}

}  // namespace
