// The application manifest of each program as Windows (here Wine) reads it
// from the built executable, the way the loader does before the program
// starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class ManifestTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ACTCTXA request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = GetParam();
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    context_ = CreateActCtxA(&request);
    ASSERT_NE(context_, INVALID_HANDLE_VALUE)
        << GetParam() << " has no manifest Windows can read (error " << GetLastError() << ")";
  }
  void TearDown() override {
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
  }

  std::vector<BYTE> Query(ULONG what) const {
    SIZE_T size = 0;
    QueryActCtxW(0, context_, nullptr, what, nullptr, 0, &size);
    std::vector<BYTE> answer(size);
    if (size == 0 || !QueryActCtxW(0, context_, nullptr, what, answer.data(), size, &size)) {
      ADD_FAILURE() << "query " << what << " failed (error " << GetLastError() << ")";
      answer.clear();
    }
    return answer;
  }

  HANDLE context_ = INVALID_HANDLE_VALUE;
};

TEST_P(ManifestTest, RunsAsInvoker) {
  const std::vector<BYTE> answer = Query(RunlevelInformationInActivationContext);
  ASSERT_GE(answer.size(), sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION));
  const auto* level =
      reinterpret_cast<const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION*>(answer.data());
  EXPECT_EQ(level->RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  EXPECT_EQ(level->UiAccess, 0u);
}

TEST_P(ManifestTest, NamesEveryWindowsFromVistaTo11) {
  const std::vector<BYTE> answer = Query(CompatibilityInformationInActivationContext);
  ASSERT_GE(answer.size(), sizeof(DWORD));
  DWORD count = 0;
  std::memcpy(&count, answer.data(), sizeof count);
  EXPECT_EQ(count, 5u);
  // Later systems add a field to each element, so the elements' size is not
  // this header's to say: each system's id is looked for in the answer.
  const struct {
    const char* system;
    GUID id;
  } systems[] = {
      {"Vista", {0xe2011457, 0x1546, 0x43c5, {0xa5, 0xfe, 0x00, 0x8d, 0xee, 0xe3, 0xd3, 0xf0}}},
      {"7", {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}}},
      {"8", {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}}},
      {"8.1", {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}}},
      {"10 and 11", {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}},
  };
  for (const auto& system : systems) {
    bool named = false;
    for (std::size_t at = sizeof count; !named && at + sizeof(GUID) <= answer.size(); ++at) {
      named = std::memcmp(answer.data() + at, &system.id, sizeof(GUID)) == 0;
    }
    EXPECT_TRUE(named) << "Windows " << system.system << " is not among the supported systems";
  }
}

TEST_P(ManifestTest, IsAwareOfTheSystemDpi) {
  wchar_t value[32] = L"";
  SIZE_T written = 0;
  ASSERT_TRUE(QueryActCtxSettingsW(0, context_, nullptr, L"dpiAware", value,
                                   sizeof value / sizeof value[0], &written))
      << "no dpiAware setting (error " << GetLastError() << ")";
  EXPECT_STREQ(value, L"true");
}

// A dependency on version 6 of the common controls would give the window
// the system's visual styles instead of its classic look.
TEST_P(ManifestTest, DependsOnNoOtherAssembly) {
  const std::vector<BYTE> answer = Query(ActivationContextDetailedInformation);
  ASSERT_GE(answer.size(), sizeof(ACTIVATION_CONTEXT_DETAILED_INFORMATION));
  const auto* detail =
      reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(answer.data());
  EXPECT_EQ(detail->ulAssemblyCount, 1u);
}

// The executables as Wine sees them: the build tree lies on drive Z:.
INSTANTIATE_TEST_SUITE_P(EachProgram, ManifestTest, testing::Values(KORVEL_EXE, KORVEL_PROGRAM_EXE),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.index == 0 ? "korvel" : "korvel_program");
                         });

}  // namespace
