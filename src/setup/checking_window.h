// The setup's first window while a long scan pass runs: when the check of the payload takes
// longer than a moment, a progress window with the setup's caption, "checking" and the share
// of the payload checked appears, so that a large setup does not leave the screen blank
// until its dialog shows; it is gone before the dialog shows.
//
// The window lives on a thread of its own, which creates it after the delay and keeps it
// drawn, so it appears on time and stays responsive even while the scan is inside one large
// entry (the scan reports its progress only between entries).
#pragma once

// The delay after which the window appears when the scan is still running.
constexpr unsigned kCheckingDelayMs = 300;

// Starts the watch: after `delayMs` without FinishCheckingWindow, the window appears with the
// caption and the text, which must stay until FinishCheckingWindow has returned.
void StartCheckingWindow(const char16_t* caption, const char16_t* text, unsigned delayMs);
// The share of the payload checked so far, in thousandths.
void NoteChecked(int thousandths);
// Ends the watch; returns once the window, if it appeared, is closed.
void FinishCheckingWindow();
