// The scan pass: the codes its callback gives each name, the two description formats, and
// the pass's result on intact, damaged and unsafe payloads.
#include "setup/scan.h"

#include "archive/extract.h"
#include "setup/entry_names.h"
#include "setup_test_support.h"

namespace setuptest {
namespace {

TEST(EntryNames, UnsafeNamesAreRecognised) {
  struct Case {
    const char16_t* name;
    bool unsafe;
  } cases[] = {
      {u"CON", true},          {u"con", true},           {u"CON.txt", true},
      {u"docs\\nul.log", true}, {u"AUX.tar.gz", true},    {u"PRN", true},
      {u"COM1", true},         {u"com9.dat", true},      {u"LPT1", true},
      {u"lpt9.x", true},       {u"NUL .txt", true},      {u"CON ", true},
      {u"a:b", true},          {u"C:\\Windows\\x", false},  // only the base name is written
      {u"file.txt:stream", true},
      {u"dir\\", true},        {u"dir/", true},          {u"", true},
      {u".", true},            {u"..", true},            {u"docs\\..", true},
      {u"...", true},          {u". .", true},
      {u"CONSOLE.txt", false}, {u"COM0", false},         {u"COM10", false},
      {u"LPT", false},         {u"ACON", false},         {u"readme.txt", false},
      {u"docs\\readme.txt", false}, {u".hidden", false}, {u"a..b", false},
      {u"..\\evil.txt", false},  // the folders are never reproduced: only the base name counts
      {u"CONIN$", true},       {u"conout$.log", true},   {u"Clock$", true},
      {u"CON .txt", true},     {u"what?.txt", true},     {u"a<b", true},
      {u"pipe|x", true},       {u"say\"hi\"", true},     {u"star*", true},
      {u"tab\tx", true},       {u"name.", true},         {u"name ", true},
      {u"CON\\readme.txt", false},  // a folder named CON is never made
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsUnsafeEntryName(c.name), c.unsafe) << HostUtf8(c.name);
}

TEST(EntryNames, ComparisonsIgnoreOnlyAsciiLetterCase) {
  EXPECT_TRUE(EqualsIgnoreCase(u"UnInst.exe", u"UNINST.EXE"));
  EXPECT_FALSE(EqualsIgnoreCase(u"UnInst.exe", u"UnInst.ex"));
  EXPECT_FALSE(EqualsIgnoreCase(u"\u00E9", u"\u00C9"));
  EXPECT_TRUE(EndsWithIgnoreCase(u"a\\setup.inf", u".INF"));
  EXPECT_FALSE(EndsWithIgnoreCase(u"INF", u".INF"));
}

TEST_F(SetupFlowTest, ScanCallbackMarksEntriesAndKeepsTheNameBehindTheCode) {
  struct Case {
    const char16_t* name;
    char16_t code;
  } cases[] = {
      {u"FILE_ID.DIZ", Description}, {u"file_id.diz", Description},
      {u"docs\\FILE_ID.DIZ", VerifyOnly},  // not the whole name
      {u"FILE_ID.DIZ.bak", VerifyOnly},    {u"SETUP.INF", SetupInfo},
      {u"x\\tool.inf", SetupInfo},         {u"A.INF", SetupInfo},
      {u".INF", VerifyOnly},               // four characters: verified only
      {u"APP_FR.LNG", LanguageFile},       {u"lang\\app_de.lng", LanguageFile},
      {u"K.EXE", VerifyOnly},              {u"ab", VerifyOnly},
      {u"readme.txt", VerifyOnly},
  };
  for (const Case& c : cases) {
    char16_t name[260];
    CopyText(c.name, name, 260);
    EXPECT_EQ(ScanCallback(name, nullptr, 10, nullptr), 0);
    EXPECT_EQ(name[0], c.code == VerifyOnly ? kChecksumOnlyName : c.code) << HostUtf8(c.name);
    EXPECT_EQ(std::u16string(name + 1), std::u16string(c.name)) << HostUtf8(c.name);
  }
  EXPECT_EQ(std::u16string(state_.languageFilePrefix), u"APP");  // from the first .LNG only
}

TEST_F(SetupFlowTest, SecondCallWithoutContentChangesNothing) {
  // An entry too large to keep in memory, or one only checksummed, comes back verified but
  // without its bytes: the second call neither counts nor classifies it again.
  for (const char16_t* entry : {u"lang\\APP_FR.LNG", u"bin\\tool.exe"}) {
    char16_t name[260];
    CopyText(entry, name, 260);
    ScanCallback(name, nullptr, 20u << 20, nullptr);
    std::u16string after(name, name + 16);
    const uint64_t bytes = state_.payloadBytes;
    EXPECT_EQ(ScanCallback(name, nullptr, 20u << 20, nullptr), 0);
    EXPECT_EQ(std::u16string(name, name + 16), after) << HostUtf8(entry);
    EXPECT_EQ(state_.payloadBytes, bytes) << HostUtf8(entry);
  }
  EXPECT_EQ(state_.unsafeEntries, 0);
}

TEST_F(SetupFlowTest, ScanCallbackCountsUnsafeNames) {
  for (const char16_t* n : {u"readme.txt", u"CON.txt", u"x\\..", u"ok.dll"}) {
    char16_t name[260];
    CopyText(n, name, 260);
    ScanCallback(name, nullptr, 1, nullptr);
  }
  EXPECT_EQ(state_.unsafeEntries, 2);
}

TEST_F(SetupFlowTest, InstallationDescriptionKeys) {
  struct Case {
    const char* why;
    const char* text;
    const char* id;
    const char* group;
    const char* windowClass;
    const char* exe;
  } cases[] = {
      {"only ID", "ID=ABC\r\n", "ABC", "", "", ""},
      {"all four", "ID=T1\r\nGroup=Tool\r\nClass=TToolMain\nExe=KTool.exe\r\n", "T1", "Tool",
       "TToolMain", "KTool.exe"},
      {"space before =", "Group = Tools\r\nID=X\r\n", "X", "", "", ""},
      {"widths cut", "ID=ABCDEF\nGroup=0123456789012345678901234567890123456789\n", "ABC",
       "0123456789012345678901234567890", "", ""},
      {"first occurrence only", "; Group of tools\r\nGroup=Tool\r\n", "", "", "", ""},
      {"inside a longer word", "GUID=7\r\n", "7", "", "", ""},
      {"no trimming", "Exe= K.exe \r\n", "", "", "", " K.exe "},
      {"value to end of text", "Class=Main", "", "", "Main", ""},
      {"empty value", "Group=\r\nID=Q", "Q", "", "", ""},
  };
  for (const Case& c : cases) {
    std::memset(state_.facts.productId, 0, sizeof state_.facts.productId);
    std::memset(state_.facts.group, 0, sizeof state_.facts.group);
    std::memset(state_.facts.windowClass, 0, sizeof state_.facts.windowClass);
    std::memset(state_.facts.mainProgram, 0, sizeof state_.facts.mainProgram);
    ParseSetupInfo(c.text);
    EXPECT_STREQ(state_.facts.productId, c.id) << c.why;
    EXPECT_STREQ(state_.facts.group, c.group) << c.why;
    EXPECT_STREQ(state_.facts.windowClass, c.windowClass) << c.why;
    EXPECT_STREQ(state_.facts.mainProgram, c.exe) << c.why;
  }
}

TEST_F(SetupFlowTest, AbsentKeyKeepsTheEarlierValue) {
  std::strcpy(state_.facts.group, "From DIZ");
  ParseSetupInfo("ID=AB\r\n");
  EXPECT_STREQ(state_.facts.group, "From DIZ");
  ParseSetupInfo("Group=From INF\r\n");
  EXPECT_STREQ(state_.facts.group, "From INF");
}

TEST_F(SetupFlowTest, ProductDescriptionFirstLine) {
  struct Case {
    const char* text;
    const char16_t* title;
    const char16_t* heading;
    const char* group;
  } cases[] = {
      {"Tool Version 2.1 (build 7)\r\nmore", u"Setup Tool 2.1", u"Tool 2.1", "Tool"},
      {"[Tool] Version 3\r\n", u"Setup  ", u" ", ""},
      {"Tool\r\n", u"Setup Tool ", u"Tool ", "Tool"},
      {"Tool \nx", u"Setup Tool ", u"Tool ", "Tool"},  // one space before the line end dropped
      {"My Tool  (x)", u"Setup My Tool  ", u"My Tool  ", "My Tool "},  // only one space dropped
      {"Tool Version 12345678901234567890123456789012345", u"Setup Tool 1234567890123456789012345678901",
       u"Tool 1234567890123456789012345678901", "Tool"},
      {"A very long product name that goes well beyond thirty-one characters",
       u"Setup A very long product name that goes well beyond thirty-one characters ",
       u"A very long product name that goes well beyond thirty-one characters ",
       "A very long product name that g"},
  };
  for (const Case& c : cases) {
    dialog_ = HostCreateSetupDialog(nullptr);
    WindowSetText(dialog_, u"Setup");
    std::memset(state_.facts.group, 0, sizeof state_.facts.group);
    ApplyDescription(dialog_, c.text);
    EXPECT_EQ(Title(), c.title) << c.text;
    EXPECT_EQ(Text(kControlTitle), c.heading) << c.text;
    EXPECT_STREQ(state_.facts.group, c.group) << c.text;
    HostFont* font = static_cast<HostFont*>(HostControl(dialog_, kControlTitle)->font);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->height, -24);
    EXPECT_EQ(font->face, u"MS Sans Serif");
    HostDestroyDialog(dialog_);
    dialog_ = nullptr;
  }
}

TEST_F(SetupFlowTest, ProductDescriptionKeepsAnExistingGroupAndWorksWithoutFont) {
  HostSetFontAvailable(false);
  dialog_ = HostCreateSetupDialog(nullptr);
  WindowSetText(dialog_, u"Setup");
  std::strcpy(state_.facts.group, "Group");
  ApplyDescription(dialog_, "Tool Version 1");
  EXPECT_STREQ(state_.facts.group, "Group");
  EXPECT_EQ(HostControl(dialog_, kControlTitle)->font, nullptr);
  EXPECT_EQ(Text(kControlTitle), u"Tool 1");
}

TEST_F(SetupFlowTest, ProductDescriptionInAnsiCodePage) {
  dialog_ = HostCreateSetupDialog(nullptr);
  WindowSetText(dialog_, u"Setup");
  ApplyDescription(dialog_, "Caf\xE9 Version 1\x80");
  EXPECT_EQ(Title(), u"Setup Caf\u00E9 1\u20AC");
}

// The language-file prefix comes from the first ".LNG" entry; later ones do not change it.
TEST_F(SetupFlowTest, LanguageFilePrefixIsTheFirstLanguageFilesBaseNameLessSevenCharacters) {
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
    for (const char16_t* entry : {c.first, c.second}) {
      char16_t name[260] = {};
      if (entry) CopyText(entry, name, 260);
      if (entry) ScanCallback(name, nullptr, 0, nullptr);  // the first call of an entry
    }
    EXPECT_EQ(std::u16string(state_.languageFilePrefix), c.prefix) << HostUtf8(c.first);
  }
}

