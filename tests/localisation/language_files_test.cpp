// Language files: the prefix rule, the item a file offers (ANSI and UTF-16 content, the
// "[" and "Language" rules, codes, duplicates), the file path of a code and the update rule.
#include "localisation/language_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "localisation/string_tables.h"
#include "setup/setup_state.h"
#include "system/destination.h"
#include "system/host/host_control.h"
#include "system/host/host_dialog.h"
#include "system/host/host_paths.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

std::u16string ItemText(WindowHandle list, int index) { return HostWindowOf(list)->items[index].text; }

class LanguageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&state_, 0, sizeof state_);
    state_.languageTable = kUsTable;
    gSetupState = &state_;
    dialog_ = HostCreateSetupDialog(nullptr);
    list_ = DialogItem(dialog_, 1010);
    ListSetExtendedStyle(list_, kListExtendedStyles);
  }
  void TearDown() override {
    HostDestroyDialog(dialog_);
    gSetupState = nullptr;
  }
  void AddFile(const std::string& content, const char16_t* name) {
    AddLanguageFileItem(dialog_, reinterpret_cast<const uint8_t*>(content.c_str()),
                        uint32_t(content.size()), name);
  }
  SetupState state_;
  WindowHandle dialog_ = nullptr;
  WindowHandle list_ = nullptr;
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

TEST_F(LanguageFilesTest, PrefixIsTheFirstLanguageFilesBaseNameLessSevenCharacters) {
  struct Case {
    const char16_t* first;
    const char16_t* second;
    const char16_t* prefix;
  } cases[] = {
      {u"lang\\APP_FR.LNG", u"OTHER_DE.LNG", u"APP"},  // folders ignored; the first one stays
      {u"APP_FR.LNG", nullptr, u"APP"},
      {u"A_FR.LNG", nullptr, u"A"},
      {u"_FR.LNG", nullptr, u"_FR.LNG"},              // 7 characters: kept whole
      {u"x/FR.LNG", nullptr, u"FR.LNG"},              // a slash separates too
      {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ12345678_FR.LNG", nullptr, u"ABCDEFGHIJKLMNOPQRSTUVWX"},
  };
  for (const Case& c : cases) {
    state_.languageFilePrefix[0] = 0;
    SetLanguageFilePrefix(c.first);
    if (c.second) SetLanguageFilePrefix(c.second);
    EXPECT_EQ(std::u16string(state_.languageFilePrefix), c.prefix) << HostUtf8(c.first);
  }
}

TEST_F(LanguageFilesTest, ItemFromAnsiFileKeepsTrailingSpaceAndUpperCasesTheCode) {
  AddFile("[Info]\r\nLanguage=Fran\xE7" "ais (French)\r\n", u"APP_fr.LNG");
  ASSERT_EQ(ListItemCount(list_), 1);
  EXPECT_EQ(ItemText(list_, 0), u"Fran\u00E7ais ");
  EXPECT_EQ(LanguageItemCode(list_, 0), 0x5246u);  // "FR"
  EXPECT_EQ(ListGetStateImage(list_, 0), kStateChecked);
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
    EXPECT_EQ(ListItemCount(list_), 0) << c.why;
  }
}

TEST_F(LanguageFilesTest, DisplayNameEndsAtEqualsOrLineEnd) {
  AddFile("[x]\nLanguage=Dansk=da\n", u"APP_DA.LNG");
  AddFile("[x]\nLanguage:Norsk\rmore", u"APP_NO.LNG");
  AddFile("[x]\nLanguage=Svenska", u"APP_SV.LNG");
  ASSERT_EQ(ListItemCount(list_), 3);
  EXPECT_EQ(ItemText(list_, 0), u"Dansk");
  EXPECT_EQ(ItemText(list_, 1), u"Norsk");
  EXPECT_EQ(ItemText(list_, 2), u"Svenska");
}

