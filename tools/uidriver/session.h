// The state one call of the UI driver carries from action to action, and the checks that the
// actions share for their arguments and for the windows they need.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "windows_found.h"

using Args = std::vector<std::wstring>;

struct Session {
  WindowFilter filter;
  DWORD markTicks = 0;   // the stopwatch of "mark" and "elapsed"
  HWND dialog = nullptr;   // the setup dialog, once found
  HWND box = nullptr;      // the message box, once found
  HWND browser = nullptr;  // the folder browser, once found
};

// Each reports on standard error and returns false when the thing is missing or malformed.
bool NeedDialog(Session& s);
bool NeedBox(Session& s);
bool NeedBrowser(Session& s);
bool NeedControl(Session& s, const std::wstring& idText, HWND& control);
bool NeedMs(const std::wstring& text, DWORD& ms);
bool NeedFlag(const std::wstring& text, bool& on);

// Posts a button's command to a dialog of another process and waits until the dialog is gone.
bool PressAndWaitGone(HWND window, int id, const wchar_t* what);
