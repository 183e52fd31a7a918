// The payload's names as pack judges them (see payload_rules.h): the archive order, names the
// setup program could not create or would write over one another once folders are flattened,
// language files it would not recognise, the main program and uninstaller the install pass
// takes, and the names the product facts give. Every rule is the setup program's own
// (payload/entry_rules.h); this file says what it means for a publisher.
#include "payload/payload_rules.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "archive/extract_context.h"
#include "payload/entry_rules.h"
#include "payload/removal_plan.h"

namespace {

// Upper case as the Windows file system compares names: ASCII letters and the letters of
// the Western code page (Windows-1252).
uint8_t FoldCase(uint8_t c) {
  if (c >= 'a' && c <= 'z') return uint8_t(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return uint8_t(c - 32);
  if (c == 0x9A || c == 0x9C || c == 0x9E) return uint8_t(c - 16);
  if (c == 0xFF) return 0x9F;
  return c;
}

std::string Folded(const std::string& text) {
  std::string out(text);
  for (char& c : out) c = char(FoldCase(uint8_t(c)));
  return out;
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text; ++text) out.push_back(char(*text));
  return out;
}

const PayloadIssueLevel kError = PayloadIssueLevel::kError;
const PayloadIssueLevel kWarning = PayloadIssueLevel::kWarning;


// "C:\Program Files (x86)\" (23), a group name of up to 31 characters and a separator.
constexpr size_t kDefaultDestinationLength = 23 + 31 + 1;
constexpr size_t kLongestSafeBaseName = 259 - kDefaultDestinationLength;

// Why a name component cannot be created as a file name on Windows, or empty: the setup
// program's own guard, which pack applies to every component, not only the base name.
std::string ComponentProblem(const std::string& c) {
  const std::u16string wide = WidenedName(c);
  switch (UnsafeNameReasonOf(wide.c_str(), int(wide.size()))) {
    case kNameSafe:
      return "";
    case kNameEmpty:
      return "an empty folder or file name";
    case kNameFolderReference:
      return "the name \"" + c + "\", which is a folder reference";
    case kNameControlCharacter:
      return "a control character";
    case kNameReservedCharacter:
      for (char ch : c)
        if (std::strchr("<>:\"|?*", ch)) return std::string("the character '") + ch + "'";
      return "a reserved character";
    case kNameTrailingDotOrSpace:
      return "a name ending in a dot or space, which Windows drops";
    case kNameDevice:
      return "the reserved device name \"" + c + "\"";
  }
  return "";
}

// The language-file prefix a ".LNG" entry gives, by the setup's rule.
std::string LanguagePrefix(const std::string& name) {
  char16_t prefix[kPayloadNameCapacity];
  LanguageFilePrefixOf(WidenedName(name).c_str(), prefix);
  return Narrow(prefix);
}

// A language file's name against the first one's prefix: the setup offers the language by
// the two characters before ".LNG", and leaves the file out when that language is unchecked
// only if the code it finds after the prefix and "_" is the same.
void CheckLanguageFileName(const std::string& name, const std::string& firstPrefix,
                           std::vector<PayloadIssue>& issues) {
  const std::string base = PayloadBaseName(name);
  if (base.size() < 8 || base[base.size() - 7] != '_') {
    AddPayloadIssue(issues, kWarning, name,
        "a language file is named PREFIX_XX.LNG (a prefix, \"_\", a two-letter code); the setup "
        "program cannot take a language code from this name");
    return;
  }
  const std::string prefix = LanguagePrefix(name);
  if (Folded(prefix) != Folded(firstPrefix)) {
    AddPayloadIssue(issues, kWarning, name,
        "its prefix \"" + prefix + "\" differs from \"" + firstPrefix +
            "\" of the first language file; the setup program recognises language files "
            "and language-bound entries by the first prefix only");
    return;
  }
  const std::u16string wide = WidenedName(name);
  char16_t letters[3], bound[5];
  LanguageItemLetters(wide.c_str(), letters);
  for (char16_t& c : letters)
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
  EntryLanguageCodeText(wide.c_str(), int(firstPrefix.size()), bound);
  if (std::u16string(bound) != std::u16string(letters)) {
    AddPayloadIssue(issues, kWarning, name,
        "the setup program would offer its language but install it even when that language is unchecked: "
        "it looks for \"_\" and the code after the first folder and the first " +
            std::to_string(firstPrefix.size()) + " characters (the prefix, cut to " +
            std::to_string(kPayloadNameCapacity - 8) + " characters of a name of 31)");
  }
}

// Whether the setup program could create the entry's file: a name it takes whole, every
// component a valid Windows name, a file name (with kept folders: the whole path) that fits
// the usual destination's path.
void CheckCreatable(const std::string& name, bool keepFolders, std::vector<PayloadIssue>& issues) {
  if (name.size() >= kEntryNameCapacity) {
    AddPayloadIssue(issues, kError, name,
        "the name has " + std::to_string(name.size()) + " bytes; the setup program takes names of at most 259");
  }
  size_t from = 0;
  while (true) {
    size_t cut = name.find_first_of("\\/", from);
    std::string component = name.substr(from, cut == std::string::npos ? std::string::npos : cut - from);
    std::string problem = ComponentProblem(component);
    if (!problem.empty()) {
      AddPayloadIssue(issues, kError, name, "the setup program cannot create a file with " + problem);
      break;
    }
    if (cut == std::string::npos) break;
    from = cut + 1;
  }
  const std::string installed = InstalledName(name, keepFolders);
  if (name.size() < kEntryNameCapacity && installed.size() > kLongestSafeBaseName) {
    AddPayloadIssue(issues, kWarning, name,
        std::string(keepFolders ? "its path" : "its file name") + " has " + std::to_string(installed.size()) +
            " characters: in the usual destination (C:\\Program Files (x86)\\ and a group name, up to " +
            std::to_string(kDefaultDestinationLength) +
            " characters) its path would pass 259 characters, and the setup program could not install it");
  }
}

// With kept folders: paths that collide ignoring case, and a file where another entry needs a
// folder of the same path (or the other way round).
void CheckPathCollisions(const std::vector<std::string>& names, std::vector<PayloadIssue>& issues) {
  std::map<std::string, std::string> files, folders;  // folded path -> first entry with it
  for (const std::string& name : names) {
    const std::string path = InstalledName(name, true);
    for (size_t cut = path.find('\\'); cut != std::string::npos; cut = path.find('\\', cut + 1))
      folders.emplace(Folded(path.substr(0, cut)), name);
  }
  for (const std::string& name : names) {
    if (IsNeverInstalled(WidenedName(PayloadBaseName(name)).c_str())) continue;
    const std::string folded = Folded(InstalledName(name, true));
    auto folder = folders.find(folded);
    if (folder != folders.end())
      AddPayloadIssue(issues, kError, name,
          "it is a file where \"" + folder->second + "\" needs a folder of the same path");
    auto found = files.emplace(folded, name);
    if (!found.second)
      AddPayloadIssue(issues, kError, name,
          "its path collides with \"" + found.first->second + "\": the setup program compares paths ignoring case");
  }
}

// Without kept folders: one warning for all entries in subfolders, which the setup flattens.
void CheckFlattened(const std::vector<std::string>& names, std::vector<PayloadIssue>& issues) {
  size_t nested = 0;
  for (const std::string& name : names)
    if (name.find_first_of("\\/") != std::string::npos) ++nested;
  if (nested == 0) return;
  AddPayloadIssue(issues, kWarning, "",
      std::to_string(nested) + (nested == 1 ? " file lies" : " files lie") +
          " in subfolders: the setup program will install every file flat into one folder under its file "
          "name; to keep the folders, add the line Folders=Keep to the .INF");
}

}  // namespace

