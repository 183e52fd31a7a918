// uidriver-testdialog: a dialog with the setup dialog's controls, for testing the UI driver.
//
// It starts with known contents (items English/US and German/DE checked, Russian/RU
// unchecked, box 1041 checked, box 1043 hidden, destination C:\Start) and, when it ends,
// writes what it holds then into the report file named on its command line, so a test can
// see that the driver's changes really reached the dialog:
//
//   end=ok|cancel|close
//   dest=<text of 1032>
//   box1041=0|1 ...
//   item=<code> <state image>
//
// OK shows a message box (text "Report written.\r\nSecond line", caption the report path,
// so it shows as its file name) and ends the dialog once the box has been dismissed.
// Exit code: 0 after OK, 2 after Cancel or Escape, 3 after the close box.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "resources/resource_ids.h"

namespace {

std::wstring gReportPath;

void AddItem(HWND list, const wchar_t* text, const char* code, bool checked) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = 0x7fff;
  item.pszText = const_cast<wchar_t*>(text);
  item.lParam = (unsigned char)code[0] | ((unsigned char)code[1] << 8);
  int index = (int)SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
  LVITEMW state = {};
  state.stateMask = LVIS_STATEIMAGEMASK;
  state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  SendMessageW(list, LVM_SETITEMSTATE, index, (LPARAM)&state);
}

void WriteReport(HWND dialog, const wchar_t* end) {
  std::wstring report = L"end=";
  report += end;
  wchar_t text[300] = {};
  GetDlgItemTextW(dialog, KORV_CONTROL_DESTINATION, text, 300);
  report += L"\ndest=";
  report += text;
  for (int id = KORV_CONTROL_PROGRAM_GROUP; id <= KORV_CONTROL_QUICK_LAUNCH; ++id) {
    report += L"\nbox" + std::to_wstring(id) + L"=" +
              (IsDlgButtonChecked(dialog, id) == BST_CHECKED ? L"1" : L"0");
  }
  HWND list = GetDlgItem(dialog, KORV_CONTROL_LANGUAGES);
  int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = i;
    SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item);
    unsigned state = (unsigned)SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK) >> 12;
    report += L"\nitem=";
    report += (wchar_t)(item.lParam & 0xFF);
    report += (wchar_t)((item.lParam >> 8) & 0xFF);
    report += L" " + std::to_wstring(state);
  }
  report += L"\n";
  std::string bytes(report.begin(), report.end());  // the report holds ASCII only
  HANDLE file = CreateFileW(gReportPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HWND list = GetDlgItem(dialog, KORV_CONTROL_LANGUAGES);
      LVCOLUMNW column = {};
      column.mask = LVCF_WIDTH | LVCF_TEXT;
      column.cx = 120;
      column.pszText = const_cast<wchar_t*>(L"Language");
      SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
      SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, 0x424);
      AddItem(list, L"English", "US", true);
      AddItem(list, L"German", "DE", true);
      AddItem(list, L"\x0420\x0443\x0441\x0441\x043a\x0438\x0439", "RU", false);
      SetDlgItemTextW(dialog, KORV_CONTROL_DESTINATION, L"C:\\Start");
      CheckDlgButton(dialog, KORV_CONTROL_PROGRAM_GROUP, BST_CHECKED);
      ShowWindow(GetDlgItem(dialog, KORV_CONTROL_QUICK_LAUNCH), SW_HIDE);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case 99:
          WriteReport(dialog, L"ok");
          MessageBoxW(dialog, L"Report written.\r\nSecond line", gReportPath.c_str(),
                      MB_ICONINFORMATION);
          EndDialog(dialog, 0);
          return TRUE;
        case IDCANCEL:
          WriteReport(dialog, L"cancel");
          EndDialog(dialog, 2);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      WriteReport(dialog, L"close");
      EndDialog(dialog, 3);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  InitCommonControls();
  gReportPath = commandLine;
  return (int)DialogBoxParamW(instance, MAKEINTRESOURCEW(KORV_DIALOG_SETUP), nullptr, DialogProc, 0);
}
