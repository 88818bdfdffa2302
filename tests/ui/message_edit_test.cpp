// The message edit's filter on typed characters, in the running main dialog:
// characters arrive as the keyboard sends them, straight to the control or
// through the dialog's message loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/ui/main_dialog_fixture.h"

namespace {

// Repeat count 1 and the scan code of the key, as a single key press gives.
LPARAM KeyParam(UINT scanCode) { return static_cast<LPARAM>(1 | (scanCode << 16)); }

void Type(HWND edit, UINT character) { Send(edit, WM_CHAR, character, KeyParam(0)); }

void Type(HWND edit, const std::string& characters) {
  for (unsigned char c : characters) Type(edit, c);
}

// Enter pressed on the keyboard: the key goes through the dialog's message
// loop, which turns it into the character. Waits until it has been handled:
// the bar's move is posted after the key, so it comes after it and its character.
void PressEnter(HWND dlg, HWND edit) {
  constexpr UINT kEnterScanCode = 0x1C;
  constexpr int kMarker = 7;
  HWND bar = ::GetDlgItem(dlg, IDC_PROGRESS);
  Send(bar, PBM_SETPOS, 0);
  ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, KeyParam(kEnterScanCode));
  ::PostMessageA(edit, WM_KEYUP, VK_RETURN, KeyParam(kEnterScanCode) | 0xC0000000);
  ::PostMessageA(bar, PBM_SETPOS, kMarker, 0);
  EXPECT_TRUE(WaitUntil([&] { return Send(bar, PBM_GETPOS) == kMarker; }));
}

void SetText(HWND edit, const std::string& text) {
  Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Select(HWND edit, int start, int end) { Send(edit, EM_SETSEL, start, end); }

DWORD Selection(HWND edit) { return static_cast<DWORD>(Send(edit, EM_GETSEL)); }

void SetClipboardText(const std::string& text) {
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(::GlobalLock(memory), text.c_str(), text.size() + 1);
  ::GlobalUnlock(memory);
  EXPECT_NE(::SetClipboardData(CF_TEXT, memory), nullptr);
  ::CloseClipboard();
}

std::string ClipboardText() {
  if (!::OpenClipboard(nullptr)) return "<clipboard busy>";
  std::string text;
  HANDLE memory = ::GetClipboardData(CF_TEXT);
  if (memory != nullptr) {
    text = static_cast<const char*>(::GlobalLock(memory));
    ::GlobalUnlock(memory);
  }
  ::CloseClipboard();
  return text;
}

class MessageEditTest : public MainDialogTest {
 protected:
  // Runs script with the message edit holding the keyboard focus.
  void RunOnEdit(const std::function<void(HWND dlg, HWND edit)>& script) {
    Run([&](HWND dlg) {
      HWND edit = ::GetDlgItem(dlg, IDC_MESSAGE);
      Send(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
      script(dlg, edit);
    });
  }
};

TEST_F(MessageEditTest, PrintableCharactersGoInAndEveryOtherTypedCharacterChangesNothing) {
  RunOnEdit([&](HWND, HWND edit) {
    for (UINT refused : {0xE9u, 0xFFu, 0x7Fu, 0x03u, 0x16u, 0x18u, 0x1Au, 0x0Au}) {
      SCOPED_TRACE(refused);
      SetClipboardText("CLIP");
      // The typing is then all an undo would take back.
      SetText(edit, "");
      Send(edit, EM_EMPTYUNDOBUFFER);
      Type(edit, "A~ ");
      ASSERT_EQ(TextOf(edit), "A~ ");
      // With everything selected, copy, paste, cut, undo, a line break or any
      // other character would each change the text, selection or clipboard.
      Select(edit, 0, -1);
      const DWORD selection = Selection(edit);
      Type(edit, refused);
      EXPECT_EQ(TextOf(edit), "A~ ");
      EXPECT_EQ(Selection(edit), selection);
      EXPECT_EQ(ClipboardText(), "CLIP");
    }
  });
}

TEST_F(MessageEditTest, EnterBreaksTheFirstLineIsRefusedOnTheLastAndNeverEndsTheDialog) {
  RunOnEdit([&](HWND dlg, HWND edit) {
    Type(edit, "FIRST");
    PressEnter(dlg, edit);
    EXPECT_EQ(TextOf(edit), "FIRST\r\n");
    Type(edit, "SECOND");
    PressEnter(dlg, edit);
    Type(edit, '\r');
    EXPECT_EQ(TextOf(edit), "FIRST\r\nSECOND") << "a third line does not fit";

    // Nor inside the first line, where it would push the second one out.
    Select(edit, 2, 2);
    Type(edit, '\r');
    EXPECT_EQ(TextOf(edit), "FIRST\r\nSECOND");

    EXPECT_TRUE(::IsWindow(dlg));
    EXPECT_TRUE(::IsWindowVisible(dlg));
  });
}

TEST_F(MessageEditTest, OneBackspaceRemovesOneCharacterLineBreakOrSelection) {
  struct Case {
    const char* name;
    std::string before;
    int selStart, selEnd;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"caret at the end", "ABCD", 4, 4, "ABC"},
      {"selection", "ABCD", 1, 3, "AD"},
      {"caret at the start", "ABCD", 0, 0, "ABCD"},
      {"line break before the caret", "AB\r\nCD", 4, 4, "ABCD"},
  };
  RunOnEdit([&](HWND, HWND edit) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      SetText(edit, c.before);
      Select(edit, c.selStart, c.selEnd);
      Type(edit, '\b');
      EXPECT_EQ(TextOf(edit), c.after);
    }
  });
}

TEST_F(MessageEditTest, TextThatComesWithoutTypingIsNotFiltered) {
  SetClipboardText("\xE9\x01");
  RunOnEdit([&](HWND, HWND edit) {
    const std::string refused = "\x1A\xE9\x7F";
    SetText(edit, refused);
    Select(edit, 3, 3);
    Type(edit, "Z");
    EXPECT_EQ(TextOf(edit), refused + "Z") << "held characters stay while the text is edited";

    Send(edit, WM_PASTE);
    EXPECT_EQ(TextOf(edit), refused + "Z\xE9\x01");

    // Keys that type nothing still work.
    Select(edit, 0, 0);
    Send(edit, WM_KEYDOWN, VK_DELETE, KeyParam(0x53));
    EXPECT_EQ(TextOf(edit), "\xE9\x7FZ\xE9\x01");
  });
}

}  // namespace
