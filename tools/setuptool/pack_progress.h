// The progress bar of setuptool pack: one line on stderr, redrawn in place, shown only
// when stderr is a terminal and the work has already taken more than half a second.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

struct ProgressBar {
  bool enabled = false;       // stderr is a terminal and the user did not ask for quiet
  bool shown = false;         // a line has been drawn and must be cleared at the end
  uint64_t total = 0;         // bytes of all entries
  uint64_t done = 0;          // bytes of finished entries
  std::string current;        // the entry being packed
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point lastDrawn;
};

void StartProgress(ProgressBar& bar, bool enabled, uint64_t total);
// Shows that `entryDone` bytes of the current entry are done (redraws at most 10 times a second).
void UpdateProgress(ProgressBar& bar, uint64_t entryDone);
// Clears the line.
void EndProgress(ProgressBar& bar);
