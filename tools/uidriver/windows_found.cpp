#include "windows_found.h"

#include <vector>

namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kMessageTimeoutMs = 5000;

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId() && IsWindowVisible(window) && ClassName(window) == L"#32770") {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  }
  return TRUE;
}

std::vector<HWND> TopLevelDialogs() {
  std::vector<HWND> found;
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND ChildOfClass(HWND parent, const wchar_t* windowClass) {
  return FindWindowExW(parent, nullptr, windowClass, nullptr);
}

bool HasVisiblePushButton(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child) && ClassName(child) == L"Button") {
      LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
      if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) return true;
    }
  }
  return false;
}

struct ClassCount {
  const std::wstring* windowClass;
  int count;
};

BOOL CALLBACK CountOfClass(HWND window, LPARAM param) {
  auto* counter = reinterpret_cast<ClassCount*>(param);
  if (ClassName(window) == *counter->windowClass) ++counter->count;
  return TRUE;
}

}  // namespace

int CountWindowsOfClass(const std::wstring& windowClass) {
  ClassCount counter = {&windowClass, 0};
  EnumWindows(CountOfClass, reinterpret_cast<LPARAM>(&counter));
  return counter.count;
}

std::wstring ClassName(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                           &length)) {
    return L"";
  }
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                      SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
  return std::wstring(buffer.data());
}

HWND FindSetupDialog(const WindowFilter& filter) {
  for (HWND window : TopLevelDialogs()) {
    HWND list = GetDlgItem(window, kLanguageListId);
    if (!list || ClassName(list) != L"SysListView32") continue;
    if (!filter.titlePrefix.empty() &&
        WindowText(window).compare(0, filter.titlePrefix.size(), filter.titlePrefix) != 0) {
      continue;
    }
    return window;
  }
  return nullptr;
}

HWND FindMessageBox() {
  for (HWND window : TopLevelDialogs()) {
    if (GetDlgItem(window, kLanguageListId) || ChildOfClass(window, L"SysTreeView32")) continue;
    if (HasVisiblePushButton(window)) return window;
  }
  return nullptr;
}

HWND FindFolderBrowser() {
  for (HWND window : TopLevelDialogs()) {
    if (ChildOfClass(window, L"SysTreeView32")) return window;
  }
  return nullptr;
}

std::wstring MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  if (text && ClassName(text) == L"Static") return WindowText(text);
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) != L"Static") continue;
    std::wstring found = WindowText(child);
    if (!found.empty()) return found;
  }
  return L"";
}

HWND WaitForSetupDialog(const WindowFilter& filter, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND found = FindSetupDialog(filter)) return found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

HWND WaitForMessageBox(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND found = FindMessageBox()) return found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

HWND WaitForFolderBrowser(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND found = FindFolderBrowser()) return found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

bool WaitUntilNoSetupDialog(const WindowFilter& filter, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (!FindSetupDialog(filter)) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}
