// The setup dialog (resource 1000): its procedure, its initialisation, the language list's
// context menu and the watcher thread that closes running copies of the product.
#pragma once
#include <cstdint>

#include "system/window.h"

// Control ids of dialog 1000.
constexpr int kControlOk = 99;
constexpr int kControlCancel = 2;
constexpr int kControlTitle = 1001;
constexpr int kControlLanguages = 1010;
constexpr int kControlDestinationLabel = 1031;
constexpr int kControlDestination = 1032;
constexpr int kControlBrowse = 1033;
constexpr int kControlProgramGroup = 1041;
constexpr int kControlDesktopIcon = 1042;
constexpr int kControlQuickLaunch = 1043;
constexpr int kControlStatus = 1047;

// Context menu commands of the language list.
constexpr int kCommandCheckAll = 136;
constexpr int kCommandUncheckAll = 137;
constexpr int kCommandInvert = 138;

// The dialog procedure; FALSE (0) for every message, WM_INITDIALOG included.
intptr_t SetupDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t lParam);
// WM_INITDIALOG: centring, texts, language list, scan pass, watcher thread, destination
// proposal, check boxes, and the damaged-payload message when the scan failed.
void InitSetupDialog(WindowHandle dialog);
// The language list's context menu at the mouse cursor.
void ShowLanguageMenu(WindowHandle dialog);
// The watcher thread: sends WM_DESTROY to top-level windows of the class (8-bit text) until
// none is left.
unsigned CloseRunningInstances(void* windowClass);
