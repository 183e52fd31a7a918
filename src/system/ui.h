// Dialog and control primitives: what the setup flow needs of its one window.
// On Windows these are the user32/comctl32 calls on real controls; on the Linux stand-in
// they act on a headless dialog record that tests can inspect and drive.
#pragma once
#include "system/window.h"

// Text of a control of a dialog (GetDlgItemTextW / SetDlgItemTextW). The read returns the
// number of characters copied, always terminated within capacity.
int DialogGetItemText(WindowHandle dialog, int id, char16_t* text, int capacity);
void DialogSetItemText(WindowHandle dialog, int id, const char16_t* text);

// Title of a window (GetWindowTextW / SetWindowTextW).
int WindowGetText(WindowHandle window, char16_t* text, int capacity);
void WindowSetText(WindowHandle window, const char16_t* text);
