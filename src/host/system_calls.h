// The system functions that only the placeholder and the settings dialog
// call, looked up at their first call: a host that loads tavok and never draws
// a placeholder or opens the dialog maps none of their DLLs (user32, gdi32,
// shell32, ole32, comctl32, comdlg32). Each returns the function's own failure
// value (null, 0 or FALSE) when the function cannot be found.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

namespace tavok::sys {

// gdi32
HDC CreateCompatibleDC(HDC dc);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
BOOL DeleteDC(HDC dc);
BOOL GdiFlush();

// user32
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step,
                HBRUSH background, UINT flags);
BOOL DestroyIcon(HICON icon);
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
INT_PTR DialogBoxParamW(HINSTANCE instance, const wchar_t* name, HWND owner, DLGPROC procedure,
                        LPARAM parameter);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL EnableWindow(HWND window, BOOL enable);
HWND GetDlgItem(HWND dialog, int id);
BOOL EndDialog(HWND dialog, INT_PTR result);

// shell32, ole32, comctl32, comdlg32
DWORD_PTR SHGetFileInfoA(const char* path, DWORD attributes, SHFILEINFOA* info, UINT size,
                         UINT flags);
HRESULT CoInitializeEx(void* reserved, DWORD mode);
void CoUninitialize();
void InitCommonControls();
BOOL GetOpenFileNameW(OPENFILENAMEW* request);

}  // namespace tavok::sys
