// The payload's small texts as pack judges them (see payload_rules.h): the installation
// description (".INF"), the product description ("FILE_ID.DIZ") and the language files, read
// by the setup program's own rules (payload/text_rules.h, payload/product_facts.h), with a
// word for the publisher wherever the setup would miss, cut or misread what was meant.
#include "payload/payload_rules.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "payload/text_rules.h"

namespace {

const PayloadIssueLevel kError = PayloadIssueLevel::kError;
const PayloadIssueLevel kWarning = PayloadIssueLevel::kWarning;


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

// The line in `text` that seems to give `key` (after spaces, the key in any case, spaces,
// "="), or npos.
size_t LineMeaningKey(const std::string& text, const std::string& key) {
  for (size_t line = 0; line < text.size();) {
    size_t at = text.find_first_not_of(" \t", line);
    if (at != std::string::npos && text.size() - at >= key.size() &&
        std::equal(key.begin(), key.end(), text.begin() + ptrdiff_t(at),
                   [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); })) {
      const size_t after = text.find_first_not_of(" \t", at + key.size());
      if (after != std::string::npos && text[after] == '=') return line;
    }
    line = text.find_first_of("\r\n", line);
    if (line == std::string::npos) break;
    line = text.find_first_not_of("\r\n", line);
  }
  return std::string::npos;
}

// The web-page keys, which the setup reads only at a line's start: refused when the value is
// longer than its field or no web address the list of installed programs could open; a line
// that looks like the key but is not read is warned about.
void CheckSetupInfoLineKeys(const std::string& name, const std::string& text, std::vector<PayloadIssue>& issues) {
  for (const SetupInfoKey& k : kSetupInfoLineKeys) {
    const std::string key = k.key;
    int length = 0;
    const char* at = FindSetupInfoLineValue(text.c_str(), k.key, &length);
    if (!at) {
      const size_t meant = LineMeaningKey(text, key);
      if (meant != std::string::npos)
        AddPayloadIssue(issues, kWarning, name,
            "line " + std::to_string(LineOf(text, meant)) + " is ignored: the setup program reads \"" + key +
                "=\" only at the very start of a line, spelt exactly so");
      continue;
    }
    const std::string line = std::to_string(LineOf(text, size_t(at - text.c_str())));
    const std::string value(at, size_t(length));
    if (value.size() > size_t(k.width)) {
      AddPayloadIssue(issues, kError, name,
          "the value of \"" + key + "\" on line " + line + " has " + std::to_string(value.size()) +
              " characters; the setup program keeps only " + std::to_string(k.width));
    } else if (!IsWebAddress(value.c_str())) {
      AddPayloadIssue(issues, kError, name,
          "the value of \"" + key + "\" on line " + line +
              " is not an absolute web address: it must start with http:// or https:// and a host name, "
              "and hold no spaces (write %20), control characters or '\"'");
    }
  }
}

}  // namespace

bool SetupInfoSetsGroup(const uint8_t* data, size_t size) {
  std::string value;
  return ReadInfValue(Text(data, size), "Group", value);
}

bool SetupInfoSetsExe(const uint8_t* data, size_t size) {
  std::string value;
  return ReadInfValue(Text(data, size), "Exe", value) && !value.empty();
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
        AddPayloadIssue(issues, kWarning, name,
            "\"" + key + "=\" on line " + std::to_string(LineOf(text, meant)) +
                " is ignored: the setup program reads only the first \"" + key + "\" in the text, on line " +
                std::to_string(LineOf(text, first)) + ", and that one is not followed by \"=\"");
      } else if (first != std::string::npos) {
        size_t lineStart = text.rfind('\n', first);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        if (first == lineStart)
          AddPayloadIssue(issues, kWarning, name,
              "the key \"" + key + "\" on line " + std::to_string(LineOf(text, first)) +
                  " is not followed directly by \"=\"; the setup program ignores it");
      }
      continue;
    }
    const size_t at = text.find(key);  // the occurrence the setup read
    if (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') {
      const bool inWord = std::isalnum(uint8_t(text[at - 1])) || text[at - 1] == '_';
      AddPayloadIssue(issues, kWarning, name,
          "the setup program takes \"" + key + "\" from " + (inWord ? "inside a longer word" : "the middle") +
              " of line " + std::to_string(LineOf(text, at)) + " (the first \"" + key +
              "\" in the text counts wherever it stands), so it reads \"" + value + "\" as its value");
    }
    if (value.size() > width) {
      AddPayloadIssue(issues, kError, name,
          "the value of \"" + key + "\" has " + std::to_string(value.size()) +
              " characters; the setup program keeps only " + std::to_string(width) + " (\"" +
              value.substr(0, width) + "\")");
      continue;
    }
  }
  CheckSetupInfoLineKeys(name, text, issues);
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

void CheckDescription(const std::string& name, const uint8_t* data, size_t size, bool groupFromInfo,
                      std::vector<PayloadIssue>& issues) {
  DescriptionLine line;
  ReadDescriptionLine(Text(data, size).c_str(), &line);
  const std::string product = line.product;
  if (product.empty()) {
    AddPayloadIssue(issues, kWarning, name, "its first line gives no product name");
    return;
  }
  if (line.productLength >= int(sizeof line.product))
    AddPayloadIssue(issues, kWarning, name,
        "the product name has " + std::to_string(line.productLength) + " characters; the setup program shows only " +
            std::to_string(sizeof line.product - 1));
  if (line.versionLength >= int(sizeof line.version))
    AddPayloadIssue(issues, kWarning, name,
        "the version has " + std::to_string(line.versionLength) + " characters; the setup program shows only " +
            std::to_string(sizeof line.version - 1) + " (\"" + line.version + "\")");
  const size_t width = size_t(kSetupInfoKeys[1].width);  // the group name's, which it fills
  if (!groupFromInfo && product.size() > width) {
    AddPayloadIssue(issues, kWarning, name,
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
    AddPayloadIssue(issues, kWarning, name,
                    "a language file must start with \"[\"; the setup program offers no language for it");
  } else if (std::u16string(text).find(u"Language") == std::u16string::npos) {
    AddPayloadIssue(issues, kWarning, name,
        "no \"Language\" within its first 259 characters; the setup program offers no language for it");
  } else {
    AddPayloadIssue(issues, kWarning, name,
        "the first \"Language\" in it is not followed by a name; the setup program offers no language for it");
  }
}
