// The dialog primitives on the real user32/comctl32/gdi32 calls.
//
// char16_t and wchar_t are both UTF-16 code units on Windows, so wide buffers are handed to
// the W calls as they are. Nothing here allocates through the C++ runtime: the stub stays
// free of the exception machinery that operator new would pull in.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "resources/resource_ids.h"
#include "system/ui.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

namespace {

HWND Hwnd(WindowHandle window) { return static_cast<HWND>(window); }
LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }
LPWSTR W(char16_t* text) { return reinterpret_cast<LPWSTR>(text); }

LRESULT ListSend(WindowHandle list, UINT message, WPARAM wParam, LPARAM lParam) {
  return list ? SendMessageW(Hwnd(list), message, wParam, lParam) : 0;
}

// The portable procedure behind the dialog box and its thunk.
DialogProcedure gProcedure = nullptr;

INT_PTR CALLBACK DialogThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return gProcedure ? gProcedure(window, message, wParam, lParam) : FALSE;
}

struct ThreadStart {
  ThreadProcedure procedure;
  void* argument;
};

DWORD WINAPI ThreadThunk(LPVOID parameter) {
  ThreadStart start = *static_cast<ThreadStart*>(parameter);
  HeapFree(GetProcessHeap(), 0, parameter);
  return start.procedure(start.argument);
}

}  // namespace

// ---- Text of windows and controls ----

int DialogGetItemText(WindowHandle dialog, int id, char16_t* text, int capacity) {
  if (!text || capacity <= 0) return 0;
  text[0] = 0;
  int n = int(GetDlgItemTextW(Hwnd(dialog), id, W(text), capacity));
  if (n >= capacity) n = capacity - 1;
  text[n] = 0;
  return n;
}

void DialogSetItemText(WindowHandle dialog, int id, const char16_t* text) {
  SetDlgItemTextW(Hwnd(dialog), id, text ? W(text) : L"");
}

int WindowGetText(WindowHandle window, char16_t* text, int capacity) {
  if (!text || capacity <= 0) return 0;
  text[0] = 0;
  int n = GetWindowTextW(Hwnd(window), W(text), capacity);
  if (n < 0) n = 0;
  if (n >= capacity) n = capacity - 1;
  text[n] = 0;
  return n;
}

void WindowSetText(WindowHandle window, const char16_t* text) {
  SetWindowTextW(Hwnd(window), text ? W(text) : L"");
}

// ---- Controls ----

WindowHandle DialogItem(WindowHandle dialog, int id) { return GetDlgItem(Hwnd(dialog), id); }

bool DialogIsChecked(WindowHandle dialog, int id) {
  return IsDlgButtonChecked(Hwnd(dialog), id) == BST_CHECKED;
}

