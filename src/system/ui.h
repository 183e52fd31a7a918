// Dialog and control primitives: what the setup flow needs of its one window.
// On Windows these are the user32/comctl32 calls on real controls; on the Linux stand-in
// they act on a headless dialog record that tests can inspect and drive.
//
// The setup logic above this layer (dialog procedure, scan and install callbacks) is written
// once against these declarations; message numbers and list-view values are the Windows ones,
// so the same procedure serves the real dialog and the headless one.
#pragma once
#include <cstdint>

#include "system/window.h"

// ---- Message numbers the setup dialog handles (the Windows values) ----
constexpr unsigned kMsgDestroy = 0x0002;      // WM_DESTROY
constexpr unsigned kMsgClose = 0x0010;        // WM_CLOSE
constexpr unsigned kMsgContextMenu = 0x007B;  // WM_CONTEXTMENU
constexpr unsigned kMsgInitDialog = 0x0110;   // WM_INITDIALOG
constexpr unsigned kMsgCommand = 0x0111;      // WM_COMMAND

// A dialog procedure in portable form: (window, message, first parameter, second parameter).
using DialogProcedure = intptr_t (*)(WindowHandle window, unsigned message, uintptr_t wParam,
                                     intptr_t lParam);

// Text of a control of a dialog (GetDlgItemTextW / SetDlgItemTextW). The read returns the
// number of characters copied, always terminated within capacity.
int DialogGetItemText(WindowHandle dialog, int id, char16_t* text, int capacity);
void DialogSetItemText(WindowHandle dialog, int id, const char16_t* text);

// Title of a window (GetWindowTextW / SetWindowTextW).
int WindowGetText(WindowHandle window, char16_t* text, int capacity);
void WindowSetText(WindowHandle window, const char16_t* text);

// ---- Controls of a dialog ----
WindowHandle DialogItem(WindowHandle dialog, int id);               // GetDlgItem; null if none
bool DialogIsChecked(WindowHandle dialog, int id);                  // IsDlgButtonChecked
void DialogSetChecked(WindowHandle dialog, int id, bool checked);   // CheckDlgButton
void DialogShowItem(WindowHandle dialog, int id, bool visible);     // ShowWindow SW_SHOW/SW_HIDE
bool DialogItemVisible(WindowHandle dialog, int id);                // IsWindowVisible

// The title font: 18 points at the screen's vertical resolution, weight 400, ANSI character
// set, variable pitch Swiss family, "MS Sans Serif". Null when it cannot be created.
void* CreateTitleFont();
// WM_SETFONT without a redraw request.
void DialogSetItemFont(WindowHandle dialog, int id, void* font);

// ---- Placement ----
struct WindowRect {
  int left, top, right, bottom;
};
bool GetWindowRectangle(WindowHandle window, WindowRect* rect);  // null window: the desktop
// Moves without resizing, without changing the z-order and without activating.
void MoveWindowTo(WindowHandle window, int left, int top);
// The dialog's class icon (SetClassLongPtr GCLP_HICON).
void SetDialogClassIcon(WindowHandle dialog, void* icon);

// ---- The list view (report view with check boxes) ----
constexpr unsigned kListExtendedStyles = 0x424;  // check boxes, full-row select, info tips
constexpr int kStateUnchecked = 1;               // state image of an unchecked item
constexpr int kStateChecked = 2;                 // state image of a checked item

int ListClientWidth(WindowHandle list);
int VerticalScrollBarWidth();  // GetSystemMetrics(SM_CXVSCROLL)
void ListInsertColumn(WindowHandle list, int index, int format, int width);  // empty text
void ListSetColumnText(WindowHandle list, int index, const char16_t* text);
void ListSetExtendedStyle(WindowHandle list, unsigned style);
int ListItemCount(WindowHandle list);
// Inserts an item with its parameter; the list keeps its own sort order (ascending by text).
// Returns the item's index, or a negative value on failure.
int ListInsertItem(WindowHandle list, const char16_t* text, intptr_t param);
bool ListGetItemParam(WindowHandle list, int index, intptr_t* param);
int ListFindItemByParam(WindowHandle list, intptr_t param);  // index or a negative value
int ListGetStateImage(WindowHandle list, int index);         // 0 when it cannot be read
void ListSetStateImage(WindowHandle list, int index, int image);  // index -1: every item

// ---- Cursor ----
void* ShowWaitCursor();            // sets IDC_WAIT, returns the previous cursor
void RestoreCursor(void* cursor);  // SetCursor back

// ---- Context menu ----
void* CreatePopupMenuHandle();
void AppendMenuText(void* menu, int command, const char16_t* text);
bool CursorPosition(int* x, int* y);  // screen coordinates of the mouse cursor
// TrackPopupMenu with TPM_RIGHTBUTTON at (x, y), owned by the dialog: the chosen item
// arrives as WM_COMMAND.
void TrackMenu(void* menu, int x, int y, WindowHandle owner);
void DestroyMenuHandle(void* menu);

// ---- Dialog lifetime ----
void PostCloseMessage(WindowHandle dialog);              // PostMessageW WM_CLOSE, 0, 0
void EndDialogWithResult(WindowHandle dialog, intptr_t result);
// DialogBoxParamW of a dialog resource, no owner; returns when the dialog has ended.
intptr_t RunModalDialog(int resourceId, DialogProcedure procedure);

// ---- The progress window (resource 1100): a caption, one line of text, a bar ----
// One component for every long wait without the dialog. Its calls handle the window's pending
// messages before they return, so that it is drawn while the caller works on.
// Creates the window, shown and centred, with the caption; null when it cannot be made.
WindowHandle OpenProgressWindow(const char16_t* caption);
// The line of text (null: unchanged) and the bar at so many thousandths.
void ShowProgress(WindowHandle window, const char16_t* text, int thousandths);
// DestroyWindow, without the hide that would wait for a window manager; nothing for null.
void CloseProgressWindow(WindowHandle window);

// ---- Other programs' windows and the watcher thread ----
using ThreadProcedure = unsigned (*)(void* argument);
bool StartDetachedThread(ThreadProcedure procedure, void* argument);  // handle not kept
WindowHandle FindWindowByClass(const char* className);  // FindWindowA(class, any title)
void SendDestroyMessage(WindowHandle window);           // SendMessageW WM_DESTROY, 0, 0

// ---- Start-up of the process ----
void InitCommonControlsOnce();                  // InitCommonControls
void ComInitialize();                           // OleInitialize(null), result ignored
void ComUninitialize();                         // OleUninitialize
void* LoadProgramIcon(int resourceId);          // LoadIconW of the program's own module
int ModuleFilePath(char16_t* path, int capacity);  // GetModuleFileNameW of the own module
void SuppressCriticalErrorBoxes();              // SetErrorMode(SEM_FAILCRITICALERRORS)
