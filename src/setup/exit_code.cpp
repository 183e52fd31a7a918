// The mapping of a run's outcome to its exit code (see exit_code.h).
#include "setup/exit_code.h"

#include "archive/extract_context.h"
#include "payload/deployment.h"

namespace {

// A failed pass: no memory for the window or a copy buffer; a file that could not be made,
// in the destination or even in a staging folder; a short write on a sound payload; a
// payload that changed or went since the scan (the download is damaged).
int ExitCodeOfPass(const SetupRunFacts& facts) {
  if (facts.diskFull) return kSetupDiskFull;
  switch (facts.pass) {
    case kExtractNoWindow:
    case kExtractNoCopyBuffer:
    case kExtractNoContext:
      return kSetupOutOfMemory;
    case kExtractCannotCreate:
      return kSetupDestinationFailed;
    case kExtractBadChecksum:
    case kExtractNoArchive:
      return kSetupDamaged;
    default:
      return kSetupFailed;
  }
}

}  // namespace

int SetupExitCode(const SetupRunFacts& facts) {
  if (facts.badCommandLine) return kSetupBadCommandLine;
  if (facts.scan == kExtractNoWindow || facts.scan == kExtractNoContext) return kSetupOutOfMemory;
  if (facts.scan != 0) return kSetupDamaged;
  if (facts.step == kInstallDone) return kSetupSucceeded;
  // With the dialog, the user may leave after a failed try: leaving is what the run came to.
  if (facts.cancelled) return kSetupCancelled;
  switch (facts.step) {
    case kInstallNoDestination:
    case kInstallRefusedFolder:
      return kSetupDestinationFailed;
    case kInstallPassFailed:
      return ExitCodeOfPass(facts);
    case kInstallMoveFailed:
      return kSetupFilesInUse;  // files in use stayed where the staged ones should go
    default:
      return kSetupFailed;
  }
}
