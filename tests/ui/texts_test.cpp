// Texts the operator reads: the application's name in box captions and the
// warning after a run that stopped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/app_name.h"
#include "ui/run_failure_text.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(AppNameTest, IsTheFileNameWithoutFolderAndExtension) {
  EXPECT_EQ(AppNameFromPath("C:\\Program Files\\KORVEL\\korvel.exe"), "korvel");
  EXPECT_EQ(AppNameFromPath("Z:\\work\\build\\tests\\ui\\ui_texts_test.exe"), "ui_texts_test");
  EXPECT_EQ(AppNameFromPath("korvel.EXE"), "korvel");
  EXPECT_EQ(AppNameFromPath("/usr/local/bin/korvel.exe"), "korvel");
}

TEST(AppNameTest, KeepsDotsOfFoldersAndOfTheNameItself) {
  EXPECT_EQ(AppNameFromPath("C:\\tools.v2\\korvel"), "korvel");
  EXPECT_EQ(AppNameFromPath("C:\\tools\\korvel.1.0.exe"), "korvel.1.0");
  EXPECT_EQ(AppNameFromPath("C:korvel.exe"), "korvel");
}

TEST(AppNameTest, OfTheRunningProgramIsItsExecutablesName) {
  EXPECT_EQ(ApplicationName(), TEST_EXE_NAME);
}

TEST(RunFailureTextTest, NamesThePortTheRunWasOn) {
  EXPECT_EQ(PortName(1), "COM1");
  EXPECT_EQ(PortName(2), "COM2");
  EXPECT_EQ(PortName(0), "COM1");  // the line goes to COM1 before any choice
  for (SendStatus status : {SendStatus::kPortMissing, SendStatus::kNoAnswer, SendStatus::kNoCts,
                            SendStatus::kTransmitterStuck, SendStatus::kReceiverFlooded}) {
    SCOPED_TRACE(static_cast<int>(status));
    EXPECT_THAT(RunFailureText(2, status), HasSubstr("COM2"));
    EXPECT_THAT(RunFailureText(2, status), Not(HasSubstr("COM1")));
    EXPECT_THAT(RunFailureText(1, status), HasSubstr("COM1"));
    EXPECT_THAT(RunFailureText(1, status), Not(HasSubstr("COM2")));
  }
}

TEST(RunFailureTextTest, APortThatCannotBeOpenedIsToldApartFromASilentUnit) {
  const std::string missing = RunFailureText(2, SendStatus::kPortMissing);
  EXPECT_THAT(missing, HasSubstr("could not be opened"));
  EXPECT_THAT(missing, Not(HasSubstr("unit")));

  const std::string silent = RunFailureText(1, SendStatus::kNoAnswer);
  EXPECT_THAT(silent, HasSubstr("did not answer"));
  EXPECT_THAT(silent, HasSubstr("Program again"));
}

TEST(RunFailureTextTest, EachKindOfFailureReadsDifferently) {
  const std::vector<SendStatus> kinds = {SendStatus::kPortMissing, SendStatus::kNoAnswer,
                                         SendStatus::kNoCts, SendStatus::kTransmitterStuck,
                                         SendStatus::kReceiverFlooded};
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    for (std::size_t j = i + 1; j < kinds.size(); ++j) {
      EXPECT_NE(RunFailureText(1, kinds[i]), RunFailureText(1, kinds[j]));
    }
  }
}

TEST(RunFailureTextTest, ARunThatWentWellHasNothingToSay) {
  EXPECT_EQ(RunFailureText(1, SendStatus::kSent), "");
}

}  // namespace
