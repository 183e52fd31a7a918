// Shared by the tests of pack's payload checks: counting the issues they report.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "payload/payload_rules.h"

namespace payloadtest {

// Issues of the given level that name `entry`.
inline size_t Count(const std::vector<PayloadIssue>& issues, PayloadIssueLevel level, const std::string& entry) {
  size_t n = 0;
  for (const PayloadIssue& i : issues) n += i.level == level && i.entry == entry;
  return n;
}

const PayloadIssueLevel kError = PayloadIssueLevel::kError;
const PayloadIssueLevel kWarning = PayloadIssueLevel::kWarning;

}  // namespace payloadtest
