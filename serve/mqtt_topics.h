#pragma once
#include <string>
#include <vector>

#include "serve/unit_state.h"

// The topics of one site, for prefix korvel, site shop1 and unit window:
//   korvel/shop1/window/set          the lines, a line feed between them, or {"lines": [...]}
//   korvel/shop1/window/line1/set    one line, the other kept (line2/set likewise)
//   korvel/shop1/all/set             every unit of the site; korvel/all/set every site's
//   korvel/shop1/window/state        retained: the unit as the HTTP API shows it
//   korvel/shop1/window/line1, line2 retained: the lines the unit answered for
//   korvel/shop1/window/availability retained: online, offline
//   korvel/shop1/window/error        why a text was refused
//   korvel/shop1/status              retained: online, offline (also the last will)
//   homeassistant/status             Home Assistant's own: online when it (re)starts
class MqttTopics {
 public:
  MqttTopics(std::string prefix, std::string site, std::string discovery_prefix)
      : prefix_(std::move(prefix)),
        site_(std::move(site)),
        discovery_(std::move(discovery_prefix)) {}

  std::string Unit(const std::string& unit, const std::string& leaf) const {
    return prefix_ + "/" + site_ + "/" + unit + "/" + leaf;
  }
  std::string Status() const { return prefix_ + "/" + site_ + "/status"; }
  std::string HomeAssistantStatus() const { return discovery_ + "/status"; }
  // What the gateway listens to: its own site's commands, every site's
  // broadcast, and Home Assistant's status.
  std::vector<std::string> Subscriptions() const;

  const std::string& prefix() const { return prefix_; }
  const std::string& site() const { return site_; }
  const std::string& discovery_prefix() const { return discovery_; }

 private:
  std::string prefix_, site_, discovery_;
};

// What a message that came in asks for.
struct MqttCommand {
  enum class Kind {
    kNone,       // not for us
    kSet,        // the lines of unit (or of every unit)
    kLine1,      // one line of unit, the other kept
    kLine2,
    kHomeAssistantOnline,  // Home Assistant (re)started: discovery again
  };
  Kind kind = Kind::kNone;
  std::string unit;    // empty with every_unit
  bool every_unit = false;
};

MqttCommand CommandOf(const MqttTopics& topics, const std::string& topic,
                      const std::string& payload);

// The lines of a set payload: {"lines": ["A", "B"]}, or plain text with a line
// feed between the lines (one at the end is dropped; an empty payload is no
// line at all). false with why for JSON of another shape. The lines are
// checked against the unit's rules afterwards, as the API's are.
bool LinesFromPayload(const std::string& payload, Lines* lines, std::string* why);

// The lines a line1/set or line2/set gives: the line set, the other as in
// wanted; a second line left empty is no second line.
Lines WithLine(const Lines& wanted, int line, const std::string& text);
