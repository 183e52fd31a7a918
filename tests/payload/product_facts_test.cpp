// The .INF's web-page keys: read only at a line's start, so that neither "HelpURL" nor another
// key's value supplies "URL", while the older keys keep their anywhere-in-the-text reading;
// and what pack refuses or warns about in them.
#include "payload/product_facts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/payload_rules.h"
#include "payload/payload_test_support.h"

namespace {

using payloadtest::Count;
using payloadtest::kError;
using payloadtest::kWarning;

TEST(ProductFacts, WebPagesAreReadOnlyAtTheStartOfALine) {
  const std::string long300 = "https://example.com/" + std::string(280, 'p');
  struct Case {
    std::string text, url, helpUrl, productId;
  } cases[] = {
      {"HelpURL=https://help.example/\r\nURL=https://www.example/\r\n", "https://www.example/", "https://help.example/", ""},
      {"HelpURL=https://help.example/\r\n", "", "https://help.example/", ""},
      {"ID=KNO\r\nGroup=Tools\r\n", "", "", "KNO"},
      {"Comment=see URL=https://x.example\r\n", "", "", ""},
      {"MyURL=https://x.example\r\n", "", "", ""},
      {"URL = https://x.example\r\nurl=https://y.example\r\n", "", "", ""},
      {" URL=https://x.example\r\n", "", "", ""},
      {"URL", "", "", ""},
      {"URL=", "", "", ""},
      {"\r\n\nURL=https://a.example\nURL=https://b.example", "https://a.example", "", ""},
      {"URLX=1\r\nURL=https://a.example\r\n", "https://a.example", "", ""},
      // The older keys keep their rule: the first "ID" anywhere, here inside the address.
      {"URL=https://a.example/?ID=7\r\nID=KNO\r\n", "https://a.example/?ID=7", "", "7"},
      {"URL=" + long300 + "\r\n", long300.substr(0, 255), "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ProductFacts facts = {};
    ReadSetupInfoFacts(c.text.c_str(), &facts);
    EXPECT_EQ(facts.url, c.url);
    EXPECT_EQ(facts.helpUrl, c.helpUrl);
    EXPECT_EQ(facts.productId, c.productId);
  }
}

TEST(ProductFacts, OnlyAbsoluteWebAddressesCount) {
  const struct {
    const char* text;
    bool web;
  } cases[] = {
      {"https://www.example.com/notes", true}, {"HTTP://EXAMPLE.COM", true}, {"http://h", true},
      {"https://caf\xe9.example/", true},      {"http://", false},           {"https:///path", false},
      {"https://?q", false},                   {"ftp://example.com", false}, {"www.example.com", false},
      {"http:/example.com", false},            {"https://a b.example", false}, {"https://a\tb", false},
      {"https://a\"b", false},                 {"https://a\x7f", false},     {"", false},
      {"http\x1a//x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsWebAddress(c.text), c.web) << c.text;
}

TEST(ProductFacts, PackRefusesWebPagesTheSetupCouldNotUse) {
  const struct {
    std::string text;
    size_t errors, warnings;
  } cases[] = {
      {"URL=https://www.example/\r\nHelpURL=https://help.example/\r\n", 0, 0},
      {"HelpURL=https://help.example/\r\n", 0, 0},  // no "URL" found inside it
      {"URL=https://example.com/" + std::string(235, 'p') + "\r\n", 0, 0},  // 255 characters
      {"URL=https://example.com/" + std::string(236, 'p') + "\r\n", 1, 0},
      {"URL=www.example.com\r\nHelpURL=mailto:help@example.com\r\n", 2, 0},
      {"HelpURL=https://help example\r\n", 1, 0},
      {"URL=\r\n", 1, 0},
      {" URL=https://x.example\r\nhelpurl = https://h.example\r\n", 0, 2},
      // An older key read from inside the address, where the publisher did not mean it.
      {"URL=https://x.example/?ID=7\r\nID=KNO\r\n", 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<PayloadIssue> issues;
    CheckSetupInfo("SETUP.INF", reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size(), issues);
    EXPECT_EQ(Count(issues, kError, "SETUP.INF"), c.errors);
    EXPECT_EQ(Count(issues, kWarning, "SETUP.INF"), c.warnings);
  }
}

}  // namespace
