#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "serve/http_api.h"
#include "serve/snapshot_json.h"
#include "serve/unit_state.h"

namespace {

namespace fs = std::filesystem;

class UnitStateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/korvel-serve-state-XXXXXX";
    dir_ = mkdtemp(name);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(UnitStateFolderTest, KeepsWantedAndShownAcrossAReadAndLeavesNoTemporaryFile) {
  const UnitStateFolder folder(dir_);
  std::string problem;
  const UnitState fresh = folder.Read("window", &problem);
  EXPECT_TRUE(problem.empty());
  EXPECT_EQ(fresh.wanted, Lines{});
  EXPECT_EQ(fresh.shown, Lines{});

  UnitState state;
  state.wanted = {"GRAND OPENING", "SATURDAY"};
  state.shown.reset();  // a run cut short
  state.wanted_since_ms = 1796684597327;
  int error = 0;
  ASSERT_TRUE(folder.Write("window", state, &error)) << error;
  const UnitState read = folder.Read("window", &problem);
  EXPECT_EQ(read.wanted, state.wanted);
  EXPECT_FALSE(read.shown.has_value());
  EXPECT_EQ(read.wanted_since_ms, state.wanted_since_ms);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(UnitStateFolderTest, AFileItDidNotWriteIsSaidAndLeftAside) {
  const UnitStateFolder folder(dir_);
  for (const char* text : {"{\"wanted\": [", "[]", "{\"wanted\": [1], \"shown\": []}",
                           "{\"wanted\": [\"a\",\"b\",\"c\"], \"shown\": []}"}) {
    std::ofstream(dir_ + "/window.json") << text;
    std::string problem;
    const UnitState state = folder.Read("window", &problem);
    EXPECT_NE(problem.find("window.json is not a state this program wrote"), std::string::npos)
        << text;
    EXPECT_EQ(state.wanted, Lines{});
  }
}

TEST_F(UnitStateFolderTest, AFolderThatCannotBeWrittenSaysWhy) {
  const UnitStateFolder folder(dir_ + "/missing");
  int error = 0;
  EXPECT_FALSE(folder.Write("window", UnitState{}, &error));
  EXPECT_EQ(error, ENOENT);
}

TEST(SameSecretTest, OnlyTheWholeSecretMatches) {
  const std::string token = "0123456789abcdef0123";
  EXPECT_TRUE(SameSecret(token, token));
  for (const std::string& other : {std::string(), token.substr(0, 19), token + "4",
                                   std::string("1123456789abcdef0123"), std::string("0123456789abcdef0124"),
                                   std::string(token.size(), '\0')}) {
    EXPECT_FALSE(SameSecret(other, token)) << other;
  }
}

TEST(SnapshotJsonTest, SaysWhatIsKnownAndWhatIsWanted) {
  UnitSnapshot unit;
  unit.name = "window";
  unit.state.wanted = {"NEW"};
  unit.state.shown.reset();
  unit.status = UnitStatus::kFailed;
  unit.why = "the unit did not answer";
  unit.next_try_ms = 1796684597327;
  const nlohmann::json json = SnapshotJson(unit);
  EXPECT_TRUE(json["lines"].is_null());
  EXPECT_EQ(json["wanted"], nlohmann::json({"NEW"}));
  EXPECT_EQ(json["status"], "failed");
  EXPECT_EQ(json["next_try"], "2026-12-07T23:03:17.327Z");
  EXPECT_TRUE(json["last_run"].is_null());

  unit.state.shown = unit.state.wanted;
  unit.status = UnitStatus::kProgramming;
  unit.phase = RunPhase::kMessage;
  unit.sent = 7;
  unit.of = 12;
  const nlohmann::json running = SnapshotJson(unit);
  EXPECT_FALSE(running.contains("wanted"));
  EXPECT_FALSE(running.contains("why"));
  EXPECT_EQ(running["progress"], nlohmann::json({{"frame", "message"}, {"sent", 7}, {"of", 12},
                                                 {"bar", 33}}));
}

}  // namespace
