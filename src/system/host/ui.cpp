// The Linux stand-in of the dialog primitives: a headless dialog record per window, its
// texts, controls and placement, the modal run and the program's start-up calls. The list
// view, cursor and menu are in host_list_view.cpp, other programs' windows in
// host_windows.cpp.
//
// The controls are those of dialog resource 1000 (same ids, classes and starting texts); what
// the real controls would display is kept in the records, and tests read and drive it through
// host_dialog.h. Messages the setup posts wait in the dialog's queue until dispatched.
#include <algorithm>

#include "resources/resource_ids.h"
#include "system/host/host_dialog.h"
#include "system/host/host_state.h"

namespace {

// ---- Dialog 1000 as the stand-in builds it ----
struct ControlTemplate {
  int id;
  const char* className;
  const char16_t* text;
  WindowRect rect;  // pixels at 96 dpi with 8-point MS Sans Serif (1.5 px per unit)
};

// Unnamed controls (-1) keep distinct keys below zero so each has its own record.
const ControlTemplate kControls[] = {
    {KORV_CONTROL_OK, "BUTTON", u"OK", {309, 273, 396, 294}},
    {KORV_CONTROL_CANCEL, "BUTTON", u"Cancel", {400, 273, 487, 294}},
    {-1, "STATIC", u"", {4, 265, 490, 267}},
    {-2, "STATIC", u"", {447, 12, 477, 42}},
    {KORV_CONTROL_TITLE, "STATIC", u"", {18, 22, 438, 52}},
    {KORV_CONTROL_LANGUAGES, "SysListView32", u"", {352, 60, 484, 258}},
    {KORV_CONTROL_DESTINATION_LABEL, "STATIC", u"", {18, 157, 213, 169}},
    {KORV_CONTROL_DESTINATION, "EDIT", u"", {15, 174, 315, 192}},
    {KORV_CONTROL_BROWSE, "BUTTON", u"...", {319, 174, 340, 192}},
    {KORV_CONTROL_PROGRAM_GROUP, "BUTTON", u"", {37, 205, 307, 220}},
    {KORV_CONTROL_DESKTOP_ICON, "BUTTON", u"", {37, 225, 307, 240}},
    {KORV_CONTROL_QUICK_LAUNCH, "BUTTON", u"", {37, 244, 307, 259}},
    {KORV_CONTROL_STATUS, "STATIC", u"", {30, 276, 300, 291}},
};
constexpr int kListClientWidth = 128;  // 132 pixels less the border
constexpr int kDialogWidth = 501;
constexpr int kDialogHeight = 325;

int gScreenWidth = 1024;
int gScreenHeight = 768;
std::u16string gModulePath = u"C:\\Setup.exe";
bool gFontAvailable = true;
int gCommonControls = 0;
int gComDepth = 0;
bool gCriticalErrorsOff = false;
std::function<void(WindowHandle)> gScript;
HostWindow* gActiveDialog = nullptr;
int gIconResource = 0;

HostFont gTitleFont;

int CopyOut(const std::u16string& from, char16_t* text, int capacity) {
  if (!text || capacity <= 0) return 0;
  int n = std::min<int>(int(from.size()), capacity - 1);
  std::copy(from.begin(), from.begin() + n, text);
  text[n] = 0;
  return n;
}

}  // namespace

// ---- Dialog records ----

WindowHandle HostCreateSetupDialog(DialogProcedure procedure) {
  auto* dialog = new HostWindow;
  dialog->className = "#32770";
  dialog->text = u"Setup";
  dialog->procedure = procedure;
  dialog->rect = {0, 0, kDialogWidth, kDialogHeight};
  for (const ControlTemplate& t : kControls) {
    auto control = std::make_unique<HostWindow>();
    control->parent = dialog;
    control->id = t.id;
    control->className = t.className;
    control->text = t.text;
    control->rect = t.rect;
    if (t.id == KORV_CONTROL_LANGUAGES) control->clientWidth = kListClientWidth;
    dialog->controls[t.id] = std::move(control);
  }
  return dialog;
}

