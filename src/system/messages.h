// Message boxes: a text, or the system's text for an error code.
#pragma once
#include <cstdint>

#include "system/window.h"

constexpr unsigned kMbYesNo = 0x04;          // MB_YESNO: Yes and No buttons
constexpr unsigned kMbIconHand = 0x10;       // MB_ICONHAND: the error icon, OK button
constexpr unsigned kMbIconQuestion = 0x20;   // MB_ICONQUESTION
constexpr unsigned kMbIconInformation = 0x40;  // MB_ICONINFORMATION, OK button
constexpr int kIdYes = 6;                    // IDYES: the answer Yes

// The system's text for an error code (with its trailing line break), at most
// capacity - 2 characters; empty when the system has none.
void SystemErrorText(uint32_t code, char16_t* out, int capacity);
// The system's text for the code (0 = the calling thread's last error) in an error box:
// 0 when there is no error, 2 when the system has no text, else the box's result. Without
// a caption the box is titled with the program's own file name.
int ShowSystemError(WindowHandle owner, uint32_t code, const char16_t* caption);
// 2 when the text is absent or empty; else the box's result. A caption that is a path is
// shown as its file name; without an owner the active window owns the box.
int ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption, unsigned type);
