// The setup dialog's procedure and initialisation, written once for the real dialog and the
// headless one of the Linux stand-in.
#include "setup/setup_dialog.h"

#include "localisation/string_tables.h"
#include "setup/checking_window.h"
#include "setup/install.h"
#include "setup/language_list.h"
#include "setup/scan.h"
#include "setup/setup_state.h"
#include "installation/destination.h"
#include "setup/setup_messages.h"
#include "system/run_log.h"
#include "setup/unattended.h"
#include "system/folders.h"
#include "system/messages.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr int kHeaderCapacity = 63;  // column header and menu item texts
constexpr int kItemCapacity = 31;    // built-in language list items
constexpr int kTitleCapacity = 512;  // the window's title

// The window class the watcher thread looks for: its own copy, which outlives the SetupState
// (freed when the dialog ends, while the thread may still run until the process ends).
char gWatchedClass[32];

void CentreOnDesktop(WindowHandle dialog) {
  WindowRect desktop, window;
  if (!GetWindowRectangle(nullptr, &desktop) || !GetWindowRectangle(dialog, &window)) return;
  // Halved with an arithmetic shift: a dialog larger than the screen rounds towards minus.
  int left = ((desktop.right - desktop.left) - (window.right - window.left)) >> 1;
  int top = ((desktop.bottom - desktop.top) - (window.bottom - window.top)) >> 1;
  MoveWindowTo(dialog, left, top);
}

void PrepareLanguageList(WindowHandle list) {
  const LanguageTable* table = gSetupState->languageTable;
  int positive = 0;
  for (const ListColumnDefinition* c = kLanguageListColumns; c->textId; ++c)
    if (c->width > 0) positive += c->width;
  int index = 0;
  for (const ListColumnDefinition* c = kLanguageListColumns; c->textId; ++c, ++index) {
    int width = c->width;
    // A column of width -1 takes what the others leave of the list's client area, less
    // room for a vertical scroll bar (which appears once the items outgrow the list) and
    // 4 pixels of margin, so that no horizontal scroll bar appears with it; it never gets
    // narrower than 100 pixels, enough for a language's name.
    if (width < 0) {
      width = ListClientWidth(list) - positive - (VerticalScrollBarWidth() + 4);
      if (width < 100) width = 100;
    }
    ListInsertColumn(list, index, c->format & 3, width);
    char16_t text[kHeaderCapacity];
    LookupText(table, c->textId, text, kHeaderCapacity);
    ListSetColumnText(list, index, text);
  }
  ListSetExtendedStyle(list, kListExtendedStyles);
  char16_t text[kItemCapacity];
  LookupText(table, kTextEnglish, text, kItemCapacity);
  AddLanguageItem(list, text, kLanguageUS);
  LookupText(table, kTextGerman, text, kItemCapacity);
  AddLanguageItem(list, text, kLanguageDE);
}

// The scan pass, with the checking window when it takes long, but never in a run that shows
// nothing at all.
int ScanWithCheckingWindow(WindowHandle dialog) {
  const bool shown = !gSetupState->options.verySilent;
  // The window's thread reads both texts until FinishCheckingWindow: they live as long as this call.
  char16_t caption[kTitleCapacity], text[kTitleCapacity];
  if (shown) {
    WindowGetText(dialog, caption, kTitleCapacity);
    LookupText(gSetupState->languageTable, kTextChecking, text, kTitleCapacity);
    StartCheckingWindow(caption, text, kCheckingDelayMs);
  }
  const int scan = ScanPayload(dialog);
  if (shown) FinishCheckingWindow();
  return scan;
}

}  // namespace

