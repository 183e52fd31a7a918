// The program in front of a setup's archive (see stub_report.h).
#include "stub_report.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

SetupProgram ReadSetupProgram(const ArchiveFile& archive, int32_t archiveOffset) {
  SetupProgram program;
  if (archiveOffset <= 0) return program;
  std::vector<uint8_t> bytes(static_cast<size_t>(archiveOffset));
  if (pread(archive.fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) return program;
  program.claimed = BeginsAsPeImage(bytes.data(), bytes.size());
  if (!program.claimed) return program;
  PeLayout layout;
  program.problem = ReadPeImage(bytes.data(), bytes.size(), &layout);
  if (program.problem != PeProblem::kNone) return program;
  program.machine = layout.machine;
  program.architecture = PeArchitectureOf(layout);
  return program;
}

bool CheckSetupProgram(const ArchiveFile& archive, int32_t archiveOffset, std::string* problem, std::string* kind) {
  const SetupProgram program = ReadSetupProgram(archive, archiveOffset);
  *kind = SetupProgramText(program);
  if (!program.claimed || program.problem == PeProblem::kNone) return true;
  *problem = PeProblemText(program.problem);
  return false;
}

std::string SetupProgramText(const SetupProgram& program) {
  if (!program.claimed || program.problem != PeProblem::kNone) return std::string();
  if (program.architecture != PeArchitecture::kOther)
    return std::string("setup program for ") + PeArchitectureText(program.architecture) + " Windows";
  char text[64];
  std::snprintf(text, sizeof text, "setup program for machine type 0x%X", unsigned(program.machine));
  return text;
}
