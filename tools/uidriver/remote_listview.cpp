#include "remote_listview.h"

#include <commctrl.h>

#include "output.h"
#include "remote_memory.h"

namespace {

// One block in the owner process: the item record followed by the text buffer.
struct RemoteBlock {
  LVITEMW item;
  wchar_t text[kRemoteTextCapacity];
};

using RemoteList = RemoteMemory<RemoteBlock>;

struct RemoteColumnBlock {
  LVCOLUMNW column;
  wchar_t text[kRemoteTextCapacity];
};

bool Reachable(const RemoteList& remote) {
  if (!remote.Ready()) WriteError(remote.Problem());
  return remote.Ready();
}

}  // namespace

std::wstring CodeFromParam(unsigned long param) {
  std::wstring code;
  for (int i = 0; i < 4; ++i) {
    wchar_t c = (wchar_t)((param >> (8 * i)) & 0xFF);
    if (!c) break;
    code.push_back(c);
  }
  return code;
}

bool ReadListItems(HWND list, std::vector<ListItem>& items) {
  items.clear();
  RemoteList remote(list);
  if (!Reachable(remote)) return false;
  int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    RemoteBlock local = {};
    local.item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    local.item.iItem = i;
    local.item.stateMask = LVIS_STATEIMAGEMASK;
    local.item.pszText = remote.Address()->text;
    local.item.cchTextMax = kRemoteTextCapacity;
    if (!remote.Put(local)) return false;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&remote.Address()->item))) {
      WriteError(L"LVM_GETITEMW failed for item " + std::to_wstring(i));
      return false;
    }
    if (!remote.Get(local)) return false;
    local.text[kRemoteTextCapacity - 1] = L'\0';
    ListItem item;
    item.index = i;
    item.param = (unsigned long)local.item.lParam;
    item.stateImage = (local.item.state & LVIS_STATEIMAGEMASK) >> 12;
    // A list view may answer with a pointer to its own copy instead of filling the buffer.
    item.text = local.item.pszText == remote.Address()->text ? std::wstring(local.text)
                                                             : remote.TextAt(local.item.pszText);
    items.push_back(item);
  }
  return true;
}

bool SetListItemStateImage(HWND list, int index, unsigned stateImage) {
  RemoteList remote(list);
  if (!Reachable(remote)) return false;
  RemoteBlock local = {};
  local.item.stateMask = LVIS_STATEIMAGEMASK;
  local.item.state = INDEXTOSTATEIMAGEMASK(stateImage);
  if (!remote.Put(local)) return false;
  return SendMessageW(list, LVM_SETITEMSTATE, (WPARAM)index,
                      reinterpret_cast<LPARAM>(&remote.Address()->item)) != 0;
}

bool ReadColumnText(HWND list, int column, std::wstring& text) {
  RemoteMemory<RemoteColumnBlock> remote(list);
  if (!remote.Ready()) {
    WriteError(remote.Problem());
    return false;
  }
  RemoteColumnBlock local = {};
  local.column.mask = LVCF_TEXT;
  local.column.pszText = remote.Address()->text;
  local.column.cchTextMax = kRemoteTextCapacity;
  if (!remote.Put(local) ||
      !SendMessageW(list, LVM_GETCOLUMNW, (WPARAM)column,
                    reinterpret_cast<LPARAM>(&remote.Address()->column)) ||
      !remote.Get(local)) {
    WriteError(L"the list has no column " + std::to_wstring(column));
    return false;
  }
  local.text[kRemoteTextCapacity - 1] = L'\0';
  text = local.column.pszText == remote.Address()->text ? std::wstring(local.text)
                                                        : remote.TextAt(local.column.pszText);
  return true;
}
