#include "progress_bar.h"

namespace tavok::render {
namespace {

constexpr int kBarWidth = 40;

// Callbacks may report any numbers: the share is clamped to 0..100.
int Percent(int number, int denominator) {
  if (denominator <= 0 || number <= 0) return 0;
  if (number >= denominator) return 100;
  return static_cast<int>(static_cast<int64_t>(number) * 100 / denominator);
}

}  // namespace

ProgressBar::ProgressBar(FILE* out, DWORD start_ms, DWORD delay_ms)
    : out_(out), start_ms_(start_ms), delay_ms_(delay_ms) {}

void ProgressBar::Update(int number, int denominator, DWORD now_ms) {
  if (now_ms - start_ms_ < delay_ms_) return;
  const int percent = Percent(number, denominator);
  if (percent == drawn_percent_) return;
  char marks[kBarWidth + 1];
  for (int i = 0; i < kBarWidth; ++i) marks[i] = i < percent * kBarWidth / 100 ? '#' : '-';
  marks[kBarWidth] = '\0';
  std::fprintf(out_, "\r[%s] %3d%%", marks, percent);
  std::fflush(out_);
  drawn_percent_ = percent;
}

void ProgressBar::Finish() {
  if (drawn_percent_ >= 0) std::fputc('\n', out_);
  drawn_percent_ = -1;
}

int __stdcall ProgressBar::OnProgress(int number, int denominator, LONG_PTR user) {
  reinterpret_cast<ProgressBar*>(user)->Update(number, denominator, GetTickCount());
  return 0;  // never abort
}

}  // namespace tavok::render
