#include "settings/settings_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstddef>

#include "decoders/decoder_table.h"
#include "host/exports.h"
#include "host/system_calls.h"
#include "host/plugin_info.h"
#include "settings/module_lifecycle.h"
#include "settings/resource_ids.h"
#include "settings/settings_file.h"

namespace tavok {
namespace {

// The dialog is a UTF-16 window with UTF-16 texts, so that its Japanese reads
// under every ANSI code page; the template's texts are in settings_dialog.rc.

// "ファイル名"
constexpr wchar_t kPathHeader[] = L"\u30D5\u30A1\u30A4\u30EB\u540D";
// "バージョン情報"
constexpr wchar_t kDescriptionHeader[] = L"\u30D0\u30FC\u30B8\u30E7\u30F3\u60C5\u5831";
// "追加するSusieプラグインを選択してください。"
constexpr wchar_t kAddTitle[] =
    L"\u8FFD\u52A0\u3059\u308BSusie\u30D7\u30E9\u30B0\u30A4\u30F3\u3092"
    L"\u9078\u629E\u3057\u3066\u304F\u3060\u3055\u3044\u3002";
// One filter, description and pattern, for this build's plug-ins; the
// literal's own terminator ends the list.
#if defined(_WIN64)
constexpr wchar_t kAddFilter[] = L"Susie Plug-in (*.sph)\0*.sph\0";
#else
constexpr wchar_t kAddFilter[] = L"Susie Plug-in (*.spi)\0*.spi\0";
#endif

// "設定ファイルを保存できませんでした。", followed by the file's path.
constexpr wchar_t kSaveFailed[] =
    L"\u8A2D\u5B9A\u30D5\u30A1\u30A4\u30EB\u3092\u4FDD\u5B58"
    L"\u3067\u304D\u307E\u305B\u3093\u3067\u3057\u305F\u3002";

constexpr int kPathColumnWidth = 175;
constexpr int kDescriptionColumnWidth = 400;
constexpr LPARAM kRefreshOnly = 1;

HWND List(HWND dialog) {
  return sys::GetDlgItem(dialog, IDC_DECODER_LIST);
}

void InsertColumn(HWND list, int index, const wchar_t* header, int width) {
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = const_cast<wchar_t*>(header);
  column.iSubItem = index;
  sys::SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void SetUpList(HWND dialog) {
  const HWND list = List(dialog);
  sys::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  InsertColumn(list, 0, kPathHeader, kPathColumnWidth);
  InsertColumn(list, 1, kDescriptionHeader, kDescriptionColumnWidth);
}

// Entries the list holds: those in the table and those kept from the file.
int32_t ListedCount() {
  return DecoderCount() + KeptEntryCount();
}

// Rebuilds the rows from the table, row i showing entry i. It only ever
// disables the buttons: Add and Delete enable them when a change allows.
void Fill(HWND dialog) {
  const HWND list = List(dialog);
  sys::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (int32_t i = 0; i < DecoderCount(); ++i) {
    DecoderPlugin& entry = DecoderAt(i);
    LVITEMW row = {};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    row.iItem = i;
    row.pszText = entry.path;
    row.lParam = i;
    sys::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
    // Decoders describe themselves in the ANSI code page.
    wchar_t text[kDecoderDescriptionSize] = {};
    MultiByteToWideChar(CP_ACP, 0, entry.description, -1, text, kDecoderDescriptionSize);
    LVITEMW description = {};
    description.iSubItem = 1;
    description.pszText = text;
    sys::SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&description));
  }
  if (ListedCount() >= kMaxDecoders)
    sys::EnableWindow(sys::GetDlgItem(dialog, IDC_ADD_DECODER), FALSE);
  if (DecoderCount() == 0) sys::EnableWindow(sys::GetDlgItem(dialog, IDC_DELETE_DECODER), FALSE);
}

void Refresh(HWND dialog) {
  sys::SendMessageW(dialog, WM_INITDIALOG, 0, kRefreshOnly);
}

// sender is the button that sent the command.
INT_PTR Add(HWND dialog, HWND sender) {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW request = {};
  // Without the trailing reserved and extension fields: every version of the
  // file-open dialog accepts that layout.
  request.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  request.hwndOwner = dialog;
  request.lpstrFilter = kAddFilter;
  request.nFilterIndex = 0;
  request.lpstrFile = path;
  request.nMaxFile = MAX_PATH;
  request.lpstrTitle = kAddTitle;
  request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!sys::GetOpenFileNameW(&request)) return TRUE;
  // A refused file (listed already, this module, no import plug-in, a full
  // table) changes nothing and, like every failure here, shows nothing.
  if (!RegisterDecoder(path)) return TRUE;
  if (ListedCount() >= kMaxDecoders) sys::EnableWindow(sender, FALSE);
  sys::EnableWindow(sys::GetDlgItem(dialog, IDC_DELETE_DECODER), TRUE);
  Refresh(dialog);
  return TRUE;
}

