// The program in front of a setup's archive (see stub_report.h).
#include "stub_report.h"

#include <unistd.h>

#include <vector>

#include "image/pe_image.h"

bool CheckSetupProgram(const ArchiveFile& archive, std::string* problem) {
  ArchiveSummary summary;
  if (WalkArchiveHeaders(archive.path, [](const EntryInfo&) { return false; }, &summary) != ListingStatus::kOk ||
      summary.archiveOffset <= 0)
    return true;
  std::vector<uint8_t> program(size_t(summary.archiveOffset));
  if (pread(archive.fd, program.data(), program.size(), 0) != ssize_t(program.size())) return true;
  if (!BeginsAsPeImage(program.data(), program.size())) return true;
  PeLayout layout;
  const PeProblem found = ReadPeImage(program.data(), program.size(), &layout);
  if (found == PeProblem::kNone) return true;
  *problem = PeProblemText(found);
  return false;
}
