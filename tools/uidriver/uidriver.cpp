// uidriver: drives the setup dialog from outside, for scripts.
//
// One call runs a sequence of actions given on the command line, left to right, and stops at
// the first one that fails (exit code 1; exit code 2 for a usage error). Each action is a word
// followed by a fixed number of arguments, so a shell script can do one step per call or a
// small script of steps in one call:
//
//   uidriver.exe wait-dialog 30000 title items
//   uidriver.exe set-item FR 0 check 1042 0 press 99 wait-msgbox 60000 msgbox-text dismiss
//
// Everything is done the way Windows lets one process drive another's windows: window
// messages (copied across processes for texts), and memory in the owner process for the list
// view's item records. See PrintUsage for the actions and their output.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "output.h"
#include "remote_listview.h"
#include "remote_treeview.h"
#include "shell_link_reader.h"
#include "windows_found.h"

namespace {

void PrintUsage() {
  WriteLine(
      L"usage: uidriver.exe [--title PREFIX] ACTION [ARGS] [ACTION [ARGS]]...\n"
      L"\n"
      L"The setup dialog is the visible top-level dialog (#32770) holding a list view with id\n"
      L"1010; --title PREFIX narrows it to titles starting with PREFIX. Ids are decimal or 0x hex.\n"
      L"\n"
      L"Setup dialog:\n"
      L"  wait-dialog MS      wait up to MS ms for the dialog; prints its handle\n"
      L"  wait-gone MS        wait up to MS ms until no setup dialog is left\n"
      L"  title               prints the dialog's title\n"
      L"  text ID             prints the text of control ID\n"
      L"  visible ID          prints 1 if control ID is visible, else 0\n"
      L"  enabled ID          prints 1 if control ID is enabled, else 0\n"
      L"  checked ID          prints 1 if check box ID is checked, else 0\n"
      L"  rect                prints the dialog's window rectangle on the screen:\n"
      L"                      left top right bottom\n"
      L"  control-rect ID     the same for control ID\n"
      L"  dump                one line per control: id, class, visible, enabled, checked, text\n"
      L"  column              prints the header text of the language list's column\n"
      L"  items               one line per language item: index, code, parameter, state image\n"
      L"                      (1 unchecked, 2 checked), text; fields separated by tabs\n"
      L"  set-text ID TEXT    replaces the text of control ID (the destination is 1032)\n"
      L"  check ID 0|1        sets the check state of check box ID\n"
      L"  click ID            clicks button ID (a check box toggles and notifies the dialog)\n"
      L"  set-item CODE 0|1   unchecks (0) or checks (1) the language item with code CODE\n"
      L"  press ID            posts the command of button ID (OK 99, Cancel 2)\n"
      L"  escape              the Escape key, as the dialog's message loop receives it\n"
      L"  close               the close box (SC_CLOSE)\n"
      L"Message boxes (a top-level dialog with a push button and no language list):\n"
      L"  wait-msgbox MS      wait up to MS ms for a message box\n"
      L"  no-msgbox MS        fails if a message box shows up within MS ms\n"
      L"  msgbox-caption      prints its caption\n"
      L"  msgbox-text         prints its text\n"
      L"  dismiss             presses its OK button and waits until it is gone\n"
      L"The shell's folder browser (a dialog with a tree view, opened by the \"...\" button):\n"
      L"  wait-browser MS     wait up to MS ms for it\n"
      L"  browser-selection   prints the selected folder's item and its parents, root first,\n"
      L"                      separated by \" > \"\n"
      L"  browser-ok          presses its OK button and waits until it is gone\n"
      L"  browser-cancel      presses its Cancel button and waits until it is gone\n"
      L"Windows of any program:\n"
      L"  windows CLASS       prints the number of top-level windows of window class CLASS\n"
      L"  wait-window CLASS MS      wait up to MS ms until a window of class CLASS exists\n"
      L"  wait-no-window CLASS MS   wait up to MS ms until no window of class CLASS is left\n"
      L"Other:\n"
      L"  lnk PATH            prints target, workdir, args and showcmd of a shortcut, tab-separated\n"
      L"                      after the field name, one per line\n"
      L"  hold PATH MS        opens the file without sharing, prints \"held\", keeps it MS ms\n"
      L"  hold-until PATH WATCH MS  holds PATH as above until WATCH exists (checked every\n"
      L"                      millisecond), then closes it and prints \"released\"; fails\n"
      L"                      after MS ms\n"
      L"  sleep MS            waits MS ms\n"
      L"  mark                starts a stopwatch\n"
      L"  elapsed             prints the milliseconds since mark (e.g. mark press 99\n"
      L"                      wait-msgbox 60000 elapsed: the time an install takes)\n"
      L"\n"
      L"Texts are printed as UTF-8, with CR, LF and tab written as \\r, \\n and \\t.");
}

struct Session {
  WindowFilter filter;
  DWORD markTicks = 0;
  HWND dialog = nullptr;
  HWND box = nullptr;
  HWND browser = nullptr;
  const std::vector<std::wstring>* args = nullptr;
};

bool ParseNumber(const std::wstring& text, long& value) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  value = wcstol(text.c_str(), &end, 0);
  return end && *end == L'\0';
}

