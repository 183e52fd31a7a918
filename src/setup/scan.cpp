// The scan pass and the two description formats it reads.
//
// Installation description (".INF"): lines key=value; for each of the keys ID, Group, Class
// and Exe only the first occurrence of the key's text counts, and only when "=" follows it
// at once. Product description ("FILE_ID.DIZ"): the first line, product name optionally
// followed by " Version " and a version.
#include "setup/scan.h"

#include <cstring>

#include "archive/extract.h"
#include "localisation/language_files.h"
#include "setup/entry_names.h"
#include "setup/setup_state.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr int kTitleControl = 1001;
constexpr int kTitleCapacity = 512;

// Copies at most width bytes of text up to the first line end into field (width + 1 bytes).
void TakeValue(const char* value, char* field, int width) {
  int n = 0;
  while (n < width && value[n] && value[n] != '\r' && value[n] != '\n') {
    field[n] = value[n];
    ++n;
  }
  field[n] = 0;
}

void ParseKey(const char* text, const char* key, char* field, int width) {
  const char* at = std::strstr(text, key);
  if (!at) return;
  at += std::strlen(key);
  if (*at != '=') return;
  TakeValue(at + 1, field, width);
}

}  // namespace

int ScanPayload(WindowHandle dialog) {
  gSetupState->unsafeEntries = 0;
  int result = ExtractArchive(gSetupState->modulePath, ScanCallback, dialog);
  if (result == 0 && gSetupState->unsafeEntries > 0) result = kScanUnsafeName;
  return result;
}

int ScanCallback(char16_t* name, const uint8_t* data, uint32_t size, void* dialog) {
  // The second call of an entry finds the code in front of the name. Its data is absent
  // when the run could not keep the content (an entry too large to hold in memory); the
  // checksum has been verified all the same, and there is nothing to read.
  bool secondCall = data != nullptr || (name[0] >= 1 && name[0] <= 31);
  if (!secondCall) {
    // First call: classify by name. Every name is checked here, so a payload that names an
    // unsafe file is refused before anything is installed.
    if (IsUnsafeEntryName(name)) ++gSetupState->unsafeEntries;
    int n = TextLength(name);
    char16_t kind = VerifyOnly;
    if (n >= 5) {
      if (EqualsIgnoreCase(name, u"FILE_ID.DIZ")) {
        kind = Description;
      } else if (EndsWithIgnoreCase(name, u".INF")) {
        kind = SetupInfo;
      } else if (EndsWithIgnoreCase(name, u".LNG")) {
        kind = LanguageFile;
        SetLanguageFilePrefix(name);
      }
    }
    // The code goes first and the whole name behind it (when it fits; a name of 259
    // characters loses its first one), so the second call still reads the name's end.
    if (n < 259) {
      for (int i = n; i >= 0; --i) name[i + 1] = name[i];
    }
    name[0] = kind;
    return 0;
  }
  // Second call: the content, with one 0 byte appended.
  if (!data) return 0;
  switch (name[0]) {
    case Description:
      ApplyDescription(dialog, reinterpret_cast<const char*>(data));
      break;
    case SetupInfo:
      ParseSetupInfo(reinterpret_cast<const char*>(data));
      break;
    case LanguageFile:
      if (size > 7) AddLanguageFileItem(dialog, data, size, name + 1);
      break;
    default:
      break;
  }
  return 0;
}

void ParseSetupInfo(const char* text) {
  if (!text) return;
  ParseKey(text, "ID", gSetupState->productId, 3);
  ParseKey(text, "Group", gSetupState->groupName, 31);
  ParseKey(text, "Class", gSetupState->windowClass, 31);
  ParseKey(text, "Exe", gSetupState->mainProgram, 31);
}

void ApplyDescription(WindowHandle dialog, const char* text) {
  if (!text) return;
  // 1-2. The first line of at most 259 bytes, without a space right before its end.
  char line[260] = {};
  for (int i = 0; i < 259 && text[i]; ++i) line[i] = text[i];
  int end = 0;
  while (line[end] && line[end] != '\n' && line[end] != '\r' && line[end] != '(' &&
         line[end] != '[')
    ++end;
  if (end > 0 && line[end - 1] == ' ') --end;
  line[end] = 0;
  // 3. Product name and version.
  char product[128] = {};
  char version[32] = {};
  const char* split = std::strstr(line, " Version ");
  if (split) {
    int n = int(split - line);
    AppendTextNarrow(split + 9, version, 32);
    line[n] = 0;
  }
  AppendTextNarrow(line, product, 128);
  // 4. Window title: the current title, a space, the name, a space and the version.
  char16_t title[kTitleCapacity];
  WindowGetText(dialog, title, kTitleCapacity);
  AppendText(u" ", title, kTitleCapacity);
  AppendAnsiAsWide(product, title, kTitleCapacity);
  AppendText(u" ", title, kTitleCapacity);
  AppendAnsiAsWide(version, title, kTitleCapacity);
  WindowSetText(dialog, title);
  // 5. Title static in its own font: the name, a space and the version.
  char16_t heading[kTitleCapacity] = {};
  AppendAnsiAsWide(product, heading, kTitleCapacity);
  AppendText(u" ", heading, kTitleCapacity);
  AppendAnsiAsWide(version, heading, kTitleCapacity);
  if (void* font = CreateTitleFont()) DialogSetItemFont(dialog, kTitleControl, font);
  DialogSetItemText(dialog, kTitleControl, heading);
  // 6. The group name defaults to the product name.
  if (!gSetupState->groupName[0]) {
    gSetupState->groupName[0] = 0;
    AppendTextNarrow(product, gSetupState->groupName, 32);
  }
}
