// instance_lock_test.cpp - the named single-instance lock across handles and processes.
#include "instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

std::string UniqueName(const char* tag) {
  return std::string("{quarn-test-") + tag + "-" + std::to_string(::getpid()) + "}";
}

TEST(InstanceLockTest, SecondHandleSeesTheFirstUntilItCloses) {
  const std::string name = UniqueName("a");
  NamedMutexHandle first = CreateNamedMutex(name);
  ASSERT_TRUE(first.valid());
  EXPECT_FALSE(first.alreadyExists());
  {
    NamedMutexHandle second = CreateNamedMutex(name);
    EXPECT_TRUE(second.valid());  // the refused instance still holds an open handle
    EXPECT_TRUE(second.alreadyExists());
  }
  // The refused handle's close must not release the first one's lock.
  EXPECT_TRUE(CreateNamedMutex(name).alreadyExists());
  first.Close();
  EXPECT_FALSE(CreateNamedMutex(name).alreadyExists());
}

TEST(InstanceLockTest, DifferentNamesCoexist) {
  NamedMutexHandle a = CreateNamedMutex(UniqueName("b1"));
  NamedMutexHandle b = CreateNamedMutex(UniqueName("b2"));
  EXPECT_FALSE(a.alreadyExists());
  EXPECT_FALSE(b.alreadyExists());
}

TEST(InstanceLockTest, LockOfAnotherProcessIsSeenAndGoneWhenItDies) {
  const std::string name = UniqueName("c");
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    NamedMutexHandle held = CreateNamedMutex(name);
    const char ok = held.alreadyExists() ? 'n' : 'y';
    (void)!::write(ready[1], &ok, 1);
    char c;
    (void)!::read(release[0], &c, 1);
    ::_exit(0);  // dies holding the lock: the OS drops it
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, 'y');
  EXPECT_TRUE(CreateNamedMutex(name).alreadyExists());
  const char go = 'x';
  ASSERT_EQ(::write(release[1], &go, 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_FALSE(CreateNamedMutex(name).alreadyExists());
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

}  // namespace
