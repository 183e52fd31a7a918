// The program's start: the global SetupState, COM, the common controls, the icon, the
// interface language, the module path, and the modal setup dialog.
#pragma once

// Fills the zeroed SetupState: common controls, icon 1, language table, module path.
void StartUp();
// The whole run of the setup program, as the process entry calls it; always returns 0.
int SetupMain();
