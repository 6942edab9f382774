#include "dialog_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

namespace tavok::testing {
namespace {

constexpr UINT kAnswerTimeoutMs = 20000;
// The file name box of the file-open dialog: the combo box of the Explorer
// layout, or the plain edit box of the older one.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;

LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL, kAnswerTimeoutMs,
                           &result)) {
    throw UiTimeout("window " + std::to_string(reinterpret_cast<uintptr_t>(window)) +
                    " did not answer message " + std::to_string(message));
  }
  return static_cast<LRESULT>(result);
}

std::string ClassName(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

bool IsDialogWindow(HWND window) {
  return ClassName(window) == "#32770";
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM found) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

std::string Utf8(const std::wstring& text) {
  char bytes[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes, sizeof(bytes), nullptr, nullptr);
  return bytes;
}

std::string Describe(const std::vector<HWND>& windows) {
  std::string text;
  for (HWND window : windows)
    text += " [" + ClassName(window) + " \"" + Utf8(WindowText(window)) + "\"]";
  return text;
}

HWND FileNameBox(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, kFileNameCombo)) {
    if (HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr)) return edit;
    return combo;
  }
  return GetDlgItem(dialog, kFileNameEdit);
}

}  // namespace

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

std::vector<HWND> HostThread::Windows() const {
  std::vector<HWND> windows;
  EnumThreadWindows(id_, CollectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND HostThread::WaitForDialog(HWND owner, const std::function<bool(HWND)>& matches) const {
  HWND found = nullptr;
  const bool shown = WaitUntil([&] {
    for (HWND window : Windows()) {
      if (IsDialogWindow(window) && GetWindow(window, GW_OWNER) == owner && matches(window)) {
        found = window;
        return true;
      }
    }
    return false;
  });
  if (!shown) throw UiTimeout("the expected dialog did not appear; shown:" + Describe(Windows()));
  return found;
}

void FileOpenDialog::Choose(const std::string& path) const {
  const HWND box = FileNameBox(dialog_);
  if (box == nullptr) throw UiTimeout("the file-open dialog has no file name box");
  Send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog_, IDOK)));
  if (!WaitUntil([&] { return !IsWindow(dialog_); })) {
    throw UiTimeout("the file-open dialog stayed open after Open: " + path);
  }
}

void FileOpenDialog::Cancel() const {
  PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog_, IDCANCEL)));
  if (!WaitUntil([&] { return !IsWindow(dialog_); })) {
    throw UiTimeout("the file-open dialog stayed open after Cancel");
  }
}

std::vector<Row> SettingsDialog::Rows() const {
  const HWND list = Control(1000);
  const int count = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
  std::vector<Row> rows;
  for (int i = 0; i < count; ++i) {
    std::string cells[2];
    for (int column = 0; column < 2; ++column) {
      char text[300] = {};
      LVITEMA item = {};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof(text);
      Send(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
      cells[column] = text;
    }
    rows.push_back({cells[0], cells[1]});
  }
  return rows;
}

std::vector<std::string> SettingsDialog::Paths() const {
  std::vector<std::string> paths;
  for (const Row& row : Rows()) paths.push_back(row.path);
  return paths;
}

std::wstring SettingsDialog::Header(int column) const {
  wchar_t text[100] = {};
  LVCOLUMNW info = {};
  info.mask = LVCF_TEXT;
  info.pszText = text;
  info.cchTextMax = 100;
  Send(Control(1000), LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
  return text;
}

int SettingsDialog::ColumnCount() const {
  const auto header = reinterpret_cast<HWND>(Send(Control(1000), LVM_GETHEADER, 0, 0));
  return static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0));
}

