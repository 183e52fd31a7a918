// The process entry of Setup.exe. Everything else of the run is portable (SetupMain).
#include <windows.h>

#include "setup/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return SetupMain(); }
