// setuptool extract FILE DIR: writes every file entry under DIR, folders recreated, file
// times and attributes set, through the same ExtractArchive the setup program uses.
//
// Safety, since FILE and DIR may both come from someone else:
//   - Every name is checked before anything is written: an absolute name, a drive letter, a
//     ".." component or a control character refuses the whole archive.
//   - The run itself says which entry it is at (ExtractObserver); the callback never counts
//     calls to find out.
//   - Paths are resolved from a handle of DIR one component at a time without following
//     symbolic links (safe_output.h); the driver writes through a name of the temporary
//     file's own handle, so nothing on disk can redirect the write.
//   - Each file is written under a temporary name and renamed over its real name only when
//     the entry proved sound (entry_verdict.h): a damaged entry leaves the old file as it
//     was, and an interrupt leaves no file under an entry's name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "commands.h"
#include "entry_verdict.h"
#include "report.h"
#include "safe_output.h"
#include "system/host/host_paths.h"
#include "terminal_text.h"

namespace {

const char kHelp[] =
    "Usage: setuptool extract FILE DIR\n"
    "\n"
    "Writes every file of the archive in FILE under DIR (created when missing), with the\n"
    "archive's folders recreated and the file times and attributes set. Names that are\n"
    "absolute, carry a drive letter, contain '..' or control characters refuse the whole\n"
    "archive; symbolic links found under DIR are never followed, and nothing is written\n"
    "outside DIR. Each file is written under a temporary name and takes its real name only\n"
    "once its entry is verified, so a damaged entry leaves an existing file as it was.\n"
    "The extraction stops at the first entry that setuptool test would reject, naming the\n"
    "reason. Exit status 0 when every entry was extracted, 1 when the archive failed or was\n"
    "refused, 2 for bad arguments or a FILE or DIR that cannot be used.\n";

// Splits a name at '\\' and '/' into its components, dropping empty and "." ones. False,
// with a reason, when the name would leave the target folder (absolute, with a drive
// letter, with a ".." component) or holds a control character.
bool SafeComponents(const std::string& name, std::vector<std::string>* parts,
                    const char** reason) {
  parts->clear();
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    // C0 controls, DEL, and the C1 controls U+0080..U+009F (UTF-8 0xC2 0x80..0x9F), which
    // some of the archive's 8-bit bytes become.
    const bool c1 = c == 0xC2 && i + 1 < name.size() && (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80;
    if (c < 0x20 || c == 0x7F || c1) {
      *reason = "name with a control character";
      return false;
    }
  }
  if (!name.empty() && (name[0] == '\\' || name[0] == '/')) {
    *reason = "absolute name";
    return false;
  }
  if (name.size() >= 2 && name[1] == ':') {
    *reason = "name with a drive letter";
    return false;
  }
  std::string part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '\\' && name[i] != '/') {
      part += name[i];
      continue;
    }
    if (part == "..") {
      *reason = "name with a '..' component";
      return false;
    }
    if (!part.empty() && part != ".") parts->push_back(part);
    part.clear();
  }
  if (parts->empty()) {
    *reason = "empty name";
    return false;
  }
  return true;
}

struct ExtractRun {
  int root = -1;         // handle of DIR
  // The folder of the last file, kept open: entries of one folder follow one another, and
  // walking the path again for each would cost more than writing a small file.
  std::vector<std::string> folderParts;
  int folder = -1;
  EntryInfo entry;       // the entry the run is at, as the driver read it
  PendingFile pending;   // its file while it is written
  std::string problem;   // why the extraction failed, or empty
  std::string where;     // the entry it failed at
  size_t written = 0;
};

void Fail(ExtractRun* run, const std::string& problem) {
  if (!run->problem.empty() || problem.empty()) return;
  run->problem = problem;
  run->where = run->entry.shownName;
}

// The entry's components, or a recorded problem.
bool EntryParts(ExtractRun* run, std::vector<std::string>* parts) {
  const char* reason = nullptr;
  if (SafeComponents(run->entry.displayName, parts, &reason)) return true;
  Fail(run, std::string("refused: ") + reason);
  return false;
}

void OnEntryStart(const ExtractContext* context, void* value) {
  ExtractRun* run = static_cast<ExtractRun*>(value);
  run->entry = EntryInfoOf(context);
  if (!run->problem.empty() || !run->entry.IsDirectory()) return;
  Fail(run, HeaderProblem(run->entry));
  std::vector<std::string> parts;
  if (!run->problem.empty() || !EntryParts(run, &parts)) return;
  std::string error;
  const int folder = OpenFolderPath(run->root, parts, parts.size(), true, &error);
  if (folder < 0) Fail(run, error);
  else close(folder);
}

