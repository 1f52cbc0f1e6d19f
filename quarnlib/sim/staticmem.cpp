// staticmem.cpp - the simulated cards' static memory: the reservation record shared by every
// process of the user, the restart rule that changes it, the memory file it sizes, the locks that
// map parts of that file into this process, and the tags that say which frame format lies where.
#include "staticmem.h"

#include <QuarnVideo.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "unique_fd.h"

namespace quarnsim {
namespace {

constexpr int kDefaultPages = 16384;
constexpr int kMaxPages = 10'000'000;
constexpr uint64_t kPageBytes = QUARN_PAGE_SIZE;
// Frame tags kept per memory; one per card's ring is the usual load, so room for every card.
constexpr size_t kMaxTags = 1024;
// Files larger than this are not ours (the record and the tag table are a few kilobytes).
constexpr size_t kMaxStateFileBytes = 1 << 20;

constexpr std::string_view kRecordName = "reservation";
constexpr std::string_view kLockName = "staticmem.lock";
constexpr std::string_view kMemoryName = "staticmem";
constexpr std::string_view kTagsName = "staticmem.tags";
constexpr std::string_view kRecordHeader = "quarn-sim reservation 1";
constexpr std::string_view kTagsHeader = "quarn-sim frame tags 1";

// ---------------------------------------------------------------------------------------------
// Small owners of system resources.

// Owns one shared mapping; unmaps it on destruction.
class MappedRegion {
 public:
  MappedRegion() = default;
  MappedRegion(void* base, size_t length) : m_base(base), m_length(length) {}
  MappedRegion(MappedRegion&& other) noexcept
      : m_base(std::exchange(other.m_base, nullptr)), m_length(std::exchange(other.m_length, 0)) {}
  MappedRegion& operator=(MappedRegion&& other) noexcept {
    if (this != &other) {
      Reset();
      m_base = std::exchange(other.m_base, nullptr);
      m_length = std::exchange(other.m_length, 0);
    }
    return *this;
  }
  MappedRegion(const MappedRegion&) = delete;
  MappedRegion& operator=(const MappedRegion&) = delete;
  ~MappedRegion() { Reset(); }

  std::byte* base() const { return static_cast<std::byte*>(m_base); }

 private:
  void Reset() {
    if (m_base != nullptr) ::munmap(m_base, m_length);
    m_base = nullptr;
    m_length = 0;
  }
  void* m_base = nullptr;
  size_t m_length = 0;
};

// Holds an exclusive flock on a file for its lifetime. Processes take it around every
// read-modify-write of the record or the tag table; threads of one process are kept apart by
// the process's own mutex, since flock does not separate users of one open file.
class FileLock {
 public:
  explicit FileLock(int fd) {
    int result = 0;
    do {
      result = ::flock(fd, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result == 0) m_fd = fd;
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    if (m_fd >= 0) ::flock(m_fd, LOCK_UN);
  }
  bool held() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

// Keeps an object alive until the process ends: card threads may still lock and unlock while
// static destructors run at exit, so the lock table must never be torn down under them.
template <typename T>
class NoDestructor {
 public:
  NoDestructor() { ::new (static_cast<void*>(m_storage)) T(); }
  explicit NoDestructor(T value) { ::new (static_cast<void*>(m_storage)) T(std::move(value)); }
  NoDestructor(const NoDestructor&) = delete;
  NoDestructor& operator=(const NoDestructor&) = delete;
  T& get() { return *std::launder(reinterpret_cast<T*>(m_storage)); }

 private:
  alignas(T) unsigned char m_storage[sizeof(T)];
};

// ---------------------------------------------------------------------------------------------
// Paths, folders and files.

struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const FileId&) const = default;
};

FileId IdOf(const struct stat& st) {
  return FileId{st.st_dev, st.st_ino};
}

std::string Join(std::string_view dir, std::string_view name) {
  std::string path(dir);
  path += '/';
  path += name;
  return path;
}

std::optional<std::string> HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home);
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
    return std::nullopt;
  }
  return std::string(found->pw_dir);
}

struct Folders {
  std::string state;   // the record and its lock file
  std::string memory;  // the memory file and its tag table
};

