// The scan pass, and what it makes of the two description formats: the state's product
// fields, the window title and the title static. How the formats are read is one of the
// payload rules (payload/text_rules.h), which setuptool pack predicts from as well.
#include "setup/scan.h"

#include "archive/extract.h"
#include "localisation/language_files.h"
#include "payload/text_rules.h"
#include "resources/resource_ids.h"
#include "setup/entry_names.h"
#include "setup/setup_state.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr int kTitleControl = KORV_CONTROL_TITLE;
constexpr int kTitleCapacity = 512;

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
    char16_t kind = ScanEntryKindOf(name);
    if (kind == LanguageFile) SetLanguageFilePrefix(name);
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
      if (size > kShortestIgnoredLanguageFile) AddLanguageFileItem(dialog, data, size, name + 1);
      break;
    default:
      break;
  }
  return 0;
}

void ParseSetupInfo(const char* text) {
  if (!text) return;
  char* const fields[kSetupInfoKeyCount] = {gSetupState->productId, gSetupState->groupName,
                                            gSetupState->windowClass, gSetupState->mainProgram,
                                            gSetupState->publisher};
  for (int k = 0; k < kSetupInfoKeyCount; ++k) {
    int length = 0;
    const char* value = FindSetupInfoValue(text, kSetupInfoKeys[k].key, &length);
    if (!value) continue;  // absent: the field keeps what it held
    if (length > kSetupInfoKeys[k].width) length = kSetupInfoKeys[k].width;
    for (int i = 0; i < length; ++i) fields[k][i] = value[i];
    fields[k][length] = 0;
  }
}

void ApplyDescription(WindowHandle dialog, const char* text) {
  if (!text) return;
  DescriptionLine line;
  ReadDescriptionLine(text, &line);
  const char* product = line.product;
  const char* version = line.version;
  // Window title: the current title, a space, the name, a space and the version.
  char16_t title[kTitleCapacity];
  WindowGetText(dialog, title, kTitleCapacity);
  AppendText(u" ", title, kTitleCapacity);
  AppendAnsiAsWide(product, title, kTitleCapacity);
  AppendText(u" ", title, kTitleCapacity);
  AppendAnsiAsWide(version, title, kTitleCapacity);
  WindowSetText(dialog, title);
  // Title static in its own font: the name, a space and the version.
  char16_t heading[kTitleCapacity] = {};
  AppendAnsiAsWide(product, heading, kTitleCapacity);
  AppendText(u" ", heading, kTitleCapacity);
  AppendAnsiAsWide(version, heading, kTitleCapacity);
  if (void* font = CreateTitleFont()) DialogSetItemFont(dialog, kTitleControl, font);
  DialogSetItemText(dialog, kTitleControl, heading);
  // The version is kept for the uninstall entry; the group name defaults to the product name.
  gSetupState->version[0] = 0;
  AppendTextNarrow(version, gSetupState->version, int(sizeof gSetupState->version));
  if (!gSetupState->groupName[0]) {
    gSetupState->groupName[0] = 0;
    AppendTextNarrow(product, gSetupState->groupName, 32);
  }
}