bool NeedDialog(Session& s) {
  if (s.dialog && IsWindow(s.dialog)) return true;
  s.dialog = FindSetupDialog(s.filter);
  if (!s.dialog) WriteError(L"no setup dialog is shown");
  return s.dialog != nullptr;
}

bool NeedBox(Session& s) {
  if (s.box && IsWindow(s.box)) return true;
  s.box = FindMessageBox();
  if (!s.box) WriteError(L"no message box is shown");
  return s.box != nullptr;
}

bool NeedControl(Session& s, const std::wstring& idText, HWND& control) {
  long id = 0;
  if (!ParseNumber(idText, id)) {
    WriteError(L"not a control id: " + idText);
    return false;
  }
  if (!NeedDialog(s)) return false;
  control = GetDlgItem(s.dialog, (int)id);
  if (!control) WriteError(L"the dialog has no control " + idText);
  return control != nullptr;
}

bool NeedMs(const std::wstring& text, DWORD& ms) {
  long value = 0;
  if (!ParseNumber(text, value) || value < 0) {
    WriteError(L"not a time in milliseconds: " + text);
    return false;
  }
  ms = (DWORD)value;
  return true;
}

bool NeedFlag(const std::wstring& text, bool& on) {
  if (text != L"0" && text != L"1") {
    WriteError(L"expected 0 or 1, got: " + text);
    return false;
  }
  on = text == L"1";
  return true;
}

bool IsChecked(HWND control) { return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// --- actions -------------------------------------------------------------------------------

bool WaitDialog(Session& s, const std::vector<std::wstring>& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  s.dialog = WaitForSetupDialog(s.filter, ms);
  if (!s.dialog) {
    WriteError(L"no setup dialog within " + a[0] + L" ms");
    return false;
  }
  WriteLine(Hex((unsigned long)(UINT_PTR)s.dialog, 8));
  return true;
}

bool WaitGone(Session& s, const std::vector<std::wstring>& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  if (!WaitUntilNoSetupDialog(s.filter, ms)) {
    WriteError(L"the setup dialog is still shown after " + a[0] + L" ms");
    return false;
  }
  s.dialog = nullptr;
  return true;
}

bool Title(Session& s, const std::vector<std::wstring>&) {
  if (!NeedDialog(s)) return false;
  WriteLine(Escaped(WindowText(s.dialog)));
  return true;
}

void WriteRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  WriteLine(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
            std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom));
}

bool Rect(Session& s, const std::vector<std::wstring>&) {
  if (!NeedDialog(s)) return false;
  WriteRect(s.dialog);
  return true;
}

bool ControlRect(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteRect(control);
  return true;
}

bool Text(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteLine(Escaped(WindowText(control)));
  return true;
}

