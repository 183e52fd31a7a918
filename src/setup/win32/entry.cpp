// The process entry of Setup.exe. Everything else of the run is portable (SetupMain).
//
// DLL loading is restricted to the system folder before anything else happens. Until then only
// kernel32 and the C runtime are mapped: every other system DLL is delay-loaded (see the link
// of Setup in src/setup/CMakeLists.txt), so none of them, nor any DLL they import, is looked for
// in the download folder the setup was started from.
#include <windows.h>

#include "setup/startup.h"
#include "system/platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  PlatformRestrictLibrarySearch();
  return SetupMain(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}
