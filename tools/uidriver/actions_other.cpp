// Actions on message boxes and the folder browser, on windows of any program, on files
// (shortcuts, a file held open) and on time.
#include <windows.h>

#include "actions.h"
#include "output.h"
#include "remote_treeview.h"
#include "shell_link_reader.h"

bool WaitMsgbox(Session& s, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  s.box = WaitForMessageBox(ms);
  if (!s.box) {
    WriteError(L"no message box within " + a[0] + L" ms");
    return false;
  }
  return true;
}

bool NoMsgbox(Session&, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  if (HWND box = WaitForMessageBox(ms)) {
    WriteError(L"unexpected message box: " + Escaped(WindowText(box)) + L": " +
               Escaped(MessageBoxText(box)));
    return false;
  }
  return true;
}

bool MsgboxCaption(Session& s, const Args&) {
  if (!NeedBox(s)) return false;
  WriteLine(Escaped(WindowText(s.box)));
  return true;
}

bool MsgboxText(Session& s, const Args&) {
  if (!NeedBox(s)) return false;
  WriteLine(Escaped(MessageBoxText(s.box)));
  return true;
}

bool Dismiss(Session& s, const Args&) {
  if (!NeedBox(s)) return false;
  bool closed = PressAndWaitGone(s.box, IDOK, L"the message box");
  s.box = nullptr;
  return closed;
}

bool WaitBrowser(Session& s, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  s.browser = WaitForFolderBrowser(ms);
  if (!s.browser) {
    WriteError(L"no folder browser within " + a[0] + L" ms");
    return false;
  }
  return true;
}

bool BrowserSelection(Session& s, const Args&) {
  if (!NeedBrowser(s)) return false;
  std::vector<std::wstring> path;
  if (!ReadTreeSelectionPath(FindWindowExW(s.browser, nullptr, L"SysTreeView32", nullptr), path)) {
    WriteError(L"the folder browser has no selection");
    return false;
  }
  std::wstring line;
  for (const std::wstring& part : path) {
    if (!line.empty()) line += L" > ";
    WriteField(line, part);
  }
  WriteLine(line);
  return true;
}

bool BrowserOk(Session& s, const Args&) {
  if (!NeedBrowser(s)) return false;
  bool closed = PressAndWaitGone(s.browser, IDOK, L"the folder browser");
  s.browser = nullptr;
  return closed;
}

bool BrowserCancel(Session& s, const Args&) {
  if (!NeedBrowser(s)) return false;
  bool closed = PressAndWaitGone(s.browser, IDCANCEL, L"the folder browser");
  s.browser = nullptr;
  return closed;
}

bool Lnk(Session&, const Args& a) {
  ShellLinkInfo info;
  if (!ReadShellLink(a[0], info)) {
    WriteError(L"cannot read the shortcut " + a[0]);
    return false;
  }
  WriteLine(L"target\t" + Escaped(info.target));
  WriteLine(L"workdir\t" + Escaped(info.workingDirectory));
  WriteLine(L"args\t" + Escaped(info.arguments));
  WriteLine(L"showcmd\t" + std::to_wstring(info.showCommand));
  return true;
}

// Opens a file with no sharing at all, so nobody else can open, replace or delete it while
// the handle is held; says "held" on success.
static HANDLE HoldOpen(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    WriteError(L"cannot open " + path + L" (error " + std::to_wstring(GetLastError()) + L")");
    return file;
  }
  WriteLine(L"held");
  return file;
}

bool Hold(Session&, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[1], ms)) return false;
  HANDLE file = HoldOpen(a[0]);
  if (file == INVALID_HANDLE_VALUE) return false;
  Sleep(ms);
  CloseHandle(file);
  return true;
}

bool Windows(Session&, const Args& a) {
  WriteLine(std::to_wstring(CountWindowsOfClass(a[0])));
  return true;
}

static bool WaitForClass(const std::wstring& windowClass, const std::wstring& msText, bool present) {
  DWORD ms;
  if (!NeedMs(msText, ms)) return false;
  DWORD start = GetTickCount();
  while ((CountWindowsOfClass(windowClass) > 0) != present) {
    if (GetTickCount() - start >= ms) {
      WriteError(std::wstring(present ? L"no window" : L"still a window") + L" of class " +
                 windowClass + L" after " + msText + L" ms");
      return false;
    }
    Sleep(50);
  }
  return true;
}

bool WaitWindow(Session&, const Args& a) {
  return WaitForClass(a[0], a[1], true);
}

bool WaitNoWindow(Session&, const Args& a) {
  return WaitForClass(a[0], a[1], false);
}

bool HoldUntil(Session&, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[2], ms)) return false;
  HANDLE file = HoldOpen(a[0]);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD start = GetTickCount();
  while (GetFileAttributesW(a[1].c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start >= ms) {
      CloseHandle(file);
      WriteError(a[1] + L" did not appear within " + a[2] + L" ms");
      return false;
    }
    Sleep(1);
  }
  CloseHandle(file);
  WriteLine(L"released");
  return true;
}

bool Mark(Session& s, const Args&) {
  s.markTicks = GetTickCount();
  return true;
}

bool Elapsed(Session& s, const Args&) {
  WriteLine(std::to_wstring(GetTickCount() - s.markTicks));
  return true;
}

bool SleepAction(Session&, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  Sleep(ms);
  return true;
}
