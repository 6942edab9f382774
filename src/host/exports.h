// The module's exported entry points, with the exact prototypes hosts call.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/susie.h"

extern "C" {
int32_t __stdcall GetPluginInfo(int32_t number, char* buffer, int32_t length);
int32_t __stdcall IsSupported(const char* name, uint32_t source);
int32_t __stdcall GetPictureInfo(const char* buffer, int32_t length, uint32_t flag,
                                 tavok::PictureInfo* info);
int32_t __stdcall GetPicture(const char* buffer, int32_t length, uint32_t flag, HLOCAL* info,
                             HLOCAL* bits, tavok::ProgressCallback progress, int32_t user);
int32_t __stdcall GetPreview(const char* buffer, int32_t length, uint32_t flag, HLOCAL* info,
                             HLOCAL* bits, tavok::ProgressCallback progress, int32_t user);
int32_t __stdcall ConfigurationDlg(HWND parent, int32_t function);
}
