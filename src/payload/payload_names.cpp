// The setup program's payload conventions (see payload_rules.h). Every rule the setup
// applies comes from payload/, the code the setup program runs itself; this file adds the
// packer's view: what a publisher should hear about.
#include "pack/payload_rules.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "archive/extract_context.h"
#include "payload/entry_rules.h"
#include "payload/text_rules.h"

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

// An 8-bit name with each byte widened, as the payload rules take it: every character they
// single out is ASCII, which the code page maps to itself.
std::u16string Wide(const std::string& text) {
  std::u16string out;
  for (char c : text) out.push_back(char16_t(uint8_t(c)));
  return out;
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text; ++text) out.push_back(char(*text));
  return out;
}

void Add(std::vector<PayloadIssue>& issues, PayloadIssueLevel level, const std::string& entry,
         const std::string& message) {
  issues.push_back(PayloadIssue{level, entry, message});
}

// "C:\Program Files (x86)\" (23), a group name of up to 31 characters and a separator.
constexpr size_t kDefaultDestinationLength = 23 + 31 + 1;
constexpr size_t kLongestSafeBaseName = 259 - kDefaultDestinationLength;

const PayloadIssueLevel kError = PayloadIssueLevel::kError;
const PayloadIssueLevel kWarning = PayloadIssueLevel::kWarning;

// Why a name component cannot be created as a file name on Windows, or empty: the setup
// program's own guard, which pack applies to every component, not only the base name.
std::string ComponentProblem(const std::string& c) {
  const std::u16string wide = Wide(c);
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

std::string Text(const uint8_t* data, size_t size) {
  if (size == 0) return std::string();  // an empty file's buffer may be no buffer at all
  const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  return std::string(reinterpret_cast<const char*>(data), nul ? size_t(nul - data) : size);
}

size_t LineOf(const std::string& text, size_t pos) {
  return size_t(std::count(text.begin(), text.begin() + ptrdiff_t(pos), '\n')) + 1;
}

// The value the setup reads for a key, by the setup's own rule. Returns false when the key
// counts as absent.
bool ReadInfValue(const std::string& text, const char* key, std::string& value) {
  int length = 0;
  const char* at = FindSetupInfoValue(text.c_str(), key, &length);
  if (!at) return false;
  value.assign(at, size_t(length));
  return true;
}

// The language-file prefix a ".LNG" entry gives, by the setup's rule.
std::string LanguagePrefix(const std::string& name) {
  char16_t prefix[kPayloadNameCapacity];
  LanguageFilePrefixOf(Wide(name).c_str(), prefix);
  return Narrow(prefix);
}

// A language file's name against the first one's prefix: the setup offers the language by
// the two characters before ".LNG", and leaves the file out when that language is unchecked
// only if the code it finds after the prefix and "_" is the same.
void CheckLanguageFileName(const std::string& name, const std::string& firstPrefix,
                           std::vector<PayloadIssue>& issues) {
  const std::string base = PayloadBaseName(name);
  if (base.size() < 8 || base[base.size() - 7] != '_') {
    Add(issues, kWarning, name,
        "a language file is named PREFIX_XX.LNG (a prefix, \"_\", a two-letter code); the setup "
        "program cannot take a language code from this name");
    return;
  }
  const std::string prefix = LanguagePrefix(name);
  if (Folded(prefix) != Folded(firstPrefix)) {
    Add(issues, kWarning, name,
        "its prefix \"" + prefix + "\" differs from \"" + firstPrefix +
            "\" of the first language file; the setup program recognises language files "
            "and language-bound entries by the first prefix only");
    return;
  }
  const std::u16string wide = Wide(name);
  char16_t letters[3], bound[5];
  LanguageItemLetters(wide.c_str(), letters);
  for (char16_t& c : letters)
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
  EntryLanguageCodeText(wide.c_str(), int(firstPrefix.size()), bound);
  if (std::u16string(bound) != std::u16string(letters)) {
    Add(issues, kWarning, name,
        "the setup program would offer its language but install it even when that language is unchecked: "
        "it looks for \"_\" and the code after the first folder and the first " +
            std::to_string(firstPrefix.size()) + " characters (the prefix, cut to " +
            std::to_string(kPayloadNameCapacity - 8) + " characters of a name of 31)");
  }
}

}  // namespace

std::string PayloadBaseName(const std::string& name) {
  return name.substr(size_t(BaseNameOffset(Wide(name).c_str())));
}

