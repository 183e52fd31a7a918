// The headless dialog of the Linux stand-in: what tests see of the setup's one window.
//
// A window is a HostWindow record. The dialog holds its controls (built from the same
// control list as dialog resource 1000: ids, classes, initial texts), and each control keeps
// what the real one would show: text, check state, visibility, font, and for the list view its
// columns, items, parameters and state images. Posted messages wait in the dialog's queue
// until the modal loop (or a test) dispatches them. Other programs' windows, found by class
// name like FindWindowA does, are records a test registers.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "system/ui.h"

struct HostListItem {
  std::u16string text;
  intptr_t param = 0;
  int stateImage = 0;
};

struct HostListColumn {
  int format = 0;
  int width = 0;
  std::u16string text;
};

struct HostFont {
  int height = 0;  // logical units, negative: character height
  int weight = 0;
  int charSet = 0;
  int outPrecision = 0;
  int clipPrecision = 0;
  int quality = 0;
  int pitchAndFamily = 0;
  std::u16string face;
};

struct HostMenu {
  std::vector<std::pair<int, std::u16string>> items;  // command, text
};

struct HostPosted {
  unsigned message;
  uintptr_t wParam;
  intptr_t lParam;
};

struct HostWindow {
  HostWindow* parent = nullptr;
  int id = 0;
  std::string className;
  std::u16string text;
  bool checked = false;
  bool visible = true;
  void* font = nullptr;
  WindowRect rect{0, 0, 0, 0};

  // List view.
  std::vector<HostListColumn> columns;
  std::vector<HostListItem> items;
  unsigned extendedStyle = 0;
  int clientWidth = 0;

  // Dialog.
  std::map<int, std::unique_ptr<HostWindow>> controls;
  DialogProcedure procedure = nullptr;
  void* classIcon = nullptr;
  std::deque<HostPosted> posted;
  bool ended = false;
  intptr_t endResult = 0;
  std::vector<HostMenu> menusShown;  // every context menu tracked, with its items
  int menuX = 0, menuY = 0;          // where the last menu was tracked
};

// Creates the headless form of dialog 1000 with the given procedure (not yet initialised).
// The record is owned by the caller through HostDestroyDialog.
WindowHandle HostCreateSetupDialog(DialogProcedure procedure);
void HostDestroyDialog(WindowHandle dialog);
HostWindow* HostWindowOf(WindowHandle window);
HostWindow* HostControl(WindowHandle dialog, int id);

// Calls the dialog's procedure at once (SendMessageW).
intptr_t HostSendMessage(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t lParam);
// Dispatches posted messages until the queue is empty or the dialog has ended; returns how
// many were dispatched.
int HostDispatchPosted(WindowHandle dialog);
// WM_COMMAND for a control or menu id, as a click would send it.
void HostClick(WindowHandle dialog, int id);

// What the user does while the modal dialog of RunModalDialog is open: called once after
// WM_INITDIALOG and the messages it posted; if the dialog is still open afterwards, the
// stand-in closes it with WM_CLOSE as the close box would. No script: closed at once.
void HostSetDialogScript(std::function<void(WindowHandle dialog)> script);
// The dialog of the running RunModalDialog, else null.
WindowHandle HostActiveDialog();

// The command the user picks from the next context menu (0: the menu is dismissed).
void HostSetMenuChoice(int command);

// Screen size and cursor position of the stand-in (defaults 1024 x 768, cursor at 100, 100).
void HostSetScreen(int width, int height);
void HostSetCursorPosition(int x, int y);

// The current cursor: "arrow" or "wait".
const char* HostCurrentCursor();

// Start-up values: the program's own file and whether the title font can be created.
void HostSetModulePath(const char16_t* path);
void HostSetFontAvailable(bool available);
int HostCommonControlsInitialised();  // how many times InitCommonControls ran
int HostComDepth();                   // OleInitialize calls less OleUninitialize calls
bool HostCriticalErrorBoxesSuppressed();

// Other programs' top-level windows. A window of the class disappears after it has received
// WM_DESTROY more than ignoreCount times.
WindowHandle HostAddForeignWindow(const char* className, int ignoreCount);
int HostForeignDestroyCount(WindowHandle window);  // WM_DESTROY messages it received
bool HostForeignWindowAlive(WindowHandle window);
void HostClearForeignWindows();
// Waits for every thread started by StartDetachedThread; returns how many were joined.
int HostJoinThreads();
