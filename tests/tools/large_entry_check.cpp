// The slow check of setuptool test on huge entries (CTest label "slow", run from the
// Release tree): an archive holding one entry of 1 GiB must pass `setuptool test` with a
// peak resident size under 64 MiB, in time linear in the entry's size (compared with an
// entry of 128 MiB). The archives are small (the entries are long runs of matches); they
// are written under the working directory (the build tree) and removed afterwards.
//
// Usage: large_entry_check SETUPTOOL
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/run_archive.h"

namespace {

struct Measured {
  int exitCode;
  long peakKiB;
  double seconds;
};

Measured RunTest(const std::string& tool, const std::string& archive) {
  const auto start = std::chrono::steady_clock::now();
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    execl(tool.c_str(), tool.c_str(), "test", archive.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  wait4(child, &status, 0, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss, seconds};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: large_entry_check SETUPTOOL\n");
    return 2;
  }
  const std::filesystem::path scratch =
      std::filesystem::current_path() / ("large-entry-scratch-" + std::to_string(getpid()));
  std::filesystem::create_directories(scratch);
  bool ok = true;
  double smallSeconds = 0;
  for (uint32_t size : {128u << 20, 1u << 30}) {
    const std::string archive = (scratch / "huge.rar").string();
    if (!rartest::WriteRunArchive(archive, "huge.bin", size)) {
      std::fprintf(stderr, "cannot write %s\n", archive.c_str());
      ok = false;
      break;
    }
    const Measured m = RunTest(argv[1], archive);
    std::printf("entry of %u MiB: exit %d, peak resident %ld KiB, %.2f s (%.0f MB/s)\n",
                size >> 20, m.exitCode, m.peakKiB, m.seconds, size / 1e6 / m.seconds);
    if (m.exitCode != 0) {
      std::fprintf(stderr, "FAILED: setuptool test exited with %d\n", m.exitCode);
      ok = false;
    }
    if (m.peakKiB >= 64 * 1024) {
      std::fprintf(stderr, "FAILED: peak resident size %ld KiB is not under 64 MiB\n", m.peakKiB);
      ok = false;
    }
    if (size == (128u << 20)) {
      smallSeconds = m.seconds;
    } else if (m.seconds > 16 * smallSeconds + 1.0) {
      // Eight times the size may take about eight times as long; quadratic copying would
      // take sixty-four.
      std::fprintf(stderr, "FAILED: %.2f s for 8x the size of an entry that took %.2f s\n",
                   m.seconds, smallSeconds);
      ok = false;
    }
    std::filesystem::remove(archive);
  }
  std::filesystem::remove_all(scratch);
  return ok ? 0 : 1;
}
