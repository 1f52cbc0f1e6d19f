// quarnfake.h - the control side of the recording capture library: a test links `quarnfake`
// instead of the simulated cards, sets up the card world, scripts statuses, drives snap frames on
// demand and reads back every call the code under test made, in order.
//
// A typical test:
//
//   quarnfake::ScopedFake fake;                         // Reset() now and at the end
//   quarnfake::SetCardCount(2);
//   quarnfake::SetSignals(2, {4});                      // only "Video 5" of card 2 has a signal
//   quarnfake::Script("QuarnSetVideoFormat", 2).Returns(QUARN_ERR_NOT_APPLIED);
//   quarnfake::Name(&hostWindow, "wnd");                // shows as "wnd" in the text form
//   ... run the code under test ...
//   EXPECT_THAT(quarnfake::Calls().Card(2).Texts(),
//               ElementsAre("BeginQuarnCard(2, ptr)", "QuarnSetVideoFormat(h2, 1)"));
//   EXPECT_EQ(quarnfake::Card(1).outputWindow.width, 384);
//
// Defaults (restored by Reset()): 1 card of type 0 with a signal on flat source 0 ("Video 1")
// only; 16384 pages of static memory in force and no pending request; display depth 32 and
// display seed 0; no scripts, no names, an empty log.
//
// Handles are predictable: card n gets HandleOf(n) == 0x100 + n. Opening an open card again
// writes the same handle and returns 0. A card keeps its parameters across EndQuarnCard and
// BeginQuarnCard (like hardware); EndQuarnCard stops its live video and snap and closes the snap.
//
// The double validates arguments like the simulated cards do (unknown codes, windows out of
// bounds, null out-pointers, handle 0 or not open, snap calls in the wrong order, static-memory
// ranges outside the reservation) and then returns a non-zero status without changing anything.
//
// Every function here is thread-safe. The double holds no lock while it runs a snap callback or a
// host-window function, so those may call the library and these functions freely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "QuarnVidEx.h"
#include "QuarnVideo.h"

namespace quarnfake {

// ---- Defaults and fixed numbering -------------------------------------------------------------
inline constexpr int kDefaultCardCount = 1;
inline constexpr int kMaxCards = 1024;
inline constexpr int kDefaultStaticMemPages = 16384;
inline constexpr int kMaxStaticMemPages = 10000000;
inline constexpr int kDefaultDisplayDepth = 32;
// Flat source indices: 0-5 "Video 1".."Video 6", 6-8 "S-Video 1".."S-Video 3", 9-10 "YCbCr1/2".
inline constexpr int kSourceCount = 11;

// The handle BeginQuarnCard writes for card `card` (from 1).
constexpr QUARN_HANDLE HandleOf(int card) {
  return static_cast<QUARN_HANDLE>(0x100 + card);
}
// The card a handle of HandleOf() names, or 0 for any other value.
constexpr int CardOf(QUARN_HANDLE handle) {
  return handle > 0x100 && handle <= 0x100 + static_cast<QUARN_HANDLE>(kMaxCards)
             ? static_cast<int>(handle - 0x100)
             : 0;
}

// Names of every operation of QuarnVideo.h and QuarnVidEx.h, in header order.
std::span<const std::string_view> Operations();

// ---- The call log -------------------------------------------------------------------------------

// One recorded argument.
struct Arg {
  enum class Kind : uint8_t {
    kInt,       // int, 8-bit and 16-bit values, sign kept
    kUnsigned,  // 64-bit offsets and sizes, reserved words, static-memory lock ids
    kHandle,    // a QUARN_HANDLE
    kPointer,   // any pointer (also function pointers): null or not, plus the raw address
  };
  Kind kind = Kind::kInt;
  uint64_t bits = 0;       // the value; read it with the accessors below
  int64_t memOffset = -1;  // kPointer into the static memory in force at the call: byte offset

