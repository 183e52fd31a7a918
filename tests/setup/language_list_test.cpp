// The language list: the items of language files (each code once) and the update rule that
// unchecks the languages an existing installation does not have.
#include "setup/language_list.h"

#include <fstream>

#include "setup_test_support.h"

namespace setuptest {
namespace {

class LanguageListTest : public SetupFlowTest {
 protected:
  void SetUp() override {
    SetupFlowTest::SetUp();
    dialog_ = HostCreateSetupDialog(nullptr);
    list_ = List();
    ListSetExtendedStyle(list_, kListExtendedStyles);
  }
  void AddFile(const std::string& content, const char16_t* name) {
    AddLanguageFileItem(list_, reinterpret_cast<const uint8_t*>(content.c_str()), uint32_t(content.size()), name);
  }
  WindowHandle list_ = nullptr;
};

TEST_F(LanguageListTest, EachCodeOnceIncludingTheBuiltInOnes) {
  AddLanguageItem(list_, u"English", kLanguageUS);
  AddLanguageItem(list_, u"German", kLanguageDE);
  AddFile("[x]\nLanguage=Francais\n", u"APP_FR.LNG");
  AddFile("[x]\nLanguage=Autre\n", u"other\\APP_FR.LNG");
  AddFile("[x]\nLanguage=Deutsch (Datei)\n", u"APP_DE.LNG");
  AddFile("[x]\nLanguage=American\n", u"APP_us.LNG");
  ASSERT_EQ(ListItemCount(list_), 3);
  int fr = FindLanguageItem(list_, 0x5246);
  ASSERT_GE(fr, 0);
  EXPECT_EQ(HostWindowOf(list_)->items[fr].text, u"Francais");
}

TEST_F(LanguageListTest, UpdateUnchecksLanguagesMissingFromTheFolder) {
  ASSERT_EQ(CreateDirectories(u"C:\\Tool"), 0);
  std::ofstream(HostNativePath(u"C:\\Tool\\APP_FR.LNG")) << "[x]";
  AddLanguageItem(list_, u"English", kLanguageUS);
  AddLanguageItem(list_, u"German", kLanguageDE);
  AddLanguageItem(list_, u"Francais", 0x5246);
  AddLanguageItem(list_, u"Italiano", 0x5449);
  UncheckMissingLanguages(list_, u"C:\\Tool", u"APP");
  EXPECT_EQ(ListGetStateImage(list_, FindLanguageItem(list_, kLanguageUS)), kStateChecked);
  EXPECT_EQ(ListGetStateImage(list_, FindLanguageItem(list_, kLanguageDE)), kStateChecked);
  EXPECT_EQ(ListGetStateImage(list_, FindLanguageItem(list_, 0x5246)), kStateChecked);
  EXPECT_EQ(ListGetStateImage(list_, FindLanguageItem(list_, 0x5449)), kStateUnchecked);
}

}  // namespace
}  // namespace setuptest
