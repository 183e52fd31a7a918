// The switches applied to the setup dialog, and the quiet run (see unattended.h).
#include "setup/unattended.h"

#include "setup/command_line.h"
#include "setup/install.h"
#include "setup/language_list.h"
#include "setup/setup_dialog.h"
#include "setup/setup_state.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

bool Listed(const SetupOptions& options, LanguageCode code) {
  for (int i = 0; i < options.languageCount; ++i)
    if (options.languages[i] == code) return true;
  return false;
}

}  // namespace

bool ApplySwitches(WindowHandle dialog, char16_t* badCode) {
  const SetupOptions& options = gSetupState->options;
  WindowHandle list = DialogItem(dialog, kControlLanguages);
  for (int i = 0; i < options.languageCount; ++i) {
    if (FindLanguageItem(list, options.languages[i]) >= 0) continue;
    for (int b = 0; b < 3; ++b) badCode[b] = char16_t((options.languages[i] >> (8 * b)) & 0xFF);
    badCode[3] = 0;
    gSetupState->outcome.badCommandLine = true;
    return false;
  }
  if (options.hasLanguages) {
    const int count = ListItemCount(list);
    for (int i = 0; i < count; ++i)
      ListSetStateImage(list, i, Listed(options, LanguageItemCode(list, i)) ? kStateChecked : kStateUnchecked);
  }
  if (options.hasDir) DialogSetItemText(dialog, kControlDestination, options.dir);
  if (options.hasTasks) {
    DialogSetChecked(dialog, kControlProgramGroup, (options.tasks & kTaskBitGroup) != 0);
    DialogSetChecked(dialog, kControlDesktopIcon, (options.tasks & kTaskBitDesktop) != 0);
    DialogSetChecked(dialog, kControlQuickLaunch, (options.tasks & kTaskBitQuickLaunch) != 0);
  }
  return true;
}

void RunUnattended(WindowHandle dialog) { RunInstall(dialog); }