// Opens the folder of a file entry (parts without the last) unless it is open already.
bool OpenEntryFolder(ExtractRun* run, const std::vector<std::string>& parts, std::string* error) {
  const std::vector<std::string> folderParts(parts.begin(), parts.end() - 1);
  if (run->folder >= 0 && folderParts == run->folderParts) return true;
  if (run->folder >= 0) close(run->folder);
  run->folderParts = folderParts;
  run->folder = OpenFolderPath(run->root, folderParts, folderParts.size(), true, error);
  return run->folder >= 0;
}

// First call of each entry: prepares a temporary file in the entry's folder and leaves a
// name of its handle for the driver to write to.
int ExtractCallbackFn(char16_t* name, const uint8_t*, uint32_t, void* value) {
  ExtractRun* run = static_cast<ExtractRun*>(value);
  if (run->problem.empty()) Fail(run, HeaderProblem(run->entry));
  if (!run->problem.empty()) return 1;
  if (run->entry.IsVolumeLabel()) return 0;  // the run skips it: nothing to prepare
  std::vector<std::string> parts;
  if (!EntryParts(run, &parts)) return 1;
  std::string error;
  if (!OpenEntryFolder(run, parts, &error) ||
      !BeginPendingFile(run->folder, parts.back(), &run->pending, &error)) {
    Fail(run, error);
    return 1;
  }
  const std::u16string handleName = HostUtf16("/proc/self/fd/" + std::to_string(run->pending.fd));
  for (size_t i = 0; i <= handleName.size(); ++i) name[i] = i < handleName.size() ? handleName[i] : 0;
  return 0;
}

// After each entry: the verified file takes its real name; any other goes.
void OnEntryEnd(const ExtractContext*, const ExtractEntryOutcome* outcome, void* value) {
  ExtractRun* run = static_cast<ExtractRun*>(value);
  if (outcome->skipped || run->pending.fd < 0) return;
  const bool full = outcome->writeFailed && FolderIsFull(run->pending.folder, run->entry.unpackedSize);
  const std::string problem = OutcomeProblem(run->entry, *outcome, full);
  std::string error;
  if (!problem.empty()) {
    DiscardPendingFile(&run->pending);
    Fail(run, problem);
  } else if (!CommitPendingFile(&run->pending, &error)) {
    Fail(run, error);
  } else {
    std::printf("%12u  %s\n", run->entry.unpackedSize, run->entry.shownName.c_str());
    ++run->written;
  }
}

// Refuses the whole archive when one of its names is unsafe; returns the exit code, or -1.
int CheckAllNames(const ArchiveFile& archive, const std::string& shownFile) {
  std::string refused;
  ArchiveSummary summary;
  const ListingStatus status = WalkArchiveHeaders(archive.path, [&](const EntryInfo& e) {
    // A damaged header's name may be anything: the run stops there for the damage.
    if (!HeaderProblem(e).empty()) return false;
    std::vector<std::string> parts;
    const char* reason = nullptr;
    if (SafeComponents(e.displayName, &parts, &reason)) return true;
    refused = e.shownName + ": refused: " + reason;
    return false;
  }, &summary);
  if (status != ListingStatus::kOk) {
    std::fprintf(stderr, "setuptool extract: %s: %s\n", shownFile.c_str(), ListingError(status));
    return kExitFailed;
  }
  if (refused.empty()) return -1;
  std::fprintf(stderr, "setuptool extract: %s; nothing extracted\n", refused.c_str());
  return kExitFailed;
}

int OpenTarget(const char* dir) {
  if (mkdir(dir, 0777) != 0 && errno != EEXIST) return -1;
  return open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

int RunExtractCommand(int argc, char** argv) {
  if (argc == 2 && IsHelpArgument(argv[1])) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (argc != 3) {
    std::fprintf(stderr, "setuptool extract: expected FILE and DIR\n\n%s", kHelp);
    return kExitUsage;
  }
  const std::string shownFile = TerminalText(argv[1]), shownDir = TerminalText(argv[2]);
  ArchiveFile archive;
  if (!OpenArchiveFile("extract", argv[1], &archive)) return kExitUsage;
  const int checked = CheckAllNames(archive, shownFile);
  if (checked >= 0) return checked;

  ExtractRun run;
  run.root = OpenTarget(argv[2]);
  if (run.root < 0) {
    std::fprintf(stderr, "setuptool extract: %s: %s\n", shownDir.c_str(), std::strerror(errno));
    return kExitUsage;
  }
  ExtractObserver observer = CommandObserver(OnEntryStart, OnEntryEnd, &run);
  const int result = ExtractArchiveObserved(archive.path.c_str(), ExtractCallbackFn, &run, &observer);
  DiscardPendingFile(&run.pending);  // an entry the run left before its end
  if (run.folder >= 0) close(run.folder);
  close(run.root);
  if (ReportRunFailure("extract", run.problem, run.where, observer, result, shownFile)) return kExitFailed;
  std::printf("%zu files extracted into %s\n", run.written, shownDir.c_str());
  return kExitOk;
}
