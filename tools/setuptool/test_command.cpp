// setuptool test FILE: decodes every entry and verifies every checksum, the way the setup's
// scan pass does (archive_check.h), then reports the program in front of the archive, its
// signature and that of the payload's uninstaller.
#include <cstdio>
#include <string>

#include "archive_check.h"
#include "commands.h"
#include "report.h"
#include "signature_report.h"
#include "stub_report.h"
#include "terminal_text.h"

namespace {

const char kHelp[] =
    "Usage: setuptool test FILE\n"
    "\n"
    "Decodes every entry of the archive in FILE and verifies every CRC-32, exactly as the\n"
    "setup program's scan pass does, and also checks what the setup program does not: the\n"
    "header checksums, that each entry yields as many bytes as its header states, that no\n"
    "entry belongs to another volume, and that the archive ends cleanly. Prints one line per\n"
    "verified entry. Exit status 0 when everything is correct; 1 with a message naming the\n"
    "failing entry and the reason; 2 when FILE cannot be read or is not a regular file.\n"
    "For a setup it checks that the program in front of the archive is a sound executable\n"
    "image (its headers and sections in order; exit status 1 when not), prints which Windows\n"
    "it is for (\"setup program for x86 (32-bit) Windows\" or \"... for x64 (64-bit) Windows\"),\n"
    "then prints \"signed\" (an Authenticode certificate table follows the\n"
    "archive) or \"unsigned\", and warns about bytes after the archive that are neither the\n"
    "signature nor zero padding, and about an image checksum that is not that of the file.\n"
    "When the payload has an UnInst.exe, a last line says whether it is signed (\"UnInst.exe:\n"
    "signed\": a program whose certificate table ends it) or not (\"UnInst.exe: unsigned\").\n";

}  // namespace

int RunTestCommand(int argc, char** argv) {
  if (argc == 2 && IsHelpArgument(argv[1])) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (argc != 2) {
    std::fprintf(stderr, "setuptool test: expected one FILE\n\n%s", kHelp);
    return kExitUsage;
  }
  const std::string file = argv[1];
  ArchiveFile archive;
  if (!OpenArchiveFile("test", file, &archive)) return kExitUsage;

  ArchiveCheck check;
  if (!CheckArchiveEntries("test", archive, TerminalText(file), true, &check)) return kExitFailed;
  std::printf("%zu entries verified\n", check.verified);
  std::string problem, kind;
  if (!CheckSetupProgram(archive, check.summary.archiveOffset, &problem, &kind)) {
    std::fprintf(stderr, "setuptool test: %s: the program in front of the archive %s: the setup cannot run\n",
                 TerminalText(file).c_str(), problem.c_str());
    return kExitFailed;
  }
  if (!kind.empty()) std::printf("%s\n", kind.c_str());
  ReportSignature(archive, check.summary, TerminalText(file));
  if (check.hasUninstaller) std::printf("UnInst.exe: %s\n", check.uninstallerSigned ? "signed" : "unsigned");
  return kExitOk;
}
