// Removal of a half-written file on an interrupt (see interrupt_cleanup.h).
#include "interrupt_cleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The registered file; written only while the signals are blocked, read by the handler.
volatile sig_atomic_t gRegistered = 0;
int gFolder = AT_FDCWD;
char gName[4096];

void OnInterrupt(int signal) {
  if (gRegistered) unlinkat(gFolder, gName, 0);
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigaction(signal, &standard, nullptr);
  raise(signal);
}

// Blocks the signals while the record changes, so the handler never sees half of it.
struct SignalsBlocked {
  sigset_t old;
  SignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, &old);
  }
  ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &old, nullptr); }
};

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
  SignalsBlocked blocked;
  InstallHandlerOnce();
  gFolder = folder;
  std::strncpy(gName, name, sizeof gName - 1);
  gName[sizeof gName - 1] = 0;
  gRegistered = 1;
}

void ClearInterruptCleanup() {
  SignalsBlocked blocked;
  gRegistered = 0;
}
