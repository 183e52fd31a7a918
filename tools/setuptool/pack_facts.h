// The product facts of a payload in the archive's code page: the group and the main program
// become folder and file names on Windows only after the setup converts them from that code
// page, where a byte the code page does not define turns into a character no name may hold.
#pragma once
#include <vector>

#include "payload/payload_rules.h"

// Errors for a group or main program that the code page cannot convert, or that breaks the
// name rule once converted; for a web page (URL, HelpURL) that the code page cannot convert.
void CheckFactsInCodePage(const ProductFacts& facts, int codePage, std::vector<PayloadIssue>& issues);