void AddPayloadIssue(std::vector<PayloadIssue>& issues, PayloadIssueLevel level, const std::string& entry,
                     const std::string& message) {
  issues.push_back(PayloadIssue{level, entry, message});
}

std::u16string WidenedName(const std::string& name) {
  std::u16string out;
  for (char c : name) out.push_back(char16_t(uint8_t(c)));
  return out;
}

std::string PayloadBaseName(const std::string& name) {
  return name.substr(size_t(BaseNameOffset(WidenedName(name).c_str())));
}

PayloadRole PayloadRoleOf(const std::string& name) {
  switch (ScanEntryKindOf(WidenedName(name).c_str())) {
    case Description:
      return PayloadRole::kDescription;
    case SetupInfo:
      return PayloadRole::kSetupInfo;
    case LanguageFile:
      return PayloadRole::kLanguageFile;
    default:
      return PayloadRole::kOther;
  }
}

void SortPayloadNames(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    PayloadRole ra = PayloadRoleOf(a), rb = PayloadRoleOf(b);
    if (ra != rb) return ra < rb;
    return a < b;
  });
}

void CheckPayloadNames(const std::vector<std::string>& names, bool keepFolders, std::vector<PayloadIssue>& issues) {
  bool haveDescription = false;
  std::vector<std::string> infs;
  std::string languagePrefix;
  bool haveLanguage = false;
  std::map<std::string, std::string> byBase;  // folded base name -> first entry with it
  for (const std::string& name : names) {
    CheckCreatable(name, keepFolders, issues);
    PayloadRole role = PayloadRoleOf(name);
    if (role == PayloadRole::kDescription) haveDescription = true;
    if (role == PayloadRole::kSetupInfo) infs.push_back(name);
    const std::string base = PayloadBaseName(name);
    if (role == PayloadRole::kLanguageFile) {
      if (!haveLanguage) languagePrefix = LanguagePrefix(name);
      haveLanguage = true;
      CheckLanguageFileName(name, languagePrefix, issues);
    }
    // The setup program never writes ".INF" entries, so only the others can collide.
    if (keepFolders || IsNeverInstalled(WidenedName(base).c_str())) continue;
    auto found = byBase.emplace(Folded(base), name);
    if (!found.second) {
      AddPayloadIssue(issues, kError, name,
          "its file name collides with \"" + found.first->second +
              "\": the setup program writes every entry into one folder under its file name alone");
    }
  }
  if (keepFolders)
    CheckPathCollisions(names, issues);
  else
    CheckFlattened(names, issues);
  if (!haveDescription) {
    AddPayloadIssue(issues, kWarning, "",
        "there is no FILE_ID.DIZ at the top of the folder: the setup program's title will show no product "
        "name and version");
  }
  if (infs.size() > 1) {
    for (size_t i = 1; i < infs.size(); ++i)
      AddPayloadIssue(issues, kWarning, infs[i],
          "more than one .INF entry: the setup program reads them all in order, and the values of \"" +
              infs[i] + "\" replace those of \"" + infs[0] + "\"");
  }
}

