// setuptool manifest Setup.exe --url URL: the winget manifest of a finished setup. The files
// are written complete into a private folder inside DIR and only then renamed to their
// names, so an error or an interrupt never leaves a half-written manifest file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "interrupt_cleanup.h"
#include "manifest_source.h"
#include "terminal_text.h"
#include "text_encoding.h"
#include "winget_manifest.h"

namespace {

const char kHelp[] =
    "Usage: setuptool manifest SETUP --url URL [-o DIR] [--id ID] [--license TEXT]\n"
    "                          [--codepage N]\n"
    "\n"
    "Writes the three files of a winget manifest (schema 1.10.0) for the finished setup\n"
    "program SETUP into DIR (default: the current folder; created when missing):\n"
    "ID.yaml (version), ID.installer.yaml and ID.locale.en-US.yaml. They describe an exe\n"
    "installer for the whole machine that asks for elevation itself: the architecture of\n"
    "SETUP's program, URL as the download address, the SHA-256 of SETUP, the switches\n"
    "/VERYSILENT (silent), /SILENT (silent with progress), /DIR=\"<INSTALLPATH>\" and\n"
    "/LOG=\"<LOGPATH>\", every exit code but 0 with its meaning, and the uninstall entry the\n"
    "setup writes (its key, the group name, is the ProductCode). SETUP is read whole and its\n"
    "payload verified.\n"
    "\n"
    "Options:\n"
    "  --url URL        where users download SETUP (http:// or https://); required\n"
    "  -o, --output DIR the folder for the three files\n"
    "  --id ID          the PackageIdentifier (default: the .INF's Publisher and the group,\n"
    "                   without spaces, e.g. KorvaneSamples.SampleNotepad)\n"
    "  --license TEXT   the License field (default: Proprietary)\n"
    "  --codepage N     ANSI code page of the payload's texts, as given to pack; default 1252\n"
    "\n"
    "PackageVersion is the ProductVersion of SETUP's version record, else the version in\n"
    "FILE_ID.DIZ's first line. PackageName is FILE_ID.DIZ's product name, ShortDescription\n"
    "its following lines (else its first line); PackageUrl and PublisherSupportUrl are the\n"
    ".INF's URL and HelpURL when it gives them.\n"
    "Exit status: 0 written, 1 SETUP is no setup program or its payload is damaged, or the\n"
    "manifest cannot be made from it, 2 bad arguments or files that cannot be read or written.\n";

const char kDefaultPublisher[] = "Korvane";  // what the setup's uninstall entry names without a Publisher
const char* const kPrivateNames[] = {"version", "installer", "locale"};

struct ManifestArgs {
  std::string setup, url, folder = ".", id, license = "Proprietary";
  int codePage = 1252;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "setuptool manifest: %s\n\n%s", message.c_str(), kHelp);
  return kExitUsage;
}

// 0 when parsed, else the exit code.
int ParseArgs(int argc, char** argv, ManifestArgs& a) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool valued = arg == "--url" || arg == "-o" || arg == "--output" || arg == "--id" || arg == "--license" ||
                        arg == "--codepage";
    if (valued && i + 1 >= argc) return UsageError(arg + " needs a value");
    if (arg == "--url") a.url = argv[++i];
    else if (arg == "-o" || arg == "--output") a.folder = argv[++i];
    else if (arg == "--id") a.id = argv[++i];
    else if (arg == "--license") a.license = argv[++i];
    else if (arg == "--codepage") a.codePage = std::atoi(argv[++i]);
    else if (!arg.empty() && arg[0] == '-') return UsageError("unknown option " + TerminalText(arg));
    else if (a.setup.empty()) a.setup = arg;
    else return UsageError("expected one SETUP");
  }
  if (a.setup.empty()) return UsageError("expected one SETUP");
  if (!IsWebAddress(a.url.c_str()) || a.url.size() > 2048)
    return UsageError("--url needs an http:// or https:// address without spaces, of at most 2048 characters");
  if (a.codePage < 1 || a.codePage > 65535 || !CodePageKnown(a.codePage))
    return UsageError("--codepage takes a code page number this system can convert");
  if (a.license.size() < 3 || a.license.size() > 512) return UsageError("--license needs 3 to 512 characters");
  return 0;
}

