// When setuptool calls an entry, and an archive, sound: one judgement shared by `test` and
// `extract`, so that extract succeeds exactly where test does.
//
// The setup program judges an entry by its data checksum alone. A publisher's tool asks
// more: a header whose own checksum fails (its name, sizes or method may be anything), an
// entry that belongs to another volume, data of another size than the header states and a
// file the disk did not take whole all fail, and the reason is named.
#pragma once
#include <string>

#include "report.h"

struct ExtractContext;
struct ExtractEntryOutcome;
struct ExtractObserver;

// What is wrong with an entry judging by its header alone (before its data is read), or "".
std::string HeaderProblem(const EntryInfo& entry);

// What is wrong with a decoded entry, or "" when it is sound. `diskFull` tells a write the
// output file refused for want of space from any other write failure.
std::string OutcomeProblem(const EntryInfo& entry, const ExtractEntryOutcome& outcome,
                           bool diskFull);

// The observer a command hands to the run, told of each entry's start and end.
ExtractObserver CommandObserver(void (*entryStart)(const ExtractContext*, void*),
                                void (*entryEnd)(const ExtractContext*, const ExtractEntryOutcome*, void*),
                                void* value);

// Judges a finished run: the first entry's problem (said of that entry), else what is wrong
// with the run as a whole (said of FILE): no archive, no entries, a walk that ended at a
// damaged or cut-off header, a failed run. Prints "setuptool COMMAND: WHERE: PROBLEM" (with
// the run's result code when it is not 0) and returns true when there is a failure.
bool ReportRunFailure(const char* command, const std::string& entryProblem,
                      const std::string& entryShown, const ExtractObserver& observer, int result,
                      const std::string& shownFile);
