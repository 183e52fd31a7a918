// The progress bar of setuptool pack (see pack_progress.h).
#include "pack_progress.h"

#include <cstdio>

void StartProgress(ProgressBar& bar, bool enabled, uint64_t total) {
  bar.enabled = enabled;
  bar.shown = false;
  bar.total = total;
  bar.done = 0;
  bar.started = bar.lastDrawn = std::chrono::steady_clock::now();
}

void UpdateProgress(ProgressBar& bar, uint64_t entryDone) {
  if (!bar.enabled) return;
  auto now = std::chrono::steady_clock::now();
  if (now - bar.started < std::chrono::milliseconds(500)) return;
  if (bar.shown && now - bar.lastDrawn < std::chrono::milliseconds(100)) return;
  bar.lastDrawn = now;
  uint64_t done = bar.done + entryDone;
  if (done > bar.total) done = bar.total;
  const int width = 30;
  int filled = bar.total ? int(done * width / bar.total) : width;
  int percent = bar.total ? int(done * 100 / bar.total) : 100;
  char line[width + 1];
  for (int i = 0; i < width; ++i) line[i] = i < filled ? '#' : '.';
  line[width] = 0;
  std::string name = bar.current;
  if (name.size() > 32) name = "..." + name.substr(name.size() - 29);
  std::fprintf(stderr, "\r[%s] %3d%%  %7.1f / %.1f MB  %-32s", line, percent, done / 1048576.0,
               bar.total / 1048576.0, name.c_str());
  std::fflush(stderr);
  bar.shown = true;
}

void EndProgress(ProgressBar& bar) {
  if (!bar.shown) return;
  std::fprintf(stderr, "\r%*s\r", 90, "");
  std::fflush(stderr);
  bar.shown = false;
}
