// The product facts in the archive's code page: the web pages are shown and opened by Windows
// after conversion, so a byte the code page leaves undefined is refused.
#include "pack_facts.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PackFacts, WebPagesWithBytesTheCodePageLacksAreRefused) {
  const struct {
    const char* url;
    const char* helpUrl;
    int codePage;
    size_t errors;
  } cases[] = {
      {"https://www.example.com/caf\xe9", "", 1252, 0},
      {"https://www.example.com/\x81", "", 1252, 1},
      {"", "https://help.example.com/\x8d", 1252, 1},
      {"https://www.example.com/\x98", "https://help.example.com/\x81", 1251, 1},  // 0x81 is defined there
      {"www.example.com/\x81", "", 1252, 0},  // no web address: refused by the .INF's check instead
  };
  for (const auto& c : cases) {
    ProductFacts facts = {};
    std::strcpy(facts.group, "Tool");
    std::strcpy(facts.url, c.url);
    std::strcpy(facts.helpUrl, c.helpUrl);
    std::vector<PayloadIssue> issues;
    CheckFactsInCodePage(facts, c.codePage, issues);
    EXPECT_EQ(issues.size(), c.errors) << c.url << " " << c.helpUrl << " in " << c.codePage;
  }
}

}  // namespace
