#include "host/system_calls.h"

#include <commctrl.h>
#include <objbase.h>

#include <atomic>

namespace tavok::sys {
namespace {

// The DLL from the system folder only, whatever the host's search path.
HMODULE SystemModule(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH) return nullptr;
  path[length] = L'\\';
  lstrcpyW(path + length + 1, name);
  // Kept for the life of the process, as an import would be.
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Fn>
class Lazy {
 public:
  constexpr Lazy(const wchar_t* dll, const char* name) : dll_(dll), name_(name) {}
  Fn get() {
    Fn fn = fn_.load(std::memory_order_acquire);
    if (fn == nullptr) {
      // Two threads may both look it up: the module's count just grows.
      HMODULE module = SystemModule(dll_);
      fn = module != nullptr
               ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name_)))
               : nullptr;
      fn_.store(fn, std::memory_order_release);
    }
    return fn;
  }

 private:
  const wchar_t* dll_;
  const char* name_;
  std::atomic<Fn> fn_{nullptr};
};

constexpr wchar_t kGdi32[] = L"gdi32.dll";
constexpr wchar_t kUser32[] = L"user32.dll";

// Calls the function found, or answers its failure value.
#define TAVOK_SYSTEM_CALL(dll, name, ...)              \
  static Lazy<decltype(&::name)> function(dll, #name); \
  const auto found = function.get();                   \
  return found != nullptr ? found(__VA_ARGS__) : decltype(found(__VA_ARGS__)) {}

}  // namespace

HDC CreateCompatibleDC(HDC dc) {
  TAVOK_SYSTEM_CALL(kGdi32, CreateCompatibleDC, dc);
}
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  TAVOK_SYSTEM_CALL(kGdi32, CreateDIBSection, dc, info, usage, bits, section, offset);
}
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  TAVOK_SYSTEM_CALL(kGdi32, SelectObject, dc, object);
}
BOOL DeleteObject(HGDIOBJ object) {
  TAVOK_SYSTEM_CALL(kGdi32, DeleteObject, object);
}
BOOL DeleteDC(HDC dc) {
  TAVOK_SYSTEM_CALL(kGdi32, DeleteDC, dc);
}
BOOL GdiFlush() {
  TAVOK_SYSTEM_CALL(kGdi32, GdiFlush);
}
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step,
                HBRUSH background, UINT flags) {
  TAVOK_SYSTEM_CALL(kUser32, DrawIconEx, dc, x, y, icon, width, height, step, background, flags);
}
BOOL DestroyIcon(HICON icon) {
  TAVOK_SYSTEM_CALL(kUser32, DestroyIcon, icon);
}
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  TAVOK_SYSTEM_CALL(kUser32, MessageBoxW, owner, text, caption, type);
}
INT_PTR DialogBoxParamW(HINSTANCE instance, const wchar_t* name, HWND owner, DLGPROC procedure,
                        LPARAM parameter) {
  TAVOK_SYSTEM_CALL(kUser32, DialogBoxParamW, instance, name, owner, procedure, parameter);
}
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TAVOK_SYSTEM_CALL(kUser32, SendMessageW, window, message, wparam, lparam);
}
BOOL EnableWindow(HWND window, BOOL enable) {
  TAVOK_SYSTEM_CALL(kUser32, EnableWindow, window, enable);
}
HWND GetDlgItem(HWND dialog, int id) {
  TAVOK_SYSTEM_CALL(kUser32, GetDlgItem, dialog, id);
}
BOOL EndDialog(HWND dialog, INT_PTR result) {
  TAVOK_SYSTEM_CALL(kUser32, EndDialog, dialog, result);
}
DWORD_PTR SHGetFileInfoA(const char* path, DWORD attributes, SHFILEINFOA* info, UINT size,
                         UINT flags) {
  TAVOK_SYSTEM_CALL(L"shell32.dll", SHGetFileInfoA, path, attributes, info, size, flags);
}
HRESULT CoInitializeEx(void* reserved, DWORD mode) {
  static Lazy<decltype(&::CoInitializeEx)> function(L"ole32.dll", "CoInitializeEx");
  const auto found = function.get();
  return found != nullptr ? found(reserved, mode) : E_FAIL;
}
void CoUninitialize() {
  static Lazy<decltype(&::CoUninitialize)> function(L"ole32.dll", "CoUninitialize");
  if (const auto found = function.get()) found();
}
void InitCommonControls() {
  static Lazy<decltype(&::InitCommonControls)> function(L"comctl32.dll", "InitCommonControls");
  if (const auto found = function.get()) found();
}
BOOL GetOpenFileNameW(OPENFILENAMEW* request) {
  TAVOK_SYSTEM_CALL(L"comdlg32.dll", GetOpenFileNameW, request);
}

#undef TAVOK_SYSTEM_CALL

}  // namespace tavok::sys