TEST_F(SetupFlowTest, ScanPayloadResults) {
  dialog_ = HostCreateSetupDialog(nullptr);
  EXPECT_EQ(ScanPayload(dialog_), 2) << "no archive at the module path";

  RarWriter good = StartPayload();
  good.AddStored("readme.txt", BytesOf("hello"));
  WritePayload(good);
  EXPECT_EQ(ScanPayload(dialog_), 0);

  RarWriter damaged = StartPayload();
  damaged.AddStored("SETUP.INF", BytesOf("ID=AB\r\n"));
  rartest::RarBlock b = damaged.AddStored("data.bin", BytesOf("payload bytes"));
  damaged.DamageByte(b.dataStart + 3);
  WritePayload(damaged);
  EXPECT_EQ(ScanPayload(dialog_), 3);

  RarWriter unsafe = StartPayload();
  unsafe.AddStored("readme.txt", BytesOf("hello"));
  unsafe.AddStored("docs\\CON.txt", BytesOf("device"));
  unsafe.AddStored("more.txt", BytesOf("more"));
  WritePayload(unsafe);
  EXPECT_EQ(ScanPayload(dialog_), kScanUnsafeName);
  EXPECT_EQ(state_.unsafeEntries, 1);

  WritePayload(good);
  EXPECT_EQ(ScanPayload(dialog_), 0) << "the count starts afresh";
}