bool Visible(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteLine(IsWindowVisible(control) ? L"1" : L"0");
  return true;
}

bool Enabled(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteLine(IsWindowEnabled(control) ? L"1" : L"0");
  return true;
}

bool Checked(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteLine(IsChecked(control) ? L"1" : L"0");
  return true;
}

bool Dump(Session& s, const std::vector<std::wstring>&) {
  if (!NeedDialog(s)) return false;
  WriteLine(L"title\t" + Escaped(WindowText(s.dialog)));
  for (HWND c = GetWindow(s.dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    std::wstring cls = ClassName(c);
    std::wstring line = std::to_wstring(GetDlgCtrlID(c)) + L"\t" + cls + L"\t";
    line += IsWindowVisible(c) ? L"visible\t" : L"hidden\t";
    line += IsWindowEnabled(c) ? L"enabled\t" : L"disabled\t";
    bool checkBox = cls == L"Button" &&
                    (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    line += checkBox ? (IsChecked(c) ? L"checked\t" : L"unchecked\t") : L"-\t";
    WriteField(line, cls == L"SysListView32" ? L"" : WindowText(c));
    WriteLine(line);
  }
  return true;
}

bool Items(Session& s, const std::vector<std::wstring>&) {
  if (!NeedDialog(s)) return false;
  std::vector<ListItem> items;
  if (!ReadListItems(GetDlgItem(s.dialog, kLanguageListId), items)) return false;
  for (const ListItem& item : items) {
    std::wstring line = std::to_wstring(item.index) + L"\t" + CodeFromParam(item.param) + L"\t" +
                        Hex(item.param, 8) + L"\t" + std::to_wstring(item.stateImage) + L"\t";
    WriteField(line, item.text);
    WriteLine(line);
  }
  return true;
}

bool Column(Session& s, const std::vector<std::wstring>&) {
  if (!NeedDialog(s)) return false;
  std::wstring text;
  if (!ReadColumnText(GetDlgItem(s.dialog, kLanguageListId), 0, text)) return false;
  WriteLine(Escaped(text));
  return true;
}

bool SetText(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[1].c_str()),
                           SMTO_ABORTIFHUNG, 5000, &result) ||
      !result) {
    WriteError(L"WM_SETTEXT failed on control " + a[0]);
    return false;
  }
  return true;
}