// The lines of FILE_ID.DIZ after its first, joined by spaces, up to an empty line; else its
// first line. Cut to the schema's 256 characters.
std::string ShortDescription(const std::string& description) {
  std::string first, rest;
  size_t at = 0;
  for (int line = 0; at < description.size(); ++line) {
    size_t end = description.find_first_of("\r\n", at);
    if (end == std::string::npos) end = description.size();
    std::string text = description.substr(at, end - at);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    at = end + (description.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (line == 0) first = text;
    else if (text.empty()) break;
    else rest += (rest.empty() ? "" : " ") + text;
  }
  std::string shown = rest.empty() ? first : rest;
  size_t characters = 0, cut = 0;
  for (; cut < shown.size(); ++cut)
    if ((static_cast<unsigned char>(shown[cut]) & 0xC0) != 0x80 && ++characters > 256) break;
  return shown.substr(0, cut);
}

// The package's facts from the setup's; false with `error` set when a required one is missing.
bool Describe(const ManifestArgs& a, const SetupSource& s, WingetPackage& p, std::string& error) {
  const ProductFacts& f = s.facts;
  const int cp = a.codePage;
  p.architecture = s.architecture;
  p.installerUrl = a.url;
  p.sha256 = s.sha256;
  p.productCode = CodePageToUtf8(f.group, cp);
  p.publisher = CodePageToUtf8(f.publisher[0] ? f.publisher : kDefaultPublisher, cp);
  p.displayVersion = CodePageToUtf8(f.version, cp);
  p.version = s.recordVersion.empty() ? p.displayVersion : s.recordVersion;
  p.packageName = CodePageToUtf8(f.product[0] ? f.product : f.group, cp);
  p.shortDescription = ShortDescription(CodePageToUtf8(s.description.c_str(), cp));
  if (p.shortDescription.size() < 3) p.shortDescription = p.packageName + " setup";
  p.license = a.license;
  p.packageUrl = CodePageToUtf8(f.url, cp);
  p.supportUrl = CodePageToUtf8(f.helpUrl, cp);
  p.identifier = a.id.empty() ? PackageIdentifierOf(p.publisher, p.productCode) : a.id;
  std::string problem;
  if (p.productCode.empty()) error = "names no group (no \"Group\" in its .INF and no product in FILE_ID.DIZ)";
  else if (!(problem = PackageVersionProblem(p.version)).empty())
    error = "gives no usable version: \"" + TerminalText(p.version) + "\" " + problem +
            " (give one in FILE_ID.DIZ, \"Product Version 1.2\", or pack --version-info ProductVersion=1.2)";
  else if (!(problem = PackageIdentifierProblem(p.identifier)).empty())
    error = "gives the package identifier \"" + TerminalText(p.identifier) + "\", which " + problem +
            (a.id.empty() ? " (give one with --id)" : "");
  return error.empty();
}

bool WriteWhole(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size()) && fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

// Writes the files into a private folder in `folder`, then renames them into it.
bool WriteFiles(const std::string& folder, const std::vector<WingetFile>& files, std::string& error) {
  mkdir(folder.c_str(), 0777);  // an existing one is fine; a failure shows below
  for (const WingetFile& f : files) {
    struct stat st;
    if (lstat((folder + "/" + f.name).c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      error = TerminalText(folder + "/" + f.name) + " exists and is not a regular file";
      return false;
    }
  }
  std::string temp = folder + "/.setuptool-manifest.XXXXXX";
  {
    InterruptsHeld held;
    if (mkdtemp(&temp[0])) RegisterInterruptFolder(temp.c_str(), kPrivateNames, 3);
    else temp.clear();
  }
  if (temp.empty()) {
    error = "cannot write into " + TerminalText(folder) + ": " + std::strerror(errno);
    return false;
  }
  bool ok = true;
  for (size_t i = 0; i < files.size() && ok; ++i) ok = WriteWhole(temp + "/" + kPrivateNames[i], files[i].text);
  if (!ok) error = "cannot write into " + TerminalText(folder) + ": " + std::strerror(errno);
  for (size_t i = 0; i < files.size() && ok; ++i) {
    ok = rename((temp + "/" + kPrivateNames[i]).c_str(), (folder + "/" + files[i].name).c_str()) == 0;
    if (!ok) error = "cannot rename into " + TerminalText(folder + "/" + files[i].name) + ": " + std::strerror(errno);
  }
  for (const char* name : kPrivateNames) unlink((temp + "/" + name).c_str());
  rmdir(temp.c_str());
  ClearInterruptFolder();
  return ok;
}

}  // namespace

int RunManifestCommand(int argc, char** argv) {
  if (argc == 2 && IsHelpArgument(argv[1])) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  ManifestArgs args;
  if (const int usage = ParseArgs(argc, argv, args)) return usage;
  ArchiveFile archive;
  if (!OpenArchiveFile("manifest", args.setup, &archive)) return kExitUsage;
  const std::string shown = TerminalText(args.setup);
  SetupSource source;
  WingetPackage package;
  std::string error;
  if (!ReadSetupSource(archive, &source, &error) || !Describe(args, source, package, error)) {
    std::fprintf(stderr, "setuptool manifest: %s %s\n", shown.c_str(), error.c_str());
    return kExitFailed;
  }
  const std::vector<WingetFile> files = WingetManifestFiles(package);
  if (!WriteFiles(args.folder, files, error)) {
    std::fprintf(stderr, "setuptool manifest: %s\n", error.c_str());
    return kExitUsage;
  }
  for (const WingetFile& f : files) std::printf("%s\n", TerminalText(args.folder + "/" + f.name).c_str());
  return kExitOk;
}
