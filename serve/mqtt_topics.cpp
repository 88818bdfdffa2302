#include "serve/mqtt_topics.h"

#include <nlohmann/json.hpp>

std::vector<std::string> MqttTopics::Subscriptions() const {
  const std::string site = prefix_ + "/" + site_ + "/+/";
  return {site + "set", site + "line1/set", site + "line2/set", prefix_ + "/all/set",
          HomeAssistantStatus()};
}

MqttCommand CommandOf(const MqttTopics& topics, const std::string& topic,
                      const std::string& payload) {
  MqttCommand command;
  if (topic == topics.HomeAssistantStatus()) {
    if (payload == "online") command.kind = MqttCommand::Kind::kHomeAssistantOnline;
    return command;
  }
  if (topic == topics.prefix() + "/all/set") {
    command.kind = MqttCommand::Kind::kSet;
    command.every_unit = true;
    return command;
  }
  const std::string own = topics.prefix() + "/" + topics.site() + "/";
  if (topic.compare(0, own.size(), own) != 0) return command;
  const std::string rest = topic.substr(own.size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string::npos || slash == 0) return command;
  const std::string unit = rest.substr(0, slash);
  const std::string leaf = rest.substr(slash + 1);
  if (leaf == "set") {
    command.kind = MqttCommand::Kind::kSet;
  } else if (leaf == "line1/set") {
    command.kind = MqttCommand::Kind::kLine1;
  } else if (leaf == "line2/set") {
    command.kind = MqttCommand::Kind::kLine2;
  } else {
    return command;
  }
  if (unit == "all") {
    if (command.kind != MqttCommand::Kind::kSet) command.kind = MqttCommand::Kind::kNone;
    command.every_unit = true;
  } else {
    command.unit = unit;
  }
  return command;
}

bool LinesFromPayload(const std::string& payload, Lines* lines, std::string* why) {
  lines->clear();
  const std::size_t first = payload.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && payload[first] == '{') {
    const nlohmann::json message = nlohmann::json::parse(payload, nullptr, false);
    const char* shape = "the message is not of the form {\"lines\": [\"LINE 1\", \"LINE 2\"]}";
    if (message.is_discarded() || !message.is_object() || message.size() != 1 ||
        !message.contains("lines") || !message["lines"].is_array()) {
      *why = shape;
      return false;
    }
    for (const nlohmann::json& line : message["lines"]) {
      if (!line.is_string()) {
        *why = shape;
        return false;
      }
      lines->push_back(line.get<std::string>());
    }
    return true;
  }
  std::string text = payload;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (text.empty()) return true;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    std::string line =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

Lines WithLine(const Lines& wanted, int line, const std::string& text) {
  Lines lines = {wanted.size() > 0 ? wanted[0] : std::string(),
                 wanted.size() > 1 ? wanted[1] : std::string()};
  lines[line == 1 ? 0 : 1] = text;
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}