PayloadRole PayloadRoleOf(const std::string& name) {
  switch (ScanEntryKindOf(Wide(name).c_str())) {
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

void CheckPayloadNames(const std::vector<std::string>& names, std::vector<PayloadIssue>& issues) {
  bool haveDescription = false;
  std::vector<std::string> infs;
  std::string languagePrefix;
  bool haveLanguage = false;
  std::map<std::string, std::string> byBase;  // folded base name -> first entry with it
  for (const std::string& name : names) {
    if (name.size() >= kEntryNameCapacity) {
      Add(issues, kError, name,
          "the name has " + std::to_string(name.size()) + " bytes; the setup program takes names of at most 259");
    }
    size_t from = 0;
    while (true) {
      size_t cut = name.find_first_of("\\/", from);
      std::string component = name.substr(from, cut == std::string::npos ? std::string::npos : cut - from);
      std::string problem = ComponentProblem(component);
      if (!problem.empty()) {
        Add(issues, kError, name, "the setup program cannot create a file with " + problem);
        break;
      }
      if (cut == std::string::npos) break;
      from = cut + 1;
    }
    PayloadRole role = PayloadRoleOf(name);
    if (role == PayloadRole::kDescription) haveDescription = true;
    if (name.size() < kEntryNameCapacity && PayloadBaseName(name).size() > kLongestSafeBaseName) {
      Add(issues, kWarning, name,
          "its file name has " + std::to_string(PayloadBaseName(name).size()) +
              " characters: in the usual destination (C:\\Program Files (x86)\\ and a group name, up to " +
              std::to_string(kDefaultDestinationLength) +
              " characters) its path would pass 259 characters, and the setup program could not install it");
    }
    if (role == PayloadRole::kSetupInfo) infs.push_back(name);
    const std::string base = PayloadBaseName(name);
    if (role == PayloadRole::kLanguageFile) {
      if (!haveLanguage) languagePrefix = LanguagePrefix(name);
      haveLanguage = true;
      CheckLanguageFileName(name, languagePrefix, issues);
    }
    // The setup program never writes ".INF" entries, so only the others can collide.
    if (IsNeverInstalled(Wide(base).c_str())) continue;
    auto found = byBase.emplace(Folded(base), name);
    if (!found.second) {
      Add(issues, kError, name,
          "its file name collides with \"" + found.first->second +
              "\": the setup program writes every entry into one folder under its file name alone");
    }
  }
  if (!haveDescription) {
    Add(issues, kWarning, "",
        "there is no FILE_ID.DIZ at the top of the folder: the setup program's title will show no product "
        "name and version");
  }
  if (infs.size() > 1) {
    for (size_t i = 1; i < infs.size(); ++i)
      Add(issues, kWarning, infs[i],
          "more than one .INF entry: the setup program reads them all in order, and the values of \"" +
              infs[i] + "\" replace those of \"" + infs[0] + "\"");
  }
}

void CheckPayloadSize(const std::string& name, uint64_t size, std::vector<PayloadIssue>& issues) {
  if (size >= 0x80000000ull) {
    Add(issues, kError, name, "entries of 2 GiB or more cannot be stored in the archive");
    return;
  }
  PayloadRole role = PayloadRoleOf(name);
  if (role != PayloadRole::kOther && size >= kMemoryEntryLimit) {
    Add(issues, kError, name,
        "the setup program reads this entry into memory, which it does only up to " +
            std::to_string(kMemoryEntryLimit >> 20) + " MB");
  }
  if (role == PayloadRole::kLanguageFile && size <= 7) {
    Add(issues, kWarning, name, "a language file of 7 bytes or less is ignored by the setup program");
  }
}

bool SetupInfoSetsGroup(const uint8_t* data, size_t size) {
  std::string value;
  return ReadInfValue(Text(data, size), "Group", value);
}

bool SetupInfoSetsExe(const uint8_t* data, size_t size) {
  std::string value;
  return ReadInfValue(Text(data, size), "Exe", value) && !value.empty();
}

void CheckInstallResults(const std::vector<std::string>& names, bool exeFromInfo, std::vector<PayloadIssue>& issues) {
  bool mainProgram = exeFromInfo, uninstaller = false;
  for (const std::string& name : names) {
    const std::string base = PayloadBaseName(name);
    const std::u16string wide = Wide(base);
    if (IsUninstallerName(wide.c_str())) {
      uninstaller = true;
    } else if (!mainProgram && IsMainProgramCandidate(wide.c_str())) {
      mainProgram = true;  // the first in archive order, as the install pass takes it
      if (base.size() >= size_t(kPayloadNameCapacity))
        Add(issues, kWarning, name,
            "it becomes the main program, whose name the setup program keeps to " +
                std::to_string(kPayloadNameCapacity - 1) + " characters: the shortcuts would start \"" +
                base.substr(0, kPayloadNameCapacity - 1) + "\", which is not there");
    }
  }
  if (!mainProgram)
    Add(issues, kWarning, "",
        "no main program: the .INF gives no \"Exe\" and no file is named K*.EXE, so the setup program "
        "will create no shortcuts");
  if (!uninstaller)
    Add(issues, kWarning, "", "there is no UnInst.exe: the setup program will register no uninstaller");
}

void CheckSetupInfo(const std::string& name, const uint8_t* data, size_t size, std::vector<PayloadIssue>& issues) {
  const std::string text = Text(data, size);
  for (const SetupInfoKey& k : kSetupInfoKeys) {
    std::string value;
    const std::string key = k.key;
    const size_t width = size_t(k.width);
    if (!ReadInfValue(text, k.key, value)) {
      size_t first = text.find(key);
      size_t meant = text.find(key + "=");
      if (first != std::string::npos && meant != std::string::npos) {
        Add(issues, kWarning, name,
            "\"" + key + "=\" on line " + std::to_string(LineOf(text, meant)) +
                " is ignored: the setup program reads only the first \"" + key + "\" in the text, on line " +
                std::to_string(LineOf(text, first)) + ", and that one is not followed by \"=\"");
      } else if (first != std::string::npos) {
        size_t lineStart = text.rfind('\n', first);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        if (first == lineStart)
          Add(issues, kWarning, name,
              "the key \"" + key + "\" on line " + std::to_string(LineOf(text, first)) +
                  " is not followed directly by \"=\"; the setup program ignores it");
      }
      continue;
    }
    const size_t at = text.find(key);  // the occurrence the setup read
    if (at > 0 && (std::isalnum(uint8_t(text[at - 1])) || text[at - 1] == '_')) {
      Add(issues, kWarning, name,
          "the setup program takes \"" + key + "\" from inside a longer word on line " +
              std::to_string(LineOf(text, at)) + " (the first \"" + key +
              "\" in the text counts wherever it stands), so it reads \"" + value + "\" as its value");
    }
    if (value.size() > width) {
      Add(issues, kError, name,
          "the value of \"" + key + "\" has " + std::to_string(value.size()) +
              " characters; the setup program keeps only " + std::to_string(width) + " (\"" +
              value.substr(0, width) + "\")");
      continue;
    }
  }
}

ProductFacts ReadPayloadFacts(const std::vector<std::string>& names, const std::map<std::string, std::string>& texts) {
  ProductFacts facts = {};
  for (const std::string& name : names) {
    const PayloadRole role = PayloadRoleOf(name);
    if (role != PayloadRole::kDescription && role != PayloadRole::kSetupInfo) continue;
    auto it = texts.find(name);
    const char* text = it == texts.end() ? "" : it->second.c_str();
    if (role == PayloadRole::kDescription) ReadDescriptionFacts(text, &facts);
    else ReadSetupInfoFacts(text, &facts);
  }
  return facts;
}

void CheckPayloadFacts(const ProductFacts& facts, const std::vector<std::string>& names,
                       std::vector<PayloadIssue>& issues) {
  const std::string group = facts.group, program = facts.mainProgram, windowClass = WatchedWindowClass(facts);
  if (!IsSingleSafeNarrowName(facts.group))
    Add(issues, kError, "",
        "the group name \"" + group + "\" is not a single folder name (no \\ or /, not . or .., no device "
        "name, no reserved or control character, no dot or space at its end): the setup program would "
        "create its folder, links and registry key elsewhere");
  if (!IsSingleSafeNarrowName(facts.mainProgram)) {
    Add(issues, kError, "",
        "\"Exe\" names \"" + program + "\", which is not a plain file name: the shortcuts would start a "
        "program outside the installation");
  } else if (!program.empty()) {
    bool found = false;
    for (const std::string& n : names)
      if (!IsNeverInstalled(Wide(PayloadBaseName(n)).c_str()) && Folded(PayloadBaseName(n)) == Folded(program))
        found = true;
    if (!found)
      Add(issues, kError, "",
          "\"Exe\" names \"" + program + "\", but no entry of that name is in the payload: the shortcuts "
          "would start a missing program");
  }
  if (IsSystemWindowClass(windowClass.c_str()))
    Add(issues, kError, "",
        "the window class \"" + windowClass + "\" (\"Class\", else the group name) is one of the system's own: "
        "the setup program and the uninstaller would close windows of the system (give another \"Class\")");
}

void CheckDescription(const std::string& name, const uint8_t* data, size_t size, bool groupFromInfo,
                      std::vector<PayloadIssue>& issues) {
  DescriptionLine line;
  ReadDescriptionLine(Text(data, size).c_str(), &line);
  const std::string product = line.product;
  if (product.empty()) {
    Add(issues, kWarning, name, "its first line gives no product name");
    return;
  }
  if (line.productLength >= int(sizeof line.product))
    Add(issues, kWarning, name,
        "the product name has " + std::to_string(line.productLength) + " characters; the setup program shows only " +
            std::to_string(sizeof line.product - 1));
  if (line.versionLength >= int(sizeof line.version))
    Add(issues, kWarning, name,
        "the version has " + std::to_string(line.versionLength) + " characters; the setup program shows only " +
            std::to_string(sizeof line.version - 1) + " (\"" + line.version + "\")");
  const size_t width = size_t(kSetupInfoKeys[1].width);  // the group name's, which it fills
  if (!groupFromInfo && product.size() > width) {
    Add(issues, kWarning, name,
        "the product name has " + std::to_string(line.productLength) +
            " characters and becomes the program group's name, which keeps only 31 (\"" + product.substr(0, width) +
            "\"); give a shorter \"Group\" in the .INF");
  }
}

void CheckLanguageFile(const std::string& name, const uint8_t* data, size_t size,
                       std::vector<PayloadIssue>& issues) {
  if (size <= kShortestIgnoredLanguageFile) return;  // reported by CheckPayloadSize
  // What the setup program decodes: 8-bit text is widened byte by byte here, which keeps
  // every character the reading looks for.
  char16_t text[kLanguageFileReadCharacters + 1] = {};
  const uint32_t bytes = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(size);
  if (IsUtf16LanguageFile(data, bytes)) {
    DecodeUtf16LanguageFile(data, bytes, text, kLanguageFileReadCharacters + 1);
  } else {
    for (uint32_t i = 0; i < bytes && i < uint32_t(kLanguageFileReadCharacters) && data[i]; ++i) text[i] = data[i];
  }
  int start = 0, end = 0;
  if (FindLanguageName(text, &start, &end)) return;
  if (text[0] != u'[') {
    Add(issues, kWarning, name, "a language file must start with \"[\"; the setup program offers no language for it");
  } else if (std::u16string(text).find(u"Language") == std::u16string::npos) {
    Add(issues, kWarning, name,
        "no \"Language\" within its first 259 characters; the setup program offers no language for it");
  } else {
    Add(issues, kWarning, name,
        "the first \"Language\" in it is not followed by a name; the setup program offers no language for it");
  }
}

bool CheckStubSize(uint64_t size, std::vector<PayloadIssue>& issues) {
  if (size >= 1 && size <= 6) {
    Add(issues, kError, "",
        "the stub has " + std::to_string(size) +
            " bytes; the setup program finds an archive only at offset 0 or from offset 7 on");
    return false;
  }
  if (size > kLastArchiveOffset) {
    Add(issues, kError, "",
        "the stub has " + std::to_string(size) + " bytes, so the archive would start at offset " +
            std::to_string(size) + ", beyond 249,996, where the setup program no longer looks for it");
    return false;
  }
  return true;
}

void CheckStub(const uint8_t* stub, size_t size, std::vector<PayloadIssue>& issues) {
  if (!CheckStubSize(size, issues)) return;
  // Something in the stub that the setup program would take for the archive's start: the
  // marker at offset 0, or from offset 7 on the marker followed by the main header's type.
  const size_t typeOffset = kMarkerBytes + kFieldBlockType;
  if (size >= size_t(kMarkerBytes) && std::memcmp(stub, kRarMarker, kMarkerBytes) == 0) {
    Add(issues, kError, "", "the stub begins with an archive marker; the setup program would read the stub as its archive");
    return;
  }
  for (size_t i = kMarkerBytes; i + kMarkerBytes <= size; ++i) {
    if (std::memcmp(stub + i, kRarMarker, kMarkerBytes) != 0) continue;
    // The main header's type byte may already be the archive's own first bytes (the marker).
    uint8_t type = i + typeOffset < size ? stub[i + typeOffset] : kRarMarker[i + typeOffset - size];
    if (type == kBlockMain) {
      Add(issues, kError, "",
          "the stub holds an archive marker at offset " + std::to_string(i) +
              "; the setup program would take it for the start of its archive");
      return;
    }
  }
}
