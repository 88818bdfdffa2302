// The window layer: message-map dispatch, window objects attached to real
// windows, and modal dialogs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/ui/modal_script.h"
#include "ui/command_ids.h"
#include "ui/dialog.h"
#include "ui/edit.h"
#include "ui/win_app.h"

namespace {

// ---- Dispatch through the tables, without windows ----

class BaseTarget : public CCmdTarget {
 public:
  std::vector<std::string> calls;

  const MessageMap* GetMessageMap() const override { return &messageMap; }
  static const MessageMap messageMap;

 protected:
  void OnBaseOnly() { calls.push_back("base only"); }
  void OnShared() { calls.push_back("base shared"); }

 private:
  static const MessageMapEntry messageEntries[];
};

const MessageMapEntry BaseTarget::messageEntries[] = {
    {WM_COMMAND, BN_CLICKED, 10, 10, Handler(&BaseTarget::OnBaseOnly)},
    {WM_COMMAND, BN_CLICKED, 20, 20, Handler(&BaseTarget::OnShared)},
};
const MessageMap BaseTarget::messageMap = {&CCmdTarget::messageMap, messageEntries,
                                           std::size(messageEntries)};

class DerivedTarget : public BaseTarget {
 public:
  UINT key = 0, repeat = 0, flags = 0;
  UINT sysCommand = 0;
  LPARAM sysParam = 0;
  NMHDR* header = nullptr;
  HCURSOR cursor = reinterpret_cast<HCURSOR>(static_cast<LONG_PTR>(0x1234));

  const MessageMap* GetMessageMap() const override { return &messageMap; }
  static const MessageMap messageMap;

 private:
  void OnShared() { calls.push_back("derived shared"); }
  void OnRange() { calls.push_back("range"); }
  void OnKey(UINT k, UINT r, UINT f) {
    key = k;
    repeat = r;
    flags = f;
  }
  void OnSys(UINT id, LPARAM l) {
    sysCommand = id;
    sysParam = l;
  }
  void OnNotice(NMHDR* h, LRESULT* result) {
    header = h;
    *result = 77;
  }
  HCURSOR OnQuery() { return cursor; }
  BOOL OnHelpRequest(HELPINFO*) { return TRUE; }

  static const MessageMapEntry messageEntries[];
};

const MessageMapEntry DerivedTarget::messageEntries[] = {
    {WM_COMMAND, BN_CLICKED, 20, 20, Handler(&DerivedTarget::OnShared)},
    {WM_COMMAND, BN_CLICKED, 100, 109, Handler(&DerivedTarget::OnRange)},
    {WM_CHAR, 0, 0, 0, Handler(&DerivedTarget::OnKey)},
    {WM_SYSCOMMAND, 0, 0, 0, Handler(&DerivedTarget::OnSys)},
    {WM_NOTIFY, NM_OUTOFMEMORY, 7, 7, Handler(&DerivedTarget::OnNotice)},
    {WM_QUERYDRAGICON, 0, 0, 0, Handler(&DerivedTarget::OnQuery)},
    {WM_HELP, 0, 0, 0, Handler(&DerivedTarget::OnHelpRequest)},
};
const MessageMap DerivedTarget::messageMap = {&BaseTarget::messageMap, messageEntries,
                                              std::size(messageEntries)};

WPARAM Command(int id, int code = BN_CLICKED) { return MAKEWPARAM(id, code); }

TEST(MessageMapTest, TheDerivedTableIsSearchedBeforeItsBase) {
  DerivedTarget target;
  EXPECT_TRUE(target.DispatchMessageMap(WM_COMMAND, Command(20), 0, nullptr));
  EXPECT_TRUE(target.DispatchMessageMap(WM_COMMAND, Command(10), 0, nullptr));
  EXPECT_EQ(target.calls, (std::vector<std::string>{"derived shared", "base only"}));
}

TEST(MessageMapTest, CommandsMatchOnIdRangeAndNotificationCode) {
  DerivedTarget target;
  for (int id : {99, 100, 105, 109, 110}) target.DispatchMessageMap(WM_COMMAND, Command(id), 0, nullptr);
  EXPECT_EQ(target.calls, (std::vector<std::string>{"range", "range", "range"}));

  target.calls.clear();
  EXPECT_FALSE(target.DispatchMessageMap(WM_COMMAND, Command(10, EN_CHANGE), 0, nullptr));
  EXPECT_TRUE(target.calls.empty());
}

TEST(MessageMapTest, AnUnmappedMessageIsLeftAloneWithItsResultUntouched) {
  DerivedTarget target;
  LRESULT result = 5;
  EXPECT_FALSE(target.DispatchMessageMap(WM_KEYDOWN, 'A', 0, &result));
  EXPECT_FALSE(target.DispatchMessageMap(WM_COMMAND, Command(11), 0, &result));
  EXPECT_EQ(result, 5);
  EXPECT_TRUE(target.calls.empty());
}

TEST(MessageMapTest, EachHandlerSignatureGetsItsParametersAndGivesItsResult) {
  DerivedTarget target;
  LRESULT result = -1;
  EXPECT_TRUE(target.DispatchMessageMap(WM_CHAR, 'K', MAKELPARAM(3, 0x4021), &result));
  EXPECT_EQ(target.key, static_cast<UINT>('K'));
  EXPECT_EQ(target.repeat, 3u);
  EXPECT_EQ(target.flags, 0x4021u);
  EXPECT_EQ(result, 0);

  EXPECT_TRUE(target.DispatchMessageMap(WM_SYSCOMMAND, 0x0013, 0x00450067, nullptr));
  EXPECT_EQ(target.sysCommand, 0x0013u);
  EXPECT_EQ(target.sysParam, 0x00450067);

  EXPECT_TRUE(target.DispatchMessageMap(WM_QUERYDRAGICON, 0, 0, &result));
  EXPECT_EQ(result, reinterpret_cast<LRESULT>(target.cursor));
  EXPECT_TRUE(target.DispatchMessageMap(WM_HELP, 0, 0, &result));
  EXPECT_EQ(result, TRUE);
}

TEST(MessageMapTest, NotificationsMatchOnSenderAndCodeAndSetTheResult) {
  DerivedTarget target;
  NMHDR header{nullptr, 7, static_cast<UINT>(NM_OUTOFMEMORY)};
  LRESULT result = -1;
  EXPECT_TRUE(target.DispatchMessageMap(WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header), &result));
  EXPECT_EQ(result, 77);
  EXPECT_EQ(target.header, &header);

