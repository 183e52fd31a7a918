// setuptool: make a setup program, inspect and test its payload archive, and describe it
// for deployment tools.
#include <cstdio>
#include <cstring>
#include <new>

#include "commands.h"
#include "interrupt_cleanup.h"

namespace {

const char kUsage[] =
    "Usage: setuptool COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  pack ...           make a setup program for Windows from a product folder\n"
    "                     (see setuptool pack --help)\n"
    "  list FILE          list the entries of the archive in FILE (a bare archive or a\n"
    "                     setup program with the archive appended)\n"
    "  test FILE          decode every entry and verify every checksum\n"
    "  extract FILE DIR   write the archive's files under DIR\n"
    "  manifest ...       write a winget manifest for a finished setup program\n"
    "                     (see setuptool manifest --help)\n"
    "\n"
    "Run 'setuptool COMMAND --help' for the details of a command, 'setuptool --version' for\n"
    "the version.\n"
    "Exit status: 0 success, 1 the archive failed, 2 bad arguments or inaccessible files.\n";

}  // namespace

namespace {

int RunCommand(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const char* command = argv[1];
  if (IsHelpArgument(command)) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (std::strcmp(command, "--version") == 0) {
    std::printf("setuptool %s\n", KORV_VERSION);
    return kExitOk;
  }
  if (std::strcmp(command, "list") == 0) return RunListCommand(argc - 1, argv + 1);
  if (std::strcmp(command, "test") == 0) return RunTestCommand(argc - 1, argv + 1);
  if (std::strcmp(command, "extract") == 0) return RunExtractCommand(argc - 1, argv + 1);
  if (std::strcmp(command, "pack") == 0) return RunPackCommand(argc - 1, argv + 1);
  if (std::strcmp(command, "manifest") == 0) return RunManifestCommand(argc - 1, argv + 1);
  std::fprintf(stderr, "setuptool: unknown command '%s'\n\n%s", command, kUsage);
  return kExitUsage;
}

}  // namespace

// The commands work in bounded memory on sound input, but a file can still ask for more than
// the machine has: that ends the run as a clean error, without a half-written output.
int main(int argc, char** argv) {
  try {
    return RunCommand(argc, argv);
  } catch (const std::bad_alloc&) {
    RemoveRegisteredFile();
    std::fputs("setuptool: out of memory; the file being written was removed\n", stderr);
    return kExitUsage;
  }
}
