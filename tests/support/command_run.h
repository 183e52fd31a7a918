// Running a command's entry point in-process (int Run...(argc, argv), as setuptool's commands
// are) with its standard output and error sent to a file, so a test's own output stays
// readable and the command's can be read back when a check fails.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Runs command(args) with file descriptors 1 and 2 on `outputFd` (both streams flushed
// before and after) and returns its result; args[0] is the command's name.
int RunWithOutputTo(int outputFd, int (*command)(int, char**), std::vector<std::string> args);

// Files and folders the process has open: a command run in-process must close what it
// opens, so runs leave this count as it was. Pipes and devices are not counted: sanitizer
// and fuzzer runtimes open pipes to a symbolizer process at times of their own choosing.
size_t OpenDescriptorCount();
