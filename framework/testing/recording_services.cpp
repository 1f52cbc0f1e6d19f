// recording_services.cpp - the recording and scripted service doubles.
#include "recording_services.h"

#include <utility>

namespace {

bool IsYesNo(unsigned style) {
  const unsigned buttons = style & 0x0Fu;
  return buttons == MB_YESNO || buttons == MB_YESNOCANCEL;
}

}  // namespace

int RecordingMessageBox::Show(CWnd* owner, const std::string& text, const std::string& caption,
                              unsigned style) {
  Call call{owner, text, caption, style};
  std::function<void(const Call&)> onShow;
  int answer = IDOK;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
    onShow = onShow_;
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    } else if (IsYesNo(style)) {
      answer = yesNoAnswer_;
    }
  }
  // Outside the lock: the hook may look at this double too.
  if (onShow) onShow(call);
  return answer;
}

void RecordingMessageBox::ScriptAnswers(std::vector<int> answers) {
  std::lock_guard lock(mutex_);
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void RecordingMessageBox::SetYesNoAnswer(int answer) {
  std::lock_guard lock(mutex_);
  yesNoAnswer_ = answer;
}

void RecordingMessageBox::SetOnShow(std::function<void(const Call&)> onShow) {
  std::lock_guard lock(mutex_);
  onShow_ = std::move(onShow);
}

std::vector<RecordingMessageBox::Call> RecordingMessageBox::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

size_t RecordingMessageBox::count() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

RecordingMessageBox::Call RecordingMessageBox::last() const {
  std::lock_guard lock(mutex_);
  return calls_.empty() ? Call{} : calls_.back();
}

void RecordingMessageBox::Clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

bool RecordingFileDialog::Open(CWnd* owner, const std::string& filter,
                               const std::string& defaultExt, std::string* path) {
  return Answer(Call{false, owner, filter, defaultExt, std::string()}, path);
}

bool RecordingFileDialog::Save(CWnd* owner, const std::string& filter,
                               const std::string& defaultExt, const std::string& initialName,
                               std::string* path) {
  return Answer(Call{true, owner, filter, defaultExt, initialName}, path);
}

bool RecordingFileDialog::Answer(Call call, std::string* path) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
  if (script_.empty()) return false;
  std::optional<std::string> result = std::move(script_.front());
  script_.pop_front();
  if (!result) return false;
  if (path != nullptr) *path = *result;
  return true;
}

void RecordingFileDialog::ScriptPath(std::string path) {
  std::lock_guard lock(mutex_);
  script_.emplace_back(std::move(path));
}

void RecordingFileDialog::ScriptCancel() {
  std::lock_guard lock(mutex_);
  script_.emplace_back(std::nullopt);
}

std::vector<RecordingFileDialog::Call> RecordingFileDialog::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

size_t RecordingFileDialog::count() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

RecordingFileDialog::Call RecordingFileDialog::last() const {
  std::lock_guard lock(mutex_);
  return calls_.empty() ? Call{} : calls_.back();
}

intptr_t RecordingShell::Open(const std::string& address) {
  std::lock_guard lock(mutex_);
  addresses_.push_back(address);
  return result_;
}

void RecordingShell::SetResult(intptr_t result) {
  std::lock_guard lock(mutex_);
  result_ = result;
}

std::vector<std::string> RecordingShell::addresses() const {
  std::lock_guard lock(mutex_);
  return addresses_;
}

bool RecordingRestart::CanRestart() {
  std::lock_guard lock(mutex_);
  calls_.push_back(Call::kCanRestart);
  return canRestart_;
}

bool RecordingRestart::Restart() {
  std::lock_guard lock(mutex_);
  calls_.push_back(Call::kRestart);
  return restartResult_;
}

void RecordingRestart::SetCanRestart(bool can) {
  std::lock_guard lock(mutex_);
  canRestart_ = can;
}

void RecordingRestart::SetRestartResult(bool result) {
  std::lock_guard lock(mutex_);
  restartResult_ = result;
}

std::vector<RecordingRestart::Call> RecordingRestart::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

int RecordingRestart::restarts() const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (Call call : calls_) count += call == Call::kRestart ? 1 : 0;
  return count;
}

uint32_t FakeClock::GetTickCount() {
  std::lock_guard lock(mutex_);
  return tick_;
}

void FakeClock::Sleep(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  sleeps_.push_back(milliseconds);
  tick_ += milliseconds;
}

void FakeClock::SetTick(uint32_t tick) {
  std::lock_guard lock(mutex_);
  tick_ = tick;
}

void FakeClock::Advance(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  tick_ += milliseconds;
}

std::vector<uint32_t> FakeClock::sleeps() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

TestServices InstallTestServices() {
  TestServices doubles{std::make_shared<RecordingMessageBox>(),
                       std::make_shared<RecordingFileDialog>(), std::make_shared<RecordingShell>(),
                       std::make_shared<RecordingRestart>(), std::make_shared<FakeClock>()};
  ServiceSet& services = Services();
  services.messageBox = doubles.messageBox;
  services.fileDialog = doubles.fileDialog;
  services.shell = doubles.shell;
  services.restart = doubles.restart;
  services.clock = doubles.clock;
  return doubles;
}

ScopedTestServices::ScopedTestServices() : previous_(Services()), doubles_(InstallTestServices()) {}

ScopedTestServices::~ScopedTestServices() {
  Services() = previous_;
}
