// The setup's message boxes with a text of its language table (see setup_messages.h).
#include "setup/setup_messages.h"

#include "localisation/string_tables.h"
#include "system/run_log.h"
#include "setup/setup_state.h"
#include "system/messages.h"
#include "system/text.h"

namespace {

constexpr int kMessageCapacity = 512;
constexpr int kTextMessageLookup = 510;

bool Quiet() { return gSetupState && IsQuiet(gSetupState->options); }

}  // namespace

int ShowSetupText(WindowHandle owner, const char16_t* text, const char16_t* caption, unsigned type) {
  LogLine("message", text);
  return Quiet() ? 0 : ShowMessage(owner, text, caption, type);
}

int ShowSetupMessage(WindowHandle owner, int textId, const char16_t* caption, unsigned type) {
  char16_t text[kMessageCapacity] = {};
  LookupText(gSetupState ? gSetupState->languageTable : nullptr, textId, text, kTextMessageLookup);
  return ShowSetupText(owner, text, caption, type);
}

void ShowSetupSystemError(WindowHandle owner, uint32_t code, const char16_t* caption) {
  char16_t text[kMessageCapacity];
  SystemErrorText(code, text, kMessageCapacity);
  LogLine("message", text);
  if (!Quiet()) ShowSystemError(owner, code, caption);
}

void ShowBadCommandLine(WindowHandle owner, const char16_t* argument) {
  char16_t text[kMessageCapacity] = {};
  LookupText(gSetupState->languageTable, kTextBadCommandLine, text, kTextMessageLookup);
  AppendText(u" ", text, kMessageCapacity);
  AppendText(argument, text, kMessageCapacity);
  ShowSetupText(owner, text, gSetupState->modulePath, kMbIconHand);
}
