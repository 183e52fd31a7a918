// Every way a run can end, and the exit code a deployment tool reads for it.
#include "setup/exit_code.h"

#include <gtest/gtest.h>

#include "archive/extract_context.h"
#include "payload/deployment.h"

namespace {

TEST(ExitCode, EachOutcomeHasItsCode) {
  const struct {
    const char* what;
    SetupRunFacts facts;
    int code;
  } rows[] = {
      {"installed", {false, 0, false, kInstallDone, 0, false, false}, kSetupSucceeded},
      {"installed, then the dialog closed", {false, 0, true, kInstallDone, 0, false, false}, kSetupSucceeded},
      {"bad command line wins over all", {true, 3, true, kInstallDone, 0, false, false}, kSetupBadCommandLine},
      {"damaged scan", {false, kExtractBadChecksum, false, kInstallNotRun, 0, false, false}, kSetupDamaged},
      {"unsafe names", {false, 3, false, kInstallNotRun, 0, false, false}, kSetupDamaged},
      {"no memory for the scan", {false, kExtractNoWindow, false, kInstallNotRun, 0, false, false}, kSetupOutOfMemory},
      {"cancelled", {false, 0, true, kInstallNotRun, 0, false, false}, kSetupCancelled},
      {"cancelled after a failed try", {false, 0, true, kInstallPassFailed, -5, true, false}, kSetupCancelled},
      {"no destination", {false, 0, false, kInstallNoDestination, 0, false, false}, kSetupDestinationFailed},
      {"Windows folder", {false, 0, false, kInstallRefusedFolder, 0, false, false}, kSetupDestinationFailed},
      {"cannot create", {false, 0, false, kInstallPassFailed, kExtractCannotCreate, true, false}, kSetupDestinationFailed},
      {"disk full", {false, 0, false, kInstallPassFailed, kExtractBadChecksum, false, true}, kSetupDiskFull},
      {"changed payload", {false, 0, false, kInstallPassFailed, kExtractBadChecksum, false, false}, kSetupDamaged},
      {"no window memory", {false, 0, false, kInstallPassFailed, kExtractNoWindow, false, false}, kSetupOutOfMemory},
      {"no copy buffer", {false, 0, false, kInstallPassFailed, kExtractNoCopyBuffer, false, false}, kSetupOutOfMemory},
      {"in use after staging", {false, 0, false, kInstallMoveFailed, 0, true, false}, kSetupFilesInUse},
      {"unknown pass result", {false, 0, false, kInstallPassFailed, 77, false, false}, kSetupFailed},
      {"never ran, never cancelled", {false, 0, false, kInstallNotRun, 0, false, false}, kSetupFailed},
  };
  for (const auto& row : rows) EXPECT_EQ(SetupExitCode(row.facts), row.code) << row.what;
}

}  // namespace
