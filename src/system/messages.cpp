// Message boxes and system error texts.
#include "system/messages.h"

#include <cstdint>

#include "localisation/string_tables.h"
#include "setup/setup_state.h"
#include "system/platform.h"
#include "system/text.h"

namespace {

constexpr int kMessageCapacity = 512;
constexpr int kTextMessageLookup = 510;
constexpr int kCaptionCapacity = 512;

const LanguageTable* CurrentTable() { return gSetupState ? gSetupState->languageTable : nullptr; }

}  // namespace

void SystemErrorText(uint32_t code, char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  out[0] = 0;
  out[capacity - 1] = 0;
  char16_t* text = nullptr;
  if (PlatformFormatSystemMessage(code, &text) != 0 && text) AppendText(text, out, capacity - 1);
  if (text) PlatformLocalFree(text);
}

int ShowSystemError(WindowHandle owner, uint32_t code, const char16_t* caption) {
  char16_t text[kMessageCapacity] = {};
  if (code == 0) code = PlatformGetLastError();
  if (code == 0) return 0;
  SystemErrorText(code, text, kMessageCapacity);
  if (!text[0]) return 2;
  // Default caption: the setup program's file name (else the table's window title).
  char16_t fallback[kCaptionCapacity] = {};
  if (!caption) {
    if (gSetupState && gSetupState->modulePath[0])
      CopyText(gSetupState->modulePath, fallback, kCaptionCapacity);
    else
      LookupText(CurrentTable(), kTextTitle, fallback, kCaptionCapacity);
    caption = fallback;
  }
  return ShowMessage(owner, text, caption, kMbIconHand);
}

int ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption, unsigned type) {
  if (!text || !text[0]) return 2;
  if (!owner) owner = PlatformGetActiveWindow();
  const char16_t* shown = caption;
  if (caption && caption[FileNameOffset(caption)]) shown = caption + FileNameOffset(caption);
  return PlatformMessageBox(owner, text, shown, type);
}

int ShowTextMessage(WindowHandle owner, int textId, const char16_t* caption, unsigned type) {
  char16_t text[kMessageCapacity] = {};
  LookupText(CurrentTable(), textId, text, kTextMessageLookup);
  return ShowMessage(owner, text, caption, type);
}
