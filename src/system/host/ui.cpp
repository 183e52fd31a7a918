// The Linux stand-in of the dialog primitives: a headless dialog record per window.
//
// The controls are those of dialog resource 1000 (same ids, classes and starting texts); what
// the real controls would display is kept in the records, and tests read and drive it through
// host_dialog.h. Messages the setup posts wait in the dialog's queue until dispatched.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "resources/resource_ids.h"
#include "system/host/host_dialog.h"

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
constexpr int kScrollBarWidth = 17;
constexpr int kDialogWidth = 501;
constexpr int kDialogHeight = 325;

int gScreenWidth = 1024;
int gScreenHeight = 768;
int gCursorX = 100;
int gCursorY = 100;
const char* gCursor = "arrow";
int gMenuChoice = 0;
std::u16string gModulePath = u"C:\\Setup.exe";
bool gFontAvailable = true;
int gCommonControls = 0;
int gComDepth = 0;
bool gCriticalErrorsOff = false;
std::function<void(WindowHandle)> gScript;
HostWindow* gActiveDialog = nullptr;
int gIconResource = 0;

struct ForeignWindow {
  std::string className;
  int ignoreCount = 0;
  int destroyCount = 0;
  bool alive = true;
};
std::mutex gForeignLock;
std::vector<std::unique_ptr<ForeignWindow>> gForeign;
std::mutex gThreadLock;
std::vector<std::thread> gThreads;

HostFont gTitleFont;

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

// Ascending text order of a sorted list view, letter case ignored.
bool SortsBefore(const std::u16string& a, const std::u16string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

HostWindow* List(WindowHandle list) { return static_cast<HostWindow*>(list); }

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
void HostSetMenuChoice(int command) { gMenuChoice = command; }
void HostSetScreen(int width, int height) {
  gScreenWidth = width;
  gScreenHeight = height;
}
void HostSetCursorPosition(int x, int y) {
  gCursorX = x;
  gCursorY = y;
}
const char* HostCurrentCursor() { return gCursor; }
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

// ---- List view ----

int ListClientWidth(WindowHandle list) { return list ? List(list)->clientWidth : 0; }
int VerticalScrollBarWidth() { return kScrollBarWidth; }

void ListInsertColumn(WindowHandle list, int index, int format, int width) {
  if (!list) return;
  auto& cols = List(list)->columns;
  index = std::clamp(index, 0, int(cols.size()));
  cols.insert(cols.begin() + index, HostListColumn{format, width, u""});
}

void ListSetColumnText(WindowHandle list, int index, const char16_t* text) {
  if (!list || index < 0 || index >= int(List(list)->columns.size())) return;
  List(list)->columns[index].text = text ? text : u"";
}

void ListSetExtendedStyle(WindowHandle list, unsigned style) {
  if (list) List(list)->extendedStyle = style;
}

int ListItemCount(WindowHandle list) { return list ? int(List(list)->items.size()) : 0; }

int ListInsertItem(WindowHandle list, const char16_t* text, intptr_t param) {
  if (!list) return -1;
  auto& items = List(list)->items;
  HostListItem item;
  item.text = text ? text : u"";
  item.param = param;
  // A list with check boxes gives a new item the unchecked image.
  item.stateImage = (List(list)->extendedStyle & 0x4) ? kStateUnchecked : 0;
  size_t at = 0;
  while (at < items.size() && !SortsBefore(item.text, items[at].text)) ++at;
  items.insert(items.begin() + at, item);
  return int(at);
}

bool ListGetItemParam(WindowHandle list, int index, intptr_t* param) {
  if (!list || index < 0 || index >= int(List(list)->items.size())) return false;
  *param = List(list)->items[index].param;
  return true;
}

int ListFindItemByParam(WindowHandle list, intptr_t param) {
  if (!list) return -1;
  auto& items = List(list)->items;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].param == param) return int(i);
  return -1;
}

int ListGetStateImage(WindowHandle list, int index) {
  if (!list || index < 0 || index >= int(List(list)->items.size())) return 0;
  return List(list)->items[index].stateImage;
}

void ListSetStateImage(WindowHandle list, int index, int image) {
  if (!list) return;
  auto& items = List(list)->items;
  if (index == -1) {
    for (auto& item : items) item.stateImage = image;
  } else if (index >= 0 && index < int(items.size())) {
    items[index].stateImage = image;
  }
}

// ---- Cursor ----

void* ShowWaitCursor() {
  const char* previous = gCursor;
  gCursor = "wait";
  return const_cast<char*>(previous);
}

void RestoreCursor(void* cursor) {
  if (cursor) gCursor = static_cast<const char*>(cursor);
}

// ---- Context menu ----

void* CreatePopupMenuHandle() { return new HostMenu; }

void AppendMenuText(void* menu, int command, const char16_t* text) {
  if (menu) static_cast<HostMenu*>(menu)->items.emplace_back(command, text ? text : u"");
}

bool CursorPosition(int* x, int* y) {
  *x = gCursorX;
  *y = gCursorY;
  return true;
}

void TrackMenu(void* menu, int x, int y, WindowHandle owner) {
  HostWindow* d = HostWindowOf(owner);
  if (!menu || !d) return;
  auto* m = static_cast<HostMenu*>(menu);
  d->menusShown.push_back(*m);
  d->menuX = x;
  d->menuY = y;
  // The choice arrives as WM_COMMAND, posted like the real menu's loop does.
  for (auto& item : m->items)
    if (item.first == gMenuChoice && gMenuChoice != 0)
      d->posted.push_back({kMsgCommand, uintptr_t(uint16_t(gMenuChoice)), 0});
}

void DestroyMenuHandle(void* menu) { delete static_cast<HostMenu*>(menu); }

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

// ---- Other programs' windows and threads ----

bool StartDetachedThread(ThreadProcedure procedure, void* argument) {
  std::lock_guard<std::mutex> lock(gThreadLock);
  gThreads.emplace_back([procedure, argument] { procedure(argument); });
  return true;
}

int HostJoinThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(gThreadLock);
    threads.swap(gThreads);
  }
  for (auto& t : threads) t.join();
  return int(threads.size());
}

WindowHandle FindWindowByClass(const char* className) {
  std::lock_guard<std::mutex> lock(gForeignLock);
  if (!className) return nullptr;
  for (auto& w : gForeign)
    if (w->alive && w->className == className) return w.get();
  return nullptr;
}

void SendDestroyMessage(WindowHandle window) {
  std::lock_guard<std::mutex> lock(gForeignLock);
  for (auto& w : gForeign) {
    if (w.get() != window) continue;
    ++w->destroyCount;
    if (w->destroyCount > w->ignoreCount) w->alive = false;
  }
}

WindowHandle HostAddForeignWindow(const char* className, int ignoreCount) {
  std::lock_guard<std::mutex> lock(gForeignLock);
  gForeign.push_back(std::make_unique<ForeignWindow>());
  gForeign.back()->className = className;
  gForeign.back()->ignoreCount = ignoreCount;
  return gForeign.back().get();
}

int HostForeignDestroyCount(WindowHandle window) {
  std::lock_guard<std::mutex> lock(gForeignLock);
  for (auto& w : gForeign)
    if (w.get() == window) return w->destroyCount;
  return 0;
}

bool HostForeignWindowAlive(WindowHandle window) {
  std::lock_guard<std::mutex> lock(gForeignLock);
  for (auto& w : gForeign)
    if (w.get() == window) return w->alive;
  return false;
}

void HostClearForeignWindows() {
  std::lock_guard<std::mutex> lock(gForeignLock);
  gForeign.clear();
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
