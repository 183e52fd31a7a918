// A block of memory in the process that owns a window, for the common controls' messages
// whose parameter is a record the control dereferences in its own process (list view and tree
// view items). The record is written there, the message sent, and the record read back.
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
    if (process_) {
      block_ = static_cast<Block*>(
          VirtualAllocEx(process_, nullptr, sizeof(Block), MEM_COMMIT, PAGE_READWRITE));
    }
  }
  ~RemoteMemory() {
    if (block_) VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  bool Ready() const { return block_ != nullptr; }
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
  HANDLE process_ = nullptr;
  Block* block_ = nullptr;
};
