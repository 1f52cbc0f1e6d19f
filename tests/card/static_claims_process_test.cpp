// static_claims_process_test.cpp - claims between processes, over the simulated cards' static
// memory (a file in this test's own simulator state folder, set by main): a forked child claims
// and reports through a pipe while it holds its claims.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "QuarnVideo.h"
#include "static_claims.h"
#include "unique_fd.h"

namespace {

const int kPipeline = 0;
const ClaimOwner kPipelineOwner = &kPipeline;

using Held = std::vector<std::unique_ptr<CClaim>>;

// Reads exactly `size` bytes; false at the end of the pipe before that.
bool ReadAll(int fd, void* data, size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::read(fd, bytes, size);
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A forked child that runs `claims`, reports the statuses they returned through a pipe, and keeps
// what it claimed until Finish (or the destructor) lets it end; its locks go with it.
class ClaimingChild {
 public:
  explicit ClaimingChild(const std::function<std::vector<int>(Held&)>& claims) {
    int report[2];
    int go[2];
    if (::pipe(report) != 0) return;
    UniqueFd reportRead(report[0]);
    UniqueFd reportWrite(report[1]);
    if (::pipe(go) != 0) return;
    UniqueFd goRead(go[0]);
    goWrite_ = UniqueFd(go[1]);
    pid_ = ::fork();
    if (pid_ == 0) {
      goWrite_.reset();
      reportRead.reset();
      Held held;
      std::vector<int> message = claims(held);
      message.insert(message.begin(), static_cast<int>(message.size()));
      const size_t bytes = message.size() * sizeof(int);
      if (::write(reportWrite.get(), message.data(), bytes) != static_cast<ssize_t>(bytes)) {
        ::_exit(1);
      }
      char byte = 0;
      (void)!::read(goRead.get(), &byte, 1);  // until the parent lets go (or is gone)
      ::_exit(0);
    }
    reportWrite.reset();
    int count = 0;
    if (!ReadAll(reportRead.get(), &count, sizeof count) || count < 0) return;
    statuses_.resize(static_cast<size_t>(count));
    if (!ReadAll(reportRead.get(), statuses_.data(), statuses_.size() * sizeof(int))) {
      statuses_.clear();
    }
  }
  ~ClaimingChild() { Finish(); }
  ClaimingChild(const ClaimingChild&) = delete;
  ClaimingChild& operator=(const ClaimingChild&) = delete;

  const std::vector<int>& Statuses() const { return statuses_; }
  // Lets the child end and waits for it; true when it ended normally.
  bool Finish() {
    if (pid_ <= 0) return false;
    goWrite_.reset();
    int status = 0;
    const bool waited = ::waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  pid_t pid_ = -1;
  UniqueFd goWrite_;
  std::vector<int> statuses_;
};

// Claims of static memory [offset, offset + size) for `owner`, as a child's claims.
int Claim(Held& held, ClaimOwner owner, uint64_t offset, uint64_t size) {
  std::unique_ptr<CClaim> claim;
  const int status = ClaimStaticMem(owner, offset, size, claim);
  if (claim) held.push_back(std::move(claim));
  return status;
}

// Solvane beside Hexmont shares cards and memory as it always has; a pipeline in another process
// is kept out of what the programs hold, and they out of what it holds.
TEST(StaticClaimsProcessTest, ProcessesConflictUnlessBothAreThePrograms) {
  std::unique_ptr<CClaim> mine;
  ASSERT_EQ(ClaimStaticMem(kProgramOwner, 4096, 8192, mine), QUARN_OK);
  std::unique_ptr<CClaim> card;
  ASSERT_EQ(ClaimCard(kProgramOwner, 1, card), QUARN_OK);
  ClaimingChild child([](Held& held) {
    std::unique_ptr<CClaim> pipelineCard;
    std::unique_ptr<CClaim> programCard;
    const int pipelineCardStatus = ClaimCard(kPipelineOwner, 1, pipelineCard);
    const int programCardStatus = ClaimCard(kProgramOwner, 1, programCard);
    return std::vector<int>{
        Claim(held, kProgramOwner, 4000, 200),     // over the parent's start: shared
        Claim(held, kPipelineOwner, 12287, 1),     // the parent's last byte
        Claim(held, kPipelineOwner, 0, 4000),      // below everything
        Claim(held, kPipelineOwner, 12288, 4096),  // right above the parent's
        pipelineCardStatus,
        programCardStatus,
    };
  });
  EXPECT_EQ(child.Statuses(), (std::vector<int>{QUARN_OK, QUARN_ERR_BUSY, QUARN_OK, QUARN_OK,
                                                QUARN_ERR_BUSY, QUARN_OK}));
  // And the parent sees what the child holds, until the child ends.
  std::unique_ptr<CClaim> claim;
  EXPECT_EQ(ClaimStaticMem(kProgramOwner, 12288, 1, claim), QUARN_ERR_BUSY) << "its pipeline's";
  EXPECT_EQ(ClaimStaticMem(kPipelineOwner, 4000, 1, claim), QUARN_ERR_BUSY) << "its program's";
  EXPECT_EQ(ClaimHighestFreeStaticMem(kPipelineOwner, 16384, 4096, 4096, claim),
            QUARN_ERR_STATIC_MEM)
      << "every page below 16384 is held, by the child or by another owner here";
  ASSERT_TRUE(child.Finish());
  EXPECT_EQ(ClaimStaticMem(kProgramOwner, 12288, 1, claim), QUARN_OK);
  claim.reset();
  EXPECT_EQ(ClaimStaticMem(kPipelineOwner, 0, 4096, claim), QUARN_OK);
}

// A release unlocks only what no other claim of the process still covers.
TEST(StaticClaimsProcessTest, APartialReleaseKeepsWhatAnotherClaimCovers) {
  std::unique_ptr<CClaim> first;
  std::unique_ptr<CClaim> second;
  ASSERT_EQ(ClaimStaticMem(kProgramOwner, 0, 8192, first), QUARN_OK);
  ASSERT_EQ(ClaimStaticMem(kProgramOwner, 4096, 8192, second), QUARN_OK);
  first.reset();
  ClaimingChild child([](Held& held) {
    return std::vector<int>{
        Claim(held, kPipelineOwner, 4095, 2),   // across into the second's
        Claim(held, kPipelineOwner, 8191, 1),   // inside both before
        Claim(held, kPipelineOwner, 12287, 1),  // the second's last byte
        Claim(held, kPipelineOwner, 0, 4096),   // the first's alone: free now
    };
  });
  EXPECT_EQ(child.Statuses(),
            (std::vector<int>{QUARN_ERR_BUSY, QUARN_ERR_BUSY, QUARN_ERR_BUSY, QUARN_OK}));
}

// The highest free range passes over what another process holds, and the range found is then
// held against that process too.
TEST(StaticClaimsProcessTest, HighestFreeRangeSkipsAnotherProcessesClaims) {
  std::unique_ptr<CClaim> warm;  // the parent finds its claims file before the child is forked
  ASSERT_EQ(ClaimStaticMem(kProgramOwner, 0, 1, warm), QUARN_OK);
  ClaimingChild child(
      [](Held& held) { return std::vector<int>{Claim(held, kPipelineOwner, 60000, 5536)}; });
  ASSERT_EQ(child.Statuses(), std::vector<int>{QUARN_OK});
  std::unique_ptr<CClaim> claim;
  ASSERT_EQ(ClaimHighestFreeStaticMem(kProgramOwner, 65536, 4096, 4096, claim), QUARN_OK);
  EXPECT_EQ(claim->Offset(), 53248u);
  ClaimingChild second(
      [](Held& held) { return std::vector<int>{Claim(held, kPipelineOwner, 53248 + 4095, 1)}; });
  EXPECT_EQ(second.Statuses(), std::vector<int>{QUARN_ERR_BUSY});
}

}  // namespace

// A fresh simulator state folder for the process, which is also where its claims file goes, so
// that parallel tests never share static memory or claims and nothing is left behind.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string dir = (std::filesystem::temp_directory_path() / "quarn-claims-test-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 2;
  setenv("QUARN_SIM_STATE_DIR", dir.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return result;
}
