// Finding the setup's windows from outside its process.
//
// Both the setup dialog and a message box are top-level dialog windows of the class "#32770".
// They are told apart by their controls: the setup dialog holds the language list (a list view
// with the id 1010); a message box holds a text static and at least one push button but no
// language list. Windows of the driver's own process never count.
#pragma once

#include <windows.h>

#include <string>

#include "resources/resource_ids.h"

constexpr int kLanguageListId = KORV_CONTROL_LANGUAGES;

struct WindowFilter {
  std::wstring titlePrefix;  // empty = any title
};

HWND FindSetupDialog(const WindowFilter& filter);
HWND FindMessageBox();
// The shell's folder browser: a dialog holding a tree view.
HWND FindFolderBrowser();

// Polls every 50 ms until found or the time is up; returns null on timeout.
HWND WaitForSetupDialog(const WindowFilter& filter, DWORD timeoutMs);
HWND WaitForMessageBox(DWORD timeoutMs);
HWND WaitForFolderBrowser(DWORD timeoutMs);
bool WaitUntilNoSetupDialog(const WindowFilter& filter, DWORD timeoutMs);

// Text of a window of another process: WM_GETTEXT is copied across processes by the system,
// and it reads what an edit control holds now, which GetWindowText would not.
std::wstring WindowText(HWND window);

// Top-level windows of a window class, of any process, shown or not.
int CountWindowsOfClass(const std::wstring& windowClass);
std::wstring ClassName(HWND window);

// The message box's text: the text static (id 0xFFFF on Windows), else the first static with a text.
std::wstring MessageBoxText(HWND box);
