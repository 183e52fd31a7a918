// The stand-in loads no libraries at run time: nothing to restrict.
#include "system/platform.h"

bool PlatformRestrictLibrarySearch() { return true; }