void HostDestroyDialog(WindowHandle dialog) { delete static_cast<HostWindow*>(dialog); }

HostWindow* HostWindowOf(WindowHandle window) { return static_cast<HostWindow*>(window); }

HostWindow* HostControl(WindowHandle dialog, int id) {
  HostWindow* d = HostWindowOf(dialog);
  if (!d) return nullptr;
  auto it = d->controls.find(id);
  return it == d->controls.end() ? nullptr : it->second.get();
}

intptr_t HostSendMessage(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t lParam) {
  HostWindow* d = HostWindowOf(dialog);
  if (!d || !d->procedure) return 0;
  return d->procedure(dialog, message, wParam, lParam);
}

int HostDispatchPosted(WindowHandle dialog) {
  HostWindow* d = HostWindowOf(dialog);
  int count = 0;
  while (d && !d->ended && !d->posted.empty()) {
    HostPosted m = d->posted.front();
    d->posted.pop_front();
    HostSendMessage(dialog, m.message, m.wParam, m.lParam);
    ++count;
  }
  return count;
}

void HostClick(WindowHandle dialog, int id) {
  HostSendMessage(dialog, kMsgCommand, uintptr_t(uint16_t(id)), 0);
}

void HostSetDialogScript(std::function<void(WindowHandle)> script) { gScript = std::move(script); }
WindowHandle HostActiveDialog() { return gActiveDialog; }
void HostSetScreen(int width, int height) {
  gScreenWidth = width;
  gScreenHeight = height;
}
void HostSetModulePath(const char16_t* path) { gModulePath = path ? path : u""; }
void HostSetFontAvailable(bool available) { gFontAvailable = available; }
int HostCommonControlsInitialised() { return gCommonControls; }
int HostComDepth() { return gComDepth; }
bool HostCriticalErrorBoxesSuppressed() { return gCriticalErrorsOff; }

// ---- Text of windows and controls ----

int DialogGetItemText(WindowHandle dialog, int id, char16_t* text, int capacity) {
  HostWindow* c = HostControl(dialog, id);
  if (!c) {
    if (text && capacity > 0) text[0] = 0;
    return 0;
  }
  return CopyOut(c->text, text, capacity);
}

void DialogSetItemText(WindowHandle dialog, int id, const char16_t* text) {
  if (HostWindow* c = HostControl(dialog, id)) c->text = text ? text : u"";
}

int WindowGetText(WindowHandle window, char16_t* text, int capacity) {
  HostWindow* w = HostWindowOf(window);
  if (!w) {
    if (text && capacity > 0) text[0] = 0;
    return 0;
  }
  return CopyOut(w->text, text, capacity);
}

void WindowSetText(WindowHandle window, const char16_t* text) {
  if (HostWindow* w = HostWindowOf(window)) w->text = text ? text : u"";
}

// ---- Controls ----

WindowHandle DialogItem(WindowHandle dialog, int id) { return HostControl(dialog, id); }

bool DialogIsChecked(WindowHandle dialog, int id) {
  HostWindow* c = HostControl(dialog, id);
  return c && c->checked;
}

void DialogSetChecked(WindowHandle dialog, int id, bool checked) {
  if (HostWindow* c = HostControl(dialog, id)) c->checked = checked;
}

void DialogShowItem(WindowHandle dialog, int id, bool visible) {
  if (HostWindow* c = HostControl(dialog, id)) c->visible = visible;
}

bool DialogItemVisible(WindowHandle dialog, int id) {
  HostWindow* c = HostControl(dialog, id);
  return c && c->visible;
}