DWORD SettingsDialog::ListExtendedStyle() const {
  return static_cast<DWORD>(Send(Control(1000), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

int SettingsDialog::ColumnWidth(int column) const {
  return static_cast<int>(Send(Control(1000), LVM_GETCOLUMNWIDTH, column, 0));
}

bool SettingsDialog::AddEnabled() const {
  return IsWindowEnabled(Control(1001)) != FALSE;
}

bool SettingsDialog::DeleteEnabled() const {
  return IsWindowEnabled(Control(1002)) != FALSE;
}

int SettingsDialog::SelectionMark() const {
  return static_cast<int>(Send(Control(1000), LVM_GETSELECTIONMARK, 0, 0));
}

int SettingsDialog::SelectedRow() const {
  return static_cast<int>(Send(Control(1000), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
}

std::vector<HWND> SettingsDialog::ThreadWindows() const {
  // Sorted: the order the platform lists them in follows the z-order, which
  // changes as other windows come and go.
  std::vector<HWND> windows = HostThread(GetWindowThreadProcessId(dialog_, nullptr)).Windows();
  std::sort(windows.begin(), windows.end());
  return windows;
}

void SettingsDialog::ClickEmptySpace() const {
  const HWND list = Control(1000);
  RECT client = {};
  GetClientRect(list, &client);
  // Near the bottom of the list, below the rows of the tests' short lists.
  const LPARAM at = MAKELPARAM(client.left + 5, client.bottom - 5);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  if (!WaitUntil([&] { return SelectedRow() == -1; })) {
    throw UiTimeout("clicking empty space kept a row selected");
  }
}

void SettingsDialog::ClickRow(int row) const {
  const HWND list = Control(1000);
  RECT cell = {};
  cell.left = LVIR_LABEL;
  if (!Send(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&cell))) {
    throw UiTimeout("no row " + std::to_string(row) + " to click");
  }
  const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  if (!WaitUntil([&] { return SelectionMark() == row; })) {
    throw UiTimeout("clicking row " + std::to_string(row) + " did not select it");
  }
}

void SettingsDialog::PressDelete() const {
  Send(Control(1002), BM_CLICK, 0, 0);
}

FileOpenDialog SettingsDialog::PressAdd() const {
  // Posted: the click runs the file-open dialog's modal loop, which only
  // ends when this thread answers it.
  PostMessageA(Control(1001), BM_CLICK, 0, 0);
  const HostThread host(GetWindowThreadProcessId(dialog_, nullptr));
  return FileOpenDialog(host.WaitForDialog(dialog_, [](HWND) { return true; }));
}

void SettingsDialog::PressOk() const {
  Send(Control(IDOK), BM_CLICK, 0, 0);
  WaitClosed();
}

void SettingsDialog::PressKey(WORD key) const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog_, nullptr), &info);
  const HWND target =
      info.hwndFocus != nullptr && IsChild(dialog_, info.hwndFocus) ? info.hwndFocus : dialog_;
  const UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
  PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
}

void SettingsDialog::CloseBox() const {
  PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void SettingsDialog::SendCommand(WORD id, WORD notification, HWND control) const {
  Send(dialog_, WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(control));
}

void SettingsDialog::Sync() const {
  Send(dialog_, WM_NULL, 0, 0);
}

void SettingsDialog::WaitClosed() const {
  if (!WaitUntil([&] { return !IsWindow(dialog_); })) throw UiTimeout("the dialog stayed open");
}

int32_t UseConfiguration(ConfigurationDlgFn configuration, HWND parent, int32_t function,
                         const std::function<void(const HostThread&)>& person) {
  const HostThread host(GetCurrentThreadId());
  std::atomic<bool> returned{false};
  std::thread person_thread([&] {
    try {
      person(host);
    } catch (const std::exception& failure) {
      ADD_FAILURE() << failure.what();
    }
    // Cancel whatever is still open (an About box takes IDCANCEL too).
    if (!WaitUntil(
            [&] {
              if (returned) return true;
              for (HWND window : host.Windows()) {
                if (IsDialogWindow(window)) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
              }
              Sleep(200);
              return returned.load();
            },
            30000)) {
      std::fprintf(stderr, "ConfigurationDlg did not return; giving up\n");
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 3);
    }
  });
  const int32_t result = configuration(parent, function);
  returned = true;
  person_thread.join();
  return result;
}

OwnerWindow::OwnerWindow() {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "TavokTestViewer";
  RegisterClassA(&window_class);
  window_ = CreateWindowExA(0, "TavokTestViewer", "viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                            320, 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

OwnerWindow::~OwnerWindow() {
  DestroyWindow(window_);
}

}  // namespace tavok::testing
