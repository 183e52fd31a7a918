// The setup program's payload conventions (see payload_rules.h).
#include "pack/payload_rules.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "archive/extract_context.h"

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

bool EndsWithNoCase(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (FoldCase(uint8_t(text[text.size() - n + i])) != FoldCase(uint8_t(suffix[i]))) return false;
  return true;
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

// Reserved device names of Windows: a file of that name (with any extension) cannot be made.
bool IsDeviceName(const std::string& component) {
  std::string stem = Folded(component.substr(0, component.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* d : kDevices)
    if (stem == d) return true;
  if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
      stem[3] >= '1' && stem[3] <= '9')
    return true;
  return false;
}

// Why a name component cannot be created as a file name on Windows, or empty.
std::string ComponentProblem(const std::string& c) {
  if (c.empty()) return "an empty folder or file name";
  if (c == "." || c == "..") return "the name \"" + c + "\", which is a folder reference";
  for (unsigned char ch : c) {
    if (ch < 32) return "a control character";
    if (std::strchr("<>:\"|?*", ch)) return std::string("the character '") + char(ch) + "'";
  }
  if (c.back() == '.' || c.back() == ' ') return "a name ending in a dot or space, which Windows drops";
  if (IsDeviceName(c)) return "the reserved device name \"" + c + "\"";
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

struct InfKey {
  const char* key;
  size_t width;
};
const InfKey kInfKeys[] = {{"ID", 3}, {"Group", 31}, {"Class", 31}, {"Exe", 31}};

// The value the setup reads for a key: the text after the first occurrence of the key, when
// "=" follows it directly, up to the line end. Returns false when the key counts as absent.
bool ReadInfValue(const std::string& text, const std::string& key, std::string& value, size_t& at) {
  at = text.find(key);
  if (at == std::string::npos || at + key.size() >= text.size() || text[at + key.size()] != '=') return false;
  size_t start = at + key.size() + 1;
  size_t end = text.find_first_of("\r\n", start);
  value = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  return true;
}

}  // namespace

std::string PayloadBaseName(const std::string& name) {
  size_t cut = name.find_last_of("\\/");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

PayloadRole PayloadRoleOf(const std::string& name) {
  if (name.size() < 5) return PayloadRole::kOther;  // the scan pass ignores such short names
  if (Folded(name) == "FILE_ID.DIZ") return PayloadRole::kDescription;
  if (EndsWithNoCase(name, ".INF")) return PayloadRole::kSetupInfo;
  if (EndsWithNoCase(name, ".LNG")) return PayloadRole::kLanguageFile;
  return PayloadRole::kOther;
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
      if (base.size() < 8 || base[base.size() - 7] != '_') {
        Add(issues, kWarning, name,
            "a language file is named PREFIX_XX.LNG (a prefix, \"_\", a two-letter code); the setup "
            "program cannot take a language code from this name");
      } else {
        std::string prefix = base.substr(0, base.size() - 7);
        if (!haveLanguage) {
          languagePrefix = prefix;
        } else if (Folded(prefix) != Folded(languagePrefix)) {
          Add(issues, kWarning, name,
              "its prefix \"" + prefix + "\" differs from \"" + languagePrefix +
                  "\" of the first language file; the setup program recognises language files "
                  "and language-bound entries by the first prefix only");
        }
      }
      haveLanguage = true;
    }
    // The setup program never writes ".INF" entries, so only the others can collide.
    if (role == PayloadRole::kSetupInfo && base.size() > 4) continue;
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
  size_t at;
  return ReadInfValue(Text(data, size), "Group", value, at);
}

bool SetupInfoSetsExe(const uint8_t* data, size_t size) {
  std::string value;
  size_t at;
  return ReadInfValue(Text(data, size), "Exe", value, at) && !value.empty();
}

void CheckInstallResults(const std::vector<std::string>& names, bool exeFromInfo, std::vector<PayloadIssue>& issues) {
  bool mainProgram = exeFromInfo, uninstaller = false;
  for (const std::string& name : names) {
    const std::string base = PayloadBaseName(name);
    if (Folded(base) == "UNINST.EXE") uninstaller = true;
    if (base.size() > 4 && FoldCase(uint8_t(base[0])) == 'K' && EndsWithNoCase(base, ".EXE")) mainProgram = true;
  }
  if (!mainProgram)
    Add(issues, kWarning, "",
        "no main program: the .INF gives no \"Exe\" and no file is named K*.EXE, so the setup program "
        "will create no shortcuts");
  if (!uninstaller)
    Add(issues, kWarning, "", "there is no UnInst.exe: the setup program will register no uninstaller");
}

void CheckSetupInfo(const std::string& name, const uint8_t* data, size_t size,
                    const std::vector<std::string>& names, std::vector<PayloadIssue>& issues) {
  const std::string text = Text(data, size);
  for (const InfKey& k : kInfKeys) {
    std::string value;
    size_t at;
    const std::string key = k.key;
    if (!ReadInfValue(text, key, value, at)) {
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
    if (value.size() > k.width) {
      Add(issues, kError, name,
          "the value of \"" + key + "\" has " + std::to_string(value.size()) +
              " characters; the setup program keeps only " + std::to_string(k.width) + " (\"" +
              value.substr(0, k.width) + "\")");
      continue;
    }
    if (key == "Exe" && !value.empty()) {
      bool found = false;
      for (const std::string& n : names)
        if (Folded(PayloadBaseName(n)) == Folded(value)) found = true;
      if (!found)
        Add(issues, kWarning, name,
            "\"Exe\" names \"" + value + "\", but no entry of that name is in the payload: the shortcuts "
            "would point to a missing program");
    }
  }
}

void CheckDescription(const std::string& name, const uint8_t* data, size_t size, bool groupFromInfo,
                      std::vector<PayloadIssue>& issues) {
  std::string line = Text(data, std::min<size_t>(size, 259));
  size_t end = line.find_first_of("\n\r([");
  if (end == 0 || line.empty()) {
    Add(issues, kWarning, name, "its first line gives no product name");
    return;
  }
  if (end != std::string::npos) line.resize(end);
  if (!line.empty() && line.back() == ' ') line.pop_back();
  size_t version = line.find(" Version ");
  std::string product = version == std::string::npos ? line : line.substr(0, version);
  if (product.size() > 127) product.resize(127);
  if (!groupFromInfo && product.size() > 31) {
    Add(issues, kWarning, name,
        "the product name has " + std::to_string(product.size()) +
            " characters and becomes the program group's name, which keeps only 31 (\"" + product.substr(0, 31) +
            "\"); give a shorter \"Group\" in the .INF");
  }
}

void CheckLanguageFile(const std::string& name, const uint8_t* data, size_t size,
                       std::vector<PayloadIssue>& issues) {
  if (size <= 7) return;  // reported by CheckPayloadSize
  // The setup program reads at most 259 characters, UTF-16 after a byte order mark.
  std::u16string text;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (size_t i = 2; i + 1 < size && text.size() < 259; i += 2) {
      char16_t c = char16_t(data[i] | data[i + 1] << 8);
      if (!c) break;
      text.push_back(c);
    }
  } else {
    for (size_t i = 0; i < size && text.size() < 259 && data[i]; ++i) text.push_back(data[i]);
  }
  if (text.empty() || text[0] != u'[') {
    Add(issues, kWarning, name, "a language file must start with \"[\"; the setup program offers no language for it");
    return;
  }
  size_t at = text.find(u"Language");
  if (at == std::u16string::npos) {
    Add(issues, kWarning, name,
        "no \"Language\" within its first 259 characters; the setup program offers no language for it");
    return;
  }
  size_t start = at + 9;  // "Language" and the character after it (normally "=")
  size_t end = start < text.size() ? text.find_first_of(u"(=\r\n", start) : start;
  if (start >= text.size() || end == start)
    Add(issues, kWarning, name,
        "the first \"Language\" in it is not followed by a name; the setup program offers no language for it");
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
