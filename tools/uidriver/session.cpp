#include "session.h"

#include "output.h"
#include "resources/resource_ids.h"

namespace {

bool ParseNumber(const std::wstring& text, long& value) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  value = wcstol(text.c_str(), &end, 0);
  return end && *end == L'\0';
}

// A control id given by number, or by the name resources/resource_ids.h gives the control.
bool ParseControlId(const std::wstring& text, long& id) {
  if (ParseNumber(text, id)) return true;
  for (const KorvControlName& c : kKorvControlNames) {
    const std::string name = c.name;
    if (text == std::wstring(name.begin(), name.end())) {
      id = c.id;
      return true;
    }
  }
  return false;
}

}  // namespace

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
  if (!ParseControlId(idText, id)) {
    WriteError(L"not a control id or name: " + idText);
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

bool NeedBrowser(Session& s) {
  if (s.browser && IsWindow(s.browser)) return true;
  s.browser = FindFolderBrowser();
  if (!s.browser) WriteError(L"no folder browser is shown");
  return s.browser != nullptr;
}

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
