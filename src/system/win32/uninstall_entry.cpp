// The process entry of UnInst.exe. Everything else of the run is portable (UninstallMain).
#include <windows.h>

#include "uninstall/uninstall_main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return UninstallMain(); }
