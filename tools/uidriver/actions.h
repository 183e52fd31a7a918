// The actions of the UI driver: each takes the session and its fixed number of arguments,
// does one step, prints its result, and returns false (after saying why) when it failed.
#pragma once

#include "session.h"

// The setup dialog (actions_dialog.cpp).
bool WaitDialog(Session& s, const Args& a);
bool WaitGone(Session& s, const Args& a);
bool Title(Session& s, const Args& a);
bool Rect(Session& s, const Args& a);
bool ControlRect(Session& s, const Args& a);
bool Text(Session& s, const Args& a);
bool Visible(Session& s, const Args& a);
bool Enabled(Session& s, const Args& a);
bool Checked(Session& s, const Args& a);
bool Dump(Session& s, const Args& a);
bool Items(Session& s, const Args& a);
bool Column(Session& s, const Args& a);
bool SetText(Session& s, const Args& a);
bool Check(Session& s, const Args& a);
bool Click(Session& s, const Args& a);
bool SetItem(Session& s, const Args& a);
bool Press(Session& s, const Args& a);
bool Escape(Session& s, const Args& a);
bool Close(Session& s, const Args& a);

// Message boxes, the folder browser, other programs' windows, files, time (actions_other.cpp).
bool WaitMsgbox(Session& s, const Args& a);
bool NoMsgbox(Session& s, const Args& a);
bool MsgboxCaption(Session& s, const Args& a);
bool MsgboxText(Session& s, const Args& a);
bool Dismiss(Session& s, const Args& a);
bool Answer(Session& s, const Args& a);
bool MsgboxButtons(Session& s, const Args& a);
bool MsgboxProcess(Session& s, const Args& a);
bool WaitBrowser(Session& s, const Args& a);
bool BrowserSelection(Session& s, const Args& a);
bool BrowserOk(Session& s, const Args& a);
bool BrowserCancel(Session& s, const Args& a);
bool VisibleWindows(Session& s, const Args& a);
bool Lnk(Session& s, const Args& a);
bool Hold(Session& s, const Args& a);
bool Windows(Session& s, const Args& a);
bool WaitWindow(Session& s, const Args& a);
bool WaitNoWindow(Session& s, const Args& a);
bool HoldUntil(Session& s, const Args& a);
bool Run(Session& s, const Args& a);
bool Mark(Session& s, const Args& a);
bool Elapsed(Session& s, const Args& a);
bool SleepAction(Session& s, const Args& a);
