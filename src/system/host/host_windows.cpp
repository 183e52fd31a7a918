// The Linux stand-in of other programs' windows (found by class, closed by WM_DESTROY after
// as many messages as a test lets them ignore) and of detached threads, joined by the tests.
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "system/host/host_dialog.h"

namespace {

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

}  // namespace

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