void DialogSetChecked(WindowHandle dialog, int id, bool checked) {
  CheckDlgButton(Hwnd(dialog), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void DialogShowItem(WindowHandle dialog, int id, bool visible) {
  ShowWindow(GetDlgItem(Hwnd(dialog), id), visible ? SW_SHOW : SW_HIDE);
}

bool DialogItemVisible(WindowHandle dialog, int id) {
  return IsWindowVisible(GetDlgItem(Hwnd(dialog), id)) != FALSE;
}

void* CreateTitleFont() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  LOGFONTW font;
  ZeroMemory(&font, sizeof font);
  font.lfHeight = MulDiv(-18, dpi, 72);
  font.lfWeight = 400;
  font.lfCharSet = ANSI_CHARSET;
  font.lfOutPrecision = 1;
  font.lfClipPrecision = 2;
  font.lfQuality = 1;
  font.lfPitchAndFamily = 0x22;
  lstrcpynW(font.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

void DialogSetItemFont(WindowHandle dialog, int id, void* font) {
  SendDlgItemMessageW(Hwnd(dialog), id, WM_SETFONT, WPARAM(font), FALSE);
}

// ---- Placement ----

bool GetWindowRectangle(WindowHandle window, WindowRect* rect) {
  RECT r;
  if (!rect || !GetWindowRect(window ? Hwnd(window) : GetDesktopWindow(), &r)) return false;
  *rect = {int(r.left), int(r.top), int(r.right), int(r.bottom)};
  return true;
}

void MoveWindowTo(WindowHandle window, int left, int top) {
  SetWindowPos(Hwnd(window), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetDialogClassIcon(WindowHandle dialog, void* icon) {
  SetClassLongPtrW(Hwnd(dialog), GCLP_HICON, LONG_PTR(icon));
}

// ---- List view ----

int ListClientWidth(WindowHandle list) {
  RECT r;
  if (!list || !GetClientRect(Hwnd(list), &r)) return 0;
  return int(r.right - r.left);
}

int VerticalScrollBarWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

void ListInsertColumn(WindowHandle list, int index, int format, int width) {
  LVCOLUMNW column;
  ZeroMemory(&column, sizeof column);
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<LPWSTR>(L"");
  column.iSubItem = index;
  ListSend(list, LVM_INSERTCOLUMNW, WPARAM(index), LPARAM(&column));
}

void ListSetColumnText(WindowHandle list, int index, const char16_t* text) {
  LVCOLUMNW column;
  ZeroMemory(&column, sizeof column);
  column.mask = LVCF_TEXT;
  column.pszText = const_cast<LPWSTR>(text ? W(text) : L"");
  ListSend(list, LVM_SETCOLUMNW, WPARAM(index), LPARAM(&column));
}

void ListSetExtendedStyle(WindowHandle list, unsigned style) {
  ListSend(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LPARAM(style));
}

int ListItemCount(WindowHandle list) { return int(ListSend(list, LVM_GETITEMCOUNT, 0, 0)); }

int ListInsertItem(WindowHandle list, const char16_t* text, intptr_t param) {
  if (!list) return -1;
  LVITEMW item;
  ZeroMemory(&item, sizeof item);
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = ListItemCount(list);
  item.pszText = const_cast<LPWSTR>(text ? W(text) : L"");
  item.lParam = LPARAM(param);
  return int(ListSend(list, LVM_INSERTITEMW, 0, LPARAM(&item)));
}

bool ListGetItemParam(WindowHandle list, int index, intptr_t* param) {
  LVITEMW item;
  ZeroMemory(&item, sizeof item);
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (!ListSend(list, LVM_GETITEMW, 0, LPARAM(&item))) return false;
  *param = intptr_t(item.lParam);
  return true;
}

int ListFindItemByParam(WindowHandle list, intptr_t param) {
  if (!list) return -1;
  LVFINDINFOW find;
  ZeroMemory(&find, sizeof find);
  find.flags = LVFI_PARAM;
  find.lParam = LPARAM(param);
  return int(ListSend(list, LVM_FINDITEMW, WPARAM(-1), LPARAM(&find)));
}

int ListGetStateImage(WindowHandle list, int index) {
  return int((ListSend(list, LVM_GETITEMSTATE, WPARAM(index), LVIS_STATEIMAGEMASK) &
              LVIS_STATEIMAGEMASK) >> 12);
}

void ListSetStateImage(WindowHandle list, int index, int image) {
  LVITEMW item;
  ZeroMemory(&item, sizeof item);
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(image);
  ListSend(list, LVM_SETITEMSTATE, WPARAM(index), LPARAM(&item));
}

// ---- Cursor ----

void* ShowWaitCursor() { return SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514))); }
void RestoreCursor(void* cursor) { SetCursor(static_cast<HCURSOR>(cursor)); }

// ---- Context menu ----

void* CreatePopupMenuHandle() { return CreatePopupMenu(); }

void AppendMenuText(void* menu, int command, const char16_t* text) {
  AppendMenuW(static_cast<HMENU>(menu), MF_STRING, UINT_PTR(command), W(text));
}

bool CursorPosition(int* x, int* y) {
  POINT p = {0, 0};
  BOOL ok = GetCursorPos(&p);
  *x = int(p.x);
  *y = int(p.y);
  return ok != FALSE;
}

void TrackMenu(void* menu, int x, int y, WindowHandle owner) {
  TrackPopupMenu(static_cast<HMENU>(menu), TPM_RIGHTBUTTON, x, y, 0, Hwnd(owner), nullptr);
}

void DestroyMenuHandle(void* menu) {
  if (menu) DestroyMenu(static_cast<HMENU>(menu));
}

// ---- Dialog lifetime ----

void PostCloseMessage(WindowHandle dialog) { PostMessageW(Hwnd(dialog), WM_CLOSE, 0, 0); }
void EndDialogWithResult(WindowHandle dialog, intptr_t result) { EndDialog(Hwnd(dialog), result); }

intptr_t RunModalDialog(int resourceId, DialogProcedure procedure) {
  gProcedure = procedure;
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), nullptr,
                         DialogThunk, 0);
}

