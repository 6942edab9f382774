// The module's exported entry points, with the exact prototypes hosts call.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/susie.h"

extern "C" {
int32_t __stdcall GetPluginInfo(int32_t number, char* buffer, int32_t length);
int32_t __stdcall IsSupported(const char* name, ULONG_PTR source);
int32_t __stdcall GetPictureInfo(const char* buffer, LONG_PTR length, uint32_t flag,
                                 tavok::PictureInfo* info);
int32_t __stdcall GetPicture(const char* buffer, LONG_PTR length, uint32_t flag, HLOCAL* info,
                             HLOCAL* bits, tavok::ProgressCallback progress, LONG_PTR user);
int32_t __stdcall GetPreview(const char* buffer, LONG_PTR length, uint32_t flag, HLOCAL* info,
                             HLOCAL* bits, tavok::ProgressCallback progress, LONG_PTR user);
int32_t __stdcall ConfigurationDlg(HWND parent, int32_t function);

// The same with UTF-16 file names and information strings.
int32_t __stdcall GetPluginInfoW(int32_t number, wchar_t* buffer, int32_t length);
int32_t __stdcall IsSupportedW(const wchar_t* name, ULONG_PTR source);
int32_t __stdcall GetPictureInfoW(const wchar_t* buffer, LONG_PTR length, uint32_t flag,
                                  tavok::PictureInfo* info);
int32_t __stdcall GetPictureW(const wchar_t* buffer, LONG_PTR length, uint32_t flag, HLOCAL* info,
                              HLOCAL* bits, tavok::ProgressCallback progress, LONG_PTR user);
int32_t __stdcall GetPreviewW(const wchar_t* buffer, LONG_PTR length, uint32_t flag, HLOCAL* info,
                              HLOCAL* bits, tavok::ProgressCallback progress, LONG_PTR user);
}
