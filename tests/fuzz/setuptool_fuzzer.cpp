// Fuzz target: setuptool's own extract and test commands on arbitrary files, run in-process.
// Each input is written to a file and extracted into a scratch folder planted with links
// that point outside it: links named like entries of the seed archives, a hard link to a
// file and symbolic links aimed at a file, at a folder and at paths that do not exist. The target aborts when anything in the
// sentinel folder beside the scratch folder changed (names, kinds, sizes, times, modes,
// link targets), when an exit code is not 0, 1 or 2, when extract succeeded on an input
// that test rejects, or when the commands left files open.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "support/command_run.h"
#include "support/tree_snapshot.h"

namespace {

// The folders of one fuzzing process, below its working directory:
//   setuptool-fuzz-PID/input.bin          the input
//   setuptool-fuzz-PID/sentinel/out/      the scratch folder extract writes into
//   setuptool-fuzz-PID/sentinel/...       what the planted links aim at; must never change
struct Scratch {
  std::string input, sentinel, out;
  std::vector<PlantedLink> files;    // links named like entry files: extract replaces them
  std::vector<PlantedLink> folders;  // links named like entry folders: extract refuses them
  TreeSnapshot before;
};

bool WriteAll(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool done = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && done;
}

Scratch* MakeScratch() {
  Scratch* s = new Scratch;
  const std::string root = std::filesystem::current_path().string() + "/setuptool-fuzz-" + std::to_string(getpid());
  s->input = root + "/input.bin";
  s->sentinel = root + "/sentinel";
  s->out = s->sentinel + "/out";
  std::filesystem::create_directories(s->out);
  std::filesystem::create_directories(s->sentinel + "/victim_dir");
  const char victim[] = "outside the scratch folder";
  if (!WriteAll(s->sentinel + "/victim.txt", reinterpret_cast<const uint8_t*>(victim), sizeof victim - 1)) std::abort();
  // Names of entries in the seed archives (make_fuzz_seeds), in both separators' spelling.
  s->files = {{"setup.inf", s->sentinel + "/victim.txt", true},
              {"entry0", s->sentinel + "/absent.bin"},
              {"entry1", "../victim.txt"},
              {"entry2", s->sentinel + "/victim_dir"}};
  s->folders = {{"docs", s->sentinel + "/victim_dir"}, {"empty", s->sentinel + "/absent_dir"}};
  s->before = SnapshotTree(s->sentinel, "out", false);
  return s;
}

// Runs a command with its output thrown away.
int RunSilently(int (*command)(int, char**), std::vector<std::string> args) {
  static const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  return RunWithOutputTo(null, command, std::move(args));
}

void Check(bool holds, const char* what, const Scratch& s) {
  if (holds) return;
  std::fprintf(stderr, "setuptool_fuzzer: %s\n", what);
  const std::string changed = TreeDifference(s.before, SnapshotTree(s.sentinel, "out", false));
  if (!changed.empty()) std::fprintf(stderr, "  outside the scratch folder: %s\n", changed.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch* s = MakeScratch();
  if (!WriteAll(s->input, data, size)) return 0;
  EmptyFolder(s->out);
  // The input's last byte decides whether folder links stand in the way too, so inputs
  // that extract whole and inputs stopped by a linked folder both occur.
  std::vector<PlantedLink> links = s->files;
  if (size && (data[size - 1] & 1)) links.insert(links.end(), s->folders.begin(), s->folders.end());
  if (!PlantLinks(s->out, links)) std::abort();

  const int extracted = RunSilently(RunExtractCommand, {"extract", s->input, s->out});
  Check(extracted >= 0 && extracted <= 2, "extract's exit code is not 0, 1 or 2", *s);
  Check(TreeDifference(s->before, SnapshotTree(s->sentinel, "out", false)).empty(),
        "extract changed something outside the scratch folder", *s);
  const int tested = RunSilently(RunTestCommand, {"test", s->input});
  Check(tested >= 0 && tested <= 2, "test's exit code is not 0, 1 or 2", *s);
  Check(extracted != kExitOk || tested == kExitOk, "extract succeeded where test failed", *s);
  static const size_t descriptors = OpenDescriptorCount();  // after the first input's runs
  Check(OpenDescriptorCount() == descriptors, "the commands left files open", *s);
  return 0;
}
