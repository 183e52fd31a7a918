// The first window of a long scan: it appears only once the delay has passed, shows the
// caption, the text and the share checked, and is gone when the scan's end returns.
#include "setup/checking_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "setup_test_support.h"

namespace setuptest {
namespace {

TEST_F(SetupFlowTest, CheckingWindowAppearsAfterTheDelayAndIsGoneAtTheEnd) {
  StartCheckingWindow(u"Setup", u"Checking the setup...", 0);
  for (int i = 0; i < 200 && !HostProgressWindow().opened; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  NoteChecked(400);
  // The window's thread picks it up at its next redraw.
  for (int i = 0; i < 200 && HostProgressWindow().thousandths != 400; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  FinishCheckingWindow();
  const HostProgressRecord& progress = HostProgressWindow();
  EXPECT_TRUE(progress.opened);
  EXPECT_FALSE(progress.open);
  EXPECT_EQ(progress.caption, u"Setup");
  EXPECT_EQ(progress.text, u"Checking the setup...");
  EXPECT_EQ(progress.thousandths, 400);
  HostJoinThreads();
}

TEST_F(SetupFlowTest, AQuickScanShowsNoCheckingWindow) {
  StartCheckingWindow(u"Setup", u"Checking the setup...", kCheckingDelayMs);
  FinishCheckingWindow();
  EXPECT_FALSE(HostProgressWindow().opened);
  HostJoinThreads();
}

}  // namespace
}  // namespace setuptest
