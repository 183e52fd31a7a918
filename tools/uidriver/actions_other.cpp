// Actions on message boxes and the folder browser, on windows of any program, on files
// (shortcuts, a file held open) and on time.
#include <windows.h>

#include <psapi.h>

#include <vector>

#include "actions.h"
#include "output.h"
#include "remote_treeview.h"
#include "shell_link_reader.h"
#include "windows_found.h"

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

bool Answer(Session& s, const Args& a) {
  if (a[0] != L"yes" && a[0] != L"no") {
    WriteError(L"answer yes or no, not: " + a[0]);
    return false;
  }
  if (!NeedBox(s)) return false;
  const int id = a[0] == L"yes" ? IDYES : IDNO;
  if (!GetDlgItem(s.box, id)) {
    WriteError(L"the message box has no " + a[0] + L" button");
    return false;
  }
  bool closed = PressAndWaitGone(s.box, id, L"the message box");
  s.box = nullptr;
  return closed;
}

bool MsgboxButtons(Session& s, const Args&) {
  if (!NeedBox(s)) return false;
  std::wstring line;
  for (HWND child = GetWindow(s.box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child) || ClassName(child) != L"Button") continue;
    if (!line.empty()) line += L' ';
    line += std::to_wstring(GetDlgCtrlID(child));
  }
  WriteLine(line);
  return true;
}

// The program file of the process that shows the box: tells the uninstaller's copy in the
// temporary folder from the original.
bool MsgboxProcess(Session& s, const Args&) {
  if (!NeedBox(s)) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(s.box, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  wchar_t path[MAX_PATH] = {};
  DWORD length = process ? GetModuleFileNameExW(process, nullptr, path, MAX_PATH) : 0;
  if (process) CloseHandle(process);
  if (!length) {
    WriteError(L"cannot read the program of process " + std::to_wstring(pid));
    return false;
  }
  WriteLine(Escaped(path));
  return true;
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

// Starts a command line as the shell's list of installed programs starts an "UninstallString"
// (CreateProcessW, the line parsed by the system: a quoted path stays one path), waits for the
// program to end and prints its exit code.
bool Run(Session&, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[1], ms)) return false;
  std::vector<wchar_t> line(a[0].begin(), a[0].end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    WriteError(L"cannot start " + a[0] + L" (error " + std::to_wstring(GetLastError()) + L")");
    return false;
  }
  CloseHandle(process.hThread);
  DWORD code = STILL_ACTIVE;
  bool ended = WaitForSingleObject(process.hProcess, ms) == WAIT_OBJECT_0;
  if (ended) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  if (!ended) {
    WriteError(a[0] + L" still runs after " + a[1] + L" ms");
    return false;
  }
  WriteLine(L"exit " + std::to_wstring(code));
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

// Visible top-level windows of other processes, each "class<TAB>title" once, watched every
// 20 ms for so many milliseconds: what a user could have seen on the screen meanwhile.
struct SeenWindows {
  DWORD self;
  std::vector<std::wstring> seen;
};

static BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM value) {
  auto* seen = reinterpret_cast<SeenWindows*>(value);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == seen->self || !IsWindowVisible(window)) return TRUE;
  const std::wstring windowClass = ClassName(window);
  if (windowClass.empty()) return TRUE;  // gone since it was listed
  const std::wstring line = windowClass + L"\t" + WindowText(window);
  if (!IsWindowVisible(window)) return TRUE;  // closed while it was read: its text may be gone
  for (const std::wstring& known : seen->seen)
    if (known == line) return TRUE;
  seen->seen.push_back(line);
  WriteLine(line);
  return TRUE;
}

bool VisibleWindows(Session&, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  SeenWindows seen = {GetCurrentProcessId(), {}};
  const DWORD start = GetTickCount();
  do {
    EnumWindows(NoteVisibleWindow, reinterpret_cast<LPARAM>(&seen));
    Sleep(20);
  } while (GetTickCount() - start < ms);
  return true;
}
