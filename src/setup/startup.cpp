// Start-up and the run of the setup program.
#include "setup/startup.h"

#include <cstdlib>
#include <cstring>

#include "localisation/string_tables.h"
#include "resources/resource_ids.h"
#include "setup/setup_dialog.h"
#include "setup/setup_state.h"
#include "system/platform.h"
#include "system/text.h"
#include "system/ui.h"

namespace {
constexpr int kIconResource = KORV_ICON_SETUP;
constexpr int kDialogResource = KORV_DIALOG_SETUP;
}  // namespace

void ChooseLanguageTable() {
  if (!gSetupState->languageCode[0])
    AppendTextNarrow(LanguageCodeForLanguageId(PlatformGetSystemDefaultLangId()), gSetupState->languageCode,
                     sizeof gSetupState->languageCode);
  gSetupState->languageTable = TableForLanguageCode(kBuiltInTables, gSetupState->languageCode);
}

void StartUp() {
  InitCommonControlsOnce();
  std::memset(gSetupState, 0, sizeof *gSetupState);
  gSetupState->icon = LoadProgramIcon(kIconResource);
  ChooseLanguageTable();
  ModuleFilePath(gSetupState->modulePath, 260);
}

int SetupMain() {
  auto* state = static_cast<SetupState*>(std::calloc(1, sizeof(SetupState)));
  if (!state) return 0;
  gSetupState = state;
  ComInitialize();
  StartUp();
  RunModalDialog(kDialogResource, SetupDialogProc);
  ComUninitialize();
  gSetupState = nullptr;
  std::free(state);
  return 0;
}
