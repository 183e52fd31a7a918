// The setup's first window while a long scan pass runs (see checking_window.h). The scan's
// thread and the window's thread share only the flags and the share below; the texts are
// written before the window's thread starts and only read by it.
#include "setup/checking_window.h"

#include "system/platform.h"
#include "system/ui.h"

namespace {

constexpr unsigned kPollMs = 20;
// The bar takes the share checked at most this often. Each new position is a repaint through
// the window system, which under Wine cost the scan of a 200 MiB payload about a twentieth
// more processor time when it came every poll; the window still handles its messages, and
// notices the end of the scan, every poll.
constexpr unsigned kRedrawMs = 100;

// Plain fields read and written through the compiler's atomic operations (Load, Store). The
// texts are the caller's: they outlive the window, as FinishCheckingWindow waits for its end.
struct CheckingWatch {
  int finish;       // set by the scan's thread: the scan is over
  int closed;       // set by the window's thread: nothing of it is left on screen
  int thousandths;  // the share checked
  unsigned delayMs;
  const char16_t* caption;
  const char16_t* text;
};

CheckingWatch gWatch;

int Load(const int& field) { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
void Store(int& field, int value) { __atomic_store_n(&field, value, __ATOMIC_RELEASE); }

unsigned ShowWhileChecking(void*) {
  const uint32_t start = PlatformTickCount();
  while (PlatformTickCount() - start < gWatch.delayMs && !Load(gWatch.finish)) PlatformSleep(kPollMs);
  WindowHandle window = Load(gWatch.finish) ? nullptr : OpenProgressWindow(gWatch.caption);
  int shown = Load(gWatch.thousandths);
  uint32_t shownAt = PlatformTickCount();
  if (window) ShowProgress(window, gWatch.text, shown);
  while (window && !Load(gWatch.finish)) {
    if (PlatformTickCount() - shownAt >= kRedrawMs) {
      shown = Load(gWatch.thousandths);
      shownAt = PlatformTickCount();
    }
    ShowProgress(window, nullptr, shown);  // also handles the window's messages
    PlatformSleep(kPollMs);
  }
  CloseProgressWindow(window);
  Store(gWatch.closed, 1);
  return 0;
}

}  // namespace

void StartCheckingWindow(const char16_t* caption, const char16_t* text, unsigned delayMs) {
  Store(gWatch.finish, 0);
  Store(gWatch.closed, 0);
  Store(gWatch.thousandths, 0);
  gWatch.delayMs = delayMs;
  gWatch.caption = caption;
  gWatch.text = text;
  if (!StartDetachedThread(ShowWhileChecking, nullptr)) Store(gWatch.closed, 1);
}

void NoteChecked(int thousandths) { Store(gWatch.thousandths, thousandths); }

void FinishCheckingWindow() {
  Store(gWatch.finish, 1);
  while (!Load(gWatch.closed)) PlatformSleep(1);
}
