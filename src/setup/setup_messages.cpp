// The setup's message boxes with a text of its language table (see setup_messages.h).
#include "setup/setup_messages.h"

#include "localisation/string_tables.h"
#include "setup/setup_state.h"
#include "system/messages.h"

namespace {

constexpr int kMessageCapacity = 512;
constexpr int kTextMessageLookup = 510;

}  // namespace

int ShowSetupMessage(WindowHandle owner, int textId, const char16_t* caption, unsigned type) {
  char16_t text[kMessageCapacity] = {};
  LookupText(gSetupState ? gSetupState->languageTable : nullptr, textId, text, kTextMessageLookup);
  return ShowMessage(owner, text, caption, type);
}
