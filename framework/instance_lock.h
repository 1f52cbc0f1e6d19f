// instance_lock.h - the named single-instance lock: an advisory flock on a file named after the
// name (a GUID) in $XDG_RUNTIME_DIR (else /tmp). The handle keeps the file open for as long as
// it lives, whether or not it got the lock; the OS drops the lock when the process dies.
#pragma once

#include <string>

class NamedMutexHandle {
 public:
  NamedMutexHandle() = default;
  ~NamedMutexHandle();
  NamedMutexHandle(NamedMutexHandle&& other) noexcept;
  NamedMutexHandle& operator=(NamedMutexHandle&& other) noexcept;
  NamedMutexHandle(const NamedMutexHandle&) = delete;
  NamedMutexHandle& operator=(const NamedMutexHandle&) = delete;

  bool valid() const { return fd_ >= 0; }
  // Another handle (in this or another process) held the name when this one was created.
  bool alreadyExists() const { return alreadyExists_; }
  const std::string& path() const { return path_; }
  void Close();

 private:
  friend NamedMutexHandle CreateNamedMutex(const std::string& name);
  int fd_ = -1;
  bool alreadyExists_ = false;
  std::string path_;
};

// Opens (creating if needed) the lock file for `name` and tries to take the lock without
// waiting. A failed open gives an invalid handle that does not report "already exists".
NamedMutexHandle CreateNamedMutex(const std::string& name);
// The lock file's path for a name.
std::string NamedMutexPath(const std::string& name);