  int64_t Int() const { return static_cast<int64_t>(bits); }
  uint64_t Unsigned() const { return bits; }
  const void* Pointer() const;
  bool IsNull() const { return kind == Kind::kPointer && bits == 0; }
};

// One recorded call. `args` follow the C signature exactly (for per-card operations args[0] is
// the handle), so Int(1) of a QuarnSetVideoSource call is the source type.
struct Call {
  uint64_t seq = 0;         // order of the call in the process since the last Reset(), from 1
  std::string_view op;      // operation name, e.g. "QuarnSetVideoSource"
  int card = 0;             // the card the call concerns (by handle or card number), else 0
  QUARN_HANDLE handle = 0;  // the handle argument, 0 for operations without one
  int status = 0;           // the status returned (0 for QuarnGetErrorString)
  std::vector<Arg> args;

  // Argument accessors; an index past the arguments aborts the test program with a message.
  int64_t Int(size_t i) const;
  uint64_t Unsigned(size_t i) const;
  const void* Pointer(size_t i) const;
  bool IsNull(size_t i) const;

  // One line, e.g. "QuarnSetVideoSource(h1, 0, 3)". Handles of HandleOf(n) print as "hn", others
  // in hex ("0" for 0); pointers print as their Name() if named, "null", "mem+<offset>" inside
  // static memory, else "ptr". The status is not part of it (see Line()).
  std::string Text() const;
  // Text() followed by " -> <status>" when the status is non-zero.
  std::string Line() const;
};

// A snapshot of (part of) the log, oldest call first, with chainable filters.
class CallList {
 public:
  using value_type = Call;
  using const_iterator = std::vector<Call>::const_iterator;
  using iterator = const_iterator;
  using size_type = size_t;

  CallList() = default;
  explicit CallList(std::vector<Call> calls) : calls_(std::move(calls)) {}

  CallList Op(std::string_view op) const;       // calls of one operation
  CallList Without(std::string_view op) const;  // every call but those of one operation
  CallList Card(int card) const;                // calls concerning one card
  CallList Handle(QUARN_HANDLE handle) const;   // calls given exactly this handle

  std::vector<std::string> Texts() const;  // Text() of each call
  std::vector<std::string> Lines() const;  // Line() of each call
  std::string Log() const;                 // Line() of each call, one per line

  const_iterator begin() const { return calls_.begin(); }
  const_iterator end() const { return calls_.end(); }
  size_t size() const { return calls_.size(); }
  bool empty() const { return calls_.empty(); }
  const Call& operator[](size_t i) const { return calls_[i]; }
  const Call& front() const { return calls_.front(); }
  const Call& back() const { return calls_.back(); }

 private:
  std::vector<Call> calls_;
};

CallList Calls();                     // every call since the last ClearCalls()/Reset()
CallList Calls(std::string_view op);  // calls of one operation
size_t CallCount(std::string_view op);
void ClearCalls();  // empties the log; nothing else changes

// Runs `hook` each time a call of `op` is recorded, before the call does anything, on the caller's
// thread with the log locked (the hook must not call the library). An empty hook removes it;
// Reset() removes all. For checking what holds at the moment of a call.
void OnCall(std::string_view op, std::function<void()> hook);

// Gives a pointer a readable name in the text form (window and DC structs, contexts, buffers).
void Name(const void* pointer, std::string name);

// gtest prints calls with these.
void PrintTo(const Call& call, std::ostream* os);
std::ostream& operator<<(std::ostream& os, const CallList& calls);

// ---- Scripted statuses --------------------------------------------------------------------------
//
// A scripted non-zero status is returned before anything else is checked; the call is still
// recorded and nothing changes and no out-parameter is written (one exception: QuarnGetCardTotal
// still writes the count, since the programs ignore its status). A scripted 0 means "behave
// normally" for that call. For each call the card's rule (if the call concerns a card) is asked
// first, then the operation's rule; a rule answers with the front of its queue, else with its
// standing status.
class ScriptRule {
 public:
  // From now on every call returns `status` (after the queue is used up).
  ScriptRule& Returns(int status);
  // The next `times` calls return `status`; queued behind earlier ReturnsNext entries.
  ScriptRule& ReturnsNext(int status, int times = 1);
  // Forgets this rule's standing status and queue.
  void Clear();

