// The setup's command line (see command_line.h).
#include "setup/command_line.h"

#include "payload/deployment.h"
#include "system/arguments.h"
#include "system/text.h"

namespace {

constexpr int kArgumentCapacity = 520;  // a switch name, "=" and a path with room to spare

using TakeItem = bool (*)(SetupOptions* options, const char16_t* item, int length);

// The items of a comma-separated list, each handed to `take` (false: an unusable item).
bool ForEachItem(const char16_t* list, SetupOptions* options, TakeItem take) {
  while (*list) {
    const char16_t* end = list;
    while (*end && *end != u',') ++end;
    const char16_t* first = list;
    const char16_t* last = end;
    while (first < last && IsArgumentBlank(*first)) ++first;
    while (last > first && IsArgumentBlank(last[-1])) --last;
    if (last > first && !take(options, first, int(last - first))) return false;
    list = *end ? end + 1 : end;
  }
  return true;
}

bool TakeTask(SetupOptions* options, const char16_t* item, int length) {
  if (NameIs(item, length, "GROUP")) options->tasks |= kTaskBitGroup;
  else if (NameIs(item, length, "DESKTOP")) options->tasks |= kTaskBitDesktop;
  else if (NameIs(item, length, "QUICKLAUNCH")) options->tasks |= kTaskBitQuickLaunch;
  else return false;
  return true;
}

// A language code of two or three ASCII letters, upper-cased.
bool TakeLanguage(SetupOptions* options, const char16_t* item, int length) {
  if (length < 2 || length > 3 || options->languageCount >= kMostSwitchLanguages) return false;
  char letters[4] = {};
  for (int i = 0; i < length; ++i) {
    const char16_t c = UpperAscii(item[i]);
    if (c < u'A' || c > u'Z') return false;
    letters[i] = char(c);
  }
  options->languages[options->languageCount++] = LanguageCodeOf(letters);
  return true;
}

// One switch with its value (null when no "=" followed the name).
int TakeSwitch(SetupOptions* options, const char16_t* name, int length, const char16_t* value) {
  const bool flag = value == nullptr;
  if (flag && (NameIs(name, length, "?") || NameIs(name, length, kSwitchHelp))) {
    options->help = true;
  } else if (flag && NameIs(name, length, kSwitchSilent)) {
    options->silent = true;
  } else if (flag && NameIs(name, length, kSwitchVerySilent)) {
    options->verySilent = true;
  } else if (NameIs(name, length, kSwitchDir) || NameIs(name, length, kSwitchLog)) {
    if (!value || !value[0]) return kCommandLineMissingValue;
    const bool dir = NameIs(name, length, kSwitchDir);
    if (dir && !IsAbsoluteFolder(value)) return kCommandLineUnusableValue;
    if (CopyText(value, dir ? options->dir : options->log, kSwitchPathCapacity) != kTextDone)
      return kCommandLineTooLong;
    if (dir) options->hasDir = true;
  } else if (NameIs(name, length, kSwitchTasks)) {
    if (!value) return kCommandLineMissingValue;
    options->hasTasks = true;
    options->tasks = 0;
    if (!ForEachItem(value, options, TakeTask))
      return kCommandLineUnusableValue;
  } else if (NameIs(name, length, kSwitchLanguages)) {
    if (!value) return kCommandLineMissingValue;
    options->hasLanguages = true;
    options->languageCount = 0;
    if (!ForEachItem(value, options, TakeLanguage))
      return kCommandLineUnusableValue;
  } else {
    return kCommandLineUnknownSwitch;
  }
  return kCommandLineSound;
}

}  // namespace

bool IsAbsoluteFolder(const char16_t* path) {
  const bool separator2 = path[0] && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/');
  const char16_t drive = UpperAscii(path[0]);
  if (separator2) return drive >= u'A' && drive <= u'Z';
  return path[0] == u'\\' && path[1] == u'\\' && path[2] && path[2] != u'\\';
}

int ParseSetupCommandLine(const char16_t* arguments, SetupOptions* options) {
  char16_t argument[kArgumentCapacity];
  bool cut = false;
  const char16_t* p = arguments;
  while (options->error == kCommandLineSound && NextArgument(p, argument, kArgumentCapacity, &cut)) {
    options->any = true;
    CopyText(argument, options->badArgument, kBadArgumentCapacity);
    if (cut) {
      options->error = kCommandLineTooLong;
      break;
    }
    if (argument[0] != u'/' && argument[0] != u'-') {
      options->error = kCommandLineUnknownSwitch;
      break;
    }
    const char16_t* name = argument + 1;
    int length = 0;
    while (name[length] && name[length] != u'=') ++length;
    options->error = TakeSwitch(options, name, length, name[length] ? name + length + 1 : nullptr);
  }
  if (options->error == kCommandLineSound) options->badArgument[0] = 0;
  return options->error;
}
