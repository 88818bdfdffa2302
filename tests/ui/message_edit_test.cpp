// The message edit's filter on typed characters, in the running main dialog.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/ui/main_dialog_fixture.h"

namespace {

void Type(HWND edit, const std::string& characters) {
  for (unsigned char c : characters) Send(edit, WM_CHAR, c, 1);
}

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
  HANDLE memory = ::GetClipboardData(CF_TEXT);
  std::string text = memory != nullptr ? static_cast<const char*>(::GlobalLock(memory)) : "";
  if (memory != nullptr) ::GlobalUnlock(memory);
  ::CloseClipboard();
  return text;
}

// The message edit, given the keyboard focus.
HWND FocusedEdit(HWND dlg) {
  HWND edit = ::GetDlgItem(dlg, IDC_MESSAGE);
  Send(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
  return edit;
}

using MessageEditTest = MainDialogTest;

TEST_F(MessageEditTest, PrintableCharactersGoInAndEveryOtherTypedCharacterChangesNothing) {
  SetClipboardText("CLIP");
  Run([&](HWND dlg) {
    HWND edit = FocusedEdit(dlg);
    Type(edit, "A~ ");
    ASSERT_EQ(WindowTextOf(edit), "A~ ");
    // With everything selected, copy, paste, cut, undo, a line break or any
    // other character would change the text, the selection or the clipboard.
    Send(edit, EM_SETSEL, 0, -1);
    const LRESULT selection = Send(edit, EM_GETSEL);
    for (char refused : {'\xE9', '\xFF', '\x7F', '\x03', '\x16', '\x18', '\x1A', '\n'}) {
      SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(refused)));
      Type(edit, std::string(1, refused));
      EXPECT_EQ(WindowTextOf(edit), "A~ ");
      EXPECT_EQ(Send(edit, EM_GETSEL), selection);
      EXPECT_EQ(ClipboardText(), "CLIP");
    }
  });
}

TEST_F(MessageEditTest, OneBackspaceRemovesOneCharacterLineBreakOrSelection) {
  const struct {
    const char* before;
    int selStart, selEnd;
    const char* after;
  } cases[] = {{"ABCD", 4, 4, "ABC"}, {"ABCD", 1, 3, "AD"}, {"ABCD", 0, 0, "ABCD"},
               {"AB\r\nCD", 4, 4, "ABCD"}};
  Run([&](HWND dlg) {
    HWND edit = FocusedEdit(dlg);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.after);
      Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.before));
      Send(edit, EM_SETSEL, c.selStart, c.selEnd);
      Type(edit, "\b");
      EXPECT_EQ(WindowTextOf(edit), c.after);
    }
  });
}

TEST_F(MessageEditTest, TextThatComesWithoutTypingIsNotFiltered) {
  SetClipboardText("\xE9\x01");
  Run([&](HWND dlg) {
    HWND edit = FocusedEdit(dlg);
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\x1A\xE9\x7F"));
    Send(edit, EM_SETSEL, 3, 3);
    Type(edit, "Z");
    Send(edit, WM_PASTE);
    EXPECT_EQ(WindowTextOf(edit), "\x1A\xE9\x7FZ\xE9\x01");
  });
}

}  // namespace
