// Drives the plug-in's configuration windows as a person would: the host's
// thread calls ConfigurationDlg and sits in the modal loop, while a second
// thread finds the windows it shows, reads them and presses their buttons.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/susie.h"
#include "support/test_files.h"

namespace tavok::testing {

// Thrown on the person's thread when a window does not appear or answer in
// time; the test fails instead of hanging.
struct UiTimeout : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Row {
  std::string path;
  std::string description;
  bool operator==(const Row& other) const {
    return path == other.path && description == other.description;
  }
};

std::wstring WindowText(HWND window);

// The thread that called ConfigurationDlg, seen from the person's thread.
class HostThread {
 public:
  explicit HostThread(DWORD id) : id_(id) {}
  // Its visible top-level windows.
  std::vector<HWND> Windows() const;
  // Waits for a visible dialog-class window owned by owner that matches.
  HWND WaitForDialog(HWND owner, const std::function<bool(HWND)>& matches) const;

 private:
  DWORD id_;
};

class FileOpenDialog {
 public:
  explicit FileOpenDialog(HWND dialog) : dialog_(dialog) {}
  HWND hwnd() const { return dialog_; }
  // Types the path into the file name box, presses Open and waits until the
  // dialog has gone.
  void Choose(const std::string& path) const;
  void Cancel() const;

 private:
  HWND dialog_;
};

class SettingsDialog {
 public:
  explicit SettingsDialog(HWND dialog) : dialog_(dialog) {}
  HWND hwnd() const { return dialog_; }
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }

  std::vector<Row> Rows() const;
  std::vector<std::string> Paths() const;
  std::wstring Header(int column) const;
  int ColumnCount() const;
  DWORD ListExtendedStyle() const;
  int ColumnWidth(int column) const;
  bool AddEnabled() const;
  bool DeleteEnabled() const;
  int SelectionMark() const;
  // The row shown selected, or -1.
  int SelectedRow() const;

  // The visible top-level windows of the dialog's thread, in handle order.
  std::vector<HWND> ThreadWindows() const;

  // Clicks the list below its rows, which deselects them; the selection mark
  // stays where it was.
  void ClickEmptySpace() const;
  // Clicks the middle of the row's first cell.
  void ClickRow(int row) const;
  void PressDelete() const;
  // Presses Add and waits for the file-open dialog.
  FileOpenDialog PressAdd() const;
  void PressOk() const;
  // A key pressed while the dialog has the focus (Escape, Enter).
  void PressKey(WORD key) const;
  void CloseBox() const;
  // WM_COMMAND as a control would send it; returns once it is handled.
  void SendCommand(WORD id, WORD notification, HWND control) const;
  // After a file-open dialog has gone: returns once the command that showed
  // it has been handled (nothing else makes the dialog's thread answer).
  void Sync() const;
  // Waits until the dialog has closed.
  void WaitClosed() const;

 private:
  HWND dialog_;
};

// Calls function `function` of ConfigurationDlg on this thread, as a host
// does, while `person` uses what it shows from a second thread. Whatever the
// person leaves open is cancelled afterwards so that the call returns; a call
// that does not return even then ends the process instead of hanging.
int32_t UseConfiguration(ConfigurationDlgFn configuration, HWND parent, int32_t function,
                         const std::function<void(const HostThread&)>& person);

// A visible top-level window that owns the dialogs, as a viewer's window does.
class OwnerWindow {
 public:
  OwnerWindow();
  ~OwnerWindow();
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  HWND hwnd() const { return window_; }

 private:
  HWND window_;
};

}  // namespace tavok::testing
