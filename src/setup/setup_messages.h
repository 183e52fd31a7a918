// The setup's message boxes with a text of its language table.
#pragma once
#include "system/window.h"

// ShowMessage (system/messages.h) with the text of that id in the setup's current table.
int ShowSetupMessage(WindowHandle owner, int textId, const char16_t* caption, unsigned type);
