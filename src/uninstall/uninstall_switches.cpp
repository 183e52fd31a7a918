// The uninstaller's switches (see uninstall_switches.h).
#include "uninstall/uninstall_switches.h"

#include "payload/deployment.h"
#include "system/arguments.h"

void ReadUninstallOptions(const char16_t* commandLine, UninstallOptions* options) {
  options->quiet = false;
  options->log[0] = 0;
  options->switches = SkipProgramName(commandLine);
  const char16_t* p = options->switches;
  char16_t argument[2 * kPathCapacity];
  bool cut = false;
  while (NextArgument(p, argument, 2 * kPathCapacity, &cut)) {
    if (cut || (argument[0] != u'/' && argument[0] != u'-')) continue;
    const char16_t* name = argument + 1;
    int length = 0;
    while (name[length] && name[length] != u'=') ++length;
    if (!name[length] && (NameIs(name, length, kSwitchSilent) || NameIs(name, length, kSwitchVerySilent)))
      options->quiet = true;
    else if (name[length] && NameIs(name, length, kSwitchLog))
      CopyText(name + length + 1, options->log, kPathCapacity);
  }
}