// Read on every call, so a test may point one process at a fresh folder between cases.
std::optional<Folders> CurrentFolders() {
  const char* explicitDir = std::getenv("QUARN_SIM_STATE_DIR");
  if (explicitDir != nullptr && explicitDir[0] != '\0') {
    // Everything in the one folder, so removing it removes every trace of the simulator.
    return Folders{explicitDir, explicitDir};
  }
  Folders folders;
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    folders.state = xdg;
  } else {
    std::optional<std::string> home = HomeFolder();
    if (!home) return std::nullopt;
    folders.state = *home + "/.local/state";
  }
  folders.state += "/quarn-sim";
  // The memory lives in RAM, as reserved memory does, unless the machine has no /dev/shm.
  static const bool kHaveShm = [] {
    struct stat st {};
    return ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode);
  }();
  if (kHaveShm) {
    folders.memory = "/dev/shm/quarn-sim-" + std::to_string(::geteuid());
  } else {
    folders.memory = folders.state;
  }
  return folders;
}

// Creates `path` and its missing parents, each 0700, and checks it is a folder.
bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string parent = path.substr(0, slash);
    if (::mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The memory folder in /dev/shm sits in a folder every user can write to: accept it only when
// it is a real folder of ours that nobody else can enter.
bool MakePrivateMemoryFolder(const Folders& folders) {
  if (folders.memory == folders.state) return true;
  if (::mkdir(folders.memory.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return ::lstat(folders.memory.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

enum class ReadResult { kOk, kMissing, kFailed };

ReadResult ReadSmallFile(const std::string& path, std::string* text) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.valid()) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  text->clear();
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return ReadResult::kFailed;
    if (got == 0) return ReadResult::kOk;
    text->append(chunk, static_cast<size_t>(got));
    if (text->size() > kMaxStateFileBytes) return ReadResult::kFailed;
  }
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(fd, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    text.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

// Makes a new private file beside `finalPath`; the caller renames it into place, so readers that
// take no lock always see a whole old or a whole new file.
struct TempFile {
  UniqueFd fd;
  std::string path;
};

std::optional<TempFile> MakeTempFile(const std::string& finalPath) {
  std::string pattern = finalPath + ".tmp.XXXXXX";
  UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  if (::fchmod(fd.get(), 0600) != 0) {
    ::unlink(pattern.c_str());
    return std::nullopt;
  }
  return TempFile{std::move(fd), std::move(pattern)};
}

// `durable`: flushed to disk with its folder entry, for the record that must outlive a restart.
bool WriteFileAtomically(const std::string& folder, std::string_view name, std::string_view text,
                         bool durable) {
  const std::string finalPath = Join(folder, name);
  std::optional<TempFile> temp = MakeTempFile(finalPath);
  if (!temp) return false;
  const bool written = WriteAll(temp->fd.get(), text) && (!durable || ::fsync(temp->fd.get()) == 0);
  if (!written || ::rename(temp->path.c_str(), finalPath.c_str()) != 0) {
    ::unlink(temp->path.c_str());
    return false;
  }
  if (durable) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// A boot id is stored as the rest of a record line, so it may hold no line break or control.
std::optional<std::string> CleanBootId(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
  }
  return std::string(text);
}

// QUARN_SIM_BOOT_ID is read on every call, so a test can simulate a restart with setenv; the
// kernel's id cannot change while this process lives, so it is read once.
std::optional<std::string> CurrentBootId() {
  const char* forced = std::getenv("QUARN_SIM_BOOT_ID");
  if (forced != nullptr && forced[0] != '\0') return CleanBootId(forced);
  // Never destroyed, like the lock table: card threads may still read it during exit.
  static NoDestructor<std::optional<std::string>> kernelBootId([] {
    std::string text;
    if (ReadSmallFile("/proc/sys/kernel/random/boot_id", &text) != ReadResult::kOk) {
      return std::optional<std::string>();
    }
    return CleanBootId(text);
  }());
  return kernelBootId.get();
}

template <typename Int>
bool ParseInt(std::string_view text, Int* value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && stop == end;
}

// Splits off the first space-separated word of `text`.
std::string_view TakeWord(std::string_view* text) {
  const size_t space = text->find(' ');
  const std::string_view word = text->substr(0, space);
  text->remove_prefix(space == std::string_view::npos ? text->size() : space + 1);
  return word;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

// ---------------------------------------------------------------------------------------------
// The reservation record.

struct Record {
  int pages = kDefaultPages;
  std::optional<int> pendingPages;
  std::string pendingBootId;  // boot at which the pending request was made
  std::string memoryBootId;   // boot at which the memory's current contents were created
};

bool ValidPages(int pages) {
  return pages >= 0 && pages <= kMaxPages;
}

std::string FormatRecord(const Record& record) {
  std::string text(kRecordHeader);
  text += "\npages " + std::to_string(record.pages) + '\n';
  if (record.pendingPages) {
    text += "pending " + std::to_string(*record.pendingPages) + ' ' + record.pendingBootId + '\n';
  }
  if (!record.memoryBootId.empty()) text += "memory " + record.memoryBootId + '\n';
  return text;
}

bool ParseRecord(std::string_view text, Record* record) {
  const std::vector<std::string_view> lines = Lines(text);
  if (lines.empty() || lines[0] != kRecordHeader) return false;
  bool sawPages = false;
  *record = Record{};
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string_view rest = lines[i];
    const std::string_view key = TakeWord(&rest);
    if (key == "pages") {
      if (!ParseInt(rest, &record->pages) || !ValidPages(record->pages)) return false;
      sawPages = true;
    } else if (key == "pending") {
      int pages = 0;
      if (!ParseInt(TakeWord(&rest), &pages) || !ValidPages(pages) || rest.empty()) return false;
      record->pendingPages = pages;
      record->pendingBootId = std::string(rest);
    } else if (key == "memory") {
      if (rest.empty()) return false;
      record->memoryBootId = std::string(rest);
    } else if (!key.empty()) {
      return false;
    }
  }
  return sawPages;
}

// ---------------------------------------------------------------------------------------------
// Frame tags.

struct Tag {
  uint64_t offset = 0;
  uint64_t bytes = 0;
  int format = 0;
  bool Covers(uint64_t at) const { return at >= offset && at - offset < bytes; }
};

// The table belongs to one memory file (device and inode in its header): a table left from
// memory that has since been re-created describes nothing.
struct TagTable {
  FileId memory;
  std::vector<Tag> tags;  // oldest first
};

std::string FormatTags(const TagTable& table) {
  std::string text(kTagsHeader);
  text += "\nmemory " + std::to_string(table.memory.dev) + ' ' + std::to_string(table.memory.ino) +
          '\n';
  for (const Tag& tag : table.tags) {
    text += std::to_string(tag.offset) + ' ' + std::to_string(tag.bytes) + ' ' +
            std::to_string(tag.format) + '\n';
  }
  return text;
}

// A missing or unreadable table reads as empty and belonging to no memory.
TagTable ReadTags(const std::string& path) {
  std::string text;
  if (ReadSmallFile(path, &text) != ReadResult::kOk) return {};
  const std::vector<std::string_view> lines = Lines(text);
  if (lines.size() < 2 || lines[0] != kTagsHeader) return {};
  TagTable table;
  std::string_view rest = lines[1];
  if (TakeWord(&rest) != "memory" || !ParseInt(TakeWord(&rest), &table.memory.dev) ||
      !ParseInt(rest, &table.memory.ino)) {
    return {};
  }
  for (size_t i = 2; i < lines.size(); ++i) {
    rest = lines[i];
    Tag tag;
    if (!ParseInt(TakeWord(&rest), &tag.offset) || !ParseInt(TakeWord(&rest), &tag.bytes) ||
        !ParseInt(rest, &tag.format)) {
      return {};
    }
    table.tags.push_back(tag);
  }
  return table;
}

// ---------------------------------------------------------------------------------------------
// Shared state of one state folder.

// The lock file's first page is mapped by every process that uses the folder. Its counters are
// bumped, under the flock, after each change of the record (or of the memory file) and of the
// tag table, so a process sees another's change with one atomic load instead of reading files.
constexpr size_t kRecordCounter = 0;
constexpr size_t kTagsCounter = 1;

class StateFolder {
 public:
  static std::shared_ptr<StateFolder> Open(const Folders& folders) {
    if (!MakeFolders(folders.state) || !MakePrivateMemoryFolder(folders)) return nullptr;
    const std::string lockPath = Join(folders.state, kLockName);
    UniqueFd fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) return nullptr;
    // Never shrunk, and backed before it is touched, so the counters cannot fault.
    if (::posix_fallocate(fd.get(), 0, static_cast<off_t>(kPageBytes)) != 0) return nullptr;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return nullptr;
    void* base = ::mmap(nullptr, kPageBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (base == MAP_FAILED) return nullptr;
    auto folder = std::make_shared<StateFolder>();
    folder->m_folders = folders;
    folder->m_lockFile = IdOf(st);
    folder->m_lockFd = std::move(fd);
    folder->m_counters = MappedRegion(base, kPageBytes);
    return folder;
  }

  const Folders& folders() const { return m_folders; }
  int lockFd() const { return m_lockFd.get(); }
  FileId lockFile() const { return m_lockFile; }
  std::string Path(std::string_view name, bool inMemoryFolder) const {
    return Join(inMemoryFolder ? m_folders.memory : m_folders.state, name);
  }

  uint64_t Counter(size_t which) const { return Ref(which).load(std::memory_order_acquire); }
  void Bump(size_t which) const { Ref(which).fetch_add(1, std::memory_order_acq_rel); }

 private:
  std::atomic_ref<uint64_t> Ref(size_t which) const {
    return std::atomic_ref<uint64_t>(
        *std::launder(reinterpret_cast<uint64_t*>(m_counters.base()) + which));
  }

  Folders m_folders;
  FileId m_lockFile;
  UniqueFd m_lockFd;
  MappedRegion m_counters;
};

// Ranges of one memory file that this process has already backed. Pages once allocated stay so
// for the file's life (it is never truncated or punched; a new reservation is a new file), so a
// lock inside them needs no second posix_fallocate, which costs tens of microseconds per frame.
class BackedRanges {
 public:
  bool Contains(uint64_t offset, uint64_t size) const {
    std::lock_guard guard(m_mutex);
    auto next = m_ranges.upper_bound(offset);
    if (next == m_ranges.begin()) return false;
    const auto& [start, end] = *std::prev(next);
    return offset >= start && size <= end - offset;
  }
  void Add(uint64_t offset, uint64_t size) const {
    uint64_t start = offset;
    uint64_t end = offset + size;
    std::lock_guard guard(m_mutex);
    // Merge with every range that overlaps or touches [start, end).
    auto it = m_ranges.upper_bound(start);
    if (it != m_ranges.begin() && std::prev(it)->second >= start) --it;
    while (it != m_ranges.end() && it->first <= end) {
      start = std::min(start, it->first);
      end = std::max(end, it->second);
      it = m_ranges.erase(it);
    }
    m_ranges.emplace(start, end);
  }

 private:
  // Protects m_ranges: card threads lock their slots concurrently.
  mutable std::mutex m_mutex;
  mutable std::map<uint64_t, uint64_t> m_ranges;  // start -> end; disjoint and not touching
};

// An open memory file; locks keep it (and the state folder) alive while they map it.
struct MemoryFile {
  MemoryFile(std::shared_ptr<StateFolder> owner, UniqueFd file, FileId fileId)
      : folder(std::move(owner)), fd(std::move(file)), id(fileId) {}

  std::shared_ptr<StateFolder> folder;
  UniqueFd fd;
  FileId id;
  BackedRanges backed;
  // The whole file, mapped by the first lock and kept while the file is in use, so that a lock
  // costs no mapping (nor, once a page was touched, a page fault) of its own.
  mutable std::once_flag wholeOnce;
  mutable MappedRegion whole;
  mutable uint64_t wholeBytes = 0;
};

// What a lock or a query needs to know, valid at one moment.
struct Snapshot {
  int pages = 0;
  std::shared_ptr<const MemoryFile> memory;
};

// A mapped range of the memory, owned by the process's lock table.
struct LockedRange {
  MappedRegion region;
  const std::byte* address = nullptr;  // the byte at `offset`
  uint64_t offset = 0;
  uint64_t size = 0;
  std::shared_ptr<const MemoryFile> memory;
};

class StaticMemory {
 public:
  int GetPages(int* pages) {
    if (pages == nullptr) return QUARN_ERR_BAD_PARAMETER;
    Snapshot snapshot;
    const int status = Current(&snapshot);
    if (status == QUARN_OK) *pages = snapshot.pages;
    return status;
  }

  int SetPages(int pages) {
    if (!ValidPages(pages)) return QUARN_ERR_BAD_PARAMETER;
    std::optional<Folders> folders = CurrentFolders();
    std::optional<std::string> bootId = CurrentBootId();
    if (!folders || !bootId) return QUARN_ERR_STATIC_MEM;
    std::lock_guard guard(m_stateMutex);
    Snapshot ignored;
    return Refresh(*folders, *bootId, pages, &ignored);
  }

  int Lock(uint64_t offset, uint64_t size, uint32_t* lock, void** address) {
    if (size == 0 || lock == nullptr || address == nullptr) return QUARN_ERR_BAD_PARAMETER;
    Snapshot snapshot;
    const int status = Current(&snapshot);
    if (status != QUARN_OK) return status;
    const uint64_t total = static_cast<uint64_t>(snapshot.pages) * kPageBytes;
    // Written so that offset + size cannot overflow.
    if (offset >= total || size > total - offset) return QUARN_ERR_STATIC_MEM;

    // Back the pages now: a memory file system that is full fails here, not with a SIGBUS on
    // the caller's first write. The range lies inside the file, so its size is unchanged.
    const int fd = snapshot.memory->fd.get();
    if (!snapshot.memory->backed.Contains(offset, size)) {
      int error = 0;
      do {
        error = ::posix_fallocate(fd, static_cast<off_t>(offset), static_cast<off_t>(size));
      } while (error == EINTR);
      if (error != 0) return QUARN_ERR_STATIC_MEM;
      snapshot.memory->backed.Add(offset, size);
    }

    // The file is the reservation in force: `total` bytes.
    const MemoryFile& memory = *snapshot.memory;
    std::call_once(memory.wholeOnce, [&] {
      void* all = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (all == MAP_FAILED) return;  // each lock then maps its own range
      memory.whole = MappedRegion(all, total);
      memory.wholeBytes = total;
    });

    LockedRange range;
    std::byte* mapped = nullptr;
    if (memory.whole.base() != nullptr && size <= memory.wholeBytes &&
        offset <= memory.wholeBytes - size) {
      mapped = memory.whole.base() + offset;
    } else {
      static const uint64_t kSystemPage = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
      const uint64_t start = offset - offset % kSystemPage;
      const uint64_t length = offset - start + size;
      void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                          static_cast<off_t>(start));
      if (base == MAP_FAILED) return errno == ENOMEM ? QUARN_ERR_NO_MEMORY : QUARN_ERR_STATIC_MEM;
      range.region = MappedRegion(base, length);
      mapped = range.region.base() + (offset - start);
    }
    range.address = mapped;
    range.offset = offset;
    range.size = size;
    range.memory = std::move(snapshot.memory);

    std::lock_guard guard(m_locksMutex);
    uint32_t id = 0;
    do {
      id = m_nextLock++;
    } while (id == 0 || m_locks.count(id) != 0);
    m_locks.emplace(id, std::move(range));
    *lock = id;
    *address = mapped;
    return QUARN_OK;
  }

  int Unlock(uint32_t lock) {
    std::map<uint32_t, LockedRange>::node_type released;
    {
      std::lock_guard guard(m_locksMutex);
      released = m_locks.extract(lock);
    }
    // The mapping is unmapped here, outside the table's mutex.
    return released.empty() ? QUARN_ERR_BAD_PARAMETER : QUARN_OK;
  }

  void TagFrames(uint64_t offset, uint64_t bytes, int format) {
    if (bytes == 0 || bytes > UINT64_MAX - offset) return;
    Snapshot snapshot;
    if (Current(&snapshot) != QUARN_OK) return;
    const MemoryFile& memory = *snapshot.memory;
    const StateFolder& folder = *memory.folder;

    std::lock_guard guard(m_stateMutex);
    FileLock fileLock(folder.lockFd());
    if (!fileLock.held()) return;
    const std::string path = folder.Path(kTagsName, true);
    TagTable table = ReadTags(path);
    if (!(table.memory == memory.id)) table = TagTable{memory.id, {}};
    const Tag tag{offset, bytes, format};
    // A record the new one covers entirely can never be found again: drop it.
    std::erase_if(table.tags, [&](const Tag& old) {
      return old.offset >= offset && old.offset - offset <= bytes &&
             old.bytes <= bytes - (old.offset - offset);
    });
    table.tags.push_back(tag);
    if (table.tags.size() > kMaxTags) {
      table.tags.erase(table.tags.begin(), table.tags.begin() + static_cast<std::ptrdiff_t>(
                                                                    table.tags.size() - kMaxTags));
    }
    if (WriteFileAtomically(folder.folders().memory, kTagsName, FormatTags(table), false)) {
      folder.Bump(kTagsCounter);
    }
  }

  bool FormatAt(const void* address, int* format) {
    if (address == nullptr || format == nullptr) return false;
    const auto* byte = static_cast<const std::byte*>(address);
    uint64_t offset = 0;
    std::shared_ptr<const MemoryFile> memory;
    {
      std::lock_guard guard(m_locksMutex);
      for (const auto& [id, range] : m_locks) {
        // Compared as integers: the address may belong to no mapping at all.
        const auto at = reinterpret_cast<uintptr_t>(byte);
        const auto first = reinterpret_cast<uintptr_t>(range.address);
        if (at >= first && at - first < range.size) {
          offset = range.offset + (at - first);
          memory = range.memory;
          break;
        }
      }
    }
    if (!memory) return false;

    std::lock_guard guard(m_tagsMutex);
    const uint64_t generation = memory->folder->Counter(kTagsCounter);
    if (m_tagsFolder != memory->folder || m_tagsGeneration != generation) {
      // The counter is read first, so a change racing with this read is reloaded next time.
      m_tags = ReadTags(memory->folder->Path(kTagsName, true));
      m_tagsFolder = memory->folder;
      m_tagsGeneration = generation;
    }
    if (!(m_tags.memory == memory->id)) return false;
    for (auto tag = m_tags.tags.rbegin(); tag != m_tags.tags.rend(); ++tag) {
      if (tag->Covers(offset)) {
        *format = tag->format;
        return true;
      }
    }
    return false;
  }

 private:
  // The state in force now. Cheap when nothing changed since the last call: two getenv, one
  // stat of the lock file and one atomic load; otherwise the record is read under the flock.
  int Current(Snapshot* snapshot) {
    std::optional<Folders> folders = CurrentFolders();
    std::optional<std::string> bootId = CurrentBootId();
    if (!folders || !bootId) return QUARN_ERR_STATIC_MEM;
    struct stat lockStat {};
    const bool lockFileExists = ::stat(Join(folders->state, kLockName).c_str(), &lockStat) == 0;

    std::lock_guard guard(m_stateMutex);
    const std::shared_ptr<StateFolder>& folder = m_cache.folder;
    if (folder && lockFileExists && folder->lockFile() == IdOf(lockStat) &&
        folder->folders().state == folders->state && folder->folders().memory == folders->memory &&
        m_cache.bootId == *bootId && m_cache.recordGeneration == folder->Counter(kRecordCounter) &&
        m_cache.snapshot.memory) {
      *snapshot = m_cache.snapshot;
      return QUARN_OK;
    }
    return Refresh(*folders, *bootId, std::nullopt, snapshot);
  }

  // Reads the record under the flock, applies a request made before a restart, re-creates the
  // memory when its contents predate this boot (or the file is not what the record says), records
  // a new request when `request` is given, and caches the result. Caller holds m_stateMutex.
  int Refresh(const Folders& folders, const std::string& bootId, std::optional<int> request,
              Snapshot* snapshot) {
    std::shared_ptr<StateFolder> folder = m_cache.folder;
    struct stat lockStat {};
    if (!folder || folder->folders().state != folders.state ||
        folder->folders().memory != folders.memory ||
        ::stat(folder->Path(kLockName, false).c_str(), &lockStat) != 0 ||
        !(IdOf(lockStat) == folder->lockFile())) {
      folder = StateFolder::Open(folders);
      if (!folder) return QUARN_ERR_STATIC_MEM;
    }
    FileLock fileLock(folder->lockFd());
    if (!fileLock.held()) return QUARN_ERR_STATIC_MEM;

    Record record;
    std::string text;
    switch (ReadSmallFile(folder->Path(kRecordName, false), &text)) {
      case ReadResult::kMissing:
        break;  // never set: the default reservation
      case ReadResult::kOk:
        if (!ParseRecord(text, &record)) return QUARN_ERR_STATIC_MEM;
        break;
      case ReadResult::kFailed:
        return QUARN_ERR_STATIC_MEM;
    }
    bool recordChanged = false;
    if (record.pendingPages && record.pendingBootId != bootId) {
      // The machine has restarted since the request: it is now the reservation in force.
      record.pages = *record.pendingPages;
      record.pendingPages.reset();
      record.pendingBootId.clear();
      record.memoryBootId.clear();
      recordChanged = true;
    }

    const uint64_t bytes = static_cast<uint64_t>(record.pages) * kPageBytes;
    const std::string memoryPath = folder->Path(kMemoryName, true);
    struct stat memoryStat {};
    const bool memoryValid = ::lstat(memoryPath.c_str(), &memoryStat) == 0 &&
                             S_ISREG(memoryStat.st_mode) && memoryStat.st_uid == ::geteuid() &&
                             static_cast<uint64_t>(memoryStat.st_size) == bytes;
    std::shared_ptr<MemoryFile> memory;
    if (record.memoryBootId != bootId || !memoryValid) {
      // Contents do not survive a restart: a new, empty, sparse file replaces the old one by
      // rename, so other processes' mappings of the old one stay valid until they unlock.
      std::optional<TempFile> temp = MakeTempFile(memoryPath);
      if (!temp) return QUARN_ERR_STATIC_MEM;
      struct stat st {};
      if (::ftruncate(temp->fd.get(), static_cast<off_t>(bytes)) != 0 ||
          ::fstat(temp->fd.get(), &st) != 0 ||
          ::rename(temp->path.c_str(), memoryPath.c_str()) != 0) {
        ::unlink(temp->path.c_str());
        return QUARN_ERR_STATIC_MEM;
      }
      memory = std::make_shared<MemoryFile>(folder, std::move(temp->fd), IdOf(st));
      // The old memory's frames are gone, and so are their tags.
      ::unlink(folder->Path(kTagsName, true).c_str());
      folder->Bump(kTagsCounter);
      record.memoryBootId = bootId;
      recordChanged = true;
    }

    if (request) {
      record.pendingPages = *request;
      record.pendingBootId = bootId;
      recordChanged = true;
    }
    if (recordChanged) {
      if (!WriteFileAtomically(folders.state, kRecordName, FormatRecord(record), true)) {
        return QUARN_ERR_STATIC_MEM;
      }
    }
    if (recordChanged || memory) folder->Bump(kRecordCounter);

    if (!memory) {
      const std::shared_ptr<const MemoryFile>& cached = m_cache.snapshot.memory;
      if (cached && cached->folder == folder && cached->id == IdOf(memoryStat)) {
        memory = std::const_pointer_cast<MemoryFile>(cached);
      } else {
        UniqueFd fd(::open(memoryPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !(IdOf(st) == IdOf(memoryStat))) {
          return QUARN_ERR_STATIC_MEM;
        }
        memory = std::make_shared<MemoryFile>(folder, std::move(fd), IdOf(st));
      }
    }

    m_cache.folder = folder;
    m_cache.bootId = bootId;
    m_cache.recordGeneration = folder->Counter(kRecordCounter);
    m_cache.snapshot = Snapshot{record.pages, std::move(memory)};
    *snapshot = m_cache.snapshot;
    return QUARN_OK;
  }

  struct Cache {
    std::shared_ptr<StateFolder> folder;
    std::string bootId;
    uint64_t recordGeneration = 0;
    Snapshot snapshot;
  };

  // Protects m_cache, and keeps this process's threads apart around the state folder's flock
  // (flock does not separate threads sharing one open file).
  std::mutex m_stateMutex;
  Cache m_cache;

  // Protects m_locks and m_nextLock: card threads lock and unlock concurrently with the UI.
  std::mutex m_locksMutex;
  std::map<uint32_t, LockedRange> m_locks;
  uint32_t m_nextLock = 1;

  // Protects the cached tag table (m_tags, m_tagsFolder, m_tagsGeneration) read by FormatAt.
  std::mutex m_tagsMutex;
  TagTable m_tags;
  std::shared_ptr<StateFolder> m_tagsFolder;
  uint64_t m_tagsGeneration = 0;
};

StaticMemory& Instance() {
  static NoDestructor<StaticMemory> instance;
  return instance.get();
}

}  // namespace

int StaticMemGetPages(int* pages) {
  return Instance().GetPages(pages);
}
int StaticMemSetPages(int pages) {
  return Instance().SetPages(pages);
}
int StaticMemLock(uint64_t offset, uint64_t size, uint32_t* lock, void** address) {
  return Instance().Lock(offset, size, lock, address);
}
int StaticMemUnlock(uint32_t lock) {
  return Instance().Unlock(lock);
}
void StaticMemTagFrames(uint64_t offset, uint64_t bytes, int format) {
  Instance().TagFrames(offset, bytes, format);
}
bool StaticMemFormatAt(const void* address, int* format) {
  return Instance().FormatAt(address, format);
}

}  // namespace quarnsim
