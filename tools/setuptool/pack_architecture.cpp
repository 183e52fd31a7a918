// The setup's architecture and the main program's (see pack_architecture.h).
#include "pack_architecture.h"

#include <unistd.h>

#include <algorithm>

#include "payload/entry_rules.h"
#include "payload/removal_plan.h"

namespace {

// The bytes of a program read for its headers. They fit in the first page or two of every
// program a compiler writes; one whose headers do not fit is not judged.
constexpr size_t kHeadBytes = 65536;

// The first bytes of the file (at most kHeadBytes) and its size; false when it cannot be
// read now (packing it reports that).
bool ReadHead(const ListedFolder& folder, const FolderFile& file, std::vector<uint8_t>& head, uint64_t& size) {
  if (file.content) {
    size = file.content->size();
    head.assign(file.content->begin(), file.content->begin() + std::min(file.content->size(), kHeadBytes));
    return true;
  }
  std::string error;
  FolderFileReader reader;
  reader.fd = OpenListedFile(folder, file, size, error);
  if (reader.fd < 0) return false;
  head.resize(size_t(std::min<uint64_t>(size, kHeadBytes)));
  const bool read = ReadFolderFilePiece(&reader, 0, head.data(), head.size()) == 0;
  close(reader.fd);
  return read;
}

std::string Folded(std::string name) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return name;
}

}  // namespace

PeArchitecture ParseArchitecture(const std::string& text) {
  if (text == "x86") return PeArchitecture::kX86;
  if (text == "x64") return PeArchitecture::kX64;
  return PeArchitecture::kOther;
}

std::string StubFileName(PeArchitecture architecture, const std::string& program) {
  return architecture == PeArchitecture::kX64 ? "x64/" + program : program;
}

std::string MainProgramEntry(const std::vector<std::string>& names, const std::map<std::string, std::string>& texts) {
  const std::string program = Folded(PredictInstallation(names, texts).mainProgram);
  if (program.empty()) return std::string();
  for (const std::string& name : names) {
    const std::string base = PayloadBaseName(name);
    if (!IsNeverInstalled(WidenedName(base).c_str()) && Folded(base) == program) return name;
  }
  return std::string();
}

void CheckMainProgramArchitecture(PeArchitecture setup, const ListedFolder& folder, const FolderFile& file,
                                  const std::string& entry, std::vector<PayloadIssue>& issues) {
  std::vector<uint8_t> head;
  uint64_t size = 0;
  PeLayout layout;
  if (!ReadHead(folder, file, head, size) || ReadPeHeaders(head.data(), head.size(), size, &layout) != PeProblem::kNone)
    return;
  const PeArchitecture program = PeArchitectureOf(layout);
  if (program == PeArchitecture::kX64 && setup == PeArchitecture::kX86) {
    issues.push_back({PayloadIssueLevel::kWarning, entry,
                      "the main program is a 64-bit (x64) Windows program, but the setup is a 32-bit (x86) one: "
                      "it would install into \"Program Files (x86)\" and the registry's 32-bit view; give "
                      "--arch x64 for a 64-bit setup"});
  } else if (program == PeArchitecture::kX86 && setup == PeArchitecture::kX64) {
    issues.push_back({PayloadIssueLevel::kWarning, entry,
                      "the main program is a 32-bit (x86) Windows program, but the setup is a 64-bit (x64) one: "
                      "it runs, but it is installed into \"Program Files\" and the registry's 64-bit view, not where "
                      "Windows keeps 32-bit programs; a 32-bit product normally installs with the 32-bit setup "
                      "(leave out --arch x64)"});
  }
}