void CheckInstallResults(const std::vector<std::string>& names, bool exeFromInfo, bool keepFolders,
                         std::vector<PayloadIssue>& issues) {
  bool mainProgram = exeFromInfo, uninstaller = false;
  for (const std::string& name : names) {
    const std::string base = PayloadBaseName(name);
    if (keepFolders && InstalledName(name, true) != base) continue;  // the top level only
    const std::u16string wide = WidenedName(base);
    if (IsUninstallerName(wide.c_str())) {
      uninstaller = true;
    } else if (!mainProgram && IsMainProgramCandidate(wide.c_str())) {
      mainProgram = true;  // the first in archive order, as the install pass takes it
      if (base.size() >= size_t(kPayloadNameCapacity))
        AddPayloadIssue(issues, kWarning, name,
            "it becomes the main program, whose name the setup program keeps to " +
                std::to_string(kPayloadNameCapacity - 1) + " characters: the shortcuts would start \"" +
                base.substr(0, kPayloadNameCapacity - 1) + "\", which is not there");
    }
  }
  if (!mainProgram)
    AddPayloadIssue(issues, kWarning, "",
        "no main program: the .INF gives no \"Exe\" and no file is named K*.EXE, so the setup program "
        "will create no shortcuts");
  if (!uninstaller)
    AddPayloadIssue(issues, kWarning, "", "there is no UnInst.exe: the setup program will register no uninstaller");
}

void CheckPayloadFacts(const ProductFacts& facts, const std::vector<std::string>& names,
                       std::vector<PayloadIssue>& issues) {
  const std::string group = facts.group, program = facts.mainProgram, windowClass = WatchedWindowClass(facts);
  if (!IsSingleSafeNarrowName(facts.group))
    AddPayloadIssue(issues, kError, "",
        "the group name \"" + group + "\" is not a single folder name (no \\ or /, not . or .., no device "
        "name, no reserved or control character, no dot or space at its end): the setup program would "
        "create its folder, links and registry key elsewhere");
  if (!IsSingleSafeNarrowName(facts.mainProgram)) {
    AddPayloadIssue(issues, kError, "",
        "\"Exe\" names \"" + program + "\", which is not a plain file name: the shortcuts would start a "
        "program outside the installation");
  } else if (!program.empty()) {
    bool found = false;
    for (const std::string& n : names)
      // With kept folders the program must lie at the top, where the shortcuts look for it.
      if (!IsNeverInstalled(WidenedName(PayloadBaseName(n)).c_str()) &&
          Folded(InstalledName(n, KeepsFolders(facts))) == Folded(program))
        found = true;
    if (!found)
      AddPayloadIssue(issues, kError, "",
          "\"Exe\" names \"" + program + "\", but no entry of that name is in the payload: the shortcuts "
          "would start a missing program");
  }
  if (IsSystemWindowClass(windowClass.c_str()))
    AddPayloadIssue(issues, kError, "",
        "the window class \"" + windowClass + "\" (\"Class\", else the group name) is one of the system's own: "
        "the setup program and the uninstaller would close windows of the system (give another \"Class\")");
}
