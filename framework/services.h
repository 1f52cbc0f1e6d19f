// services.h - the platform services the programs use, behind small interfaces so tests can
// replace each with a recording double: message boxes, file dialogs, the shell, the system
// restart and the clock. The application holds the ones in force (Services()).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CWnd;

// Message box styles and results, with the framework's values.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;  // also MB_ICONSTOP
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;  // also MB_ICONEXCLAMATION
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Shows a modal box; `owner` may be null (no owner window). Returns IDOK, IDYES, IDNO, ...
  virtual int Show(CWnd* owner, const std::string& text, const std::string& caption,
                   unsigned style) = 0;
};

class FileDialogService {
 public:
  virtual ~FileDialogService() = default;
  // `filter` in the framework's form ("BMP Files (*.bmp)|*.bmp||"); empty: "All Files (*.*)".
  // Returns false when the user cancels; else writes the chosen path.
  virtual bool Open(CWnd* owner, const std::string& filter, const std::string& defaultExt,
                    std::string* path) = 0;
  virtual bool Save(CWnd* owner, const std::string& filter, const std::string& defaultExt,
                    const std::string& initialName, std::string* path) = 0;
};

class ShellService {
 public:
  virtual ~ShellService() = default;
  // Asks the desktop to "open" an address (web page or mailto:). Returns a value above 32 on
  // success and 32 or less on failure, as the platform's shell execution does.
  virtual intptr_t Open(const std::string& address) = 0;
};

class RestartService {
 public:
  virtual ~RestartService() = default;
  // Whether this user may restart the machine now (stands for enabling the shutdown privilege).
  virtual bool CanRestart() = 0;
  // Requests the restart; false when it was refused.
  virtual bool Restart() = 0;
};

class ClockService {
 public:
  virtual ~ClockService() = default;
  // Milliseconds since the system started, wrapping at 2^32.
  virtual uint32_t GetTickCount() = 0;
  // Sleeps about `milliseconds` (1 in the programs).
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The services in force. Programs use the Qt (real) ones; tests install doubles before they
// build a frame.
struct ServiceSet {
  std::shared_ptr<MessageBoxService> messageBox;
  std::shared_ptr<FileDialogService> fileDialog;
  std::shared_ptr<ShellService> shell;
  std::shared_ptr<RestartService> restart;
  std::shared_ptr<ClockService> clock;
};

ServiceSet& Services();
// Installs the Qt implementations of every service.
void InstallQtServices();
