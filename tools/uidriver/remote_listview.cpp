#include "remote_listview.h"

#include <commctrl.h>

#include "output.h"

namespace {

constexpr int kTextCapacity = 260;

// One block in the owner process: the item record followed by the text buffer.
struct RemoteBlock {
  LVITEMW item;
  wchar_t text[kTextCapacity];
};

class RemoteMemory {
 public:
  explicit RemoteMemory(HWND owner) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_INFORMATION,
                           FALSE, pid);
    if (!process_) {
      WriteError(L"cannot open the list's process (error " + std::to_wstring(GetLastError()) + L")");
      return;
    }
    block_ = static_cast<RemoteBlock*>(
        VirtualAllocEx(process_, nullptr, sizeof(RemoteBlock), MEM_COMMIT, PAGE_READWRITE));
    if (!block_) WriteError(L"cannot allocate memory in the list's process");
  }
  ~RemoteMemory() {
    if (block_) VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  bool Ready() const { return block_ != nullptr; }
  RemoteBlock* Address() const { return block_; }
  bool Put(const RemoteBlock& local) {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, block_, &local, sizeof local, &done) &&
           done == sizeof local;
  }
  // Reads a text of at most kTextCapacity characters at any address of the owner process.
  std::wstring TextAt(const wchar_t* address) {
    wchar_t text[kTextCapacity] = {};
    SIZE_T done = 0;
    ReadProcessMemory(process_, address, text, sizeof text - sizeof(wchar_t), &done);
    return text;
  }
  bool Get(RemoteBlock& local) {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, block_, &local, sizeof local, &done) && done == sizeof local;
  }

 private:
  HANDLE process_ = nullptr;
  RemoteBlock* block_ = nullptr;
};

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
  RemoteMemory remote(list);
  if (!remote.Ready()) return false;
  int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    RemoteBlock local = {};
    local.item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    local.item.iItem = i;
    local.item.stateMask = LVIS_STATEIMAGEMASK;
    local.item.pszText = remote.Address()->text;
    local.item.cchTextMax = kTextCapacity;
    if (!remote.Put(local)) return false;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&remote.Address()->item))) {
      WriteError(L"LVM_GETITEMW failed for item " + std::to_wstring(i));
      return false;
    }
    if (!remote.Get(local)) return false;
    local.text[kTextCapacity - 1] = L'\0';
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
  RemoteMemory remote(list);
  if (!remote.Ready()) return false;
  RemoteBlock local = {};
  local.item.stateMask = LVIS_STATEIMAGEMASK;
  local.item.state = INDEXTOSTATEIMAGEMASK(stateImage);
  if (!remote.Put(local)) return false;
  return SendMessageW(list, LVM_SETITEMSTATE, (WPARAM)index,
                      reinterpret_cast<LPARAM>(&remote.Address()->item)) != 0;
}
