// The scan pass, and what it makes of the two description formats: the state's product
// facts, the window title and the title static. How the formats are read, and the rule the
// facts must pass, are payload rules (payload/product_facts.h), which setuptool pack and the
// uninstaller's record apply as well.
#include "setup/scan.h"

#include "archive/extract.h"
#include "archive/rar_format.h"
#include "payload/product_facts.h"
#include "payload/text_rules.h"
#include "resources/resource_ids.h"
#include "setup/checking_window.h"
#include "setup/entry_names.h"
#include "setup/language_list.h"
#include "setup/setup_state.h"
#include "system/file_io.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr int kTitleControl = KORV_CONTROL_TITLE;
constexpr int kTitleCapacity = 512;

// The product facts against their rule, the group and the main program also as the system
// will see them: converted from the code page, where an undefined byte shows.
bool FactsAreSound(const ProductFacts& facts) {
  if (CheckProductFacts(facts) != kFactsSound) return false;
  char16_t name[kNameCapacity];
  AnsiToWide(facts.group, name, kNameCapacity);
  if (!IsSingleSafeName(name)) return false;
  AnsiToWide(facts.mainProgram, name, kNameCapacity);
  return IsSingleSafeName(name);
}

// Every header, folders included, by its path: whether each component can be created and how
// long it is, for a product that keeps its folders (known only once its ".INF" is read).
void MeasureEntryPath(const ExtractContext* context, void* fileSize) {
  const int32_t size = *static_cast<const int32_t*>(fileSize);
  if (size > 0) NoteChecked(context->blockStart / ((size + 999) / 1000));  // 32-bit arithmetic only
  char16_t name[kEntryNameCapacity];
  AnsiToWide(context->name, name, kEntryNameCapacity);
  if (UnsafePathReasonOf(name) != kNameSafe) ++gSetupState->unsafePaths;
  const bool folder = (context->attributes & kAttributeDirectory) != 0;
  if (!folder && IsNeverInstalled(name + BaseNameOffset(name))) return;
  if (TextLength(name) > gSetupState->longestPath) gSetupState->longestPath = TextLength(name);
}

}  // namespace

int ScanPayload(WindowHandle dialog) {
  gSetupState->unsafeEntries = 0;
  gSetupState->unsafePaths = 0;
  gSetupState->longestPath = 0;
  gSetupState->payloadBytes = 0;
  // The file's size: the checking window's bar shows how far into it the scan has got.
  int32_t fileSize = 0;
  if (FileStream* file = OpenReadStream(gSetupState->modulePath)) {
    if (StreamSeek(file, 0, kSeekEnd)) fileSize = StreamTell(file);
    CloseStream(file);
  }
  ExtractObserver measure = {MeasureEntryPath, nullptr, &fileSize, false, false, false, 0, 0, false, 0};
  int result = ExtractArchiveObserved(gSetupState->modulePath, ScanCallback, dialog, &measure);
  const bool unsafe = gSetupState->unsafeEntries > 0 || (KeepsFolders(gSetupState->facts) && gSetupState->unsafePaths > 0);
  if (result == 0 && (unsafe || !FactsAreSound(gSetupState->facts))) result = kScanUnsafeName;
  return result;
}

int ScanCallback(char16_t* name, const uint8_t* data, uint32_t size, void* dialog) {
  // The second call of an entry finds the code in front of the name, or the mark of an
  // entry only checksummed. Its data is absent when the run could not keep the content (an
  // entry too large to hold in memory) or was not asked to; the checksum has been verified
  // all the same, and there is nothing to read.
  bool secondCall = data != nullptr || (name[0] >= 1 && name[0] <= 31) || name[0] == kChecksumOnlyName;
  if (!secondCall) {
    // First call: classify by name. Every name is checked here, so a payload that names an
    // unsafe file is refused before anything is installed.
    if (IsUnsafeEntryName(name)) ++gSetupState->unsafeEntries;
    gSetupState->payloadBytes += size;
    int n = TextLength(name);
    char16_t kind = ScanEntryKindOf(name);
    // The language-file prefix comes from the first ".LNG" entry.
    if (kind == LanguageFile && !gSetupState->languageFilePrefix[0]) {
      LanguageFilePrefixOf(name, gSetupState->languageFilePrefix);
      const int folder = BaseNameOffset(name);
      CopyText(name, gSetupState->languageFileFolder, folder > 0 && folder < kPathCapacity ? folder : 1);
    }
    // The code goes first and the whole name behind it (when it fits; a name of 259
    // characters loses its first one), so the second call still reads the name's end.
    if (n < 259) {
      for (int i = n; i >= 0; --i) name[i + 1] = name[i];
    }
    // An entry whose bytes the scan does not read is decoded and checksummed without being
    // copied into memory: judged alike, without the copy or the memory.
    name[0] = kind == VerifyOnly ? kChecksumOnlyName : kind;
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
      if (size > kShortestIgnoredLanguageFile)
        AddLanguageFileItem(DialogItem(dialog, KORV_CONTROL_LANGUAGES), data, size, name + 1);
      break;
    default:
      break;
  }
  return 0;
}

void ParseSetupInfo(const char* text) { ReadSetupInfoFacts(text, &gSetupState->facts); }

void ApplyDescription(WindowHandle dialog, const char* text) {
  if (!text) return;
  // The state keeps the version for the uninstall entry; the group name defaults to the product name.
  ReadDescriptionFacts(text, &gSetupState->facts);
  // Title static in its own font: the name, a space and the version.
  char16_t heading[kTitleCapacity] = {};
  AppendAnsiAsWide(gSetupState->facts.product, heading, kTitleCapacity);
  AppendText(u" ", heading, kTitleCapacity);
  AppendAnsiAsWide(gSetupState->facts.version, heading, kTitleCapacity);
  // Window title: the current title, a space and the same.
  char16_t title[kTitleCapacity];
  WindowGetText(dialog, title, kTitleCapacity);
  AppendText(u" ", title, kTitleCapacity);
  AppendText(heading, title, kTitleCapacity);
  WindowSetText(dialog, title);
  if (void* font = CreateTitleFont()) DialogSetItemFont(dialog, kTitleControl, font);
  DialogSetItemText(dialog, kTitleControl, heading);
}
