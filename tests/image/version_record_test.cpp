// The version record: the numeric versions from the version texts publishers write, the
// limit that keeps every 16-bit length from wrapping, and our reader, which gives back what
// the writer wrote and refuses records whose lengths do not hold together.
#include "image/version_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "image/pe_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The offset of the node whose key is `key` (its header precedes the key).
size_t NodeOffset(const Bytes& record, const std::u16string& key) {
  Bytes pattern;
  for (char16_t c : key) pattern.push_back(uint8_t(c)), pattern.push_back(uint8_t(c >> 8));
  pattern.push_back(0), pattern.push_back(0);
  const auto at = std::search(record.begin(), record.end(), pattern.begin(), pattern.end());
  EXPECT_NE(at, record.end()) << "no node " << std::string(key.begin(), key.end());
  return size_t(at - record.begin()) - 6;
}

void AddToLength(Bytes& record, size_t node, int change) {
  PePut16(record.data() + node, uint32_t(int(PeGet16(record.data() + node)) + change));
}

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

namespace {

std::vector<VersionField> AllFields() {
  return {{"Comments", u"Packed for the test: \u00e9t\u00e9 \u2603 \U0001F600"},
          {"CompanyName", u"Soci\u00e9t\u00e9 G\u00e9n\u00e9rale"},
          {"FileDescription", u"Tool Setup"},
          {"FileVersion", u"3.2.1 (beta)"},
          {"InternalName", u""},
          {"LegalCopyright", u"\u00a9 2026 Sample Co"},
          {"LegalTrademarks", u"T"},
          {"OriginalFilename", u"Setup.exe"},
          {"PrivateBuild", u""},
          {"ProductName", u"\u0422\u0443\u043b"},
          {"ProductVersion", u"7.1"},
          {"SpecialBuild", u"ab"}};
}

TEST(VersionRecord, ReadsBackEveryFieldButTheEmptyOnesAndTheNumbers) {
  // Given in an order of their own: the record holds them in the keys' order.
  std::vector<VersionField> fields = AllFields();
  std::swap(fields[0], fields[11]);
  const Bytes record = VersionRecordResource(fields);
  VersionRecordContents read;
  ASSERT_TRUE(ReadVersionRecord(record.data(), record.size(), &read));
  std::vector<VersionField> expected;
  for (const VersionField& field : AllFields())
    if (!field.value.empty()) expected.push_back(field);
  ASSERT_EQ(read.fields.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(read.fields[i].key, expected[i].key);
    EXPECT_TRUE(read.fields[i].value == expected[i].value) << expected[i].key;
  }
  const uint16_t file[4] = {3, 2, 1, 0}, product[4] = {7, 1, 0, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(read.fileVersion[i], file[i]) << i;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(read.productVersion[i], product[i]) << i;
  EXPECT_TRUE(VersionRecordReadsAs(record, fields));
  // The read-back check tells a record from one of other fields.
  const std::function<void(std::vector<VersionField>&)> others[] = {
      [](std::vector<VersionField>& f) { f[2].value = u"Tool Setup!"; },
      [](std::vector<VersionField>& f) { f[4].value = u"tool"; },
      [](std::vector<VersionField>& f) { f[5].value.clear(); },
      [](std::vector<VersionField>& f) { f[3].value = u"3.2.2 (beta)"; },
      [](std::vector<VersionField>& f) { f[10].value = u"7.1.0.1"; },
  };
  for (const auto& change : others) {
    std::vector<VersionField> other = AllFields();
    change(other);
    EXPECT_FALSE(VersionRecordReadsAs(record, other));
  }
}

// Every length is 16 bits; the limit per value keeps the whole record within them.
TEST(VersionRecord, AValueFitsUpToTheLimitAndIsRefusedBeyondIt) {
  struct Case {
    const char* what;
    int longFields;       // the first N fields get `length` characters, the others one
    size_t length;
    size_t lastLength;    // then the last field this many, when not 0
    const char* refused;  // the field named, or null
  };
  const Case cases[] = {
      {"one at the limit", 1, kVersionValueLimit, 0, nullptr},
      {"one over", 1, kVersionValueLimit + 1, 0, "Comments"},
      {"the 33,000 characters that once wrapped", 1, 33000, 0, "Comments"},
      {"all twelve at the limit", 12, kVersionValueLimit, 0, nullptr},
      {"all twelve, the last one over", 12, kVersionValueLimit, kVersionValueLimit + 1, "SpecialBuild"},
  };
  for (const Case& c : cases) {
    std::vector<VersionField> fields;
    for (int i = 0; i < kVersionFieldKeyCount; ++i)
      fields.push_back({kVersionFieldKeys[i], std::u16string(i < c.longFields ? c.length : 1, u'\u00e9')});
    if (c.lastLength) fields.back().value.assign(c.lastLength, u'x');
    const VersionField* overlong = OverlongVersionField(fields);
    const Bytes record = VersionRecordResource(fields);
    if (c.refused) {
      ASSERT_NE(overlong, nullptr) << c.what;
      EXPECT_EQ(overlong->key, c.refused) << c.what;
      EXPECT_TRUE(record.empty()) << c.what;
    } else {
      EXPECT_EQ(overlong, nullptr) << c.what;
      EXPECT_LE(record.size(), 0xFFFFu) << c.what;
      EXPECT_TRUE(VersionRecordReadsAs(record, fields)) << c.what;
    }
  }
}

TEST(VersionRecord, TheReaderRefusesRecordsWhoseLengthsDoNotHoldTogether) {
  const Bytes good = VersionRecordResource(AllFields());
  const size_t strings = NodeOffset(good, u"StringFileInfo"), table = NodeOffset(good, u"040904B0"),
               company = NodeOffset(good, u"CompanyName"), special = NodeOffset(good, u"SpecialBuild");
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"cut by two bytes", [](Bytes& r) { r.resize(r.size() - 2); }},
      {"cut to half", [](Bytes& r) { r.resize(r.size() / 2); }},
      {"cut within the root's header", [](Bytes& r) { r.resize(5); }},
      {"nothing", [](Bytes& r) { r.clear(); }},
      {"the root longer than the buffer", [](Bytes& r) { AddToLength(r, 0, 4); }},
      {"the root shorter than the buffer", [](Bytes& r) { r.insert(r.end(), 4, 0); }},
      {"a child beyond the root", [&](Bytes& r) { AddToLength(r, strings, 4000); }},
      {"a table beyond its parent", [&](Bytes& r) { AddToLength(r, table, 4); }},
      {"the last string beyond its table", [&](Bytes& r) { AddToLength(r, special, 2); }},
      {"a string shorter than its value", [&](Bytes& r) { AddToLength(r, company, -1); }},
      {"a string too short for its header", [&](Bytes& r) { PePut16(r.data() + company, 4); }},
      {"a value longer than its string", [&](Bytes& r) { AddToLength(r, company + 2, 100); }},
      {"a text without its terminator", [&](Bytes& r) { r[special + 6 + 2 * 13 + 2 * 2] = 'x'; }},
      {"a key cut by its node's length", [&](Bytes& r) { PePut16(r.data() + company, 6 + 2 * 5); }},
      {"a key of other than ASCII characters",
       [&](Bytes& r) { std::fill(r.begin() + long(company) + 6, r.begin() + long(company) + 6 + 2 * 11, 'k'); }},
      {"a value off its 4-byte boundary",  // the padding after the key taken out
       [&](Bytes& r) {
         r.erase(r.begin() + long(company) + 6 + 2 * 12, r.begin() + long(company) + 6 + 2 * 12 + 2);
         for (size_t node : {size_t(0), strings, table, company}) AddToLength(r, node, -2);
       }},
      {"a type other than text or binary", [&](Bytes& r) { PePut16(r.data() + strings + 4, 2); }},
      {"another root", [](Bytes& r) { r[6] = 'W'; }},
      {"no fixed part's signature", [](Bytes& r) { r[40] ^= 1; }},
  };
  VersionRecordContents read;
  ASSERT_TRUE(ReadVersionRecord(good.data(), good.size(), &read));
  for (const Case& c : cases) {
    Bytes record = good;
    c.damage(record);
    EXPECT_FALSE(ReadVersionRecord(record.data(), record.size(), &read)) << c.what;
  }
}

}  // namespace
