// quarnfake.cpp - the recording capture library's shared state and its control functions for tests
// (see quarnfake.h).
#include "quarnfake.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "fake_pixels.h"
#include "fake_world.h"

namespace quarnfake {

namespace internal {

namespace {

constexpr std::array<std::string_view, 33> kOperations = {
    "QuarnGetCardTotal",      "BeginQuarnCard",        "EndQuarnCard",
    "QuarnGetErrorString",    "QuarnGetCardType",      "QuarnSetVideoSource",
    "QuarnVideoPresent",      "QuarnSetVideoStandard", "QuarnSetVideoFormat",
    "QuarnSetScanMode",       "QuarnSelectCryOSC",     "QuarnAdjustVideo",
    "QuarnSetPLLFrequency",   "QuarnSetInputWindow",   "QuarnSetOutputWindow",
    "QuarnEnableMask",        "QuarnSetPixelMask",     "QuarnSetDelay",
    "QuarnEnableVideoMirror", "QuarnLumaControl",      "QuarnCaptureShot",
    "QuarnSnapShot",          "QuarnGetStaticMem",     "QuarnSetStaticMem",
    "QuarnStaticMemLock",     "QuarnStaticMemUnlock",  "QuarnCaptureEx",
    "QuarnOpenSnapEx",        "QuarnCloseSnapEx",      "QuarnStartSnapEx",
    "QuarnStopSnapEx",        "QuarnGetDisplayBits",   "QuarnDataTransform",
};

std::string HandleText(uint64_t handle) {
  if (handle == 0) return "0";
  const int card = CardOf(static_cast<QUARN_HANDLE>(handle));
  if (card != 0) {
    // Appended rather than "h" + std::to_string(card): GCC 12 at -O3 reports that insertion at
    // the front of the number as an overlapping copy of unbounded size (a false -Wrestrict).
    std::string text = "h";
    text += std::to_string(card);
    return text;
  }
  char text[24];
  std::snprintf(text, sizeof text, "0x%" PRIx64, handle);
  return text;
}

}  // namespace

Mapping::Mapping(uint64_t size) {
  if (size == 0 || size > SIZE_MAX) return;
  // NORESERVE: the reservation may be tens of gigabytes; only touched pages get backed.
  void* p = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return;
  data_ = static_cast<uint8_t*>(p);
  size_ = size;
}

Mapping::~Mapping() {
  if (data_ != nullptr) munmap(data_, static_cast<size_t>(size_));
}

bool Mapping::Contains(const void* p) const {
  const auto a = reinterpret_cast<uintptr_t>(p);
  const auto base = reinterpret_cast<uintptr_t>(data_);
  return data_ != nullptr && a >= base && a - base < size_;
}

void World::ResetLocked() {
  calls.clear();
  nextSeq = 1;
  rules.clear();
  names.clear();
  hooks.clear();
  cardCount = kDefaultCardCount;
  cards.assign(kMaxCards, CardWorld{});
  pagesInForce = kDefaultStaticMemPages;
  pendingPages.reset();
  locks.clear();
  memory.reset();
  nextLock = 1;
  tags.clear();
  displayDepth = kDefaultDisplayDepth;
  displaySeed = 0;
}

CardWorld* World::CardAt(int card) {
  if (card < 1 || card > kMaxCards) return nullptr;
  return &cards[static_cast<size_t>(card - 1)];
}

CardWorld* World::OpenCard(QUARN_HANDLE handle) {
  CardWorld* c = CardAt(CardOf(handle));
  return c != nullptr && c->state.open ? c : nullptr;
}

bool World::InReservation(uint64_t offset, uint64_t size) const {
  const uint64_t total = ReservationBytes();
  return offset <= total && size <= total - offset;
}

Mapping* World::Memory() {
  if (memory == nullptr && pagesInForce > 0) {
    auto m = std::make_shared<Mapping>(ReservationBytes());
    if (m->ok()) memory = std::move(m);
  }
  return memory.get();
}

int64_t World::OffsetOf(const void* p) const {
  if (memory == nullptr || !memory->Contains(p)) return -1;
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(p) -
                              reinterpret_cast<uintptr_t>(memory->data()));
}

void World::Tag(uint64_t offset, uint64_t bytes, int format) {
  if (bytes == 0) return;
  // Drop the records the new one covers entirely; keep the table bounded.
  std::erase_if(tags, [&](const FrameTag& t) {
    return t.offset >= offset && t.offset - offset + t.bytes <= bytes;
  });
  if (tags.size() >= 256) tags.erase(tags.begin());
  tags.push_back(FrameTag{offset, bytes, format});
}

std::optional<int> World::TagAt(uint64_t offset) const {
  for (auto it = tags.rbegin(); it != tags.rend(); ++it) {
    if (offset >= it->offset && offset - it->offset < it->bytes) return it->format;
  }
  return std::nullopt;
}

int World::ScriptedStatus(std::string_view op, int card) {
  auto answer = [&](int key) -> std::optional<int> {
    auto it = rules.find(std::pair<std::string_view, int>(op, key));
    if (it == rules.end()) return std::nullopt;
    Rule& r = it->second;
    if (!r.queue.empty()) {
      const int s = r.queue.front();
      r.queue.pop_front();
      return s;
    }
    return r.standing;
  };
  if (card != 0) {
    if (auto s = answer(card)) return *s;
  }
  return answer(0).value_or(0);
}

std::string World::Format(const Call& call) const {
  std::string text(call.op);
  text += '(';
  for (size_t i = 0; i < call.args.size(); ++i) {
    const Arg& a = call.args[i];
    if (i > 0) text += ", ";
    switch (a.kind) {
      case Arg::Kind::kInt:
        text += std::to_string(a.Int());
        break;
      case Arg::Kind::kUnsigned:
        text += std::to_string(a.Unsigned());
        break;
      case Arg::Kind::kHandle:
        text += HandleText(a.bits);
        break;
      case Arg::Kind::kPointer: {
        auto named = names.find(a.Pointer());
        if (a.bits != 0 && named != names.end()) {
          text += named->second;
        } else if (a.bits == 0) {
          text += "null";
        } else if (a.memOffset >= 0) {
          text += "mem+" + std::to_string(a.memOffset);
        } else {
          text += "ptr";
        }
        break;
      }
    }
  }
  text += ')';
  return text;
}

World& TheWorld() {
  // Never destroyed: C operations may still be called from static destructors of the program
  // under test.
  static World* const world = new World();
  return *world;
}

std::optional<std::string_view> KnownOperation(std::string_view op) {
  for (std::string_view known : kOperations) {
    if (known == op) return known;
  }
  return std::nullopt;
}

void Misuse(const std::string& message) {
  std::fprintf(stderr, "quarnfake: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

Entry::Entry(std::string_view op, int card, QUARN_HANDLE handle, std::initializer_list<Arg> args)
    : world_(TheWorld()), lock_(world_.mutex), index_(world_.calls.size()), handle_(handle) {
  Call call;
  call.seq = world_.nextSeq++;
  call.op = op;
  call.card = card;
  call.handle = handle;
  call.args.assign(args.begin(), args.end());
  for (Arg& a : call.args) {
    if (a.kind == Arg::Kind::kPointer) a.memOffset = world_.OffsetOf(a.Pointer());
  }
  world_.calls.push_back(std::move(call));
  if (const auto hook = world_.hooks.find(op); hook != world_.hooks.end()) hook->second();
  scripted_ = world_.ScriptedStatus(op, card);
}

int Entry::Done(int status) {
  world_.calls[index_].status = status;
  return status;
}

CardWorld* Entry::card() {
  return world_.OpenCard(handle_);
}

}  // namespace internal

using internal::TheWorld;
using internal::World;

namespace {

std::unique_lock<std::mutex> Locked(World& w) {
  return std::unique_lock<std::mutex>(w.mutex);
}

internal::CardWorld& CardOrDie(World& w, int card) {
  internal::CardWorld* c = w.CardAt(card);
  if (c == nullptr)
    internal::Misuse("no card " + std::to_string(card) + " (1.." + std::to_string(kMaxCards) + ")");
  return *c;
}

// The slot's bytes inside the memory in force, or empty (caller holds the mutex).
std::span<uint8_t> SlotLocked(World& w, int card, uint32_t slot) {
  internal::CardWorld* c = w.CardAt(card);
  if (c == nullptr || !c->state.snapStarted || slot >= c->state.snapSlots) return {};
  const CardState& s = c->state;
  internal::Mapping* m = w.Memory();
  const uint64_t offset = s.snapOffset + s.snapFrameBytes * slot;
  if (m == nullptr || !w.InReservation(offset, s.snapFrameBytes)) return {};
  return {m->data() + offset, static_cast<size_t>(s.snapFrameBytes)};
}

}  // namespace

std::span<const std::string_view> Operations() {
  return internal::kOperations;
}

// ---- Call
// -----------------------------------------------------------------------------------------

const void* Arg::Pointer() const {
  return reinterpret_cast<const void*>(static_cast<uintptr_t>(bits));
}

namespace {
const Arg& ArgAt(const Call& call, size_t i) {
  if (i >= call.args.size()) {
    internal::Misuse("argument " + std::to_string(i) + " of " + std::string(call.op) +
                     " asked for; it has " + std::to_string(call.args.size()));
  }
  return call.args[i];
}
}  // namespace

int64_t Call::Int(size_t i) const {
  return ArgAt(*this, i).Int();
}
uint64_t Call::Unsigned(size_t i) const {
  return ArgAt(*this, i).Unsigned();
}
const void* Call::Pointer(size_t i) const {
  return ArgAt(*this, i).Pointer();
}
bool Call::IsNull(size_t i) const {
  return ArgAt(*this, i).IsNull();
}

std::string Call::Text() const {
  World& w = TheWorld();
  auto lock = Locked(w);
  return w.Format(*this);
}

std::string Call::Line() const {
  std::string line = Text();
  if (status != 0) line += " -> " + std::to_string(status);
  return line;
}

// ---- CallList
// -------------------------------------------------------------------------------------

namespace {
template <typename Pred>
CallList Filter(const CallList& list, Pred keep) {
  std::vector<Call> out;
  for (const Call& c : list) {
    if (keep(c)) out.push_back(c);
  }
  return CallList(std::move(out));
}
}  // namespace

CallList CallList::Op(std::string_view op) const {
  return Filter(*this, [&](const Call& c) { return c.op == op; });
}
CallList CallList::Without(std::string_view op) const {
  return Filter(*this, [&](const Call& c) { return c.op != op; });
}
CallList CallList::Card(int card) const {
  return Filter(*this, [&](const Call& c) { return c.card == card; });
}
CallList CallList::Handle(QUARN_HANDLE handle) const {
  return Filter(*this, [&](const Call& c) {
    return !c.args.empty() && c.args[0].kind == Arg::Kind::kHandle && c.handle == handle;
  });
}

std::vector<std::string> CallList::Texts() const {
  World& w = TheWorld();
  auto lock = Locked(w);
  std::vector<std::string> out;
  out.reserve(calls_.size());
  for (const Call& c : calls_) out.push_back(w.Format(c));
  return out;
}

std::vector<std::string> CallList::Lines() const {
  std::vector<std::string> out = Texts();
  for (size_t i = 0; i < out.size(); ++i) {
    if (calls_[i].status != 0) out[i] += " -> " + std::to_string(calls_[i].status);
  }
  return out;
}

std::string CallList::Log() const {
  std::string log;
  for (const std::string& line : Lines()) {
    log += line;
    log += '\n';
  }
  return log;
}

CallList Calls() {
  World& w = TheWorld();
  auto lock = Locked(w);
  return CallList(w.calls);
}

CallList Calls(std::string_view op) {
  return Calls().Op(op);
}

size_t CallCount(std::string_view op) {
  World& w = TheWorld();
  auto lock = Locked(w);
  return static_cast<size_t>(
      std::count_if(w.calls.begin(), w.calls.end(), [&](const Call& c) { return c.op == op; }));
}

void ClearCalls() {
  World& w = TheWorld();
  auto lock = Locked(w);
  w.calls.clear();
}

void Name(const void* pointer, std::string name) {
  World& w = TheWorld();
  auto lock = Locked(w);
  w.names[pointer] = std::move(name);
}

void PrintTo(const Call& call, std::ostream* os) {
  *os << call.Line();
}

std::ostream& operator<<(std::ostream& os, const CallList& calls) {
  return os << "\n" << calls.Log();
}

// ---- Scripts
// --------------------------------------------------------------------------------------

namespace {
internal::Rule& RuleFor(World& w, std::string_view op, int card) {
  auto it = w.rules.find(std::pair<std::string_view, int>(op, card));
  if (it == w.rules.end()) it = w.rules.emplace(std::pair(op, card), internal::Rule{}).first;
  return it->second;
}

std::string_view ScriptableOperation(std::string_view op) {
  auto known = internal::KnownOperation(op);
  if (!known) internal::Misuse("no operation named \"" + std::string(op) + "\" to script");
  if (*known == "QuarnGetErrorString") internal::Misuse("QuarnGetErrorString returns no status");
  return *known;
}
}  // namespace

ScriptRule& ScriptRule::Returns(int status) {
  World& w = TheWorld();
  auto lock = Locked(w);
  RuleFor(w, op_, card_).standing = status;
  return *this;
}

ScriptRule& ScriptRule::ReturnsNext(int status, int times) {
  World& w = TheWorld();
  auto lock = Locked(w);
  internal::Rule& r = RuleFor(w, op_, card_);
  for (int i = 0; i < times; ++i) r.queue.push_back(status);
  return *this;
}

void ScriptRule::Clear() {
  World& w = TheWorld();
  auto lock = Locked(w);
  w.rules.erase(std::pair<std::string_view, int>(op_, card_));
}

ScriptRule Script(std::string_view op) {
  return ScriptRule(ScriptableOperation(op), 0);
}

ScriptRule Script(std::string_view op, int card) {
  if (card < 1 || card > kMaxCards)
    internal::Misuse("no card " + std::to_string(card) + " to script");
  return ScriptRule(ScriptableOperation(op), card);
}

// ---- Card world
// -----------------------------------------------------------------------------------

void SetCardCount(int count) {
  if (count < 0 || count > kMaxCards) internal::Misuse("card count " + std::to_string(count));
  World& w = TheWorld();
  auto lock = Locked(w);
  w.cardCount = count;
}

void SetCardType(int card, int type) {
  World& w = TheWorld();
  auto lock = Locked(w);
  CardOrDie(w, card).state.type = type;
}

void SetSignal(int card, int source, bool signal) {
  if (source < 0 || source >= kSourceCount) internal::Misuse("no source " + std::to_string(source));
  World& w = TheWorld();
  auto lock = Locked(w);
  CardOrDie(w, card).signals.set(static_cast<size_t>(source), signal);
}

void SetSignals(int card, std::initializer_list<int> sources) {
  std::bitset<kSourceCount> bits;
  for (int s : sources) {
    if (s < 0 || s >= kSourceCount) internal::Misuse("no source " + std::to_string(s));
    bits.set(static_cast<size_t>(s));
  }
  World& w = TheWorld();
  auto lock = Locked(w);
  CardOrDie(w, card).signals = bits;
}

CardState Card(int card) {
  World& w = TheWorld();
  auto lock = Locked(w);
  return CardOrDie(w, card).state;
}

bool PixelMasked(int card, int x, int y) {
  World& w = TheWorld();
  auto lock = Locked(w);
  const internal::CardWorld& c = CardOrDie(w, card);
  if (c.mask.empty() || x < 0 || y < 0 || x >= internal::kMaxWidth || y >= internal::kMaxHeight) {
    return false;
  }
  return c.mask[static_cast<size_t>(y) * internal::kMaxWidth + static_cast<size_t>(x)] != 0;
}

int BitsPerPixel(int format) {
  return internal::FormatBits(format);
}

uint64_t FrameBytes(int format, int width, int lines) {
  if (width < 0 || lines < 0) return 0;
  return static_cast<uint64_t>(internal::FormatBytes(format)) * static_cast<uint64_t>(width) *
         static_cast<uint64_t>(lines);
}

// ---- Static memory
// --------------------------------------------------------------------------------

void SetStaticMemPages(int pages) {
  if (pages < 0 || pages > kMaxStaticMemPages) internal::Misuse("pages " + std::to_string(pages));
  World& w = TheWorld();
  auto lock = Locked(w);
  w.pagesInForce = pages;
  w.pendingPages.reset();
  w.memory.reset();
  w.tags.clear();
}

int StaticMemPages() {
  World& w = TheWorld();
  auto lock = Locked(w);
  return w.pagesInForce;
}

std::optional<int> PendingStaticMemPages() {
  World& w = TheWorld();
  auto lock = Locked(w);
  return w.pendingPages;
}

void Restart() {
  World& w = TheWorld();
  auto lock = Locked(w);
  if (w.pendingPages) w.pagesInForce = *w.pendingPages;
  w.pendingPages.reset();
  // Reserved memory does not survive a restart; locks still held keep their old mapping.
  w.memory.reset();
  w.tags.clear();
}

size_t OpenLocks() {
  World& w = TheWorld();
  auto lock = Locked(w);
  return w.locks.size();
}

std::span<uint8_t> StaticMemory(uint64_t offset, uint64_t size) {
  World& w = TheWorld();
  auto lock = Locked(w);
  if (size == 0 || !w.InReservation(offset, size)) return {};
  internal::Mapping* m = w.Memory();
  if (m == nullptr) return {};
  return {m->data() + offset, static_cast<size_t>(size)};
}

void TagFrames(uint64_t offset, uint64_t bytes, int format) {
  World& w = TheWorld();
  auto lock = Locked(w);
  w.Tag(offset, bytes, format);
}

// ---- Snap and live video
// --------------------------------------------------------------------------

int DeliverSnapFrame(int card, uint32_t slot) {
  return DeliverSnapFrame(card, slot, {});
}

int DeliverSnapFrame(int card, uint32_t slot, std::span<const uint8_t> fill) {
  World& w = TheWorld();
  QuarnSnapCallback callback = nullptr;
  QuarnSnapInfo info{};
  {
    auto lock = Locked(w);
    internal::CardWorld& c = CardOrDie(w, card);
    if (!c.state.snapOpen || !c.state.snapStarted || c.state.callback == nullptr) {
      return QUARN_ERR_SNAP_STATE;
    }
    if (slot >= c.state.snapSlots) return QUARN_ERR_BAD_PARAMETER;
    if (!fill.empty()) {
      std::span<uint8_t> bytes = SlotLocked(w, card, slot);
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = fill[i % fill.size()];
    }
    callback = c.state.callback;
    info.cardNumber = static_cast<uint32_t>(card);
    info.frameNumber = c.state.framesDelivered++;
    info.slot = slot;
    info.context = c.state.context;
  }
  // Outside the lock: the callback calls back into the library (lock, transform, stop, close).
  return callback(&info);
}

std::span<uint8_t> SnapSlot(int card, uint32_t slot) {
  World& w = TheWorld();
  auto lock = Locked(w);
  return SlotLocked(w, card, slot);
}

int DrawLiveFrame(int card, uint32_t xrgb) {
  World& w = TheWorld();
  const QuarnHostWindow* window = nullptr;
  QuarnRect rect{};
  {
    auto lock = Locked(w);
    const CardState& s = CardOrDie(w, card).state;
    if (!s.live || s.window == nullptr) return QUARN_ERR_GENERAL;
    window = s.window;
    rect = s.outputWindow;
    if (s.scanMode != QUARN_SCAN_FRAME) rect.height /= 2;
  }
  if (rect.width < 1 || rect.height < 1) return 0;
  std::vector<uint32_t> pixels(static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height),
                               xrgb);
  window->DrawPixels(window->context, rect.x, rect.y, rect.width, rect.height, pixels.data(),
                     static_cast<size_t>(rect.width) * sizeof(uint32_t));
  return 0;
}

// ---- Pixels
// ---------------------------------------------------------------------------------------

size_t DibStride(int width, int bitsPerPixel) {
  return internal::Stride(width, bitsPerPixel);
}

void SetDisplayDepth(int bitsPerPixel) {
  World& w = TheWorld();
  auto lock = Locked(w);
  w.displayDepth = bitsPerPixel;
}

void SetDisplaySeed(uint8_t seed) {
  World& w = TheWorld();
  auto lock = Locked(w);
  w.displaySeed = seed;
}

std::vector<uint8_t> ExpectedDisplayBits(int x, int y, int width, int height) {
  int depth = 0;
  uint8_t seed = 0;
  {
    World& w = TheWorld();
    auto lock = Locked(w);
    depth = w.displayDepth;
    seed = w.displaySeed;
  }
  return ExpectedDisplayBits(x, y, width, height, depth, seed);
}

std::vector<uint8_t> ExpectedDisplayBits(int x, int y, int width, int height, int depth,
                                         uint8_t seed) {
  if (!internal::DisplayDepthSupported(depth) || width < 1 || height < 1) return {};
  std::vector<uint8_t> out(internal::Stride(width, depth) * static_cast<size_t>(height));
  internal::FillDisplayPattern(out.data(), x, y, width, height, depth, seed);
  return out;
}

std::vector<uint8_t> ExpectedTransform(std::span<const uint8_t> source, int width, int height,
                                       int format) {
  const size_t bytes = internal::TransformedBytes(width, height, format);
  if (bytes == 0 || source.size() < FrameBytes(format, width, height)) return {};
  std::vector<uint8_t> out(bytes);
  internal::TransformFrame(out.data(), source.data(), width, height, format);
  return out;
}

// ---- Whole double
// ---------------------------------------------------------------------------------

void Reset() {
  World& w = TheWorld();
  auto lock = Locked(w);
  w.ResetLocked();
}

}  // namespace quarnfake

namespace quarnfake {

void OnCall(std::string_view op, std::function<void()> hook) {
  World& w = TheWorld();
  auto lock = Locked(w);
  if (hook) {
    w.hooks[std::string(op)] = std::move(hook);
  } else {
    w.hooks.erase(std::string(op));
  }
}

}  // namespace quarnfake
