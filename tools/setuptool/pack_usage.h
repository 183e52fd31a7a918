// What setuptool pack --help prints: the options, what is packed, and the exit statuses.
#pragma once

void PrintPackUsage();
