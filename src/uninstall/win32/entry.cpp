// The process entry of UnInst.exe. Everything else of the run is portable (UninstallMain).
//
// As for the setup, DLL loading is restricted to the system folder first: the uninstaller runs
// from the installation folder and from a folder under the temporary folder, and neither may
// hand it a DLL. Only kernel32 and the C runtime are imported directly; every other system DLL
// is delay-loaded (see src/uninstall/CMakeLists.txt).
#include <windows.h>

#include "system/platform.h"
#include "uninstall/uninstall_main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  PlatformRestrictLibrarySearch();
  return UninstallMain(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}
