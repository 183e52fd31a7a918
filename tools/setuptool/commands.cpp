// What the subcommands share in reading their arguments (see commands.h).
#include "commands.h"

#include <cstring>

bool IsHelpArgument(const char* argument) {
  return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}
