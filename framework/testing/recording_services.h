// recording_services.h - test doubles of the platform services: each records what the program
// asked for and answers from a script. InstallTestServices() puts a fresh set in force.
// Every double is safe to use from the capture library's threads (the snap callback reads the
// clock), each guarded by its own mutex.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "services.h"

class RecordingMessageBox : public MessageBoxService {
 public:
  struct Call {
    CWnd* owner = nullptr;
    std::string text;
    std::string caption;
    unsigned style = 0;
  };

  int Show(CWnd* owner, const std::string& text, const std::string& caption,
           unsigned style) override;

  // Answers the next boxes in order; when the script is empty a box answers IDOK, or for a
  // Yes/No box the configured answer (IDYES unless set).
  void ScriptAnswers(std::vector<int> answers);
  void SetYesNoAnswer(int answer);
  // Runs while a box is "shown" (e.g. to look at the program's state at that moment).
  void SetOnShow(std::function<void(const Call&)> onShow);

  std::vector<Call> calls() const;
  size_t count() const;
  Call last() const;  // an empty call when there was none
  void Clear();

 private:
  mutable std::mutex mutex_;  // protects everything below
  std::vector<Call> calls_;
  std::deque<int> answers_;
  int yesNoAnswer_ = IDYES;
  std::function<void(const Call&)> onShow_;
};

class RecordingFileDialog : public FileDialogService {
 public:
  struct Call {
    bool save = false;
    CWnd* owner = nullptr;
    std::string filter;
    std::string defaultExt;
    std::string initialName;  // Save only
  };

  bool Open(CWnd* owner, const std::string& filter, const std::string& defaultExt,
            std::string* path) override;
  bool Save(CWnd* owner, const std::string& filter, const std::string& defaultExt,
            const std::string& initialName, std::string* path) override;

  // The next dialogs' results in order: a path is chosen, nullopt is a cancel. Unscripted
  // dialogs are cancelled.
  void ScriptPath(std::string path);
  void ScriptCancel();

  std::vector<Call> calls() const;
  size_t count() const;
  Call last() const;

 private:
  bool Answer(Call call, std::string* path);

  mutable std::mutex mutex_;  // protects everything below
  std::vector<Call> calls_;
  std::deque<std::optional<std::string>> script_;
};

class RecordingShell : public ShellService {
 public:
  intptr_t Open(const std::string& address) override;
  // The value every later Open returns (33, success, unless set).
  void SetResult(intptr_t result);
  std::vector<std::string> addresses() const;

 private:
  mutable std::mutex mutex_;  // protects result_ and addresses_
  intptr_t result_ = 33;
  std::vector<std::string> addresses_;
};

class RecordingRestart : public RestartService {
 public:
  enum class Call { kCanRestart, kRestart };

  bool CanRestart() override;
  bool Restart() override;
  void SetCanRestart(bool can);
  void SetRestartResult(bool result);
  std::vector<Call> calls() const;
  int restarts() const;  // how many times a restart was requested

 private:
  mutable std::mutex mutex_;  // protects everything below
  bool canRestart_ = true;
  bool restartResult_ = true;
  std::vector<Call> calls_;
};

class FakeClock : public ClockService {
 public:
  uint32_t GetTickCount() override;
  // Sleep advances the tick by the time asked for and records it.
  void Sleep(uint32_t milliseconds) override;

  void SetTick(uint32_t tick);
  void Advance(uint32_t milliseconds);  // wraps at 2^32 like the real tick count
  std::vector<uint32_t> sleeps() const;

 private:
  mutable std::mutex mutex_;  // protects tick_ and sleeps_
  uint32_t tick_ = 0;
  std::vector<uint32_t> sleeps_;
};

// The doubles now in force.
struct TestServices {
  std::shared_ptr<RecordingMessageBox> messageBox;
  std::shared_ptr<RecordingFileDialog> fileDialog;
  std::shared_ptr<RecordingShell> shell;
  std::shared_ptr<RecordingRestart> restart;
  std::shared_ptr<FakeClock> clock;
};

// Replaces every service with a fresh double and returns them.
TestServices InstallTestServices();

// Puts the services that were in force back when it goes (one per test fixture).
class ScopedTestServices {
 public:
  ScopedTestServices();
  ~ScopedTestServices();
  ScopedTestServices(const ScopedTestServices&) = delete;
  ScopedTestServices& operator=(const ScopedTestServices&) = delete;
  const TestServices& doubles() const { return doubles_; }
  const TestServices* operator->() const { return &doubles_; }

 private:
  ServiceSet previous_;
  TestServices doubles_;
};
