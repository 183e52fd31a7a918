// Message boxes and system error texts.
#include "system/messages.h"

#include <cstdint>

#include "system/platform.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr int kMessageCapacity = 512;
constexpr int kCaptionCapacity = 512;

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
  // Default caption: the program's own file name.
  char16_t fallback[kCaptionCapacity] = {};
  if (!caption) {
    ModuleFilePath(fallback, kCaptionCapacity);
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
