// Entry-name tests shared by the scan and install passes: the comparisons that ignore the
// letter case of ASCII letters (from the payload rules), and the one guard against names
// that must never become files.
#pragma once
#include "payload/entry_rules.h"

// An entry whose base name (the text after the last "\" or "/", the only part the setup
// writes) cannot be installed safely: empty (the name ends in a separator), "." or "..",
// holding a control character or one of < > : " | ? *, ending in a dot or a space (which
// Windows drops, so another file would be written), or a reserved device name (CON, PRN,
// AUX, NUL, CONIN$, CONOUT$, CLOCK$, COM1-COM9, LPT1-LPT9, with or without an extension,
// spaces before the extension ignored). Such a name is never opened or written. setuptool
// pack refuses every name this guard refuses. A product that keeps its folders has every
// component of its paths judged the same way (UnsafePathReasonOf) by the scan and install
// passes.
bool IsUnsafeEntryName(const char16_t* name);
