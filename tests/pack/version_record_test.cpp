// The numeric versions of the version record, from the version texts publishers write.
#include "pack/version_record.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionRecord, NumbersComeFromTheStartOfTheVersionText) {
  struct Case {
    const char16_t* text;
    bool parses;
    uint16_t parts[4];
  };
  const Case cases[] = {
      {u"2.00", true, {2, 0, 0, 0}},
      {u"1.4", true, {1, 4, 0, 0}},
      {u"3.2.1 (beta)", true, {3, 2, 1, 0}},
      {u"1.2.3.4.5", true, {1, 2, 3, 4}},
      {u"10.", true, {10, 0, 0, 0}},
      {u"2.1b", true, {2, 1, 0, 0}},
      {u"65535.1", true, {65535, 1, 0, 0}},
      {u"65536.1", false, {0, 0, 0, 0}},
      {u"v2.0", false, {0, 0, 0, 0}},
      {u"", false, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    uint16_t parts[4] = {9, 9, 9, 9};
    EXPECT_EQ(ParseVersionNumbers(c.text, parts), c.parses);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(parts[i], c.parts[i]) << i;
  }
}

}  // namespace