void InitSetupDialog(WindowHandle dialog) {
  CentreOnDesktop(dialog);
  SetDialogClassIcon(dialog, gSetupState->icon);
  ApplyLanguageTable(dialog, gSetupState->languageTable, kSetupDialogTextIds);
  WindowHandle list = DialogItem(dialog, kControlLanguages);
  PrepareLanguageList(list);

  int scan = ScanWithCheckingWindow(dialog);

  ProductFacts& facts = gSetupState->facts;
  if (!facts.windowClass[0]) AppendTextNarrow(facts.group, facts.windowClass, int(sizeof facts.windowClass));
  // Running copies are closed only for a payload that will be installed: a damaged download
  // leaves the user's programs alone.
  if (scan == 0 && facts.windowClass[0]) {
    gWatchedClass[0] = 0;
    AppendTextNarrow(facts.windowClass, gWatchedClass, int(sizeof gWatchedClass));
    StartDetachedThread(CloseRunningInstances, gWatchedClass);
  }

  char16_t destination[kPathCapacity];
  DefaultDestination(facts, destination, kPathCapacity);
  DialogSetItemText(dialog, kControlDestination, destination);
  if (FileExists(destination)) {
    // An update: the check boxes stay off. A product that keeps its folders has its language
    // files where the first one lies in the archive.
    char16_t languages[kPathCapacity];
    CopyText(destination, languages, kPathCapacity);
    if (KeepsFolders(facts) && gSetupState->languageFileFolder[0])
      JoinPath(gSetupState->languageFileFolder, languages, kPathCapacity);
    UncheckMissingLanguages(list, languages, gSetupState->languageFilePrefix);
  } else {
    DialogSetChecked(dialog, kControlProgramGroup, true);
    DialogSetChecked(dialog, kControlDesktopIcon, true);
    DialogSetChecked(dialog, kControlQuickLaunch, QuickLaunchAvailable());
  }
  // Where the system has no Quick Launch folder, a shortcut there cannot be made: no box.
  if (!QuickLaunchAvailable()) DialogShowItem(dialog, kControlQuickLaunch, false);

  gSetupState->outcome.scan = scan;
  LogNumber("scan", scan);
  char16_t badCode[4];
  if (scan != 0) {
    ShowSetupMessage(dialog, kTextBrokenFile, gSetupState->modulePath, kMbIconHand);
    PostCloseMessage(dialog);
  } else if (!ApplySwitches(dialog, badCode)) {
    ShowBadCommandLine(dialog, badCode);
    PostCloseMessage(dialog);
  } else if (IsQuiet(gSetupState->options)) {
    RunUnattended(dialog);
  }
  // A quiet run ends here, before the dialog was ever shown.
  if (IsQuiet(gSetupState->options)) EndDialogWithResult(dialog, 0);
}

void ShowLanguageMenu(WindowHandle dialog) {
  int x = 0, y = 0;
  CursorPosition(&x, &y);
  void* menu = CreatePopupMenuHandle();
  if (!menu) return;
  for (const int16_t* id = kContextMenuTextIds; *id; ++id) {
    char16_t text[kHeaderCapacity];
    LookupText(gSetupState->languageTable, *id, text, kHeaderCapacity);
    if (text[0]) AppendMenuText(menu, *id, text);
  }
  TrackMenu(menu, x, y, dialog);
  DestroyMenuHandle(menu);
}

unsigned CloseRunningInstances(void* windowClass) {
  while (WindowHandle window = FindWindowByClass(static_cast<const char*>(windowClass)))
    SendDestroyMessage(window);
  return 0;
}

intptr_t SetupDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t lParam) {
  (void)lParam;
  switch (message) {
    case kMsgInitDialog:
      InitSetupDialog(dialog);
      break;
    case kMsgClose:
      gSetupState->outcome.cancelled = true;  // unless the install was done already
      EndDialogWithResult(dialog, 0);
      break;
    case kMsgContextMenu:
      if (reinterpret_cast<WindowHandle>(wParam) == DialogItem(dialog, kControlLanguages))
        ShowLanguageMenu(dialog);
      break;
    case kMsgCommand:
      switch (wParam & 0xFFFF) {
        case kControlOk:
          if (RunInstall(dialog) == 0) PostCloseMessage(dialog);
          break;
        case kControlCancel:
          PostCloseMessage(dialog);
          break;
        case kCommandCheckAll:
          CheckAllLanguages(DialogItem(dialog, kControlLanguages));
          break;
        case kCommandUncheckAll:
          UncheckAllLanguages(DialogItem(dialog, kControlLanguages));
          break;
        case kCommandInvert:
          InvertLanguages(DialogItem(dialog, kControlLanguages));
          break;
        case kControlBrowse:
          BrowseForDestination(dialog, kControlDestination);
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return 0;
}