// ---- The progress window ----

namespace {

// The caption is set before the window is first shown (a dialog with WS_VISIBLE appears
// right after WM_INITDIALOG), so it never shows without one.
INT_PTR CALLBACK ProgressProcedure(HWND window, UINT message, WPARAM, LPARAM caption) {
  if (message == WM_INITDIALOG) SetWindowTextW(window, reinterpret_cast<LPCWSTR>(caption));
  return FALSE;
}

void HandlePendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

WindowHandle OpenProgressWindow(const char16_t* caption) {
  HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(KORV_DIALOG_PROGRESS), nullptr,
                                   ProgressProcedure, reinterpret_cast<LPARAM>(caption));
  if (!window) return nullptr;
  SendDlgItemMessageW(window, KORV_CONTROL_PROGRESS_BAR, PBM_SETRANGE32, 0, 1000);
  HandlePendingMessages();
  return window;
}

void ShowProgress(WindowHandle window, const char16_t* text, int thousandths) {
  if (!window) return;
  if (text) SetDlgItemTextW(Hwnd(window), KORV_CONTROL_PROGRESS_TEXT, W(text));
  SendDlgItemMessageW(Hwnd(window), KORV_CONTROL_PROGRESS_BAR, PBM_SETPOS, WPARAM(thousandths), 0);
  HandlePendingMessages();
}

// DestroyWindow hides a visible window before it destroys it, and Wine's X11 driver, hiding a
// window it has handed to a window manager (every one with a caption), first waits up to 2 s
// for the manager to confirm that it had shown it: on a display without one, every close cost
// those 2 s with the window still on screen. With its visible style cleared first (as
// WM_SETREDRAW does) the window is destroyed without that hide, and gone from the screen at
// once; since no hide asked for a repaint of what it covered, that area is invalidated.
void CloseProgressWindow(WindowHandle window) {
  if (!window) return;
  RECT covered;
  const bool placed = GetWindowRect(Hwnd(window), &covered) != FALSE;
  SetWindowLongW(Hwnd(window), GWL_STYLE, GetWindowLongW(Hwnd(window), GWL_STYLE) & ~WS_VISIBLE);
  DestroyWindow(Hwnd(window));
  if (placed) RedrawWindow(nullptr, &covered, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// ---- Other programs' windows and threads ----

bool StartDetachedThread(ThreadProcedure procedure, void* argument) {
  auto* start = static_cast<ThreadStart*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ThreadStart)));
  if (!start) return false;
  start->procedure = procedure;
  start->argument = argument;
  HANDLE thread = CreateThread(nullptr, 0, ThreadThunk, start, 0, nullptr);
  if (!thread) {
    HeapFree(GetProcessHeap(), 0, start);
    return false;
  }
  CloseHandle(thread);
  return true;
}

WindowHandle FindWindowByClass(const char* className) { return FindWindowA(className, nullptr); }
void SendDestroyMessage(WindowHandle window) { SendMessageW(Hwnd(window), WM_DESTROY, 0, 0); }

// ---- Start-up ----

void InitCommonControlsOnce() { InitCommonControls(); }
void ComInitialize() { OleInitialize(nullptr); }
void ComUninitialize() { OleUninitialize(); }

void* LoadProgramIcon(int resourceId) {
  return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId));
}

int ModuleFilePath(char16_t* path, int capacity) {
  if (!path || capacity <= 0) return 0;
  DWORD n = GetModuleFileNameW(nullptr, W(path), DWORD(capacity));
  if (n >= DWORD(capacity)) n = DWORD(capacity - 1);  // older systems leave it unterminated
  path[n] = 0;
  return int(n);
}

void SuppressCriticalErrorBoxes() { SetErrorMode(SEM_FAILCRITICALERRORS); }
