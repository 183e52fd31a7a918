// uidriver: drives the setup dialog from outside, for scripts.
//
// One call runs a sequence of actions given on the command line, left to right, and stops at
// the first one that fails (exit code 1; exit code 2 for a usage error). Each action is a word
// followed by a fixed number of arguments, so a shell script can do one step per call or a
// small script of steps in one call:
//
//   uidriver.exe wait-dialog 30000 title items
//   uidriver.exe set-item FR 0 check 1042 0 press 99 wait-msgbox 60000 msgbox-text dismiss
//
// Everything is done the way Windows lets one process drive another's windows: window
// messages (copied across processes for texts), and memory in the owner process for the list
// view's item records. The actions are in actions_dialog.cpp and actions_other.cpp; PrintUsage
// lists them with their output.
#include <windows.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "actions.h"
#include "output.h"

namespace {

void PrintUsage() {
  WriteLine(
      L"usage: uidriver.exe [--title PREFIX] ACTION [ARGS] [ACTION [ARGS]]...\n"
      L"\n"
      L"The setup dialog is the visible top-level dialog (#32770) holding a list view with id\n"
      L"1010; --title PREFIX narrows it to titles starting with PREFIX. Ids are decimal or 0x hex, or\n"
      L"the controls' names: ok cancel title languages destination-label destination browse\n"
      L"program-group desktop-icon quick-launch status.\n"
      L"\n"
      L"Setup dialog:\n"
      L"  wait-dialog MS      wait up to MS ms for the dialog; prints its handle\n"
      L"  wait-gone MS        wait up to MS ms until no setup dialog is left\n"
      L"  title               prints the dialog's title\n"
      L"  text ID             prints the text of control ID\n"
      L"  visible ID          prints 1 if control ID is visible, else 0\n"
      L"  enabled ID          prints 1 if control ID is enabled, else 0\n"
      L"  checked ID          prints 1 if check box ID is checked, else 0\n"
      L"  rect                prints the dialog's window rectangle on the screen:\n"
      L"                      left top right bottom\n"
      L"  control-rect ID     the same for control ID\n"
      L"  dump                one line per control: id, class, visible, enabled, checked, text\n"
      L"  column              prints the header text of the language list's column\n"
      L"  items               one line per language item: index, code, parameter, state image\n"
      L"                      (1 unchecked, 2 checked), text; fields separated by tabs\n"
      L"  set-text ID TEXT    replaces the text of control ID (the destination is 1032)\n"
      L"  check ID 0|1        sets the check state of check box ID\n"
      L"  click ID            clicks button ID (a check box toggles and notifies the dialog)\n"
      L"  set-item CODE 0|1   unchecks (0) or checks (1) the language item with code CODE\n"
      L"  press ID            posts the command of button ID (OK 99, Cancel 2)\n"
      L"  escape              the Escape key, as the dialog's message loop receives it\n"
      L"  close               the close box (SC_CLOSE)\n"
      L"Message boxes (a top-level dialog with a push button and no language list):\n"
      L"  wait-msgbox MS      wait up to MS ms for a message box\n"
      L"  no-msgbox MS        fails if a message box shows up within MS ms\n"
      L"  msgbox-caption      prints its caption\n"
      L"  msgbox-text         prints its text\n"
      L"  dismiss             presses its OK button and waits until it is gone\n"
      L"  answer yes|no       presses its Yes or No button and waits until it is gone\n"
      L"  msgbox-buttons      prints the ids of its buttons (1 OK, 2 Cancel, 6 Yes, 7 No)\n"
      L"  msgbox-process      prints the program file of the process that shows it\n"
      L"A message box of any process counts: wait-msgbox after an answer finds the next one,\n"
      L"also when another program (a copy the first started) shows it.\n"
      L"The shell's folder browser (a dialog with a tree view, opened by the \"...\" button):\n"
      L"  wait-browser MS     wait up to MS ms for it\n"
      L"  browser-selection   prints the selected folder's item and its parents, root first,\n"
      L"                      separated by \" > \"\n"
      L"  browser-ok          presses its OK button and waits until it is gone\n"
      L"  browser-cancel      presses its Cancel button and waits until it is gone\n"
      L"Windows of any program:\n"
      L"  windows CLASS       prints the number of top-level windows of window class CLASS\n"
      L"  wait-window CLASS MS      wait up to MS ms until a window of class CLASS exists\n"
      L"  wait-no-window CLASS MS   wait up to MS ms until no window of class CLASS is left\n"
      L"  visible-windows MS  watches MS ms and prints each visible top-level window of another\n"
      L"                      process once, as CLASS<TAB>TITLE\n"
      L"Other:\n"
      L"  lnk PATH            prints target, workdir, args and showcmd of a shortcut, tab-separated\n"
      L"                      after the field name, one per line\n"
      L"  hold PATH MS        opens the file without sharing, prints \"held\", keeps it MS ms\n"
      L"  hold-until PATH WATCH MS  holds PATH as above until WATCH exists (checked every\n"
      L"                      millisecond), then closes it and prints \"released\"; fails\n"
      L"                      after MS ms\n"
      L"  run CMDLINE MS      starts the command line (CreateProcessW, as the system's list of\n"
      L"                      installed programs starts an UninstallString), waits up to MS ms\n"
      L"                      for the program to end, prints \"exit CODE\"\n"
      L"  sleep MS            waits MS ms\n"
      L"  mark                starts a stopwatch\n"
      L"  elapsed             prints the milliseconds since mark (e.g. mark press 99\n"
      L"                      wait-msgbox 60000 elapsed: the time an install takes)\n"
      L"\n"
      L"Texts are printed as UTF-8, with CR, LF and tab written as \\r, \\n and \\t.");
}

struct Action {
  const wchar_t* name;
  size_t argumentCount;
  bool (*run)(Session&, const Args&);
};

const Action kActions[] = {
    {L"wait-dialog", 1, WaitDialog}, {L"wait-gone", 1, WaitGone},
    {L"title", 0, Title},            {L"rect", 0, Rect},
    {L"control-rect", 1, ControlRect},            {L"text", 1, Text},
    {L"visible", 1, Visible},        {L"enabled", 1, Enabled},
    {L"checked", 1, Checked},        {L"dump", 0, Dump},
    {L"items", 0, Items},
    {L"column", 0, Column},            {L"set-text", 2, SetText},
    {L"check", 2, Check},            {L"click", 1, Click},
    {L"set-item", 2, SetItem},       {L"press", 1, Press},
    {L"escape", 0, Escape},          {L"close", 0, Close},
    {L"wait-msgbox", 1, WaitMsgbox}, {L"no-msgbox", 1, NoMsgbox},
    {L"msgbox-caption", 0, MsgboxCaption}, {L"msgbox-text", 0, MsgboxText},
    {L"dismiss", 0, Dismiss},        {L"answer", 1, Answer},
    {L"msgbox-buttons", 0, MsgboxButtons}, {L"msgbox-process", 0, MsgboxProcess},
    {L"wait-browser", 1, WaitBrowser},
    {L"browser-selection", 0, BrowserSelection}, {L"browser-ok", 0, BrowserOk},
    {L"browser-cancel", 0, BrowserCancel},        {L"lnk", 1, Lnk},
    {L"windows", 1, Windows},        {L"wait-window", 2, WaitWindow},
    {L"wait-no-window", 2, WaitNoWindow},  {L"visible-windows", 1, VisibleWindows},
    {L"hold", 2, Hold},              {L"hold-until", 3, HoldUntil},              {L"sleep", 1, SleepAction},
    {L"run", 2, Run},
    {L"mark", 0, Mark},              {L"elapsed", 0, Elapsed},
};

const Action* FindAction(const std::wstring& name) {
  for (const Action& action : kActions) {
    if (name == action.name) return &action;
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> words(argv + 1, argv + argc);
  if (words.empty() || words[0] == L"--help" || words[0] == L"-h") {
    PrintUsage();
    return words.empty() ? 2 : 0;
  }
  CoInitialize(nullptr);
  Session session;
  int result = 0;
  for (size_t i = 0; i < words.size() && result == 0;) {
    if (words[i] == L"--title") {
      if (i + 1 >= words.size()) {
        WriteError(L"--title needs a text");
        result = 2;
        break;
      }
      session.filter.titlePrefix = words[i + 1];
      i += 2;
      continue;
    }
    const Action* action = FindAction(words[i]);
    if (!action) {
      WriteError(L"unknown action: " + words[i] + L" (see --help)");
      result = 2;
      break;
    }
    if (i + 1 + action->argumentCount > words.size()) {
      WriteError(words[i] + L" needs " + std::to_wstring(action->argumentCount) + L" argument(s)");
      result = 2;
      break;
    }
    std::vector<std::wstring> arguments(words.begin() + (long)i + 1,
                                        words.begin() + (long)(i + 1 + action->argumentCount));
    if (!action->run(session, arguments)) result = 1;
    i += 1 + action->argumentCount;
  }
  CoUninitialize();
  return result;
}
