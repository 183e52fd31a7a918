// Start-up and the run of the setup program.
#include "setup/startup.h"

#include <cstdlib>
#include <cstring>

#include "localisation/string_tables.h"
#include "payload/deployment.h"
#include "resources/resource_ids.h"
#include "system/run_log.h"
#include "setup/setup_messages.h"
#include "setup/setup_dialog.h"
#include "setup/setup_state.h"
#include "system/file_ops.h"
#include "system/messages.h"
#include "system/platform.h"
#include "system/text.h"
#include "system/ui.h"

namespace {
constexpr int kIconResource = KORV_ICON_SETUP;
constexpr int kDialogResource = KORV_DIALOG_SETUP;
// The switches as the help lists them, the same in every language; the exit codes follow.
constexpr char kSwitchList[] =
    "/SILENT\n/VERYSILENT\n/DIR=folder\n/TASKS=group,desktop,quicklaunch\n/LANGUAGES=FR,IT\n/LOG=file\n\n";
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

namespace {

// The switches and exit codes in a message box (/? and /HELP); too long for the message
// texts' buffer.
void ShowHelp() {
  constexpr int kHelpCapacity = 1024;
  char16_t text[kHelpCapacity] = {};
  AppendAnsiAsWide(kSwitchList, text, kHelpCapacity);
  const int used = TextLength(text);
  LookupText(gSetupState->languageTable, kTextHelp, text + used, kHelpCapacity - used);
  ShowSetupText(nullptr, text, gSetupState->modulePath, kMbIconInformation);
}

// The command line read into the state, the log opened and what the run was asked to do
// written into it. Returns whether the command line was understood.
bool ReadCommandLine(const char16_t* commandLine) {
  SetupOptions& options = gSetupState->options;
  ParseSetupCommandLine(SkipProgramName(commandLine), &options);
  // A bad command line is still logged when /LOG came before what was not understood.
  if (options.log[0] && !OpenRunLog(options.log)) options.log[0] = 0;
  LogLine("setup", gSetupState->modulePath);
  LogLine("command line", SkipProgramName(commandLine));
  if (options.verySilent) MakeShellOperationsQuiet();
  if (options.error == kCommandLineSound) return true;
  gSetupState->outcome.badCommandLine = true;
  ShowBadCommandLine(nullptr, options.badArgument);
  return false;
}

}  // namespace

int SetupMain(const char16_t* commandLine) {
  auto* state = static_cast<SetupState*>(std::calloc(1, sizeof(SetupState)));
  if (!state) return *SkipProgramName(commandLine) ? kSetupOutOfMemory : kSetupSucceeded;
  gSetupState = state;
  ComInitialize();
  StartUp();
  const bool understood = ReadCommandLine(commandLine);
  if (understood && state->options.help) ShowHelp();
  if (understood && !state->options.help) RunModalDialog(kDialogResource, SetupDialogProc);
  const int code = understood && state->options.help ? kSetupSucceeded : SetupExitCode(state->outcome);
  LogNumber("exit code", state->options.any ? code : kSetupSucceeded);
  CloseRunLog();
  ComUninitialize();
  const bool report = state->options.any;
  gSetupState = nullptr;
  std::free(state);
  // Started without arguments, the setup always ends well, whatever happened.
  return report ? code : kSetupSucceeded;
}