bool Check(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  bool on;
  if (!NeedControl(s, a[0], control) || !NeedFlag(a[1], on)) return false;
  SendMessageW(control, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  if (IsChecked(control) != on) {
    WriteError(L"control " + a[0] + L" did not take the check state");
    return false;
  }
  return true;
}

bool Click(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  SendMessageW(control, BM_CLICK, 0, 0);
  return true;
}

bool SetItem(Session& s, const std::vector<std::wstring>& a) {
  bool on;
  if (!NeedFlag(a[1], on) || !NeedDialog(s)) return false;
  HWND list = GetDlgItem(s.dialog, kLanguageListId);
  std::vector<ListItem> items;
  if (!ReadListItems(list, items)) return false;
  for (const ListItem& item : items) {
    if (_wcsicmp(CodeFromParam(item.param).c_str(), a[0].c_str()) != 0) continue;
    unsigned wanted = on ? 2 : 1;
    unsigned now = 0;
    if (SetListItemStateImage(list, item.index, wanted)) {
      now = (unsigned)SendMessageW(list, LVM_GETITEMSTATE, item.index, LVIS_STATEIMAGEMASK) >> 12;
    }
    if (now != wanted) {
      WriteError(L"the language item " + a[0] + L" did not take the check state");
      return false;
    }
    return true;
  }
  WriteError(L"no language item with the code " + a[0]);
  return false;
}

bool Press(Session& s, const std::vector<std::wstring>& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  // Posted, not sent: the command runs the install and its message boxes on the dialog's
  // thread, which must not wait for this process.
  PostMessageW(s.dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
  return true;
}

bool Escape(Session& s, const std::vector<std::wstring>&) {
  if (!NeedDialog(s)) return false;
  // The dialog's modal loop hands queued keys to IsDialogMessage, which turns Escape into
  // the Cancel command exactly as for a key typed by the user.
  PostMessageW(s.dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageW(s.dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  return true;
}

bool Close(Session& s, const std::vector<std::wstring>&) {
  if (!NeedDialog(s)) return false;
  PostMessageW(s.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  return true;
}

bool WaitMsgbox(Session& s, const std::vector<std::wstring>& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  s.box = WaitForMessageBox(ms);
  if (!s.box) {
    WriteError(L"no message box within " + a[0] + L" ms");
    return false;
  }
  return true;
}

bool NoMsgbox(Session&, const std::vector<std::wstring>& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  if (HWND box = WaitForMessageBox(ms)) {
    WriteError(L"unexpected message box: " + Escaped(WindowText(box)) + L": " +
               Escaped(MessageBoxText(box)));
    return false;
  }
  return true;
}

bool MsgboxCaption(Session& s, const std::vector<std::wstring>&) {
  if (!NeedBox(s)) return false;
  WriteLine(Escaped(WindowText(s.box)));
  return true;
}

bool MsgboxText(Session& s, const std::vector<std::wstring>&) {
  if (!NeedBox(s)) return false;
  WriteLine(Escaped(MessageBoxText(s.box)));
  return true;
}

// Presses a button of a dialog of another process and waits until the dialog is gone.
bool PressAndWaitGone(HWND window, int id, const wchar_t* what) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
  DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start > 10000) {
      WriteError(std::wstring(what) + L" did not close");
      return false;
    }
    Sleep(50);
  }
  return true;
}

bool Dismiss(Session& s, const std::vector<std::wstring>&) {
  if (!NeedBox(s)) return false;
  bool closed = PressAndWaitGone(s.box, IDOK, L"the message box");
  s.box = nullptr;
  return closed;
}

bool NeedBrowser(Session& s) {
  if (s.browser && IsWindow(s.browser)) return true;
  s.browser = FindFolderBrowser();
  if (!s.browser) WriteError(L"no folder browser is shown");
  return s.browser != nullptr;
}

bool WaitBrowser(Session& s, const std::vector<std::wstring>& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  s.browser = WaitForFolderBrowser(ms);
  if (!s.browser) {
    WriteError(L"no folder browser within " + a[0] + L" ms");
    return false;
  }
  return true;
}

bool BrowserSelection(Session& s, const std::vector<std::wstring>&) {
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

bool BrowserOk(Session& s, const std::vector<std::wstring>&) {
  if (!NeedBrowser(s)) return false;
  bool closed = PressAndWaitGone(s.browser, IDOK, L"the folder browser");
  s.browser = nullptr;
  return closed;
}

bool BrowserCancel(Session& s, const std::vector<std::wstring>&) {
  if (!NeedBrowser(s)) return false;
  bool closed = PressAndWaitGone(s.browser, IDCANCEL, L"the folder browser");
  s.browser = nullptr;
  return closed;
}

bool Lnk(Session&, const std::vector<std::wstring>& a) {
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

bool Hold(Session&, const std::vector<std::wstring>& a) {
  DWORD ms;
  if (!NeedMs(a[1], ms)) return false;
  HANDLE file = CreateFileW(a[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    WriteError(L"cannot open " + a[0] + L" (error " + std::to_wstring(GetLastError()) + L")");
    return false;
  }
  WriteLine(L"held");
  Sleep(ms);
  CloseHandle(file);
  return true;
}

bool Windows(Session&, const std::vector<std::wstring>& a) {
  WriteLine(std::to_wstring(CountWindowsOfClass(a[0])));
  return true;
}

bool WaitForClass(const std::wstring& windowClass, const std::wstring& msText, bool present) {
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

bool WaitWindow(Session&, const std::vector<std::wstring>& a) {
  return WaitForClass(a[0], a[1], true);
}

bool WaitNoWindow(Session&, const std::vector<std::wstring>& a) {
  return WaitForClass(a[0], a[1], false);
}

bool HoldUntil(Session&, const std::vector<std::wstring>& a) {
  DWORD ms;
  if (!NeedMs(a[2], ms)) return false;
  HANDLE file = CreateFileW(a[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    WriteError(L"cannot open " + a[0] + L" (error " + std::to_wstring(GetLastError()) + L")");
    return false;
  }
  WriteLine(L"held");
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

bool Mark(Session& s, const std::vector<std::wstring>&) {
  s.markTicks = GetTickCount();
  return true;
}

bool Elapsed(Session& s, const std::vector<std::wstring>&) {
  WriteLine(std::to_wstring(GetTickCount() - s.markTicks));
  return true;
}

bool SleepAction(Session&, const std::vector<std::wstring>& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  Sleep(ms);
  return true;
}

struct Action {
  const wchar_t* name;
  size_t argumentCount;
  bool (*run)(Session&, const std::vector<std::wstring>&);
};

const Action kActions[] = {
    {L"wait-dialog", 1, WaitDialog}, {L"wait-gone", 1, WaitGone},
    {L"title", 0, Title},            {L"rect", 0, Rect},
    {L"control-rect", 1, ControlRect},            {L"text", 1, Text},
    {L"visible", 1, Visible},        {L"enabled", 1, Enabled},
    {L"checked", 1, Checked},        {L"dump", 0, Dump},
    {L"items", 0, Items},
    {L"column", 0, Column},            {L"set-text", 2, SetText},
    {L"check", 2, Check},            {L"click", 1, Click},
    {L"set-item", 2, SetItem},       {L"press", 1, Press},
    {L"escape", 0, Escape},          {L"close", 0, Close},
    {L"wait-msgbox", 1, WaitMsgbox}, {L"no-msgbox", 1, NoMsgbox},
    {L"msgbox-caption", 0, MsgboxCaption}, {L"msgbox-text", 0, MsgboxText},
    {L"dismiss", 0, Dismiss},        {L"wait-browser", 1, WaitBrowser},
    {L"browser-selection", 0, BrowserSelection}, {L"browser-ok", 0, BrowserOk},
    {L"browser-cancel", 0, BrowserCancel},        {L"lnk", 1, Lnk},
    {L"windows", 1, Windows},        {L"wait-window", 2, WaitWindow},
    {L"wait-no-window", 2, WaitNoWindow},
    {L"hold", 2, Hold},              {L"hold-until", 3, HoldUntil},              {L"sleep", 1, SleepAction},
    {L"mark", 0, Mark},              {L"elapsed", 0, Elapsed},
};

const Action* FindAction(const std::wstring& name) {
  for (const Action& action : kActions) {
    if (name == action.name) return &action;
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> words(argv + 1, argv + argc);
  if (words.empty() || words[0] == L"--help" || words[0] == L"-h") {
    PrintUsage();
    return words.empty() ? 2 : 0;
  }
  CoInitialize(nullptr);
  Session session;
  int result = 0;
  for (size_t i = 0; i < words.size() && result == 0;) {
    if (words[i] == L"--title") {
      if (i + 1 >= words.size()) {
        WriteError(L"--title needs a text");
        result = 2;
        break;
      }
      session.filter.titlePrefix = words[i + 1];
      i += 2;
      continue;
    }
    const Action* action = FindAction(words[i]);
    if (!action) {
      WriteError(L"unknown action: " + words[i] + L" (see --help)");
      result = 2;
      break;
    }
    if (i + 1 + action->argumentCount > words.size()) {
      WriteError(words[i] + L" needs " + std::to_wstring(action->argumentCount) + L" argument(s)");
      result = 2;
      break;
    }
    std::vector<std::wstring> arguments(words.begin() + (long)i + 1,
                                        words.begin() + (long)(i + 1 + action->argumentCount));
    if (!action->run(session, arguments)) result = 1;
    i += 1 + action->argumentCount;
  }
  CoUninitialize();
  return result;
}
