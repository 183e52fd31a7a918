// Actions on the setup dialog: reading its texts, states and list items; changing the
// destination, the check boxes and the list; pressing its buttons, Escape and the close box.
#include <windows.h>

#include <commctrl.h>

#include "actions.h"
#include "output.h"
#include "remote_listview.h"

namespace {

bool IsChecked(HWND control) { return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void WriteRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  WriteLine(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
            std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom));
}

}  // namespace

bool WaitDialog(Session& s, const Args& a) {
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

bool WaitGone(Session& s, const Args& a) {
  DWORD ms;
  if (!NeedMs(a[0], ms)) return false;
  if (!WaitUntilNoSetupDialog(s.filter, ms)) {
    WriteError(L"the setup dialog is still shown after " + a[0] + L" ms");
    return false;
  }
  s.dialog = nullptr;
  return true;
}

bool Title(Session& s, const Args&) {
  if (!NeedDialog(s)) return false;
  WriteLine(Escaped(WindowText(s.dialog)));
  return true;
}

bool Rect(Session& s, const Args&) {
  if (!NeedDialog(s)) return false;
  WriteRect(s.dialog);
  return true;
}

bool ControlRect(Session& s, const Args& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteRect(control);
  return true;
}

bool Text(Session& s, const Args& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteLine(Escaped(WindowText(control)));
  return true;
}

bool Visible(Session& s, const Args& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteLine(IsWindowVisible(control) ? L"1" : L"0");
  return true;
}

bool Enabled(Session& s, const Args& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteLine(IsWindowEnabled(control) ? L"1" : L"0");
  return true;
}

bool Checked(Session& s, const Args& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  WriteLine(IsChecked(control) ? L"1" : L"0");
  return true;
}

bool Dump(Session& s, const Args&) {
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

bool Items(Session& s, const Args&) {
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

bool Column(Session& s, const Args&) {
  if (!NeedDialog(s)) return false;
  std::wstring text;
  if (!ReadColumnText(GetDlgItem(s.dialog, kLanguageListId), 0, text)) return false;
  WriteLine(Escaped(text));
  return true;
}

bool SetText(Session& s, const Args& a) {
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

bool Check(Session& s, const Args& a) {
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

bool Click(Session& s, const Args& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  SendMessageW(control, BM_CLICK, 0, 0);
  return true;
}

bool SetItem(Session& s, const Args& a) {
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

bool Press(Session& s, const Args& a) {
  HWND control;
  if (!NeedControl(s, a[0], control)) return false;
  // Posted, not sent: the command runs the install and its message boxes on the dialog's
  // thread, which must not wait for this process.
  PostMessageW(s.dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
  return true;
}

bool Escape(Session& s, const Args&) {
  if (!NeedDialog(s)) return false;
  // The dialog's modal loop hands queued keys to IsDialogMessage, which turns Escape into
  // the Cancel command exactly as for a key typed by the user.
  PostMessageW(s.dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageW(s.dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  return true;
}

bool Close(Session& s, const Args&) {
  if (!NeedDialog(s)) return false;
  PostMessageW(s.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  return true;
}
