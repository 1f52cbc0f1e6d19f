// instance_lock.cpp - flock-based named lock for the single-instance test.
#include "instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

std::string NamedMutexPath(const std::string& name) {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  std::string file;
  for (char c : name) file += (c == '/' ? '_' : c);
  return folder + "/" + file + ".lock";
}

NamedMutexHandle CreateNamedMutex(const std::string& name) {
  NamedMutexHandle handle;
  handle.path_ = NamedMutexPath(name);
  handle.fd_ = ::open(handle.path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (handle.fd_ < 0) return handle;
  int rc;
  do {
    rc = ::flock(handle.fd_, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno == EWOULDBLOCK) handle.alreadyExists_ = true;
  return handle;
}

NamedMutexHandle::~NamedMutexHandle() {
  Close();
}

NamedMutexHandle::NamedMutexHandle(NamedMutexHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      alreadyExists_(other.alreadyExists_),
      path_(std::move(other.path_)) {}

NamedMutexHandle& NamedMutexHandle::operator=(NamedMutexHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    alreadyExists_ = other.alreadyExists_;
    path_ = std::move(other.path_);
  }
  return *this;
}

void NamedMutexHandle::Close() {
  // Closing the descriptor releases the lock if this handle held it. The file stays: removing
  // it could let two processes lock two different files of the same name.
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
