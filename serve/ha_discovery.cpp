#include "serve/ha_discovery.h"

#include <fstream>
#include <sstream>

#include "serve/unit_state.h"

using nlohmann::json;

namespace {

std::string DeviceId(const MqttTopics& topics, const std::string& unit) {
  return "korvel_" + topics.site() + (unit.empty() ? "" : "_" + unit);
}

json Origin(const std::string& version) {
  return {{"name", "korvel-serve"}, {"sw_version", version}};
}

}  // namespace

std::string LineConfigTopic(const MqttTopics& topics, const std::string& unit, int line) {
  return topics.discovery_prefix() + "/text/" + DeviceId(topics, unit) + "_line" +
         std::to_string(line) + "/config";
}

json LineConfig(const MqttTopics& topics, const std::string& unit, const std::string& title,
                int line, const std::string& version) {
  const std::string leaf = "line" + std::to_string(line);
  const std::string id = DeviceId(topics, unit) + "_" + leaf;
  return {
      {"name", "Line " + std::to_string(line)},
      {"unique_id", id},
      {"default_entity_id", "text." + id},
      {"command_topic", topics.Unit(unit, leaf + "/set")},
      {"state_topic", topics.Unit(unit, leaf)},
      {"json_attributes_topic", topics.Unit(unit, "state")},
      {"min", 0},
      {"max", kDiscoveryLineLength},
      {"mode", "text"},
      {"pattern", kDiscoveryLinePattern},
      {"qos", 1},
      {"retain", false},
      {"availability", json::array({{{"topic", topics.Status()}},
                                    {{"topic", topics.Unit(unit, "availability")}}})},
      {"availability_mode", "all"},
      {"device",
       {{"identifiers", json::array({DeviceId(topics, unit)})},
        {"name", title},
        {"model", "KORVEL display"},
        {"manufacturer", "KORVEL"},
        {"sw_version", version},
        {"via_device", DeviceId(topics, "")}}},
      {"origin", Origin(version)},
  };
}

std::string GatewayConfigTopic(const MqttTopics& topics) {
  return topics.discovery_prefix() + "/binary_sensor/" + DeviceId(topics, "") + "/config";
}

json GatewayConfig(const MqttTopics& topics, const std::string& version) {
  const std::string id = DeviceId(topics, "") + "_connection";
  return {
      {"name", "Connection"},
      {"unique_id", id},
      {"default_entity_id", "binary_sensor." + id},
      {"state_topic", topics.Status()},
      {"payload_on", "online"},
      {"payload_off", "offline"},
      {"device_class", "connectivity"},
      {"entity_category", "diagnostic"},
      {"qos", 1},
      {"device",
       {{"identifiers", json::array({DeviceId(topics, "")})},
        {"name", "KORVEL " + topics.site()},
        {"model", "korvel-serve"},
        {"manufacturer", "KORVEL"},
        {"sw_version", version}}},
      {"origin", Origin(version)},
  };
}

std::vector<std::string> ConfigTopics(const MqttTopics& topics,
                                      const std::vector<std::string>& units) {
  std::vector<std::string> list = {GatewayConfigTopic(topics)};
  for (const std::string& unit : units) {
    list.push_back(LineConfigTopic(topics, unit, 1));
    list.push_back(LineConfigTopic(topics, unit, 2));
  }
  return list;
}

std::vector<std::string> ReadDiscovered(const std::string& state_dir) {
  std::ifstream file(state_dir + "/" + kDiscoveredFile);
  if (!file) return {};
  std::stringstream text;
  text << file.rdbuf();
  const json saved = json::parse(text.str(), nullptr, false);
  std::vector<std::string> topics;
  if (!saved.is_object() || !saved.contains("config_topics") ||
      !saved["config_topics"].is_array()) {
    return topics;
  }
  for (const json& topic : saved["config_topics"]) {
    if (topic.is_string()) topics.push_back(topic.get<std::string>());
  }
  return topics;
}

bool WriteDiscovered(const std::string& state_dir, const std::vector<std::string>& topics,
                     int* error_code) {
  return WriteFileWhole(state_dir, kDiscoveredFile,
                        json({{"config_topics", topics}}).dump() + "\n", error_code);
}
