// The program's start: the global SetupState, COM, the common controls, the icon, the
// interface language, the module path, the command line and its log, and the modal setup
// dialog.
#pragma once

// Fills the zeroed SetupState: common controls, icon 1, language table, module path.
void StartUp();
// Sets the state's language code (from the system's default language when still empty) and
// the built-in table of that code (US for any code without one).
void ChooseLanguageTable();
// The whole run of the setup program, as the process entry calls it with its command line
// (the program's name first). Its exit code: 0 without arguments, whatever happened; with
// any argument, what payload/deployment.h says of the outcome.
int SetupMain(const char16_t* commandLine);
