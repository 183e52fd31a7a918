// setuptool pack --sign (see pack_signing.h).
#include "pack_signing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive_check.h"
#include "image/certificate_table.h"
#include "interrupt_cleanup.h"
#include "pack_folder.h"
#include "payload/record_place.h"
#include "payload/removal_record.h"
#include "report.h"
#include "signature_report.h"
#include "stub_report.h"
#include "terminal_text.h"

namespace {

const char kIn[] = "{in}";
const char kOut[] = "{out}";
// The files of the private folder: our uninstaller before and after, the setup after.
const char* const kFolderFiles[] = {"UnInst.exe", "UnInst-signed.exe", "Setup-signed.exe"};

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Expand(const std::string& command, const std::string& in, const std::string& out) {
  std::string result;
  for (size_t i = 0; i < command.size();) {
    if (command.compare(i, sizeof kIn - 1, kIn) == 0) {
      result += ShellQuoted(in);
      i += sizeof kIn - 1;
    } else if (command.compare(i, sizeof kOut - 1, kOut) == 0) {
      result += ShellQuoted(out);
      i += sizeof kOut - 1;
    } else {
      result += command[i++];
    }
  }
  return result;
}

// The command's output, each line made safe for the terminal and indented; empty lines
// before and after it left out.
std::string ShownOutput(const std::string& output) {
  std::string shown, blank;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
      if (!shown.empty()) blank += "\n";
      continue;
    }
    shown += blank + "\n  " + TerminalText(line);
    blank.clear();
  }
  return shown.empty() ? "\n  (no output)" : shown;
}

// Runs the expanded command with /bin/sh, its output and errors collected; `status` gets the
// wait status. False with `error` set when it cannot be started.
bool RunShell(const std::string& command, std::string& output, int& status, std::string& error) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) {
    error = std::string("cannot run the signing command: ") + std::strerror(errno);
    return false;
  }
  // The command runs in a process group of its own, which an interrupt ends whole (a shell
  // command's own children included); its input is none, so it can ask nothing.
  const pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);
    const int none = open("/dev/null", O_RDONLY);
    dup2(none, 0);
    dup2(pipeEnds[1], 1);
    dup2(pipeEnds[1], 2);
    close(pipeEnds[0]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  if (child < 0) {
    close(pipeEnds[0]);
    error = std::string("cannot run the signing command: ") + std::strerror(errno);
    return false;
  }
  setpgid(child, child);
  SetInterruptChild(child);
  char piece[4096];
  ssize_t got;
  while ((got = read(pipeEnds[0], piece, sizeof piece)) != 0)
    if (got > 0) output.append(piece, size_t(got));
    else if (errno != EINTR) break;
  close(pipeEnds[0]);
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  SetInterruptChild(0);
  return true;
}

// Runs the command from `in` to `out` (`what` names the file in messages). True when it
// ended with status 0 and left `out`; else false with `error` giving status and output.
bool RunSigningCommand(const SigningRun& run, const std::string& in, const std::string& out, const char* what,
                       std::string& error) {
  std::string output;
  int status = 0;
  if (!RunShell(Expand(run.command, in, out), output, status, error)) return false;
  char how[64];
  if (WIFEXITED(status))
    std::snprintf(how, sizeof how, "exit status %d", WEXITSTATUS(status));
  else
    std::snprintf(how, sizeof how, "ended by signal %d", WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  struct stat st;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    if (stat(out.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return true;
    error = std::string("the signing command wrote no {out} file for ") + what + " (" + how + "); its output:" +
            ShownOutput(output);
    return false;
  }
  error = std::string("the signing command failed on ") + what + " (" + how + "); its output:" + ShownOutput(output);
  return false;
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "wbx");
  bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file && std::fclose(file) != 0) written = false;
  if (!written) error = "cannot write " + TerminalText(path) + ": " + std::strerror(errno);
  return written;
}

bool ReadMemory(void* user, uint32_t offset, uint8_t* bytes, uint32_t count) {
  const std::vector<uint8_t>& file = *static_cast<const std::vector<uint8_t>*>(user);
  if (offset > file.size() || file.size() - offset < count) return false;
  std::memcpy(bytes, file.data() + offset, count);
  return true;
}

// Why a signed uninstaller is not what pack can put into the payload, or "".
std::string SignedUninstallerProblem(const SigningRun& run, const std::vector<uint8_t>& image, size_t recordSize,
                                     const std::vector<uint8_t>& signedBytes) {
  PeLayout layout;
  const PeProblem problem = ReadPeImage(signedBytes.data(), signedBytes.size(), &layout);
  if (problem != PeProblem::kNone) return std::string("it ") + PeProblemText(problem);
  if (PeArchitectureOf(layout) != run.architecture)
    return std::string("it is no longer a program for ") + PeArchitectureText(run.architecture) + " Windows";
  const std::string unsigned_ = SignedFileProblem(signedBytes.data(), signedBytes.size(), layout);
  if (!unsigned_.empty()) return unsigned_;
  uint32_t trailer = 0;
  void* file = const_cast<std::vector<uint8_t>*>(&signedBytes);
  if (signedBytes.size() > 0x7FFFFFFF || !LocateRemovalTrailer(ReadMemory, file, uint32_t(signedBytes.size()), &trailer))
    return "its removal record is not found in front of its certificate table";
  const size_t recordEnd = trailer + size_t(kRemovalTrailerBytes);
  if (recordEnd < recordSize ||
      std::memcmp(signedBytes.data() + recordEnd - recordSize, image.data() + image.size() - recordSize, recordSize) != 0)
    return "its removal record is not the one pack appended";
  return "";
}