void* CreateTitleFont() {
  if (!gFontAvailable) return nullptr;
  // MulDiv(-18, 96, 72): the stand-in's screen has 96 pixels per inch.
  gTitleFont.height = -24;
  gTitleFont.weight = 400;
  gTitleFont.charSet = 0;
  gTitleFont.outPrecision = 1;
  gTitleFont.clipPrecision = 2;
  gTitleFont.quality = 1;
  gTitleFont.pitchAndFamily = 0x22;
  gTitleFont.face = u"MS Sans Serif";
  return &gTitleFont;
}

void DialogSetItemFont(WindowHandle dialog, int id, void* font) {
  if (HostWindow* c = HostControl(dialog, id)) c->font = font;
}

// ---- Placement ----

bool GetWindowRectangle(WindowHandle window, WindowRect* rect) {
  if (!rect) return false;
  if (!window) {
    *rect = {0, 0, gScreenWidth, gScreenHeight};
    return true;
  }
  *rect = HostWindowOf(window)->rect;
  return true;
}

void MoveWindowTo(WindowHandle window, int left, int top) {
  HostWindow* w = HostWindowOf(window);
  if (!w) return;
  int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  w->rect = {left, top, left + width, top + height};
}

void SetDialogClassIcon(WindowHandle dialog, void* icon) {
  if (HostWindow* d = HostWindowOf(dialog)) d->classIcon = icon;
}

// ---- Dialog lifetime ----

void PostCloseMessage(WindowHandle dialog) {
  if (HostWindow* d = HostWindowOf(dialog)) d->posted.push_back({kMsgClose, 0, 0});
}

void EndDialogWithResult(WindowHandle dialog, intptr_t result) {
  if (HostWindow* d = HostWindowOf(dialog)) {
    d->ended = true;
    d->endResult = result;
  }
}

intptr_t RunModalDialog(int resourceId, DialogProcedure procedure) {
  if (resourceId != KORV_DIALOG_SETUP || !procedure) return -1;
  WindowHandle dialog = HostCreateSetupDialog(procedure);
  HostWindow* d = HostWindowOf(dialog);
  gActiveDialog = d;
  HostSendMessage(dialog, kMsgInitDialog, 0, 0);
  HostDispatchPosted(dialog);
  if (!d->ended && gScript) {
    gScript(dialog);
    HostDispatchPosted(dialog);
  }
  if (!d->ended) {
    HostSendMessage(dialog, kMsgClose, 0, 0);
    HostDispatchPosted(dialog);
  }
  intptr_t result = d->ended ? d->endResult : 0;
  gActiveDialog = nullptr;
  HostDestroyDialog(dialog);
  return result;
}

// ---- Start-up ----

void InitCommonControlsOnce() { ++gCommonControls; }
void ComInitialize() { ++gComDepth; }
void ComUninitialize() { --gComDepth; }

void* LoadProgramIcon(int resourceId) {
  gIconResource = resourceId;
  return resourceId == 1 ? &gIconResource : nullptr;
}

int ModuleFilePath(char16_t* path, int capacity) { return CopyOut(gModulePath, path, capacity); }

void SuppressCriticalErrorBoxes() { gCriticalErrorsOff = true; }

// ---- The progress window: a record of what it shows ----

const HostProgressRecord& HostProgressWindow() { return TheHostMachine().progress; }

WindowHandle OpenProgressWindow(const char16_t* caption) {
  HostProgressRecord& progress = TheHostMachine().progress;
  progress = HostProgressRecord();
  progress.opened = progress.open = true;
  progress.caption = caption ? caption : u"";
  return &progress;
}

void ShowProgress(WindowHandle window, const char16_t* text, int thousandths) {
  if (!window) return;
  HostProgressRecord& progress = *static_cast<HostProgressRecord*>(window);
  if (text) progress.text = text;
  progress.thousandths = thousandths;
  ++progress.updates;
}

void CloseProgressWindow(WindowHandle window) {
  if (window) static_cast<HostProgressRecord*>(window)->open = false;
}
