#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "serve/mqtt_topics.h"

// Home Assistant's MQTT discovery for a site: each unit a device with two
// text entities, line 1 and line 2, reached through the gateway, itself a
// device with one entity: whether it is connected.

// The longest line a unit shows, and the characters it takes.
constexpr int kDiscoveryLineLength = 28;
constexpr char kDiscoveryLinePattern[] = "^[ -~]*$";

// "homeassistant/text/korvel_shop1_window_line1/config".
std::string LineConfigTopic(const MqttTopics& topics, const std::string& unit, int line);
nlohmann::json LineConfig(const MqttTopics& topics, const std::string& unit,
                          const std::string& title, int line, const std::string& version);

// "homeassistant/binary_sensor/korvel_shop1/config": the gateway's
// connection, so that the device the units are reached through exists.
std::string GatewayConfigTopic(const MqttTopics& topics);
nlohmann::json GatewayConfig(const MqttTopics& topics, const std::string& version);

// The config topics this gateway publishes for these units.
std::vector<std::string> ConfigTopics(const MqttTopics& topics,
                                      const std::vector<std::string>& units);

// The config topics published before, kept in the state folder so that those
// of units taken out of the configuration can be cleared. A file missing or
// not understood is an empty list.
constexpr char kDiscoveredFile[] = "mqtt.discovered.json";  // no unit's name has a dot
std::vector<std::string> ReadDiscovered(const std::string& state_dir);
bool WriteDiscovered(const std::string& state_dir, const std::vector<std::string>& topics,
                     int* error_code);
