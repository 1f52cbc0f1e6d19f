// static_claims.cpp - claims on cards and static-memory ranges (see static_claims.h): a table of
// this process's live claims, and byte-range locks on the claims file for the other processes.
#include "static_claims.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "QuarnVideo.h"
#include "static_frames.h"
#include "unique_fd.h"

namespace {

// Card claims lie far above any static memory, in the same table and file.
constexpr uint64_t kCardBase = uint64_t{1} << 60;

// A half-open byte range [begin, end).
struct Range {
  uint64_t begin = 0;
  uint64_t end = 0;
  bool Overlaps(const Range& other) const { return begin < other.end && other.begin < end; }
};

uint64_t AlignDown(uint64_t value, uint64_t align) {
  return value & ~(align - 1);
}

// The file behind static memory, as /proc/self/maps names it.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
};

// The device and inode of the file mapped at `address`; nothing for anonymous memory.
std::optional<FileId> BackingFileOf(const void* address) {
  const auto target = reinterpret_cast<uintptr_t>(address);
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    // start-end perms offset major:minor inode [path]
    std::istringstream fields(line);
    std::string span;
    std::string perms;
    std::string offset;
    std::string device;
    uint64_t inode = 0;
    if (!(fields >> span >> perms >> offset >> device >> inode)) continue;
    const size_t dash = span.find('-');
    const size_t colon = device.find(':');
    if (dash == std::string::npos || colon == std::string::npos) continue;
    const uintptr_t start = std::strtoull(span.c_str(), nullptr, 16);
    const uintptr_t end = std::strtoull(span.c_str() + dash + 1, nullptr, 16);
    if (target < start || target >= end) continue;
    if (inode == 0) return std::nullopt;  // anonymous memory: nothing is shared by name
    const auto major = static_cast<unsigned>(std::strtoul(device.c_str(), nullptr, 16));
    const auto minor = static_cast<unsigned>(std::strtoul(device.c_str() + colon + 1, nullptr, 16));
    return FileId{makedev(major, minor), inode};
  }
  return std::nullopt;
}

// Where the claims on the memory behind `id` are kept, for every process of the user.
std::string ClaimsPathFor(const FileId& id) {
  const std::string key = std::to_string(id.device) + "-" + std::to_string(id.inode);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/quarn-claims-" + key;
  return "/tmp/quarn-claims-" + std::to_string(::getuid()) + "-" + key;
}

// The claims file's path, or empty when claims stay within the process: static memory is not
// reserved, or not backed by a file. Costs one lock and unlock of static memory.
std::string FindClaimsPath() {
  const StaticMemLock lock(0, QUARN_PAGE_SIZE);
  if (!lock.ok()) return {};
  const std::optional<FileId> id = BackingFileOf(lock.address());
  return id ? ClaimsPathFor(*id) : std::string();
}

// Opens the claims file; an invalid descriptor when it cannot be opened or is not the user's own.
UniqueFd OpenClaimsFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_uid != ::getuid()) {
    return UniqueFd();
  }
  return fd;
}

// The programs' claims are shared locks: Hexmont and Solvane beside it share cards and memory as
// they always have, while any other owner's exclusive lock conflicts with them and they with it.
short LockTypeOf(ClaimOwner owner) {
  return owner == kProgramOwner ? F_RDLCK : F_WRLCK;
}

struct flock LockRecord(short type, const Range& range) {
  struct flock record {};
  record.l_type = type;
  record.l_whence = SEEK_SET;
  record.l_start = static_cast<off_t>(range.begin);
  record.l_len = static_cast<off_t>(range.end - range.begin);
  record.l_pid = 0;  // required for open file description locks
  return record;
}

// Every claim of this process, and its share of the claims file.
class ClaimTable {
 public:
  // Never destroyed: a claim may be let go by a static object's destructor at exit, and the
  // kernel drops the locks when the process ends anyway.
  static ClaimTable& Instance() {
    alignas(ClaimTable) static unsigned char storage[sizeof(ClaimTable)];
    static ClaimTable* const table = new (storage) ClaimTable();
    return *table;
  }

  // Claims `range` for `owner`; the claim's id in `id`.
  int Claim(ClaimOwner owner, const Range& range, uint64_t& id) {
    std::lock_guard guard(mutex_);
    ForgetParentAfterFork();
    if (FirstConflict(owner, range)) return QUARN_ERR_BUSY;
    if (const int status = LockInFile(owner, range); status != QUARN_OK) return status;
    id = Add(owner, range);
    return QUARN_OK;
  }