INT_PTR Delete(HWND dialog, HWND sender) {
  // Rows are in table order, so the selected row is the table index. The
  // selection mark stays on a row the user has deselected, so only a
  // selected row counts; an index past the rows changes nothing at all.
  const int32_t index = static_cast<int32_t>(
      sys::SendMessageW(List(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (index < 0 || index >= DecoderCount()) return FALSE;
  RemoveListedDecoder(index);
  if (DecoderCount() == 0) sys::EnableWindow(sender, FALSE);
  sys::EnableWindow(sys::GetDlgItem(dialog, IDC_ADD_DECODER), TRUE);
  Refresh(dialog);
  return TRUE;
}

void ReportSaveFailure(HWND dialog) {
  // The message is UTF-16, readable under every ANSI code page.
  wchar_t text[sizeof(kSaveFailed) / sizeof(wchar_t) + 2 + MAX_PATH] = {};
  lstrcpyW(text, kSaveFailed);
  lstrcatW(text, L"\r\n");
  lstrcatW(text, SettingsPath());
  sys::MessageBoxW(dialog, text, L"tavok", MB_OK | MB_ICONWARNING);
}

INT_PTR OnCommand(HWND dialog, WORD id, WORD notification, HWND sender) {
  switch (id) {
    case IDOK:
      // A list that could not be saved stays in the open dialog, so that
      // nothing the user chose is lost; Cancel closes it.
      if (!SaveSettings()) {
        ReportSaveFailure(dialog);
        return TRUE;
      }
      sys::EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      // Nothing is written and nothing undone: changes made while the
      // dialog was open stay in the running module.
      sys::EndDialog(dialog, IDCANCEL);
      return TRUE;
    case IDC_ADD_DECODER:
      if (notification != BN_CLICKED || ListedCount() >= kMaxDecoders) return FALSE;
      return Add(dialog, sender);
    case IDC_DELETE_DECODER:
      if (notification != BN_CLICKED || DecoderCount() <= 0) return FALSE;
      return Delete(dialog, sender);
    default:
      return FALSE;
  }
}

}  // namespace

}  // namespace tavok

using namespace tavok;

extern "C" int32_t __stdcall ConfigurationDlg(HWND parent, int32_t function) {
  switch (function) {
    case kAboutBox: {
      wchar_t text[128] = {};
      CopyPluginInfoW(1, text, 127);
      sys::MessageBoxW(parent, text, L"About", MB_OK);
      return 0;
    }
    case kSettingsDialog:
      EnsureTableLoaded();
      sys::InitCommonControls();
      // The dialog's own result (OK or cancelled, or -1 when it could not be
      // created) is not the host's business.
      sys::DialogBoxParamW(ModuleHandle(), MAKEINTRESOURCEW(IDD_SETTINGS), parent,
                           SettingsDialogProc, 0);
      return 0;
    default:
      return -1;
  }
}

namespace tavok {

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      sys::EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_INITDIALOG:
      if (lparam != kRefreshOnly) SetUpList(dialog);
      Fill(dialog);
      return FALSE;
    case WM_COMMAND:
      return OnCommand(dialog, LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
    default:
      return FALSE;
  }
}

}  // namespace tavok
