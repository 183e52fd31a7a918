// Language files: the item a file offers (ANSI and UTF-16 content, the "[" and "Language"
// rules, codes) and the file path of a code.
#include "localisation/language_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "system/host/host_paths.h"
#include "system/text.h"

namespace {

struct Item {
  std::u16string name;
  LanguageCode code;
};

// The items the files offer, in the order given; a file that offers none adds nothing.
class LanguageFilesTest : public ::testing::Test {
 protected:
  void AddFile(const std::string& content, const char16_t* name) {
    AddBytes(reinterpret_cast<const uint8_t*>(content.c_str()), uint32_t(content.size()), name);
  }
  void AddBytes(const uint8_t* content, uint32_t size, const char16_t* name) {
    char16_t text[kLanguageTextCapacity];
    LanguageCode code = 0;
    const int start = ReadLanguageFileItem(content, size, name, text, &code);
    if (start >= 0) items_.push_back({text + start, code});
  }
  std::vector<Item> items_;
};

// UTF-16 little-endian bytes with the byte order mark.
std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += char(c & 0xFF);
    bytes += char(c >> 8);
  }
  return bytes;
}

TEST_F(LanguageFilesTest, ItemFromAnsiFileKeepsTrailingSpaceAndUpperCasesTheCode) {
  AddFile("[Info]\r\nLanguage=Fran\xE7" "ais (French)\r\n", u"APP_fr.LNG");
  ASSERT_EQ(int(items_.size()), 1);
  EXPECT_EQ(items_[0].name, u"Fran\u00E7ais ");
  EXPECT_EQ(items_[0].code, 0x5246u);  // "FR"
}

TEST_F(LanguageFilesTest, FilesThatOfferNoItem) {
  struct Case {
    const char* why;
    std::string content;
    const char16_t* name;
  } cases[] = {
      {"first line is not a [ line", "\r\n[Info]\r\nLanguage=Francais\r\n", u"APP_FR.LNG"},
      {"Language only in the header", "[Language]\r\nName=Francais\r\n", u"APP_FR.LNG"},
      {"no Language at all", "[Info]\r\nName=Francais\r\n", u"APP_FR.LNG"},
      {"letter case of Language", "[Info]\r\nlanguage=Francais\r\n", u"APP_FR.LNG"},
      {"empty display name", "[Info]\r\nLanguage=(none)\r\n", u"APP_FR.LNG"},
      {"Language at the very end", "[Info]\r\nLanguage", u"APP_FR.LNG"},
      {"one character before .LNG", "[Info]\r\nLanguage=Francais\r\n", u"F.LNG"},
  };
  for (const Case& c : cases) {
    AddFile(c.content, c.name);
    EXPECT_EQ(int(items_.size()), 0) << c.why;
  }
}

TEST_F(LanguageFilesTest, DisplayNameEndsAtEqualsOrLineEnd) {
  AddFile("[x]\nLanguage=Dansk=da\n", u"APP_DA.LNG");
  AddFile("[x]\nLanguage:Norsk\rmore", u"APP_NO.LNG");
  AddFile("[x]\nLanguage=Svenska", u"APP_SV.LNG");
  ASSERT_EQ(int(items_.size()), 3);
  EXPECT_EQ(items_[0].name, u"Dansk");
  EXPECT_EQ(items_[1].name, u"Norsk");
  EXPECT_EQ(items_[2].name, u"Svenska");
}

TEST_F(LanguageFilesTest, Utf16FileShowsCyrillicNameUnchanged) {
  AddFile(Utf16File(u"[Info]\r\nLanguage=\u0420\u0443\u0441\u0441\u043A\u0438\u0439\r\n"),
          u"APP_RU.LNG");
  ASSERT_EQ(int(items_.size()), 1);
  EXPECT_EQ(items_[0].name, u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439");
  EXPECT_EQ(items_[0].code, 0x5552u);  // "RU"
}

TEST_F(LanguageFilesTest, Utf16FileIsReadWithinItsSizeOnly) {
  // No terminator after an odd number of bytes: the text ends with the content.
  std::string content = Utf16File(u"[x]\nLanguage=Eesti");
  content += 'Z';  // half a character
  std::vector<uint8_t> exact(content.begin(), content.end());
  AddBytes(exact.data(), uint32_t(exact.size()), u"APP_ET.LNG");
  ASSERT_EQ(int(items_.size()), 1);
  EXPECT_EQ(items_[0].name, u"Eesti");
}

TEST_F(LanguageFilesTest, OnlyTheFirst259CharactersAreRead) {
  std::string content = "[x]" + std::string(244, ' ') + "Language=Tagalog\r\n";  // name cut
  AddFile(content, u"APP_TL.LNG");
  ASSERT_EQ(int(items_.size()), 1);
  EXPECT_EQ(items_[0].name, u"Tag");  // 3 + 244 + 9 + 3 = 259 characters
}

TEST_F(LanguageFilesTest, LanguageFilePathJoinsFolderPrefixAndCode) {
  char16_t path[260];
  LanguageFilePath(u"C:\\Tool", u"APP", 0x5246, path);
  EXPECT_EQ(std::u16string(path), u"C:\\Tool\\APP_FR.LNG");
  LanguageFilePath(u"C:\\Tool/", u"APP", 0x5246, path);
  EXPECT_EQ(std::u16string(path), u"C:\\Tool/APP_FR.LNG");
  LanguageFilePath(u"C:\\Tool\\", u"APP", 0x415A4C, path);  // three letters
  EXPECT_EQ(std::u16string(path), u"C:\\Tool\\APP_LZA.LNG");
}

}  // namespace
