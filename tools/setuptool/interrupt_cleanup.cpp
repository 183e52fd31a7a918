// Removal of a half-written file on an interrupt (see interrupt_cleanup.h).
#include "interrupt_cleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The registered file. The handler runs on the thread it interrupts, so it sees the
// record either before or after a change: the flag is cleared before the name changes and
// set after, with signal fences keeping the compiler from reordering the writes.
volatile sig_atomic_t gRegistered = 0;
int gFolder = AT_FDCWD;
char gName[4096];

// The private folder: its path and the paths of the files in it, prepared beforehand.
volatile sig_atomic_t gFolderRegistered = 0;
volatile sig_atomic_t gChild = 0;
char gFolderPath[4096];
char gFolderFiles[kInterruptFolderNames][4096 + 256];
int gFolderFileCount = 0;

void OnInterrupt(int signal) {
  if (gChild > 0) kill(-pid_t(gChild), SIGKILL);
  if (gRegistered) unlinkat(gFolder, gName, 0);
  if (gFolderRegistered) {
    for (int i = 0; i < gFolderFileCount; ++i) unlink(gFolderFiles[i]);
    rmdir(gFolderPath);
  }
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigaction(signal, &standard, nullptr);
  raise(signal);
}

void InstallHandlerOnce() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int s : kSignals) {
    struct sigaction current = {};
    sigaction(s, nullptr, &current);
    if (current.sa_handler == SIG_IGN) continue;  // a signal the caller chose to ignore stays so
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(s, &action, nullptr);
  }
}

}  // namespace

void RegisterInterruptCleanup(int folder, const char* name) {
  InstallHandlerOnce();
  gRegistered = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gFolder = folder;
  std::strncpy(gName, name, sizeof gName - 1);
  gName[sizeof gName - 1] = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gRegistered = 1;
}

void ClearInterruptCleanup() { gRegistered = 0; }

void RemoveRegisteredFile() {
  if (gRegistered) unlinkat(gFolder, gName, 0);
  gRegistered = 0;
}

void RegisterInterruptFolder(const char* folder, const char* const* names, int count) {
  InstallHandlerOnce();
  gFolderRegistered = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::snprintf(gFolderPath, sizeof gFolderPath, "%s", folder);
  gFolderFileCount = count < kInterruptFolderNames ? count : kInterruptFolderNames;
  for (int i = 0; i < gFolderFileCount; ++i)
    std::snprintf(gFolderFiles[i], sizeof gFolderFiles[i], "%s/%s", folder, names[i]);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gFolderRegistered = 1;
}

void SetInterruptChild(pid_t child) { gChild = child; }

void ClearInterruptFolder() {
  gFolderRegistered = 0;
  gChild = 0;
}

InterruptsHeld::InterruptsHeld() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kSignals) sigaddset(&set, s);
  sigprocmask(SIG_BLOCK, &set, &old);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &old, nullptr); }
