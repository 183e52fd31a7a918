// In-process runs of command entry points (see command_run.h).
#include "support/command_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

int RunWithOutputTo(int outputFd, int (*command)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  const int savedOut = dup(1), savedErr = dup(2);
  dup2(outputFd, 1);
  dup2(outputFd, 2);
  const int result = command(int(args.size()), argv.data());
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  close(savedOut);
  close(savedErr);
  return result;
}

size_t OpenDescriptorCount() {
  size_t count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end; it.increment(error)) {
    struct stat st;
    const int fd = std::atoi(it->path().filename().c_str());
    if (fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) ++count;
  }
  return count;
}