// Product facts that would steer the setup outside its folders, or onto the system's
// windows, make the payload damaged, as pack refuses them.
TEST_F(SetupFlowTest, FactsThatBreakTheirRuleMakeThePayloadDamaged) {
  struct Case {
    const char* inf;
    const char* diz;
    int result;
  };
  const Case cases[] = {
      {"Group=Tool\r\nExe=KTool.exe\r\nClass=ToolWnd\r\n", "Tool Version 1\r\n", 0},
      {"Group=..\\..\\x\r\n", "Tool Version 1\r\n", kScanUnsafeName},
      {"Group=..\r\n", "Tool Version 1\r\n", kScanUnsafeName},
      {"Group=CON\r\n", "Tool Version 1\r\n", kScanUnsafeName},
      {"Group=Tool?\r\n", "Tool Version 1\r\n", kScanUnsafeName},
      {"Group=T\x81ol\r\n", "Tool Version 1\r\n", kScanUnsafeName},  // undefined in the code page
      {"ID=TL\r\n", "..\\Tool Version 1\r\n", kScanUnsafeName},  // the product name becomes the group
      {"Group=Tool\r\nExe=..\\..\\Windows\\notepad.exe\r\n", "", kScanUnsafeName},
      {"Group=Tool\r\nClass=Shell_TrayWnd\r\n", "", kScanUnsafeName},
      {"Group=Progman\r\n", "", kScanUnsafeName},  // the group stands in for the class
  };
  dialog_ = HostCreateSetupDialog(nullptr);
  for (const Case& c : cases) {
    std::memset(&state_.facts, 0, sizeof state_.facts);
    RarWriter w = StartPayload();
    w.AddStored("FILE_ID.DIZ", BytesOf(c.diz));
    w.AddStored("TOOL.INF", BytesOf(c.inf));
    w.AddStored("KTool.exe", BytesOf("MZ"));
    WritePayload(w);
    EXPECT_EQ(ScanPayload(dialog_), c.result) << c.inf << c.diz;
  }
}

TEST_F(SetupFlowTest, ScanReadsDescriptionsInArchiveOrder) {
  RarWriter w = StartPayload();
  w.AddStored("FILE_ID.DIZ", BytesOf("Tool Version 2.1\r\n"));
  w.AddStored("setup\\TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool Suite\r\nExe=KTool.exe\r\n"));
  w.AddStored("KTool.exe", BytesOf("MZ"));
  WritePayload(w);
  dialog_ = HostCreateSetupDialog(nullptr);
  WindowSetText(dialog_, u"Setup");
  EXPECT_EQ(ScanPayload(dialog_), 0);
  EXPECT_STREQ(state_.facts.group, "Tool Suite");  // the .INF came after the .DIZ
  EXPECT_STREQ(state_.facts.productId, "TL");
  EXPECT_STREQ(state_.facts.mainProgram, "KTool.exe");
  EXPECT_EQ(Title(), u"Setup Tool 2.1");
}

}  // namespace
}  // namespace setuptest
