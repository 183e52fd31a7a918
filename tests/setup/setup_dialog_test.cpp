// The setup dialog on the headless stand-in: initialisation (placement, texts, language list,
// scan pass, destination and check boxes), the damaged-payload path, the watcher thread,
// the context menu's check operations and the commands.
#include "setup/setup_dialog.h"

#include <functional>

#include "setup/language_list.h"
#include "setup/scan.h"
#include "setup_test_support.h"

namespace setuptest {
namespace {

std::vector<std::u16string> ItemTexts(WindowHandle list) {
  std::vector<std::u16string> texts;
  for (const HostListItem& item : HostWindowOf(list)->items) texts.push_back(item.text);
  return texts;
}

std::vector<int> States(WindowHandle list) {
  std::vector<int> states;
  for (int i = 0; i < ListItemCount(list); ++i) states.push_back(ListGetStateImage(list, i));
  return states;
}

void WriteSimpleProduct(RarWriter& w) {
  w.AddStored("FILE_ID.DIZ", BytesOf("Tool Version 2.1 (build 7)\r\n"));
  w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\n"));
  w.AddStored("KTool.exe", BytesOf("MZ"));
}

class DialogTest : public SetupFlowTest {
 protected:
  // Opens the dialog on the simple product, with further entries when given.
  void OpenProduct(const std::function<void(RarWriter&)>& more = nullptr) {
    RarWriter w = StartPayload();
    WriteSimpleProduct(w);
    if (more) more(w);
    WritePayload(w);
    OpenDialog();
  }
};

TEST_F(DialogTest, DialogWithoutLanguageFilesShowsTheTwoBuiltInItems) {
  OpenProduct();
  EXPECT_EQ(ItemTexts(List()), (std::vector<std::u16string>{u"English", u"German"}));
  EXPECT_EQ(States(List()), (std::vector<int>{kStateChecked, kStateChecked}));
  EXPECT_EQ(LanguageItemCode(List(), 0), kLanguageUS);
  EXPECT_EQ(LanguageItemCode(List(), 1), kLanguageDE);
  EXPECT_TRUE(HostMessages().empty());
  EXPECT_FALSE(ClosePosted());
}

TEST_F(DialogTest, DialogTextsTitleColumnAndPlacement) {
  HostSetScreen(1024, 768);
  OpenProduct();
  EXPECT_EQ(Title(), u"Setup Tool 2.1");
  EXPECT_EQ(Text(kControlTitle), u"Tool 2.1");
  EXPECT_EQ(Text(kControlOk), u"&OK");
  EXPECT_EQ(Text(kControlCancel), u"Cancel");
  EXPECT_EQ(Text(kControlDestinationLabel), u"Destination folder");
  EXPECT_EQ(Text(kControlProgramGroup), u"Put entry to Start Menu");
  EXPECT_EQ(Text(kControlDesktopIcon), u"Create a Desktop icon");
  EXPECT_EQ(Text(kControlQuickLaunch), u"Create a Quick Launch icon");
  EXPECT_EQ(Text(kControlBrowse), u"...");
  HostWindow* list = HostWindowOf(List());
  ASSERT_EQ(list->columns.size(), 1u);
  EXPECT_EQ(list->columns[0].text, u"Language");
  EXPECT_EQ(list->columns[0].format, 0);
  EXPECT_EQ(list->columns[0].width, 107);  // client width 128 less scroll bar 17 and 4
  EXPECT_EQ(list->extendedStyle, 0x424u);
  HostWindow* d = HostWindowOf(dialog_);
  EXPECT_EQ(d->classIcon, nullptr);  // the state's icon (none loaded in this test)
  int width = d->rect.right - d->rect.left, height = d->rect.bottom - d->rect.top;
  EXPECT_EQ(d->rect.left, (1024 - width) >> 1);
  EXPECT_EQ(d->rect.top, (768 - height) >> 1);
}

TEST_F(DialogTest, DialogLargerThanTheScreenIsPlacedByArithmeticShift) {
  HostSetScreen(400, 300);
  OpenProduct();
  HostWindow* d = HostWindowOf(dialog_);
  int width = d->rect.right - d->rect.left, height = d->rect.bottom - d->rect.top;
  EXPECT_EQ(d->rect.left, (400 - width) >> 1);
  EXPECT_LT(d->rect.left, (400 - width) / 2) << "rounds towards minus infinity";
  EXPECT_EQ(d->rect.top, (300 - height) >> 1);
  HostSetScreen(1024, 768);
}

TEST_F(DialogTest, LanguageFilesOfThePayloadBecomeCheckedItems) {
  auto utf16 = [](const std::u16string& text) {
    Bytes bytes = {0xFF, 0xFE};
    for (char16_t c : text) {
      bytes.push_back(uint8_t(c & 0xFF));
      bytes.push_back(uint8_t(c >> 8));
    }
    return bytes;
  };
  RarWriter w = StartPayload();
  WriteSimpleProduct(w);
  w.AddStored("lang\\APP_FR.LNG", BytesOf("[Info]\r\nLanguage=Fran\xE7" "ais (French)\r\n"));
  w.AddStored("APP_RU.LNG", utf16(u"[Info]\r\nLanguage=\u0420\u0443\u0441\u0441\u043A\u0438\u0439\r\n"));
  w.AddStored("other\\APP_FR.LNG", BytesOf("[Info]\r\nLanguage=Second\r\n"));  // code known
  w.AddStored("APP_DE.LNG", BytesOf("[Info]\r\nLanguage=Deutsch\r\n"));        // built in
  w.AddStored("APP_IT.LNG", BytesOf("[I]Lang"));                                 // 7 bytes
  w.AddStored("APP_ES.LNG", BytesOf("\r\n[Info]\r\nLanguage=Espanol\r\n"));    // no [ first
  WritePayload(w);
  OpenDialog();
  EXPECT_EQ(std::u16string(state_.languageFilePrefix), u"APP");
  EXPECT_EQ(ItemTexts(List()),
            (std::vector<std::u16string>{u"English", u"Fran\u00E7ais ", u"German",
                                         u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439"}));
  EXPECT_EQ(States(List()), std::vector<int>(4, kStateChecked));
  EXPECT_GE(FindLanguageItem(List(), 0x5246), 0);
  EXPECT_GE(FindLanguageItem(List(), 0x5552), 0);
  EXPECT_LT(FindLanguageItem(List(), 0x5449), 0);
}

TEST_F(DialogTest, FreshInstallChecksTheBoxesAndHidesQuickLaunchWithoutItsFolder) {
  OpenProduct();
  EXPECT_EQ(Text(kControlDestination), u"C:\\Program Files\\Tool");
  EXPECT_TRUE(DialogIsChecked(dialog_, kControlProgramGroup));
  EXPECT_TRUE(DialogIsChecked(dialog_, kControlDesktopIcon));
  EXPECT_FALSE(DialogIsChecked(dialog_, kControlQuickLaunch));
  EXPECT_FALSE(DialogItemVisible(dialog_, kControlQuickLaunch));
}

TEST_F(DialogTest, FreshInstallChecksQuickLaunchWhenItsFolderExists) {
  CreateDirectories(u"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch");
  OpenProduct();
  EXPECT_TRUE(DialogIsChecked(dialog_, kControlQuickLaunch));
  EXPECT_TRUE(DialogItemVisible(dialog_, kControlQuickLaunch));
}

TEST_F(DialogTest, UpdateLeavesBoxesUncheckedAndUnchecksMissingLanguages) {
  HostRegistryWrite(HostHive::CurrentUser, u"Software\\Korvane", u"TL", u"D:\\Old\\Tool");
  HostAddDrive('D');
  CreateDirectories(u"D:\\Old\\Tool");
  WriteFileAt(u"D:\\Old\\Tool\\APP_FR.LNG", "[Info]");
  RarWriter w = StartPayload();
  WriteSimpleProduct(w);
  w.AddStored("APP_FR.LNG", BytesOf("[Info]\r\nLanguage=Francais\r\n"));
  w.AddStored("APP_IT.LNG", BytesOf("[Info]\r\nLanguage=Italiano\r\n"));
  WritePayload(w);
  OpenDialog();
  EXPECT_EQ(Text(kControlDestination), u"D:\\Old\\Tool");
  EXPECT_FALSE(DialogIsChecked(dialog_, kControlProgramGroup));
  EXPECT_FALSE(DialogIsChecked(dialog_, kControlDesktopIcon));
  EXPECT_FALSE(DialogIsChecked(dialog_, kControlQuickLaunch));
  // This machine has no Quick Launch folder: on an update as on a fresh install, no box.
  EXPECT_FALSE(QuickLaunchAvailable());
  EXPECT_FALSE(DialogItemVisible(dialog_, kControlQuickLaunch));
  EXPECT_EQ(ListGetStateImage(List(), FindLanguageItem(List(), 0x5246)), kStateChecked);
  EXPECT_EQ(ListGetStateImage(List(), FindLanguageItem(List(), 0x5449)), kStateUnchecked);
  EXPECT_EQ(ListGetStateImage(List(), FindLanguageItem(List(), kLanguageUS)), kStateChecked);
  EXPECT_EQ(ListGetStateImage(List(), FindLanguageItem(List(), kLanguageDE)), kStateChecked);
}

TEST_F(DialogTest, DamagedPayloadShowsBrokenFileAndCloses) {
  HostAddForeignWindow("Tool", 0);
  RarWriter w = StartPayload();
  WriteSimpleProduct(w);
  rartest::RarBlock b = w.AddStored("data.bin", BytesOf("some data"));
  w.DamageByte(b.dataStart);
  WritePayload(w);
  OpenDialog();
  ASSERT_EQ(HostMessages().size(), 1u);
  EXPECT_EQ(HostMessages()[0].text, u"Broken file, please download again.");
  EXPECT_EQ(HostMessages()[0].caption, u"Setup.exe");
  EXPECT_EQ(HostMessages()[0].type, 16u);
  EXPECT_TRUE(ClosePosted());
  // The one thread is the checking window's, which every scan starts and ends.
  EXPECT_EQ(HostJoinThreads(), 1) << "no watcher for a payload that will not be installed";
  HostDispatchPosted(dialog_);
  EXPECT_TRUE(HostWindowOf(dialog_)->ended);
}

TEST_F(DialogTest, UnsafeEntryNameIsReportedBeforeAnythingIsInstalled) {
  RarWriter w = StartPayload();
  WriteSimpleProduct(w);
  w.AddStored("readme.txt", BytesOf("hello"));
  w.AddStored("bin\\LPT1.dll", BytesOf("device"));
  WritePayload(w);
  OpenDialog();
  ASSERT_EQ(HostMessages().size(), 1u);
  EXPECT_EQ(HostMessages()[0].text, u"Broken file, please download again.");
  EXPECT_TRUE(ClosePosted());
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool"));
}

TEST_F(DialogTest, MissingArchiveIsReportedAsBrokenFile) {
  OpenDialog();
  ASSERT_EQ(HostMessages().size(), 1u);
  EXPECT_EQ(HostMessages()[0].text, u"Broken file, please download again.");
  EXPECT_EQ(Title(), u"Setup");  // no product description: the table's title alone
  EXPECT_EQ(Text(kControlTitle), u"");
}

TEST_F(DialogTest, WatcherSendsDestroyUntilTheWindowIsGone) {
  WindowHandle stubborn = HostAddForeignWindow("TToolMain", 2);
  WindowHandle other = HostAddForeignWindow("Unrelated", 0);
  RarWriter w = StartPayload();
  w.AddStored("TOOL.INF", BytesOf("Group=Tool\r\nClass=TToolMain\r\n"));
  WritePayload(w);
  OpenDialog();
  EXPECT_EQ(HostJoinThreads(), 2);  // the checking window's and the watcher
  EXPECT_EQ(HostForeignDestroyCount(stubborn), 3);
  EXPECT_FALSE(HostForeignWindowAlive(stubborn));
  EXPECT_EQ(HostForeignDestroyCount(other), 0);
}

TEST_F(DialogTest, WindowClassDefaultsToTheGroupName) {
  WindowHandle running = HostAddForeignWindow("Tool", 0);
  OpenProduct();
  EXPECT_STREQ(state_.facts.windowClass, "Tool");
  EXPECT_EQ(HostJoinThreads(), 2);  // the checking window's and the watcher
  EXPECT_EQ(HostForeignDestroyCount(running), 1);
}

TEST_F(DialogTest, NoWindowClassNoWatcher) {
  RarWriter w = StartPayload();
  w.AddStored("readme.txt", BytesOf("hello"));
  WritePayload(w);
  OpenDialog();
  EXPECT_EQ(HostJoinThreads(), 1);  // the checking window's only
}

class DialogCommandsTest : public DialogTest {
 protected:
  void SetUp() override {
    SetupFlowTest::SetUp();
    RarWriter w = StartPayload();
    WriteSimpleProduct(w);
    w.AddStored("APP_FR.LNG", BytesOf("[Info]\r\nLanguage=French\r\n"));
    WritePayload(w);
    OpenDialog();
    ASSERT_EQ(ListItemCount(List()), 3);  // English, French, German
  }
  void ChooseFromMenu(int command) {
    HostSetMenuChoice(command);
    HostSendMessage(dialog_, kMsgContextMenu, reinterpret_cast<uintptr_t>(List()), 0);
    HostDispatchPosted(dialog_);
    HostSetMenuChoice(0);
  }
};

TEST_F(DialogCommandsTest, ContextMenuOffersTheThreeOperations) {
  HostSetCursorPosition(321, 123);
  ChooseFromMenu(0);
  HostWindow* d = HostWindowOf(dialog_);
  ASSERT_EQ(d->menusShown.size(), 1u);
  const auto& items = d->menusShown[0].items;
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], (std::pair<int, std::u16string>{136, u"Select &all"}));
  EXPECT_EQ(items[1], (std::pair<int, std::u16string>{137, u"&Deselect all"}));
  EXPECT_EQ(items[2], (std::pair<int, std::u16string>{138, u"&Invert selection"}));
  EXPECT_EQ(d->menuX, 321);
  EXPECT_EQ(d->menuY, 123);
}

TEST_F(DialogCommandsTest, ContextMenuOfAnotherControlIsIgnored) {
  HostSendMessage(dialog_, kMsgContextMenu,
                  reinterpret_cast<uintptr_t>(DialogItem(dialog_, kControlDestination)), 0);
  EXPECT_TRUE(HostWindowOf(dialog_)->menusShown.empty());
}

TEST_F(DialogCommandsTest, CheckOperations) {
  ChooseFromMenu(kCommandUncheckAll);
  EXPECT_EQ(States(List()), std::vector<int>(3, kStateUnchecked));
  ListSetStateImage(List(), 1, kStateChecked);
  ChooseFromMenu(kCommandInvert);
  EXPECT_EQ(States(List()), (std::vector<int>{kStateChecked, kStateUnchecked, kStateChecked}));
  EXPECT_STREQ(HostCurrentCursor(), "arrow") << "the wait cursor is restored";
  ChooseFromMenu(kCommandCheckAll);
  EXPECT_EQ(States(List()), std::vector<int>(3, kStateChecked));
}

TEST_F(DialogCommandsTest, InvertTreatsAnyStateOtherThanUncheckedAsChecked) {
  ListSetStateImage(List(), 0, 0);
  ListSetStateImage(List(), 1, kStateUnchecked);
  HostClick(dialog_, kCommandInvert);
  EXPECT_EQ(States(List()), (std::vector<int>{kStateUnchecked, kStateChecked, kStateUnchecked}));
}

TEST_F(DialogCommandsTest, CancelAndCloseEndTheDialogWithoutInstalling) {
  HostClick(dialog_, kControlCancel);
  EXPECT_TRUE(ClosePosted());
  HostDispatchPosted(dialog_);
  EXPECT_TRUE(HostWindowOf(dialog_)->ended);
  EXPECT_EQ(HostWindowOf(dialog_)->endResult, 0);
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool"));
}

TEST_F(DialogCommandsTest, OkInstallsAndClosesOnSuccessOnly) {
  DialogSetItemText(dialog_, kControlDestination, u"");
  HostClick(dialog_, kControlOk);
  EXPECT_FALSE(ClosePosted()) << "a failed install keeps the dialog open";
  DialogSetItemText(dialog_, kControlDestination, u"C:\\Tool");
  HostClick(dialog_, kControlOk);
  EXPECT_TRUE(ClosePosted());
  EXPECT_TRUE(Exists(u"C:\\Tool\\KTool.exe"));
}

TEST_F(DialogCommandsTest, BrowseButtonOpensTheFolderBrowserOnTheDestination) {
  CreateDirectories(u"C:\\Program Files\\Tool");
  HostSetBrowseAnswer(u"C:\\Elsewhere");
  CreateDirectories(u"C:\\Elsewhere");
  HostClick(dialog_, kControlBrowse);
  ASSERT_EQ(HostBrowseRequests().size(), 1u);
  EXPECT_EQ(HostBrowseRequests()[0].initialSelection, u"C:\\Program Files\\Tool");
  EXPECT_EQ(Text(kControlDestination), u"C:\\Elsewhere");
}

TEST_F(DialogCommandsTest, OtherMessagesAreIgnored) {
  EXPECT_EQ(HostSendMessage(dialog_, 0x0200, 0, 0), 0);
  EXPECT_EQ(HostSendMessage(dialog_, kMsgCommand, 4711, 0), 0);
  EXPECT_FALSE(ClosePosted());
}

}  // namespace
}  // namespace setuptest
