// The setup's command line: the switches of payload/deployment.h read from the text the
// process was started with, the program's own name skipped.
//
// Arguments are split as Windows splits a command line for a C program (system/arguments.h),
// so `/DIR="C:\Program Files\X"` and `"/DIR=C:\Program Files\X"` give the same argument. A
// switch starts with "/" or "-", its name is matched ignoring case, and a value follows "=".
//
// Parsing is pure: what it cannot use makes the whole command line bad (kCommandLineBad and the
// argument that failed), before anything is written. A language code can be checked only once
// the payload's languages are known; the scan pass's caller does that.
#pragma once
#include <cstdint>

#include "localisation/language_code.h"
#include "system/arguments.h"

// The shortcuts /TASKS names, as bits.
constexpr unsigned kTaskBitGroup = 1;
constexpr unsigned kTaskBitDesktop = 2;
constexpr unsigned kTaskBitQuickLaunch = 4;

constexpr int kMostSwitchLanguages = 64;
constexpr int kSwitchPathCapacity = 260;
constexpr int kBadArgumentCapacity = 64;

// Why a command line is bad; 0 when it is not.
enum CommandLineError : int {
  kCommandLineSound = 0,
  kCommandLineUnknownSwitch,  // not a switch, or a name the setup does not know
  kCommandLineMissingValue,   // /DIR, /LOG without "=" or with an empty value
  kCommandLineUnusableValue,  // a relative /DIR, a task or language that cannot be
  kCommandLineTooLong,        // a value longer than its buffer
};

struct SetupOptions {
  bool any;             // at least one argument was given: exit codes report the outcome
  bool silent;          // /SILENT: the progress window only
  bool verySilent;      // /VERYSILENT: nothing on the screen
  bool help;            // /? or /HELP
  bool hasDir, hasTasks, hasLanguages;
  char16_t dir[kSwitchPathCapacity];  // /DIR, absolute
  char16_t log[kSwitchPathCapacity];  // /LOG, empty when not given
  unsigned tasks;                     // kTaskBit* of /TASKS
  LanguageCode languages[kMostSwitchLanguages];  // /LANGUAGES, upper case
  int languageCount;
  int error;                                   // a CommandLineError
  char16_t badArgument[kBadArgumentCapacity];  // the argument that made it bad (cut to fit)
};

// Whether the run shows no dialog (either silent switch).
inline bool IsQuiet(const SetupOptions& options) { return options.silent || options.verySilent; }

// Fills the zeroed-out options from the arguments (the program's name already skipped);
// returns options->error.
int ParseSetupCommandLine(const char16_t* arguments, SetupOptions* options);
// Whether a folder path is absolute: "X:\..." or "\\server\...".
bool IsAbsoluteFolder(const char16_t* path);
