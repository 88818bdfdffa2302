#include <gtest/gtest.h>

#include "winlayer/app_name.h"

namespace {

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
