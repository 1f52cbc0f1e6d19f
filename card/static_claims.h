// static_claims.h - claims on cards and on ranges of static memory, so that two users never write
// into each other's frames or run one card at once.
//
// Static memory is shared by every process, and the capture library lets two handles open one card
// as independent cards. A claim says "this range (or card) is mine": while the claim object lives,
// no other owner, in this process or any other process of the user, claims any of it (a process
// that ends lets go of everything it held).
//
// Claims of one owner never conflict with each other: the two programs claim as one owner
// (kProgramOwner), whose cards may reuse each other's ranges as they always have, in one process
// (Hexmont's grid) or two (Solvane beside Hexmont); each GStreamer source element is an owner of
// its own, whose claims conflict with everybody else's, the programs' included.
//
// Across processes the claims are byte-range locks (open file description locks, shared for the
// programs, exclusive for everyone else) on a claims file named after the file behind static
// memory, so that two sets of simulated cards with their own state folders (tests) never see each
// other's claims. When static memory is not backed by a file (the recording double) claims are
// kept within the process only.
#pragma once

#include <cstdint>
#include <memory>

// Who holds a claim; claims of one owner never conflict with each other.
using ClaimOwner = const void*;
// The owner of every claim the programs make.
inline constexpr ClaimOwner kProgramOwner = nullptr;

// One claim, released when it is destroyed.
class CClaim {
 public:
  virtual ~CClaim() = default;
  // The static-memory range claimed (for a card: its number, size 1).
  virtual uint64_t Offset() const = 0;
  virtual uint64_t Size() const = 0;
};

// Claims `size` bytes of static memory from `offset` for `owner`. Returns QUARN_OK with the claim,
// or QUARN_ERR_BUSY when any of the range is claimed by another owner, in this process or
// another. A size of 0 claims nothing and succeeds; a range reaching 2^60 or beyond (where the
// card claims lie) is refused with QUARN_ERR_STATIC_MEM.
int ClaimStaticMem(ClaimOwner owner, uint64_t offset, uint64_t size,
                   std::unique_ptr<CClaim>& claim);

// Claims `size` bytes in the first `limit` bytes of static memory for `owner`, as high up as a
// free range lies, starting on a multiple of `align` bytes (a power of two). The programs put their
// rings and snap shots at the bottom of static memory, so claims from the top leave them room.
// Returns QUARN_OK with the claim, QUARN_ERR_STATIC_MEM when no free range of that size lies
// within the limit, or QUARN_ERR_BAD_PARAMETER for a size of 0 or an `align` that is not a power
// of two.
int ClaimHighestFreeStaticMem(ClaimOwner owner, uint64_t limit, uint64_t size, uint64_t align,
                              std::unique_ptr<CClaim>& claim);

// Claims card `cardNumber` for `owner`: QUARN_OK with the claim, or QUARN_ERR_BUSY when another
// owner (in this process or another) has it.
int ClaimCard(ClaimOwner owner, int cardNumber, std::unique_ptr<CClaim>& claim);
