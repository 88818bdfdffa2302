// The MQTT side's topics, payloads and discovery, without a broker.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "serve/ha_discovery.h"
#include "serve/mqtt_topics.h"

namespace {

using Kind = MqttCommand::Kind;
using ::testing::ElementsAre;

const MqttTopics kShop1("korvel", "shop1", "homeassistant");

TEST(MqttCommandTest, OnlyTheSitesOwnTopicsAndTheBroadcastAreCommands) {
  struct Case {
    const char* topic;
    Kind kind;
    const char* unit;
    bool every_unit;
  } cases[] = {
      {"korvel/shop1/window/set", Kind::kSet, "window", false},
      {"korvel/shop1/window/line1/set", Kind::kLine1, "window", false},
      {"korvel/shop1/window/line2/set", Kind::kLine2, "window", false},
      {"korvel/shop1/all/set", Kind::kSet, "", true},
      {"korvel/all/set", Kind::kSet, "", true},
      {"korvel/shop1/all/line1/set", Kind::kNone, "", true},
      {"korvel/shop2/window/set", Kind::kNone, "", false},
      {"korvel/shop1/window/state", Kind::kNone, "", false},
      {"korvel/shop1/window/line1", Kind::kNone, "", false},
      {"korvel/shop1//set", Kind::kNone, "", false},
      {"korvel/shop1/set", Kind::kNone, "", false},
      {"other/shop1/window/set", Kind::kNone, "", false},
      {"korvel/shop10/window/set", Kind::kNone, "", false},
  };
  for (const Case& c : cases) {
    const MqttCommand command = CommandOf(kShop1, c.topic, "X");
    EXPECT_EQ(command.kind, c.kind) << c.topic;
    if (command.kind != Kind::kNone) {
      EXPECT_EQ(command.unit, c.unit) << c.topic;
      EXPECT_EQ(command.every_unit, c.every_unit) << c.topic;
    }
  }
  EXPECT_EQ(CommandOf(kShop1, "homeassistant/status", "online").kind, Kind::kHomeAssistantOnline);
  EXPECT_EQ(CommandOf(kShop1, "homeassistant/status", "offline").kind, Kind::kNone);
  // What it subscribes to brings each of these in, and no other site's.
  EXPECT_THAT(kShop1.Subscriptions(),
              ElementsAre("korvel/shop1/+/set", "korvel/shop1/+/line1/set",
                          "korvel/shop1/+/line2/set", "korvel/all/set", "homeassistant/status"));
}

TEST(MqttPayloadTest, PlainTextAndJson) {
  struct Case {
    std::string payload;
    Lines lines;
  } cases[] = {
      {"GRAND OPENING\nSATURDAY", {"GRAND OPENING", "SATURDAY"}},
      {"GRAND OPENING\r\nSATURDAY\n", {"GRAND OPENING", "SATURDAY"}},
      {"ONE LINE", {"ONE LINE"}},
      {"", {}},
      {"\n", {}},
      {"\nSECOND", {"", "SECOND"}},
      {"A\nB\nC", {"A", "B", "C"}},  // refused later, as a third line
      {R"({"lines": ["A", "B"]})", {"A", "B"}},
      {R"( {"lines": []})", {}},
  };
  for (const Case& c : cases) {
    Lines lines;
    std::string why;
    EXPECT_TRUE(LinesFromPayload(c.payload, &lines, &why)) << c.payload;
    EXPECT_EQ(lines, c.lines) << c.payload;
  }
  for (const char* bad : {R"({"lines": "A"})", R"({"lines": [1]})", R"({"text": ["A"]})",
                          R"({"lines": ["A"], "more": 1})", "{not json"}) {
    Lines lines;
    std::string why;
    EXPECT_FALSE(LinesFromPayload(bad, &lines, &why)) << bad;
    EXPECT_THAT(why, ::testing::HasSubstr("{\"lines\"")) << bad;
  }
}

TEST(MqttPayloadTest, OneLineKeepsTheOther) {
  EXPECT_EQ(WithLine({"A", "B"}, 1, "X"), (Lines{"X", "B"}));
  EXPECT_EQ(WithLine({"A", "B"}, 2, "Y"), (Lines{"A", "Y"}));
  EXPECT_EQ(WithLine({"A"}, 2, "Y"), (Lines{"A", "Y"}));
  EXPECT_EQ(WithLine({}, 2, "Y"), (Lines{"", "Y"}));
  EXPECT_EQ(WithLine({"A", "B"}, 2, ""), (Lines{"A"}));
  EXPECT_EQ(WithLine({"", "B"}, 2, ""), (Lines{}));
}

TEST(DiscoveryTest, EachLineIsATextEntityOfTheUnitsDevice) {
  const nlohmann::json line1 = LineConfig(kShop1, "window", "Shop window", 1, "1.2.3");
  EXPECT_EQ(LineConfigTopic(kShop1, "window", 1),
            "homeassistant/text/korvel_shop1_window_line1/config");
  EXPECT_EQ(line1["command_topic"], "korvel/shop1/window/line1/set");
  EXPECT_EQ(line1["state_topic"], "korvel/shop1/window/line1");
  EXPECT_EQ(line1["unique_id"], "korvel_shop1_window_line1");
  EXPECT_EQ(line1["default_entity_id"], "text.korvel_shop1_window_line1");
  EXPECT_FALSE(line1.contains("object_id"));
  EXPECT_EQ(line1["device"]["name"], "Shop window");
  EXPECT_EQ(line1["device"]["via_device"],
            GatewayConfig(kShop1, "1.2.3")["device"]["identifiers"][0]);
  EXPECT_EQ(line1["device"]["sw_version"], "1.2.3");
  const nlohmann::json line2 = LineConfig(kShop1, "window", "Shop window", 2, "1.2.3");
  EXPECT_EQ(line2["device"], line1["device"]);
  EXPECT_NE(line2["unique_id"], line1["unique_id"]);
  // Home Assistant's pattern is what the unit's lines take: space to ~.
  const std::regex pattern(line1["pattern"].get<std::string>());
  EXPECT_TRUE(std::regex_match(" !AZaz09~", pattern));
  EXPECT_FALSE(std::regex_match("tab\there", pattern));
  EXPECT_FALSE(std::regex_match("caf\xc3\xa9", pattern));
  // Another site's units are other entities and devices.
  const MqttTopics shop2("korvel", "shop2", "homeassistant");
  EXPECT_NE(LineConfig(shop2, "window", "Shop window", 1, "1")["unique_id"], line1["unique_id"]);
}

TEST(DiscoveryTest, TheRecordOfWhatWasPublished) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("korvel-discovered-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  EXPECT_TRUE(ReadDiscovered(dir.string()).empty());
  const std::vector<std::string> topics = ConfigTopics(kShop1, {"window", "door"});
  EXPECT_EQ(topics.size(), 5u);
  int error = 0;
  ASSERT_TRUE(WriteDiscovered(dir.string(), topics, &error)) << error;
  EXPECT_EQ(ReadDiscovered(dir.string()), topics);
  std::ofstream(dir / kDiscoveredFile) << "not json";
  EXPECT_TRUE(ReadDiscovered(dir.string()).empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
