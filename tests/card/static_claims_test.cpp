// static_claims_test.cpp - claims within one process (the recording double's static memory is
// not backed by a file, so nothing reaches other processes): which claims of which owners
// conflict, what a release frees, and the search for the highest free range.
#include "static_claims.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "QuarnVideo.h"
#include "card_test_support.h"

namespace {

const int kPipelineA = 0;
const int kPipelineB = 0;
const ClaimOwner kA = &kPipelineA;
const ClaimOwner kB = &kPipelineB;

struct ConflictCase {
  const char* what;
  ClaimOwner firstOwner;
  uint64_t firstOffset, firstSize;
  ClaimOwner secondOwner;
  uint64_t secondOffset, secondSize;
  int expected;
};

class StaticClaimsTest : public cardtest::CardTest {};

// Two programs' cards share kProgramOwner and reuse each other's ranges (a ring over another
// card's snap shot); a source element must never write into what anybody else claimed.
TEST_F(StaticClaimsTest, OnlyOverlapsOfDifferentOwnersConflict) {
  const ConflictCase cases[] = {
      {"program over program", kProgramOwner, 0, 8192, kProgramOwner, 4096, 8192, QUARN_OK},
      {"pipeline over itself", kA, 0, 8192, kA, 0, 8192, QUARN_OK},
      {"pipeline over program", kProgramOwner, 0, 8192, kA, 8191, 1, QUARN_ERR_BUSY},
      {"program over pipeline", kA, 4096, 4096, kProgramOwner, 0, 4097, QUARN_ERR_BUSY},
      {"two pipelines", kA, 4096, 4096, kB, 6000, 100000, QUARN_ERR_BUSY},
      {"side by side", kA, 4096, 4096, kB, 0, 4096, QUARN_OK},
      {"right after", kA, 4096, 4096, kB, 8192, 4096, QUARN_OK},
      {"nothing claimed", kA, 4096, 4096, kB, 5000, 0, QUARN_OK},
  };
  for (const ConflictCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<CClaim> first;
    ASSERT_EQ(ClaimStaticMem(c.firstOwner, c.firstOffset, c.firstSize, first), QUARN_OK);
    std::unique_ptr<CClaim> second;
    EXPECT_EQ(ClaimStaticMem(c.secondOwner, c.secondOffset, c.secondSize, second), c.expected);
    EXPECT_EQ(second != nullptr, c.expected == QUARN_OK);
    // Once the first is let go, the second owner has the range.
    first.reset();
    second.reset();
    EXPECT_EQ(ClaimStaticMem(c.secondOwner, c.secondOffset, c.secondSize, second), QUARN_OK);
  }
}

TEST_F(StaticClaimsTest, ACardHasOneOwnerAtATime) {
  std::unique_ptr<CClaim> program;
  ASSERT_EQ(ClaimCard(kProgramOwner, 2, program), QUARN_OK);
  EXPECT_EQ(program->Offset(), 2u);
  EXPECT_EQ(program->Size(), 1u);
  std::unique_ptr<CClaim> again;
  EXPECT_EQ(ClaimCard(kProgramOwner, 2, again), QUARN_OK) << "the same owner";
  std::unique_ptr<CClaim> pipeline;
  EXPECT_EQ(ClaimCard(kA, 2, pipeline), QUARN_ERR_BUSY);
  EXPECT_EQ(ClaimCard(kA, 3, pipeline), QUARN_OK) << "another card";
  pipeline.reset();
  // Card claims are not static memory: a range at the card's number is free.
  std::unique_ptr<CClaim> memory;
  EXPECT_EQ(ClaimStaticMem(kA, 0, 16, memory), QUARN_OK);
  program.reset();
  EXPECT_EQ(ClaimCard(kA, 2, pipeline), QUARN_ERR_BUSY) << "the second claim still holds it";
  again.reset();
  EXPECT_EQ(ClaimCard(kA, 2, pipeline), QUARN_OK);
}

struct HighestCase {
  const char* what;
  ClaimOwner holder;  // who holds [holdOffset, holdOffset + holdSize)
  uint64_t holdOffset, holdSize;
  uint64_t limit, size, align;
  int expected;
  uint64_t offset;  // where the claim lands
};

TEST_F(StaticClaimsTest, HighestFreeRangeSkipsOtherOwnersClaims) {
  const HighestCase cases[] = {
      {"nothing held", kB, 0, 0, 65536, 4096, 4096, QUARN_OK, 61440},
      {"limit rounded down", kB, 0, 0, 65536 + 100, 4096, 4096, QUARN_OK, 61440},
      {"top held", kB, 61440, 4096, 65536, 4096, 4096, QUARN_OK, 57344},
      {"held across the boundary", kB, 57000, 5000, 65536, 4096, 4096, QUARN_OK, 49152},
      {"own claim on top", kA, 61440, 4096, 65536, 4096, 4096, QUARN_OK, 61440},
      {"program on top", kProgramOwner, 32768, 32768, 65536, 8192, 8192, QUARN_OK, 24576},
      {"aligned below the gap", kB, 4096, 61440, 65536, 4096, 8192, QUARN_OK, 0},
      {"no gap large enough", kB, 4096, 61440, 65536, 8192, 4096, QUARN_ERR_STATIC_MEM, 0},
      {"larger than the limit", kB, 0, 0, 4096, 8192, 4096, QUARN_ERR_STATIC_MEM, 0},
  };
  for (const HighestCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<CClaim> held;
    ASSERT_EQ(ClaimStaticMem(c.holder, c.holdOffset, c.holdSize, held), QUARN_OK);
    std::unique_ptr<CClaim> claim;
    ASSERT_EQ(ClaimHighestFreeStaticMem(kA, c.limit, c.size, c.align, claim), c.expected);
    if (c.expected != QUARN_OK) continue;
    EXPECT_EQ(claim->Offset(), c.offset);
    EXPECT_EQ(claim->Size(), c.size);
    // The range found is the claimant's now.
    std::unique_ptr<CClaim> other;
    EXPECT_EQ(ClaimStaticMem(kB, c.offset, 1, other), QUARN_ERR_BUSY);
  }
}

// Looking for where claims are kept asks the library once, then never again.
TEST_F(StaticClaimsTest, TheClaimsFileIsLookedForOnce) {
  std::vector<std::unique_ptr<CClaim>> claims(3);
  ASSERT_EQ(ClaimCard(kA, 1, claims[0]), QUARN_OK);
  ASSERT_EQ(ClaimStaticMem(kA, 0, 4096, claims[1]), QUARN_OK);
  ASSERT_EQ(ClaimHighestFreeStaticMem(kA, 65536, 4096, 4096, claims[2]), QUARN_OK);
  EXPECT_LE(quarnfake::CallCount("QuarnStaticMemLock"), 1u);
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"),
            quarnfake::CallCount("QuarnStaticMemUnlock"));
}

}  // namespace
