// The program's start: the global SetupState, COM, the common controls, the icon, the
// interface language, the module path, and the modal setup dialog.
#pragma once

// Fills the zeroed SetupState: common controls, icon 1, language table, module path.
void StartUp();
// Sets the state's language code (from the system's default language when still empty) and
// the built-in table of that code (US for any code without one).
void ChooseLanguageTable();
// The whole run of the setup program, as the process entry calls it; always returns 0.
int SetupMain();