// Why a signed setup is not what pack can write, or "": the archive verified (its failure
// printed), the program of the setup's architecture, the certificate table.
std::string SignedSetupProblem(SigningRun& run, const ArchiveFile& archive) {
  ArchiveCheck check;
  // Its failure is printed as "setuptool pack: the signed setup: ENTRY: PROBLEM".
  if (!CheckArchiveEntries("pack: the signed setup", archive, "its archive", false, &check))
    return "its archive fails its test";
  ArchiveSummary summary;
  if (WalkArchiveHeaders(archive.path, [](const EntryInfo&) { return false; }, &summary) != ListingStatus::kOk)
    return "its archive is not found";
  const SetupProgram program = ReadSetupProgram(archive, summary.archiveOffset);
  if (!program.claimed) return "no program is in front of its archive";
  if (program.problem != PeProblem::kNone) return std::string("its program ") + PeProblemText(program.problem);
  if (program.architecture != run.architecture)
    return std::string("its program is no longer one for ") + PeArchitectureText(run.architecture) + " Windows";
  return SetupSignatureProblem(archive, &run.tableBytes);
}

std::string SigningFile(const SigningRun& run, int index) { return run.folder + "/" + kFolderFiles[index]; }

}  // namespace

bool CheckSigningTemplate(const std::string& command, std::string& error) {
  if (command.find(kIn) != std::string::npos && command.find(kOut) != std::string::npos) return true;
  error = "--sign needs a command that names the file to sign as {in} and the signed file as {out}";
  return false;
}

bool BeginSigning(SigningRun& run, const PackOutput& output, std::string& error) {
  std::string folder = output.path + ".XXXXXX";
  {
    InterruptsHeld held;
    if (mkdtemp(&folder[0])) RegisterInterruptFolder(folder.c_str(), kFolderFiles, 3);
    else folder.clear();
  }
  if (folder.empty()) {
    error = "cannot create a folder beside " + TerminalText(output.path) + " for signing: " + std::strerror(errno);
    return false;
  }
  run.folder = folder;
  return true;
}

void EndSigning(SigningRun& run) {
  if (run.folder.empty()) return;
  if (DIR* dir = opendir(run.folder.c_str())) {  // whatever the command left there too
    while (const dirent* entry = readdir(dir))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        unlink((run.folder + "/" + entry->d_name).c_str());
    closedir(dir);
  }
  rmdir(run.folder.c_str());
  ClearInterruptFolder();
  run.folder.clear();
}

bool SignUninstaller(SigningRun& run, const std::vector<uint8_t>& image, size_t recordSize,
                     std::vector<uint8_t>& signedBytes, std::string& error) {
  const std::string in = SigningFile(run, 0), out = SigningFile(run, 1);
  bool done = WriteWhole(in, image, error) && RunSigningCommand(run, in, out, "our uninstaller", error) &&
              ReadFolderFile(out, signedBytes, error);
  if (done) {
    const std::string problem = SignedUninstallerProblem(run, image, recordSize, signedBytes);
    if (!problem.empty()) error = "the signing command's uninstaller cannot be used: " + problem;
    done = problem.empty();
  }
  unlink(in.c_str());
  unlink(out.c_str());
  return done;
}

bool SignSetup(SigningRun& run, PackOutput& output, std::string& error) {
  if (std::fflush(output.file) != 0) {
    error = "cannot write " + TerminalText(output.temp) + ": " + std::strerror(errno);
    return false;
  }
  const std::string out = SigningFile(run, 2);
  if (!RunSigningCommand(run, output.temp, out, "the setup", error)) return false;
  ArchiveFile archive;
  if (!OpenArchiveFile("pack", out, &archive)) {
    error = "the signing command's setup cannot be read";
    return false;
  }
  const std::string problem = SignedSetupProblem(run, archive);
  if (!problem.empty()) {
    error = "the signing command's setup cannot be used: " + problem;
    return false;
  }
  // The signed file becomes the output's temporary file, which FinishOutput renames.
  FILE* file = std::fopen(out.c_str(), "r+b");
  if (!file) {
    error = "cannot open " + TerminalText(out) + ": " + std::strerror(errno);
    return false;
  }
  if (std::rename(out.c_str(), output.temp.c_str()) != 0) {
    error = "cannot rename " + TerminalText(out) + ": " + std::strerror(errno);
    std::fclose(file);
    return false;
  }
  std::fclose(output.file);
  output.file = file;
  return true;
}
