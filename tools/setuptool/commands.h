// The subcommands of setuptool. Each takes the arguments after its own name (argv[0] is the
// subcommand's name) and returns the process exit code: kExitOk, kExitFailed (the archive
// failed: not found, damaged, refused) or kExitUsage (bad arguments, files not accessible).
#pragma once

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunListCommand(int argc, char** argv);
int RunTestCommand(int argc, char** argv);
int RunExtractCommand(int argc, char** argv);
int RunPackCommand(int argc, char** argv);
int RunManifestCommand(int argc, char** argv);

// True when an argument asks for help ("--help" or "-h").
bool IsHelpArgument(const char* argument);