  NMHDR other{nullptr, 8, static_cast<UINT>(NM_OUTOFMEMORY)};
  EXPECT_FALSE(target.DispatchMessageMap(WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&other), nullptr));
  NMHDR click{nullptr, 7, static_cast<UINT>(NM_CLICK)};
  EXPECT_FALSE(target.DispatchMessageMap(WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&click), nullptr));
}

// ---- A window object on a real edit control ----

// Lets 'a'..'m' through as they came, turns '+' into "z" through an explicit
// call, drops everything else; '^' first types an 'x' through a nested
// message and then lets itself through.
class FilteringEdit : public CEdit {
 public:
  const MessageMap* GetMessageMap() const override { return &messageMap; }
  static const MessageMap messageMap;
  int seen = 0;

 private:
  void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
    ++seen;
    if (nChar >= 'a' && nChar <= 'm') {
      Default();
    } else if (nChar == '+') {
      DefWindowProcA(WM_CHAR, 'z', MAKELPARAM(nRepCnt, nFlags));
    } else if (nChar == '^') {
      SendMessageA(WM_CHAR, 'x', 1);
      Default();
    }
  }
  static const MessageMapEntry messageEntries[];
};

const MessageMapEntry FilteringEdit::messageEntries[] = {
    {WM_CHAR, 0, 0, 0, Handler(&FilteringEdit::OnChar)},
};
const MessageMap FilteringEdit::messageMap = {&CEdit::messageMap, messageEntries,
                                              std::size(messageEntries)};

class WindowObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    edit_ = ::CreateWindowExA(0, "Edit", "", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 200, 30, nullptr,
                              nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(edit_, nullptr);
    original_ = ::GetWindowLongPtrA(edit_, GWLP_WNDPROC);
  }
  void TearDown() override {
    if (::IsWindow(edit_)) ::DestroyWindow(edit_);
  }
  void Type(const std::string& keys) {
    for (char key : keys) ::SendMessageA(edit_, WM_CHAR, static_cast<unsigned char>(key), 1);
  }
  HWND edit_ = nullptr;
  LONG_PTR original_ = 0;
};

TEST_F(WindowObjectTest, TheMapSeesEveryMessageAndPassesOnWhatItChooses) {
  FilteringEdit filter;
  ASSERT_TRUE(filter.SubclassWindow(edit_));
  EXPECT_EQ(CWnd::FromHandlePermanent(edit_), &filter);
  Type("ab7+c!");
  EXPECT_EQ(filter.seen, 6);
  EXPECT_EQ(TextOf(edit_), "abzc");
}

TEST_F(WindowObjectTest, DefaultAfterANestedMessagePassesOnTheOuterOne) {
  FilteringEdit filter;
  ASSERT_TRUE(filter.SubclassWindow(edit_));
  Type("^");
  // The nested 'x' is not in the filter's range and is dropped; the '^'
  // itself still reaches the control.
  EXPECT_EQ(TextOf(edit_), "^");
  EXPECT_EQ(filter.seen, 2);
}

TEST_F(WindowObjectTest, MessagesTheMapDoesNotHoldReachTheControlUnchanged) {
  FilteringEdit filter;
  ASSERT_TRUE(filter.SubclassWindow(edit_));
  ::SetWindowTextA(edit_, "XYZ 123");
  EXPECT_EQ(TextOf(edit_), "XYZ 123");
  EXPECT_EQ(filter.GetWindowTextA(), "XYZ 123");
}

