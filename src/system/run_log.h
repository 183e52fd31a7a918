// A program run's log (/LOG="file" of the setup and the uninstaller): UTF-8 lines, "what:
// detail", written as the run goes, so that a run that ends early still leaves what it did.
// Without an open log every call does nothing.
#pragma once

// Creates the log file named by the options; false when it cannot be created.
bool OpenRunLog(const char16_t* path);
void CloseRunLog();
// One line: the label, ": " and the wide text; the label alone when the text is null.
void LogLine(const char* label, const char16_t* text);
// One line: the label, ": " and a number.
void LogNumber(const char* label, long number);