 private:
  friend ScriptRule Script(std::string_view op);
  friend ScriptRule Script(std::string_view op, int card);
  ScriptRule(std::string_view op, int card) : op_(op), card_(card) {}
  std::string_view op_;
  int card_;
};

// The rule for every call of `op`, or only for calls concerning card `card`. An unknown operation
// name (or QuarnGetErrorString, which returns no status) aborts the test program with a message.
ScriptRule Script(std::string_view op);
ScriptRule Script(std::string_view op, int card);

// ---- The card world -----------------------------------------------------------------------------

void SetCardCount(int count);                                   // 0 .. kMaxCards
void SetCardType(int card, int type);                           // what QuarnGetCardType writes
void SetSignal(int card, int source, bool signal);              // one flat source index
void SetSignals(int card, std::initializer_list<int> sources);  // exactly these carry a signal

// What a card was last told (values that were accepted, i.e. returned 0), and its run state.
struct CardState {
  bool open = false;
  int type = 0;
  int sourceType = QUARN_SOURCE_VIDEO;
  int sourceNumber = 0;
  int standard = QUARN_STANDARD_PAL;
  int format = QUARN_FORMAT_YUV422;
  int scanMode = QUARN_SCAN_FRAME;
  int crystal = QUARN_CRYSTAL_35M;
  uint8_t brightness = 128, contrast = 128, hue = 128, saturation = 128;
  uint8_t pll = 245;
  QuarnRect inputWindow{0, 0, QUARN_PAL_WIDTH, QUARN_PAL_HEIGHT};
  QuarnRect outputWindow{0, 0, QUARN_PAL_WIDTH, QUARN_PAL_HEIGHT};
  bool maskEnabled = false;
  int maskedPixels = 0;  // pixels QuarnSetPixelMask has marked masked
  int xDelay = 0, yDelay = 0;
  bool mirrorHorizontal = false, mirrorVertical = false;
  uint8_t chromaTrap = 0;
  int captureShots = 0;  // successful QuarnCaptureShot calls
  // Live video.
  bool live = false;
  const QuarnHostWindow* window = nullptr;
  // Snap.
  bool snapOpen = false;
  bool snapStarted = false;
  QuarnSnapCallback callback = nullptr;
  void* context = nullptr;
  uint64_t snapOffset = 0;  // ring start, fixed by QuarnStartSnapEx
  uint16_t snapSlots = 0;
  uint64_t snapFrameBytes = 0;   // bytes of one slot: format, output width, lines at start
  uint32_t framesDelivered = 0;  // DeliverSnapFrame calls since QuarnStartSnapEx
};
CardState Card(int card);
bool PixelMasked(int card, int x, int y);

// Bits per pixel of a stored-frame format as the programs count them (16, 24, 16, 15, 32, 8, 8),
// 0 for an unknown format; bytes per pixel are (bits + 7) / 8.
int BitsPerPixel(int format);
// Bytes of one packed stored frame (no row padding); 0 for an unknown format.
uint64_t FrameBytes(int format, int width, int lines);

// ---- Static memory
// --------------------------------------------------------------------------------
//
// The reservation lives in one anonymous mapping of pages x 4096 bytes made when it is first
// needed, without reserving swap (the kernel backs only the pages that are touched, so 10,000,000
// pages cost nothing until used). When the mapping cannot be made, the lock fails with
// QUARN_ERR_NO_MEMORY. Locks keep the mapping they point into alive, so a pointer from a lock made
// before Restart() stays valid (but no longer shows the memory in force) until it is unlocked.

void SetStaticMemPages(int pages);           // in force now, contents lost, pending request dropped
int StaticMemPages();                        // pages in force
std::optional<int> PendingStaticMemPages();  // last QuarnSetStaticMem request not yet applied
void Restart();      // the machine restarts: the pending request takes effect;
                     // contents are lost either way
size_t OpenLocks();  // locks not yet unlocked (pairing checks)
// The bytes [offset, offset + size) of the memory in force, for reading or writing straight from
// the test; empty when the range leaves the reservation or size is 0.
std::span<uint8_t> StaticMemory(uint64_t offset, uint64_t size);
// Records that frames of `format` lie in [offset, offset + bytes), so that QuarnDataTransform
// with QUARN_TRANSFORM_STORED reads them in that format (16-bit frames may be YUV422 or RGB565).
// QuarnSnapShot and QuarnStartSnapEx tag what they cover with the card's format themselves.
void TagFrames(uint64_t offset, uint64_t bytes, int format);

// ---- Snap and live video, on demand ------------------------------------------------------------

// Calls the callback QuarnOpenSnapEx registered for card `card` on the caller's thread with
// {card, frames delivered since QuarnStartSnapEx, slot, context} and returns its result. Returns
// QUARN_ERR_SNAP_STATE (calling nothing) unless the card's snap is open and started, and
// QUARN_ERR_BAD_PARAMETER for a slot outside the ring. With `fill`, the slot's bytes are first
// filled with the pattern, repeated.
int DeliverSnapFrame(int card, uint32_t slot);
int DeliverSnapFrame(int card, uint32_t slot, std::span<const uint8_t> fill);
// The bytes of one slot of the card's started ring; empty when none.
std::span<uint8_t> SnapSlot(int card, uint32_t slot);

// Calls DrawPixels of the card's live window on the caller's thread with one frame of colour
// `xrgb` (0x00RRGGBB) at the output window's screen position and size (half height in the field
// scan modes). Returns 0, or QUARN_ERR_GENERAL when the card's live video is off.
int DrawLiveFrame(int card, uint32_t xrgb);

// ---- Pixels -------------------------------------------------------------------------------------

// Bytes of one row of a device-independent bitmap: rows are padded to 4 bytes.
size_t DibStride(int width, int bitsPerPixel);

// QuarnGetDisplayBits does not read the device context: it writes the display depth into
// *bitCount and fills a bottom-up bitmap at that depth (rows padded to 4 bytes with zeros) with a
// pattern of the client point (X, Y) each pixel shows: red = X & 0xFF, green = Y & 0xFF,
// blue = the display seed. Depth 32: B G R 0; 24: B G R; 16: RRRRRGGGGGGBBBBB and 15:
// 0RRRRRGGGGGBBBBB, little-endian, from the top bits of each colour; 8: grey
// (77 R + 150 G + 29 B + 128) >> 8. Other depths make QuarnGetDisplayBits fail with
// QUARN_ERR_BAD_PARAMETER.
void SetDisplayDepth(int bitsPerPixel);
void SetDisplaySeed(uint8_t seed);
// The bytes QuarnGetDisplayBits writes for that rectangle, at the current (or a given) depth and
// seed.
std::vector<uint8_t> ExpectedDisplayBits(int x, int y, int width, int height);
std::vector<uint8_t> ExpectedDisplayBits(int x, int y, int width, int height, int depth,
                                         uint8_t seed);

// QuarnDataTransform converts for real: YUV422 by BT.601 studio range (Y 16..235, U/V 16..240),
// RGB565 and RGB555 expanded by repeating each colour's top bits, RGB888 copied, RGB8888 with X
// dropped, all into 24-bit B G R; both 8-bit formats copied into 8 bit, as the simulated cards do.
// Output is bottom-up, rows padded to 4 bytes with zeros. ExpectedTransform gives the same bytes
// for a source frame (packed, top row first) of `format`; empty for an unknown format or a source
// too small.
std::vector<uint8_t> ExpectedTransform(std::span<const uint8_t> source, int width, int height,
                                       int format);

// ---- Whole double -----------------------------------------------------------------------------

// The text QuarnGetErrorString gives for `status` (the same pointer), without recording a call.
const char* ErrorText(int status);

// Back to the defaults listed at the top: log, scripts, names, world, memory, locks, tags,
// callbacks. Pointers from earlier locks become invalid.
void Reset();

// Reset() on construction and destruction, so each test starts and leaves clean.
class ScopedFake {
 public:
  ScopedFake() { Reset(); }
  ~ScopedFake() { Reset(); }
  ScopedFake(const ScopedFake&) = delete;
  ScopedFake& operator=(const ScopedFake&) = delete;
};

}  // namespace quarnfake
