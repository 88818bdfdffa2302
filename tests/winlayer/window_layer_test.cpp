// What the dialogs never do to the window layer: attach twice, detach, and
// run a template that is not there; and the name it gives the application.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tests/winlayer/modal_script.h"
#include "winlayer/app_name.h"
#include "winlayer/dialog.h"

namespace {

TEST(WindowObjectTest, DetachingOrDyingFirstRestoresTheWindowsOwnProcedure) {
  HWND edit = ::CreateWindowExA(0, "Edit", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                ::GetModuleHandleA(nullptr), nullptr);
  const LONG_PTR own = ::GetWindowLongPtrA(edit, GWLP_WNDPROC);
  {
    CWnd first, second;
    ASSERT_TRUE(first.SubclassWindow(edit));
    EXPECT_FALSE(second.SubclassWindow(edit)) << "a window takes one object at a time";
    EXPECT_EQ(CWnd::FromHandlePermanent(edit), &first);
    EXPECT_EQ(first.UnsubclassWindow(), edit);
    EXPECT_EQ(::GetWindowLongPtrA(edit, GWLP_WNDPROC), own);
    EXPECT_EQ(CWnd::FromHandlePermanent(edit), nullptr);
    ASSERT_TRUE(second.SubclassWindow(edit));
  }
  EXPECT_EQ(::GetWindowLongPtrA(edit, GWLP_WNDPROC), own);
  ::SendMessageA(edit, WM_CHAR, '!', 1);
  EXPECT_EQ(WindowTextOf(edit), "!");

  // An object lets go of a window that is destroyed under it.
  CWnd object;
  ASSERT_TRUE(object.SubclassWindow(edit));
  ::DestroyWindow(edit);
  EXPECT_EQ(object.m_hWnd, nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(edit), nullptr);

  // Nor one of another thread, or none at all: their messages would never
  // find the object.
  std::promise<HWND> made;
  std::promise<void> done;
  std::thread owner([&] {
    made.set_value(::CreateWindowExA(0, "Edit", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr));
    done.get_future().wait();  // the window lives as long as its thread
  });
  const HWND other = made.get_future().get();
  CWnd stranger;
  EXPECT_TRUE(::IsWindow(other));
  EXPECT_FALSE(stranger.SubclassWindow(other)) << "another thread's";
  EXPECT_FALSE(stranger.SubclassWindow(edit)) << "destroyed";
  EXPECT_EQ(stranger.m_hWnd, nullptr);
  done.set_value();
  owner.join();
}

TEST(DialogTest, ATemplateThatIsNotThereGivesMinusOne) {
  CDialog missing(4321);
  EXPECT_EQ(missing.DoModal(), -1);
  EXPECT_EQ(missing.m_hWnd, nullptr);
}

TEST(AppNameTest, IsTheFileNameWithoutFolderAndExtension) {
  const struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"C:\\Program Files\\KORVEL\\korvel.exe", "korvel"},
      {"korvel.EXE", "korvel"},
      {"C:\\tools.v2\\korvel", "korvel"},
      {"C:\\tools\\korvel.1.0.exe", "korvel.1.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(AppNameFromPath(c.path), c.name) << c.path;
  EXPECT_EQ(ApplicationName(), TEST_EXE_NAME);
}

}  // namespace