TEST_F(WindowObjectTest, AWindowTakesOneObjectAtATime) {
  FilteringEdit first;
  FilteringEdit second;
  ASSERT_TRUE(first.SubclassWindow(edit_));
  EXPECT_FALSE(second.SubclassWindow(edit_));
  EXPECT_EQ(second.m_hWnd, nullptr);
}

TEST_F(WindowObjectTest, LettingGoOrDyingFirstRestoresTheControlsOwnProcedure) {
  {
    FilteringEdit filter;
    ASSERT_TRUE(filter.SubclassWindow(edit_));
    EXPECT_NE(::GetWindowLongPtrA(edit_, GWLP_WNDPROC), original_);
    EXPECT_EQ(filter.UnsubclassWindow(), edit_);
    EXPECT_EQ(::GetWindowLongPtrA(edit_, GWLP_WNDPROC), original_);
    EXPECT_EQ(CWnd::FromHandlePermanent(edit_), nullptr);
    ASSERT_TRUE(filter.SubclassWindow(edit_));
  }
  EXPECT_EQ(::GetWindowLongPtrA(edit_, GWLP_WNDPROC), original_);
  Type("!");
  EXPECT_EQ(TextOf(edit_), "!");
}

TEST_F(WindowObjectTest, TheObjectLetsGoWhenTheWindowIsDestroyed) {
  FilteringEdit filter;
  ASSERT_TRUE(filter.SubclassWindow(edit_));
  ::DestroyWindow(edit_);
  EXPECT_EQ(filter.m_hWnd, nullptr);
  HWND again = ::CreateWindowExA(0, "Edit", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
  EXPECT_TRUE(filter.SubclassWindow(again));
  ::DestroyWindow(again);
}

// ---- Modal dialogs ----

// The About template with its OK button bound to a plain window object.
class BoundDialog : public CDialog {
 public:
  BoundDialog() : CDialog(IDD_ABOUT) {}
  CWnd m_ok;
  bool okBoundAtInit = false;
  int exchanges = 0;


 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    ++exchanges;
    DDX_Control(pDX, IDOK, m_ok);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    okBoundAtInit = m_ok.m_hWnd != nullptr && m_ok.m_hWnd == GetDlgItem(IDOK);
    return TRUE;
  }
};

// Counts the help commands that reach the application.
class CountingApp : public CWinApp {
 public:
  int helpCommands = 0;
  const MessageMap* GetMessageMap() const override { return &messageMap; }
  static const MessageMap messageMap;

 private:
  void OnHelpCommand() { ++helpCommands; }
  static const MessageMapEntry messageEntries[];
};

const MessageMapEntry CountingApp::messageEntries[] = {
    {WM_COMMAND, 0, ID_HELP, ID_HELP, Handler(&CountingApp::OnHelpCommand)},
};
const MessageMap CountingApp::messageMap = {&CWinApp::messageMap, messageEntries,
                                            std::size(messageEntries)};

TEST(DialogTest, OkAndCancelEndTheDialogWithTheirCodes) {
  for (int command : {IDOK, IDCANCEL}) {
    BoundDialog dialog;
    const INT_PTR result = RunScripted(dialog, "About korvel", [&](HWND dlg) {
      ::PostMessageA(dlg, WM_COMMAND, command, 0);
      EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dlg); }));
    });
    EXPECT_EQ(result, command);
  }
}

TEST(DialogTest, TheDataExchangeBindsControlsBeforeInitAndReleasesThemAtTheEnd) {
  BoundDialog dialog;
  HWND okButton = nullptr;
  RunScripted(dialog, "About korvel", [&](HWND dlg) {
    okButton = ::GetDlgItem(dlg, IDOK);
    EXPECT_EQ(CWnd::FromHandlePermanent(okButton), &dialog.m_ok);
    Click(okButton);  // the bound button still works as a button
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dlg); }));
  });
  EXPECT_TRUE(dialog.okBoundAtInit);
  EXPECT_EQ(dialog.exchanges, 2) << "one exchange into the controls, one back on OK";
  EXPECT_EQ(dialog.m_ok.m_hWnd, nullptr);
  EXPECT_EQ(dialog.m_hWnd, nullptr);

  // Released, the same objects serve the dialog again.
  RunScripted(dialog, "About korvel", [&](HWND dlg) {
    EXPECT_EQ(CWnd::FromHandlePermanent(::GetDlgItem(dlg, IDOK)), &dialog.m_ok);
  });
}

TEST(DialogTest, HelpGoesToTheApplicationAndLeavesTheDialogOpen) {
  CountingApp app;
  BoundDialog dialog;
  RunScripted(dialog, "About korvel", [&](HWND dlg) {
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    EXPECT_EQ(Send(dlg, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)), TRUE);
    EXPECT_TRUE(::IsWindow(dlg));
    EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
  });
  EXPECT_EQ(app.helpCommands, 1);
}

TEST(DialogTest, ATemplateThatIsNotThereGivesMinusOne) {
  class Missing : public CDialog {
   public:
    Missing() : CDialog(4321) {}
  } missing;
  EXPECT_EQ(missing.DoModal(), -1);
  EXPECT_EQ(missing.m_hWnd, nullptr);
}

}  // namespace
