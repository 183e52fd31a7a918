// The setup dialog (resource 1000): its procedure, its initialisation, the language list's
// context menu and the watcher thread that closes running copies of the product.
#pragma once
#include <cstdint>

#include "resources/resource_ids.h"
#include "system/window.h"

// Control ids of the setup dialog (resources/resource_ids.h says what each is).
constexpr int kControlOk = KORV_CONTROL_OK;
constexpr int kControlCancel = KORV_CONTROL_CANCEL;
constexpr int kControlTitle = KORV_CONTROL_TITLE;
constexpr int kControlLanguages = KORV_CONTROL_LANGUAGES;
constexpr int kControlDestinationLabel = KORV_CONTROL_DESTINATION_LABEL;
constexpr int kControlDestination = KORV_CONTROL_DESTINATION;
constexpr int kControlBrowse = KORV_CONTROL_BROWSE;
constexpr int kControlProgramGroup = KORV_CONTROL_PROGRAM_GROUP;
constexpr int kControlDesktopIcon = KORV_CONTROL_DESKTOP_ICON;
constexpr int kControlQuickLaunch = KORV_CONTROL_QUICK_LAUNCH;
constexpr int kControlStatus = KORV_CONTROL_STATUS;

// Context menu commands of the language list: the ids of their texts.
constexpr int kCommandCheckAll = KORV_TEXT_SELECT_ALL;
constexpr int kCommandUncheckAll = KORV_TEXT_DESELECT_ALL;
constexpr int kCommandInvert = KORV_TEXT_INVERT_SELECTION;

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
