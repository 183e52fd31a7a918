// The switches applied to the setup dialog, and the run without questions (/SILENT,
// /VERYSILENT).
//
// The dialog stays what holds the scan's results (the product's title, the language list):
// the switches only set its controls, so a run with switches installs by the very sequence
// OK starts, from what the dialog shows. A quiet run does so inside the dialog's
// initialisation and ends the dialog there, before it was ever shown; its messages become
// lines of the log, and its outcome the exit code.
#pragma once
#include "system/window.h"

// Sets the destination, the check boxes and the language list's items from the switches
// given. False when /LANGUAGES names a code the payload has no item for (into badCode, 4
// characters): the command line is then bad, and nothing has been written.
bool ApplySwitches(WindowHandle dialog, char16_t* badCode);
// The install without questions, from the controls as ApplySwitches left them.
void RunUnattended(WindowHandle dialog);
