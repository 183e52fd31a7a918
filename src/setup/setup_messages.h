// The setup's message boxes with a text of its language table. Every message is also a line
// of the run's log; in a silent run it is only that.
#pragma once
#include <cstdint>

#include "system/window.h"

// ShowMessage (system/messages.h) with the text of that id in the setup's current table.
int ShowSetupMessage(WindowHandle owner, int textId, const char16_t* caption, unsigned type);
// ShowMessage with a composed text.
int ShowSetupText(WindowHandle owner, const char16_t* text, const char16_t* caption, unsigned type);
// ShowSystemError (system/messages.h): the system's text for an error code.
void ShowSetupSystemError(WindowHandle owner, uint32_t code, const char16_t* caption);
// The text for a command line not understood, with the argument (or value) that was not.
void ShowBadCommandLine(WindowHandle owner, const char16_t* argument);
