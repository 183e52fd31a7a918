#include "remote_treeview.h"

#include <commctrl.h>

#include "output.h"
#include "remote_memory.h"

namespace {

struct RemoteBlock {
  TVITEMW item;
  wchar_t text[kRemoteTextCapacity];
};

}  // namespace

bool ReadTreeSelectionPath(HWND tree, std::vector<std::wstring>& path) {
  path.clear();
  RemoteMemory<RemoteBlock> remote(tree);
  if (!remote.Ready()) {
    WriteError(remote.Problem());
    return false;
  }
  // Item handles are plain values in the tree's process: the walk itself needs no memory there.
  HTREEITEM item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
  if (!item) return false;
  for (; item; item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)item)) {
    RemoteBlock local = {};
    local.item.mask = TVIF_TEXT | TVIF_HANDLE;
    local.item.hItem = item;
    local.item.pszText = remote.Address()->text;
    local.item.cchTextMax = kRemoteTextCapacity;
    if (!remote.Put(local) ||
        !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&remote.Address()->item)) ||
        !remote.Get(local)) {
      WriteError(L"TVM_GETITEMW failed");
      return false;
    }
    local.text[kRemoteTextCapacity - 1] = L'\0';
    path.insert(path.begin(), local.item.pszText == remote.Address()->text
                                  ? std::wstring(local.text)
                                  : remote.TextAt(local.item.pszText));
  }
  return true;
}
