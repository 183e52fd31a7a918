// The Linux stand-in of the list view, the cursor and the context menu (see ui.cpp for the
// dialog records they live in).
#include <algorithm>

#include "system/host/host_dialog.h"

namespace {

constexpr int kScrollBarWidth = 17;

int gCursorX = 100;
int gCursorY = 100;
const char* gCursor = "arrow";
int gMenuChoice = 0;

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

}  // namespace

void HostSetMenuChoice(int command) { gMenuChoice = command; }
void HostSetCursorPosition(int x, int y) {
  gCursorX = x;
  gCursorY = y;
}
const char* HostCurrentCursor() { return gCursor; }

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
