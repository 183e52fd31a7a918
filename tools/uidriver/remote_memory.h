// A block of memory in the process that owns a window, for the common controls' messages
// whose parameter is a record the control dereferences in its own process (list view and tree
// view items). The record is written there, the message sent, and the record read back.
//
// The records are this program's own (LVITEMW and the like, with pointers and LPARAMs of its
// width), so the owner must be a program of the same architecture: the 32-bit driver drives
// the 32-bit setup, the 64-bit driver (build/bin/x64) the 64-bit one. An owner of the other
// architecture is refused rather than handed a record of the wrong layout.
#pragma once

#include <windows.h>

#include <string>

// Room for an item's text in remote blocks, in characters.
constexpr int kRemoteTextCapacity = 260;

template <typename Block>
class RemoteMemory {
 public:
  explicit RemoteMemory(HWND owner) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_INFORMATION,
                           FALSE, pid);
    error_ = process_ ? 0 : GetLastError();
    otherArchitecture_ = process_ && OfOtherArchitecture(process_);
    if (process_ && !otherArchitecture_) {
      block_ = static_cast<Block*>(
          VirtualAllocEx(process_, nullptr, sizeof(Block), MEM_COMMIT, PAGE_READWRITE));
      if (!block_) error_ = GetLastError();
    }
  }
  ~RemoteMemory() {
    if (block_) VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  bool Ready() const { return block_ != nullptr; }
  // Why the block is not ready, for an error line.
  std::wstring Problem() const {
    if (otherArchitecture_) {
      return L"the window's process is of the other architecture (32-bit or 64-bit): use the "
             L"uidriver.exe built for it";
    }
    return L"cannot reach the window's process (error " + std::to_wstring(error_) + L")";
  }
  Block* Address() const { return block_; }
  bool Put(const Block& local) {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, block_, &local, sizeof local, &done) &&
           done == sizeof local;
  }
  bool Get(Block& local) {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, block_, &local, sizeof local, &done) && done == sizeof local;
  }
  // A text of at most kRemoteTextCapacity - 1 characters at any address of the owner process.
  std::wstring TextAt(const wchar_t* address) {
    wchar_t text[kRemoteTextCapacity] = {};
    SIZE_T done = 0;
    ReadProcessMemory(process_, address, text, sizeof text - sizeof(wchar_t), &done);
    return text;
  }

 private:
  // On a 64-bit system a 32-bit process runs under WOW64 and a 64-bit one does not; on a
  // 32-bit system neither does.
  static bool OfOtherArchitecture(HANDLE process) {
    BOOL theirs = FALSE, ours = FALSE;
    if (!IsWow64Process(process, &theirs) || !IsWow64Process(GetCurrentProcess(), &ours)) return false;
    return theirs != ours;
  }

  HANDLE process_ = nullptr;
  Block* block_ = nullptr;
  DWORD error_ = 0;
  bool otherArchitecture_ = false;
};
