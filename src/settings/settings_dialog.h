// The plug-in's configuration entry point, ConfigurationDlg, declared with the
// other exports: the About box, and the modal settings dialog in which the
// user edits the decoder table in place and saves it to the settings file
// with OK. Both return 0 once closed, however they were closed; any other
// function shows nothing and returns -1.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tavok {

constexpr int32_t kAboutBox = 0;
constexpr int32_t kSettingsDialog = 1;

// The settings dialog's procedure. WM_INITDIALOG with lParam 1 refreshes the
// list from the decoder table; with any other lParam it also sets the list up.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace tavok
