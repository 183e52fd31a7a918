// Shared set-up of the setup-flow tests: a fresh stand-in machine under a temporary root,
// a zeroed SetupState with the US table, a payload archive written with the test writer at
// C:\Downloads\Setup.exe (the module path), and the headless setup dialog.
#pragma once
#include <gtest/gtest.h>


#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "localisation/string_tables.h"
#include "setup/setup_dialog.h"
#include "setup/setup_state.h"
#include "support/rar_writer.h"
#include "system/host/host_control.h"
#include "system/host/host_dialog.h"
#include "system/folders.h"
#include "system/host/host_paths.h"
#include "system/text.h"
#include "system/ui.h"

namespace setuptest {

using rartest::Bytes;
using rartest::BytesOf;
using rartest::RarWriter;

constexpr const char16_t* kModulePath = u"C:\\Downloads\\Setup.exe";

inline std::string Native(const std::u16string& path) { return HostNativePath(path.c_str()); }

inline bool Exists(const std::u16string& path) { return FileExists(path.c_str()); }

inline std::string ReadFile(const std::u16string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFileAt(const std::u16string& path, const std::string& content) {
  std::ofstream(Native(path), std::ios::binary) << content;
}

class SetupFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = HostMakeTempRoot();
    HostReset(root_);
    HostClearMessages();
    HostClearForeignWindows();
    HostSetMenuChoice(0);
    HostSetFontAvailable(true);
    std::memset(&state_, 0, sizeof state_);
    std::strcpy(state_.languageCode, "US");
    state_.languageTable = kUsTable;
    CopyText(kModulePath, state_.modulePath, 260);
    gSetupState = &state_;
    HostSetModulePath(kModulePath);
    CreateDirectories(u"C:\\Downloads");
  }
  void TearDown() override {
    HostJoinThreads();
    if (dialog_) HostDestroyDialog(dialog_);
    gSetupState = nullptr;
    HostRemoveTree(root_);
  }
  // Writes the payload behind a small executable image, as the packer would.
  void WritePayload(RarWriter& w) { ASSERT_TRUE(w.WriteFile(Native(kModulePath))); }
  static RarWriter StartPayload() {
    RarWriter w;
    w.AddPrefix(Bytes(512, 0x4D));
    w.AddArchiveStart();
    return w;
  }
  // Creates the headless dialog and runs its initialisation (scan pass included).
  void OpenDialog() {
    dialog_ = HostCreateSetupDialog(SetupDialogProc);
    HostSendMessage(dialog_, kMsgInitDialog, 0, 0);
  }
  WindowHandle List() { return DialogItem(dialog_, kControlLanguages); }
  std::u16string Text(int id) { return HostControl(dialog_, id)->text; }
  std::u16string Title() { return HostWindowOf(dialog_)->text; }
  bool ClosePosted() {
    for (const HostPosted& m : HostWindowOf(dialog_)->posted)
      if (m.message == kMsgClose) return true;
    return false;
  }

  std::string root_;
  SetupState state_;
  WindowHandle dialog_ = nullptr;
};

}  // namespace setuptest