  // Claims `size` bytes below `limit` as high up as they are free, starting on a multiple of
  // `align`; the range in `range`.
  int ClaimHighest(ClaimOwner owner, uint64_t limit, uint64_t size, uint64_t align, Range& range,
                   uint64_t& id) {
    std::lock_guard guard(mutex_);
    ForgetParentAfterFork();
    uint64_t end = limit;  // candidates end at or below this
    for (;;) {
      if (size > end) return QUARN_ERR_STATIC_MEM;
      const uint64_t begin = AlignDown(end - size, align);
      const Range candidate{begin, begin + size};
      if (const std::optional<uint64_t> taken = FirstConflict(owner, candidate)) {
        end = *taken;
        continue;
      }
      if (const std::optional<uint64_t> taken = OtherProcessLockIn(owner, candidate)) {
        end = *taken;
        continue;
      }
      const int status = LockInFile(owner, candidate);
      if (status == QUARN_ERR_BUSY) continue;  // another process took it meanwhile: look again
      if (status != QUARN_OK) return status;
      range = candidate;
      id = Add(owner, candidate);
      return QUARN_OK;
    }
  }

  void Release(uint64_t id) {
    std::lock_guard guard(mutex_);
    ForgetParentAfterFork();
    const auto found =
        std::find_if(claims_.begin(), claims_.end(), [id](const Entry& e) { return e.id == id; });
    if (found == claims_.end()) return;  // made before a fork, by the parent
    const Range released = found->range;
    claims_.erase(found);
    if (file_.valid()) UnlockUncovered(released);
  }

 private:
  struct Entry {
    uint64_t id = 0;
    ClaimOwner owner = kProgramOwner;
    Range range;
  };

  ClaimTable() : pid_(::getpid()) {}

  // A forked child inherits the table and the descriptor, whose locks are the parent's: it starts
  // with no claims of its own and a descriptor of its own (closing the inherited one leaves the
  // parent's locks in place, since the parent still holds its descriptor).
  void ForgetParentAfterFork() {
    const pid_t pid = ::getpid();
    if (pid == pid_) return;
    pid_ = pid;
    claims_.clear();
    file_.reset();
    if (!path_.empty()) file_ = OpenClaimsFile(path_);
  }

  // Where the lowest claim of another owner overlapping `range` starts, if any.
  std::optional<uint64_t> FirstConflict(ClaimOwner owner, const Range& range) const {
    std::optional<uint64_t> lowest;
    for (const Entry& e : claims_) {
      if (e.owner == owner || !e.range.Overlaps(range)) continue;
      if (!lowest || e.range.begin < *lowest) lowest = e.range.begin;
    }
    return lowest;
  }

  // Opens the claims file the first time a claim reaches it (the lookup calls the library).
  void EnsureFile() {
    if (lookedUp_) return;
    lookedUp_ = true;
    path_ = FindClaimsPath();
    if (!path_.empty()) file_ = OpenClaimsFile(path_);
  }

  // Locks `range` in the claims file for this process and `owner`: QUARN_ERR_BUSY when another
  // process holds any of it in a conflicting way. Nothing to do while claims stay within the
  // process. (The locks of one open file description replace each other rather than conflict;
  // the table lets only one owner claim a byte, so a byte keeps one lock type.)
  int LockInFile(ClaimOwner owner, const Range& range) {
    EnsureFile();
    if (!file_.valid()) return QUARN_OK;
    struct flock record = LockRecord(LockTypeOf(owner), range);
    if (::fcntl(file_.get(), F_OFD_SETLK, &record) == 0) return QUARN_OK;
    return errno == EAGAIN || errno == EACCES ? QUARN_ERR_BUSY : QUARN_ERR_GENERAL;
  }

  // Where another process's lock in `range` that conflicts with one for `owner` starts, if any.
  std::optional<uint64_t> OtherProcessLockIn(ClaimOwner owner, const Range& range) {
    EnsureFile();
    if (!file_.valid()) return std::nullopt;
    struct flock record = LockRecord(LockTypeOf(owner), range);
    if (::fcntl(file_.get(), F_OFD_GETLK, &record) != 0 || record.l_type == F_UNLCK) {
      return std::nullopt;
    }
    return static_cast<uint64_t>(record.l_start);
  }

