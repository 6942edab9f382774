// A progress bar on standard error, fed by the plug-in's progress callback.
// Quick pictures show none: the bar appears only once a picture has taken
// longer than a delay.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "host/susie.h"

namespace tavok::render {

class ProgressBar {
 public:
  ProgressBar(FILE* out, DWORD start_ms, DWORD delay_ms);
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(int number, int denominator, DWORD now_ms);
  // Ends the bar's line, if a bar was drawn.
  void Finish();

  // The callback to hand to GetPicture, with user_value() as its user value.
  static ProgressCallback callback() { return &OnProgress; }
  LONG_PTR user_value() { return reinterpret_cast<LONG_PTR>(this); }

 private:
  static int __stdcall OnProgress(int number, int denominator, LONG_PTR user);

  FILE* out_;
  DWORD start_ms_;
  DWORD delay_ms_;
  int drawn_percent_ = -1;  // none drawn yet
};

}  // namespace tavok::render
