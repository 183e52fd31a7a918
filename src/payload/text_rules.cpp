// The setup program's reading of ".INF", "FILE_ID.DIZ" and language files (see text_rules.h).
#include "payload/text_rules.h"

#include <cstring>

const SetupInfoKey kSetupInfoKeys[kSetupInfoKeyCount] = {
    {"ID", 3}, {"Group", 31}, {"Class", 31}, {"Exe", 31}, {"Publisher", 63}, {"Folders", 7}};

const SetupInfoKey kSetupInfoLineKeys[kSetupInfoLineKeyCount] = {{"URL", 255}, {"HelpURL", 255}};

namespace {

// The value after "key=" at `at`, up to the line's end; nullptr when "=" does not follow.
const char* ValueAfterKey(const char* at, const char* key, int* length) {
  at += std::strlen(key);
  if (*at != '=') return nullptr;
  ++at;
  int n = 0;
  while (at[n] && at[n] != '\r' && at[n] != '\n') ++n;
  *length = n;
  return at;
}

}  // namespace

const char* FindSetupInfoValue(const char* text, const char* key, int* length) {
  *length = 0;
  if (!text) return nullptr;
  const char* at = std::strstr(text, key);
  return at ? ValueAfterKey(at, key, length) : nullptr;
}

const char* FindSetupInfoLineValue(const char* text, const char* key, int* length) {
  *length = 0;
  if (!text) return nullptr;
  const size_t keyLength = std::strlen(key);
  for (const char* line = text; *line;) {
    if (std::strncmp(line, key, keyLength) == 0) {
      const char* value = ValueAfterKey(line, key, length);
      if (value) return value;
    }
    while (*line && *line != '\r' && *line != '\n') ++line;
    while (*line == '\r' || *line == '\n') ++line;
  }
  return nullptr;
}

namespace {

void CopyCut(const char* text, int length, char* field, int capacity) {
  int n = length < capacity - 1 ? length : capacity - 1;
  std::memcpy(field, text, size_t(n));
  field[n] = 0;
}

}  // namespace

void ReadDescriptionLine(const char* text, DescriptionLine* out) {
  out->product[0] = 0;
  out->version[0] = 0;
  out->productLength = 0;
  out->versionLength = 0;
  if (!text) return;
  char line[260] = {};
  for (int i = 0; i < 259 && text[i]; ++i) line[i] = text[i];
  int end = 0;
  while (line[end] && line[end] != '\n' && line[end] != '\r' && line[end] != '(' && line[end] != '[') ++end;
  if (end > 0 && line[end - 1] == ' ') --end;
  line[end] = 0;
  const char* split = std::strstr(line, " Version ");
  int productLength = split ? int(split - line) : end;
  if (split) {
    out->versionLength = int(std::strlen(split + 9));
    CopyCut(split + 9, out->versionLength, out->version, int(sizeof out->version));
  }
  out->productLength = productLength;
  CopyCut(line, productLength, out->product, int(sizeof out->product));
}

bool FindLanguageName(const char16_t* text, int* start, int* end) {
  if (!text || text[0] != u'[') return false;
  static const char16_t kWord[] = u"Language";
  for (int i = 0; text[i]; ++i) {
    int k = 0;
    while (kWord[k] && text[i + k] == kWord[k]) ++k;
    if (kWord[k]) continue;
    int s = i + 8;
    if (text[s]) ++s;  // the "=" (or whatever stands there)
    int e = s;
    while (text[e] && text[e] != u'(' && text[e] != u'=' && text[e] != u'\r' && text[e] != u'\n') ++e;
    *start = s;
    *end = e;
    return e > s;
  }
  return false;
}

bool IsUtf16LanguageFile(const uint8_t* content, uint32_t size) {
  return content && size >= 2 && content[0] == 0xFF && content[1] == 0xFE;
}

void DecodeUtf16LanguageFile(const uint8_t* content, uint32_t size, char16_t* text, int capacity) {
  uint32_t units = size >= 2 ? (size - 2) / 2 : 0;
  if (units > uint32_t(capacity - 1)) units = uint32_t(capacity - 1);
  for (uint32_t i = 0; i < units; ++i) text[i] = char16_t(content[2 + 2 * i] | (content[3 + 2 * i] << 8));
  text[units] = 0;
}