  uint64_t Add(ClaimOwner owner, const Range& range) {
    const uint64_t id = nextId_++;
    claims_.push_back(Entry{id, owner, range});
    return id;
  }

  // Unlocks the parts of `released` that no remaining claim of this process covers.
  void UnlockUncovered(const Range& released) {
    std::vector<Range> covered;
    for (const Entry& e : claims_) {
      if (e.range.Overlaps(released)) covered.push_back(e.range);
    }
    std::sort(covered.begin(), covered.end(),
              [](const Range& a, const Range& b) { return a.begin < b.begin; });
    uint64_t from = released.begin;
    const auto unlock = [this](const Range& gap) {
      if (gap.begin >= gap.end) return;
      struct flock record = LockRecord(F_UNLCK, gap);
      ::fcntl(file_.get(), F_OFD_SETLK, &record);  // unlocking cannot conflict
    };
    for (const Range& c : covered) {
      unlock(Range{from, std::min(c.begin, released.end)});
      from = std::max(from, c.end);
    }
    unlock(Range{from, released.end});
  }

  std::mutex mutex_;  // guards everything below
  pid_t pid_;         // the process the claims and the descriptor belong to
  std::vector<Entry> claims_;
  uint64_t nextId_ = 1;
  bool lookedUp_ = false;  // the claims file has been looked for
  std::string path_;       // the claims file; empty while claims stay within the process
  UniqueFd file_;          // open on path_, holding this process's locks
};

class Claim final : public CClaim {
 public:
  Claim(uint64_t id, uint64_t offset, uint64_t size) : id_(id), offset_(offset), size_(size) {}
  ~Claim() override {
    if (id_ != 0) ClaimTable::Instance().Release(id_);
  }
  Claim(const Claim&) = delete;
  Claim& operator=(const Claim&) = delete;
  uint64_t Offset() const override { return offset_; }
  uint64_t Size() const override { return size_; }

 private:
  uint64_t id_;  // 0: nothing claimed (size 0)
  uint64_t offset_;
  uint64_t size_;
};

// Whether [offset, offset + size) lies within static memory's part of the claims space.
bool InStaticSpace(uint64_t offset, uint64_t size) {
  return offset <= kCardBase && size <= kCardBase - offset;
}

}  // namespace

int ClaimStaticMem(ClaimOwner owner, uint64_t offset, uint64_t size,
                   std::unique_ptr<CClaim>& claim) {
  if (!InStaticSpace(offset, size)) return QUARN_ERR_STATIC_MEM;
  if (size == 0) {
    claim = std::make_unique<Claim>(0, offset, 0);
    return QUARN_OK;
  }
  uint64_t id = 0;
  const int status = ClaimTable::Instance().Claim(owner, Range{offset, offset + size}, id);
  if (status == QUARN_OK) claim = std::make_unique<Claim>(id, offset, size);
  return status;
}

int ClaimHighestFreeStaticMem(ClaimOwner owner, uint64_t limit, uint64_t size, uint64_t align,
                              std::unique_ptr<CClaim>& claim) {
  if (align == 0 || (align & (align - 1)) != 0) return QUARN_ERR_BAD_PARAMETER;
  limit = std::min(limit, kCardBase);
  if (size == 0 || size > limit) return size == 0 ? QUARN_ERR_BAD_PARAMETER : QUARN_ERR_STATIC_MEM;
  Range range;
  uint64_t id = 0;
  const int status = ClaimTable::Instance().ClaimHighest(owner, limit, size, align, range, id);
  if (status == QUARN_OK) claim = std::make_unique<Claim>(id, range.begin, size);
  return status;
}

int ClaimCard(ClaimOwner owner, int cardNumber, std::unique_ptr<CClaim>& claim) {
  if (cardNumber < 0) return QUARN_ERR_CARD_NUMBER;
  const uint64_t at = kCardBase + static_cast<uint64_t>(cardNumber);
  uint64_t id = 0;
  const int status = ClaimTable::Instance().Claim(owner, Range{at, at + 1}, id);
  if (status == QUARN_OK) claim = std::make_unique<Claim>(id, static_cast<uint64_t>(cardNumber), 1);
  return status;
}