TEST_F(LanguageFilesTest, Utf16FileShowsCyrillicNameUnchanged) {
  AddFile(Utf16File(u"[Info]\r\nLanguage=\u0420\u0443\u0441\u0441\u043A\u0438\u0439\r\n"),
          u"APP_RU.LNG");
  ASSERT_EQ(ListItemCount(list_), 1);
  EXPECT_EQ(ItemText(list_, 0), u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439");
  EXPECT_EQ(LanguageItemCode(list_, 0), 0x5552u);  // "RU"
}

TEST_F(LanguageFilesTest, Utf16FileIsReadWithinItsSizeOnly) {
  // No terminator after an odd number of bytes: the text ends with the content.
  std::string content = Utf16File(u"[x]\nLanguage=Eesti");
  content += 'Z';  // half a character
  std::vector<uint8_t> exact(content.begin(), content.end());
  AddLanguageFileItem(dialog_, exact.data(), uint32_t(exact.size()), u"APP_ET.LNG");
  ASSERT_EQ(ListItemCount(list_), 1);
  EXPECT_EQ(ItemText(list_, 0), u"Eesti");
}

TEST_F(LanguageFilesTest, OnlyTheFirst259CharactersAreRead) {
  std::string content = "[x]" + std::string(244, ' ') + "Language=Tagalog\r\n";  // name cut
  AddFile(content, u"APP_TL.LNG");
  ASSERT_EQ(ListItemCount(list_), 1);
  EXPECT_EQ(ItemText(list_, 0), u"Tag");  // 3 + 244 + 9 + 3 = 259 characters
}

TEST_F(LanguageFilesTest, EachCodeOnceIncludingTheBuiltInOnes) {
  AddLanguageItem(list_, u"English", kLanguageUS);
  AddLanguageItem(list_, u"German", kLanguageDE);
  AddFile("[x]\nLanguage=Francais\n", u"APP_FR.LNG");
  AddFile("[x]\nLanguage=Autre\n", u"other\\APP_FR.LNG");
  AddFile("[x]\nLanguage=Deutsch (Datei)\n", u"APP_DE.LNG");
  AddFile("[x]\nLanguage=American\n", u"APP_us.LNG");
  ASSERT_EQ(ListItemCount(list_), 3);
  int fr = FindLanguageItem(list_, 0x5246);
  ASSERT_GE(fr, 0);
  EXPECT_EQ(ItemText(list_, fr), u"Francais");
}

TEST_F(LanguageFilesTest, LanguageFilePathJoinsFolderPrefixAndCode) {
  CopyText(u"APP", state_.languageFilePrefix, 32);
  char16_t path[260];
  LanguageFilePath(u"C:\\Tool", 0x5246, path);
  EXPECT_EQ(std::u16string(path), u"C:\\Tool\\APP_FR.LNG");
  LanguageFilePath(u"C:\\Tool/", 0x5246, path);
  EXPECT_EQ(std::u16string(path), u"C:\\Tool/APP_FR.LNG");
  LanguageFilePath(u"C:\\Tool\\", 0x415A4C, path);  // three letters
  EXPECT_EQ(std::u16string(path), u"C:\\Tool\\APP_LZA.LNG");
}

TEST_F(LanguageFilesTest, UpdateUnchecksLanguagesMissingFromTheFolder) {
  std::string root = HostMakeTempRoot();
  HostReset(root);
  CopyText(u"APP", state_.languageFilePrefix, 32);
  ASSERT_EQ(CreateDirectories(u"C:\\Tool"), 0);
  std::ofstream(HostNativePath(u"C:\\Tool\\APP_FR.LNG")) << "[x]";
  AddLanguageItem(list_, u"English", kLanguageUS);
  AddLanguageItem(list_, u"German", kLanguageDE);
  AddLanguageItem(list_, u"Francais", 0x5246);
  AddLanguageItem(list_, u"Italiano", 0x5449);
  UncheckMissingLanguages(dialog_, u"C:\\Tool");
  EXPECT_EQ(ListGetStateImage(list_, FindLanguageItem(list_, kLanguageUS)), kStateChecked);
  EXPECT_EQ(ListGetStateImage(list_, FindLanguageItem(list_, kLanguageDE)), kStateChecked);
  EXPECT_EQ(ListGetStateImage(list_, FindLanguageItem(list_, 0x5246)), kStateChecked);
  EXPECT_EQ(ListGetStateImage(list_, FindLanguageItem(list_, 0x5449)), kStateUnchecked);
  HostRemoveTree(root);
}

}  // namespace
