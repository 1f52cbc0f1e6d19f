// private_profile.cpp - reading and updating the ini file line by line, and saving it without
// losing what else it holds.
#include "private_profile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <utility>

#include "unique_fd.h"

namespace {

namespace fs = std::filesystem;

// Holds SIGXFSZ back from this thread while it lives, so that a write past the file-size limit
// fails (EFBIG) instead of ending the program; a SIGXFSZ such a write raised meanwhile is taken
// off again, never to be delivered later.
class FileSizeSignalHeld {
 public:
  FileSizeSignalHeld() {
    sigemptyset(&signal_);
    sigaddset(&signal_, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &signal_, &previous_);
    sigset_t pending;
    pendingBefore_ = sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1;
  }
  ~FileSizeSignalHeld() {
    sigset_t pending;
    if (!pendingBefore_ && sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1) {
      const timespec now{};
      sigtimedwait(&signal_, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  FileSizeSignalHeld(const FileSizeSignalHeld&) = delete;
  FileSizeSignalHeld& operator=(const FileSizeSignalHeld&) = delete;

 private:
  sigset_t signal_{};
  sigset_t previous_{};
  bool pendingBefore_ = false;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// The name of a "[name]" line (up to the first ']', or the rest of the line without one), or
// nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const size_t close = line.find(']');
  return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

bool IsComment(std::string_view line) {
  line = Trim(line);
  return !line.empty() && line.front() == ';';
}

// A line's key (before the first '=', or the whole line) and value (after it, or empty).
std::pair<std::string_view, std::string_view> SplitKey(std::string_view line) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {Trim(line), {}};
  return {Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

// One call's text always stays one line of the file.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return out;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// The whole text into `fd` (with `mode` when given), on disk before it returns.
bool WriteContent(int fd, const std::string& text, std::optional<mode_t> mode) {
  {
    const FileSizeSignalHeld held;
    if (!WriteAll(fd, text)) return false;
  }
  if (mode && ::fchmod(fd, *mode) != 0) return false;
  return ::fsync(fd) == 0;
}

enum class Replaced { kDone, kFolderClosed, kFailed, kNoUnnamedFile };

bool FolderClosed(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

// Rewrites `target` through a file without a name (O_TMPFILE) in its folder, named only once its
// text is on disk and then renamed over `target`: a write that fails, or a program that ends
// while writing, leaves nothing behind, and neither does a folder that turns read-only before the
// name is made. kFolderClosed when the folder lets no new file be made (the caller may then write
// in place); kNoUnnamedFile where the file system cannot make or name such a file; kFailed when
// any other step fails (the old file is untouched and nothing new is left).
Replaced ReplaceThroughUnnamed(const fs::path& target, const std::string& text,
                               std::optional<mode_t> mode) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  UniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    if (FolderClosed(errno)) return Replaced::kFolderClosed;
    return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? Replaced::kNoUnnamedFile
                                                                     : Replaced::kFailed;
  }
  if (!WriteContent(fd.get(), text, mode)) return Replaced::kFailed;
  // Named through /proc (linking the descriptor itself takes a privilege): the target's name,
  // this process and a count; a name left by an earlier process is passed over.
  static std::atomic<unsigned> count{0};
  const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
  const std::string stem = target.string() + "." + std::to_string(::getpid()) + ".";
  std::string name;
  for (int attempt = 0;; ++attempt) {
    name = stem + std::to_string(count++);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
    if (errno == EEXIST && attempt < 100) continue;
    // No /proc, or a file system that links no files: the named temporary file instead.
    return errno == ENOENT || errno == EPERM ? Replaced::kNoUnnamedFile : Replaced::kFailed;
  }
  bool ok = fd.Close();
  if (ok) ok = ::rename(name.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(name.c_str());
  return ok ? Replaced::kDone : Replaced::kFailed;
}

// The same through a named temporary file (mkstemp), for file systems without unnamed files: a
// failed step removes it again.
Replaced ReplaceThroughTemporary(const fs::path& target, const std::string& text,
                                 std::optional<mode_t> mode) {
  std::string pattern = target.string() + ".XXXXXX";
  UniqueFd fd(::mkstemp(pattern.data()));
  if (!fd.valid()) return FolderClosed(errno) ? Replaced::kFolderClosed : Replaced::kFailed;
  bool ok = WriteContent(fd.get(), text, mode);
  ok = fd.Close() && ok;
  if (ok) ok = ::rename(pattern.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(pattern.c_str());
  return ok ? Replaced::kDone : Replaced::kFailed;
}

// Rewrites `target` in place (a folder where no new file can be made).
bool RewriteInPlace(const fs::path& target, const std::string& text) {
  UniqueFd fd(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.valid()) return false;
  bool ok = false;
  {
    const FileSizeSignalHeld held;
    ok = WriteAll(fd.get(), text);
  }
  return fd.Close() && ok;
}

}  // namespace

fs::path ProfilePath(std::string_view fileName) {
  const fs::path name(fileName);
  if (fileName.find('/') != std::string_view::npos) return name;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return fs::path(config) / name;
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : "") / ".config" / name;
}

int32_t ProfileTextToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (IsBlank(text[i]) || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  // Unsigned arithmetic wraps, as the 32-bit reader's accumulator does.
  uint32_t total = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    total = total * base + digit;
  }
  if (negative) total = 0u - total;
  return static_cast<int32_t>(total);
}

// ---- CPrivateProfile ----------------------------------------------------------------------------

bool CPrivateProfile::Load() {
  lines_.clear();
  dirty_ = false;
  readable_ = true;
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;  // no file (or folder) yet
    readable_ = false;
    return false;
  }
  // Only a regular file is read; anything else at that name is neither read nor replaced.
  UniqueFd fd(S_ISREG(info.st_mode) ? ::open(path_.c_str(), O_RDONLY | O_CLOEXEC) : -1);
  if (!fd.valid()) {
    readable_ = false;
    return false;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      readable_ = false;
      return false;
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  LoadText(text);
  return true;
}

void CPrivateProfile::LoadText(std::string_view text) {
  lines_.clear();
  dirty_ = false;
  // A byte order mark written by another editor is not part of the first section's name.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  bom_ = text.substr(0, kBom.size()) == kBom;
  if (bom_) text.remove_prefix(kBom.size());
  // Lines end in LF, CR LF or a lone CR (as files from other systems and editors do).
  size_t start = 0;
  while (start < text.size()) {
    const size_t lineEnd = text.find_first_of("\r\n", start);
    const size_t end = lineEnd == std::string_view::npos ? text.size() : lineEnd;
    std::string_view ending;
    if (lineEnd != std::string_view::npos) {
      const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
      ending = crlf ? text.substr(end, 2) : text.substr(end, 1);
    }
    // Each line is built whole: GCC 12 at -O3 takes a line end assigned to a default-made Line
    // for a read of uninitialised bytes (a false -Wmaybe-uninitialized).
    lines_.push_back(Line{std::string(text.substr(start, end - start)), std::string(ending)});
    start = end + ending.size();
  }
}

std::optional<CPrivateProfile::SectionSpan> CPrivateProfile::FindSection(
    std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i].text);
    if (!name || !SameName(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text)) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> CPrivateProfile::FindKey(const SectionSpan& span,
                                               std::string_view key) const {
  for (size_t i = span.header + 1; i < span.end; ++i) {
    const std::string_view line = lines_[i].text;
    if (Trim(line).empty() || IsComment(line)) continue;
    if (SameName(SplitKey(line).first, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> CPrivateProfile::GetString(std::string_view section,
                                                      std::string_view key) const {
  const auto span = FindSection(section);
  if (!span) return std::nullopt;
  const auto index = FindKey(*span, key);
  if (!index) return std::nullopt;
  std::string_view value = SplitKey(lines_[*index].text).second;
  // A value in a pair of matching quotes reads as what is between them.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

int32_t CPrivateProfile::GetInt(std::string_view section, std::string_view key,
                                int32_t defaultValue) const {
  const auto value = GetString(section, key);
  if (!value || value->empty()) return defaultValue;
  return ProfileTextToInt(*value);
}

std::string CPrivateProfile::NewLineEnding() const {
  // New lines follow the file's own convention, taken from its first line.
  return !lines_.empty() && !lines_.front().ending.empty() ? lines_.front().ending : "\n";
}

void CPrivateProfile::SetString(std::string_view section, std::string_view key,
                                std::string_view value) {
  const std::string ending = NewLineEnding();
  const auto span = FindSection(section);
  if (span) {
    if (const auto index = FindKey(*span, key)) {
      Line& line = lines_[*index];
      // The key keeps its spelling in the file; only its value changes.
      std::string updated = std::string(SplitKey(line.text).first) + "=" + OneLine(value);
      if (updated != line.text) {
        line.text = std::move(updated);
        dirty_ = true;
      }
      return;
    }
    // After the section's last non-blank line, so blank lines separating it from the next
    // section stay where they are.
    size_t insertAt = span->end;
    while (insertAt > span->header + 1 && Trim(lines_[insertAt - 1].text).empty()) --insertAt;
    if (lines_[insertAt - 1].ending.empty()) lines_[insertAt - 1].ending = ending;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  Line{OneLine(Trim(key)) + "=" + OneLine(value), ending});
    dirty_ = true;
    return;
  }
  if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = ending;
  // Appended rather than "[" + ...: GCC 12 at -O3 reports that insertion at the front as an
  // overlapping copy (a false -Wrestrict).
  std::string header = "[";
  header += OneLine(Trim(section));
  header += "]";
  lines_.push_back(Line{std::move(header), ending});
  lines_.push_back(Line{OneLine(Trim(key)) + "=" + OneLine(value), ending});
  dirty_ = true;
}

void CPrivateProfile::SetInt(std::string_view section, std::string_view key, int32_t value) {
  SetString(section, key, std::to_string(value));
}

std::string CPrivateProfile::Text() const {
  std::string text = bom_ ? "\xEF\xBB\xBF" : "";
  for (const Line& line : lines_) {
    text += line.text;
    text += line.ending;
  }
  return text;
}

bool CPrivateProfile::Save() {
  if (!readable_) return false;
  if (!dirty_) return true;
  std::error_code error;
  // Writing through a link updates the file it points to, as writing the name would.
  fs::path target = path_;
  if (fs::is_symlink(fs::symlink_status(path_, error))) {
    target = fs::weakly_canonical(path_, error);
    if (error) return false;
  }
  const fs::path folder = target.parent_path();
  if (!folder.empty() && !fs::exists(folder, error)) {
    fs::create_directories(folder, error);
    if (error) return false;
    fs::permissions(folder, fs::perms::owner_all, error);
  }
  std::optional<mode_t> mode;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    // A file the user made read-only stays as it is.
    if (::access(target.c_str(), W_OK) != 0) return false;
    mode = info.st_mode & 07777;
  }
  const std::string text = Text();
  Replaced replaced = ReplaceThroughUnnamed(target, text, mode);
  if (replaced == Replaced::kNoUnnamedFile) replaced = ReplaceThroughTemporary(target, text, mode);
  switch (replaced) {
    case Replaced::kDone:
      break;
    case Replaced::kFolderClosed:
      // A read-only folder holding a writable file: the file itself is rewritten.
      if (!mode || !RewriteInPlace(target, text)) return false;
      break;
    case Replaced::kFailed:
    case Replaced::kNoUnnamedFile:
      return false;
  }
  dirty_ = false;
  return true;
}

// ---- Single calls -------------------------------------------------------------------------------

UINT GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                          const char* fileName) {
  if (section == nullptr || key == nullptr || fileName == nullptr) {
    return static_cast<UINT>(defaultValue);
  }
  CPrivateProfile profile(ProfilePath(fileName));
  profile.Load();
  return static_cast<UINT>(profile.GetInt(section, key, defaultValue));
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* fileName) {
  if (section == nullptr || key == nullptr || value == nullptr || fileName == nullptr) return 0;
  CPrivateProfile profile(ProfilePath(fileName));
  if (!profile.Load()) return 0;
  profile.SetString(section, key, value);
  return profile.Save() ? 1 : 0;
}
