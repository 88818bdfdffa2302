#include "serve/mqtt_bridge.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include <nlohmann/json.hpp>

#include "serve/ha_discovery.h"
#include "serve/snapshot_json.h"
#include "unitrun/message_lines.h"

namespace {

// Where the system keeps the certificates it trusts, for a broker's
// certificate when no ca_file is given.
constexpr char kSystemCertificates[] = "/etc/ssl/certs";

std::string BrokerName(const MqttConfig& config) {
  const bool v6 = config.host.find(':') != std::string::npos;
  return std::string(config.tls ? "mqtts://" : "mqtt://") + (v6 ? "[" : "") + config.host +
         (v6 ? "]" : "") + ":" + std::to_string(config.port);
}

// online while the unit answers: until a run fails on its port or the unit.
const char* Availability(const UnitSnapshot& unit) {
  if (!unit.last_run) return "online";
  const RunResult& result = unit.last_run->report.result;
  return result.ok() || result.outcome == RunOutcome::kStopped ? "online" : "offline";
}

std::string LinesText(const Lines& lines) { return nlohmann::json(lines).dump(); }

// The library's words for an error, to be followed by ours.
std::string Why(int code) {
  std::string text = mosquitto_strerror(code);
  while (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

MqttBridge::MqttBridge(const ServeConfig& config, std::string version, ServeLog& log)
    : config_(*config.mqtt),
      topics_(config.mqtt->topic_prefix, config.mqtt->site, config.mqtt->discovery_prefix),
      state_dir_(config.state_dir),
      version_(std::move(version)),
      log_(log) {
  for (const UnitConfig& unit : config.units) titles_.emplace_back(unit.name, unit.title);
}

MqttBridge::~MqttBridge() {
  Stop();
  if (client_ != nullptr) {
    mosquitto_destroy(client_);
    mosquitto_lib_cleanup();
  }
}

bool MqttBridge::Start(std::string* why) {
  mosquitto_lib_init();
  client_ = mosquitto_new(config_.client_id.c_str(), true, this);
  if (client_ == nullptr) {
    *why = "mqtt: the client could not be made: " + Why(MOSQ_ERR_ERRNO);
    mosquitto_lib_cleanup();
    return false;
  }
  const int code = Configure();
  if (code != MOSQ_ERR_SUCCESS) {
    *why = "mqtt: " + BrokerName(config_) + " cannot be used as set: " + Why(code);
    return false;
  }
  thread_ = std::thread(&MqttBridge::Loop, this);
  return true;
}

int MqttBridge::Configure() {
  // Our own thread runs the loop; publishes from the units' threads queue
  // for it.
  mosquitto_threaded_set(client_, true);
  mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  mosquitto_connect_callback_set(client_, &MqttBridge::OnConnect);
  mosquitto_disconnect_callback_set(client_, &MqttBridge::OnDisconnect);
  mosquitto_message_callback_set(client_, &MqttBridge::OnMessage);
  mosquitto_publish_callback_set(client_, &MqttBridge::OnPublish);
  mosquitto_subscribe_callback_set(client_, &MqttBridge::OnSubscribe);
  mosquitto_log_callback_set(client_, &MqttBridge::OnLog);
  const std::string offline = "offline";
  int code = mosquitto_will_set(client_, topics_.Status().c_str(), static_cast<int>(offline.size()),
                                offline.data(), kQos, true);
  if (code == MOSQ_ERR_SUCCESS && !config_.username.empty()) {
    code = mosquitto_username_pw_set(client_, config_.username.c_str(),
                                     config_.password.empty() ? nullptr : config_.password.c_str());
  }
  if (code == MOSQ_ERR_SUCCESS && config_.tls) {
    // The broker's certificate is checked, and its name against the host's.
    code = mosquitto_tls_set(
        client_, config_.ca_file.empty() ? nullptr : config_.ca_file.c_str(),
        config_.ca_file.empty() ? kSystemCertificates : nullptr,
        config_.cert_file.empty() ? nullptr : config_.cert_file.c_str(),
        config_.key_file.empty() ? nullptr : config_.key_file.c_str(), nullptr);
    if (code == MOSQ_ERR_SUCCESS) code = mosquitto_tls_insecure_set(client_, false);
  }
  return code;
}

void MqttBridge::Stop() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (connected_) {
      // The last will is only for a gateway that vanished; a stop says so itself.
      offline_mid_ = Publish(topics_.Status(), "offline", true);
      wake_.wait_for(lock, std::chrono::seconds(2),
                     [this] { return offline_taken_ || !connected_; });
    }
    stopping_ = true;
    mosquitto_disconnect(client_);
  }
  wake_.notify_all();
  thread_.join();
}

void MqttBridge::Loop() {
  Note("mqtt: connecting to " + BrokerName(config_) + " as " + config_.client_id + ", site " +
       config_.site);
  bool socket = false, first = true;
  int code = MOSQ_ERR_SUCCESS;
  while (true) {
    if (!socket) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!first) {
        wake_.wait_for(lock, std::chrono::milliseconds(backoff_ms_), [this] { return stopping_; });
        backoff_ms_ = std::min(backoff_ms_ * 2, kLastReconnectMs);
        // Each attempt starts from a fresh client: what the last connection
        // had not delivered is stale, and would otherwise follow the state
        // published anew and stay retained in its place.
        code = mosquitto_reinitialise(client_, config_.client_id.c_str(), true, this);
        if (code == MOSQ_ERR_SUCCESS) code = Configure();
      }
      if (stopping_) break;
      lock.unlock();
      first = false;
      // In the background: a broker's name is looked up here, and the
      // connection is made by the loop.
      if (code == MOSQ_ERR_SUCCESS) {
        code = mosquitto_connect_async(client_, config_.host.c_str(), config_.port,
                                       kKeepAliveSeconds);
      }
      if (code != MOSQ_ERR_SUCCESS) {
        Note("mqtt: " + BrokerName(config_) + ": " + Why(code) +
             "; trying again from time to time");
        code = MOSQ_ERR_SUCCESS;
        continue;
      }
      socket = true;
    }
    code = mosquitto_loop(client_, 1000, 1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      if (code != MOSQ_ERR_SUCCESS) connected_ = false;
    }
    if (code != MOSQ_ERR_SUCCESS) {
      socket = false;
      Note("mqtt: " + BrokerName(config_) + ": " + Why(code) + "; trying again from time to time");
      code = MOSQ_ERR_SUCCESS;
    }
  }
  // The DISCONNECT the stop queued goes out before the thread ends.
  for (int i = 0; i < 5 && socket && mosquitto_loop(client_, 100, 1) == MOSQ_ERR_SUCCESS; ++i) {
  }
}

void MqttBridge::OnConnect(mosquitto*, void* self, int code) {
  static_cast<MqttBridge*>(self)->Connected(code);
}

void MqttBridge::OnDisconnect(mosquitto*, void* self, int) {
  auto* bridge = static_cast<MqttBridge*>(self);
  std::lock_guard<std::mutex> lock(bridge->mutex_);
  bridge->connected_ = false;
  bridge->wake_.notify_all();
}

void MqttBridge::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  const std::string payload(static_cast<const char*>(message->payload),
                            static_cast<std::size_t>(message->payloadlen));
  static_cast<MqttBridge*>(self)->Message(message->topic, payload, message->retain);
}

void MqttBridge::OnPublish(mosquitto*, void* self, int mid) {
  auto* bridge = static_cast<MqttBridge*>(self);
  std::lock_guard<std::mutex> lock(bridge->mutex_);
  if (mid == bridge->offline_mid_) {
    bridge->offline_taken_ = true;
    bridge->wake_.notify_all();
  }
}

void MqttBridge::OnLog(mosquitto*, void* self, int level, const char* text) {
  // The library's own words on what failed (a certificate refused, say).
  if (level == MOSQ_LOG_ERR) static_cast<MqttBridge*>(self)->Note(std::string("mqtt: ") + text);
}

void MqttBridge::Note(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(note_mutex_);
    if (text == last_note_) return;
    last_note_ = text;
  }
  log_.Line(text);
}

void MqttBridge::Connected(int code) {
  if (code != 0) {
    Note("mqtt: " + BrokerName(config_) + " refused the connection: " +
         mosquitto_connack_string(code));
    return;
  }
  backoff_ms_ = kFirstReconnectMs;
  // Units not heard of yet are published as they are now. Their workers are
  // asked without mutex_ held: a worker tells its changes with its own lock held.
  std::vector<UnitSnapshot> now;
  for (UnitWorker* unit : units_) now.push_back(unit->Snapshot());
  subscribing_.clear();
  for (const std::string& topic : topics_.Subscriptions()) {
    int mid = 0;
    if (mosquitto_subscribe(client_, &mid, topic.c_str(), kQos) == MOSQ_ERR_SUCCESS) {
      subscribing_.push_back(mid);
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  connected_ = true;
  for (UnitSnapshot& unit : now) latest_.emplace(unit.name, std::move(unit));
  Publish(topics_.Status(), "online", true);
  PublishDiscovery();
  // Units taken out of the configuration leave Home Assistant: their configs
  // are cleared, and the record keeps only what is published now.
  std::vector<std::string> names;
  for (const auto& [name, title] : titles_) names.push_back(name);
  const std::vector<std::string> current = ConfigTopics(topics_, names);
  std::vector<std::string> before = ReadDiscovered(state_dir_);
  for (const std::string& topic : before) {
    if (std::find(current.begin(), current.end(), topic) == current.end()) {
      Publish(topic, "", true);
      log_.Line("mqtt: " + topic + " cleared: its unit is no longer configured");
    }
  }
  if (before != current) {
    int error = 0;
    if (!WriteDiscovered(state_dir_, current, &error)) {
      log_.Line("mqtt: " + state_dir_ + "/" + kDiscoveredFile + " could not be written: " +
                std::strerror(error));
    }
  }
  published_.clear();
  for (const auto& [name, unit] : latest_) PublishUnit(unit, true);
  {
    std::lock_guard<std::mutex> notes(note_mutex_);
    last_note_.clear();  // the next trouble is news again
  }
}

void MqttBridge::OnSubscribe(mosquitto*, void* self, int mid, int, const int*) {
  auto* bridge = static_cast<MqttBridge*>(self);
  std::vector<int>& waiting = bridge->subscribing_;
  const auto found = std::find(waiting.begin(), waiting.end(), mid);
  if (found == waiting.end()) return;
  waiting.erase(found);
  if (!waiting.empty()) return;
  // Said once the broker has granted every subscription: from now on no
  // command for the site is missed.
  bridge->log_.Line("mqtt: connected to " + BrokerName(bridge->config_) +
                    (bridge->was_connected_ ? " again" : "") + ": " +
                    std::to_string(bridge->units_.size()) + " units on " +
                    bridge->topics_.prefix() + "/" + bridge->config_.site + "/");
  bridge->was_connected_ = true;
}

void MqttBridge::Changed(const UnitSnapshot& unit) {
  std::lock_guard<std::mutex> lock(mutex_);
  latest_[unit.name] = unit;
  if (connected_ && !stopping_) PublishUnit(unit, false);
}

int MqttBridge::Publish(const std::string& topic, const std::string& payload, bool retain) {
  int mid = -1;
  mosquitto_publish(client_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                    payload.data(), kQos, retain);
  return mid;
}

void MqttBridge::PublishUnit(const UnitSnapshot& unit, bool again) {
  Published& published = published_[unit.name];
  Publish(topics_.Unit(unit.name, "state"), SnapshotJson(unit).dump(), true);
  const std::string availability = Availability(unit);
  if (again || availability != published.availability) {
    Publish(topics_.Unit(unit.name, "availability"), availability, true);
    published.availability = availability;
  }
  // What the unit shows is known only once it answered every byte of a run
  // (or of the run before): never what it is about to be sent.
  if (!unit.state.shown) return;
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string line = i < unit.state.shown->size() ? (*unit.state.shown)[i] : "";
    std::optional<std::string>& before = published.lines[i];
    if (again || before != line) {
      Publish(topics_.Unit(unit.name, i == 0 ? "line1" : "line2"), line, true);
      before = line;
    }
  }
}

void MqttBridge::PublishDiscovery() {
  Publish(GatewayConfigTopic(topics_), GatewayConfig(topics_, version_).dump(), true);
  for (const auto& [name, title] : titles_) {
    for (int line : {1, 2}) {
      Publish(LineConfigTopic(topics_, name, line),
              LineConfig(topics_, name, title, line, version_).dump(), true);
    }
  }
}

void MqttBridge::Refuse(UnitWorker* unit, const std::string& topic, const std::string& why) {
  log_.Line(unit->name() + ": from mqtt " + topic + ": refused: " + why);
  std::lock_guard<std::mutex> lock(mutex_);
  if (connected_) Publish(topics_.Unit(unit->name(), "error"), why, false);
}

void MqttBridge::Message(const std::string& topic, const std::string& payload, bool retained) {
  const MqttCommand command = CommandOf(topics_, topic, payload);
  if (command.kind == MqttCommand::Kind::kNone) return;
  if (command.kind == MqttCommand::Kind::kHomeAssistantOnline) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_) return;
    PublishDiscovery();
    log_.Line("mqtt: Home Assistant is online: discovery sent again");
    return;
  }
  std::vector<UnitWorker*> units;
  for (UnitWorker* unit : units_) {
    if (command.every_unit || unit->name() == command.unit) units.push_back(unit);
  }
  if (units.empty()) {
    if (!command.every_unit) {
      log_.Line("mqtt: " + topic + ": there is no unit '" + command.unit + "'");
    }
    return;
  }
  Lines lines;
  std::string why;
  if (payload.size() > kPayloadLimit) {
    why = "the message is longer than " + std::to_string(kPayloadLimit) + " bytes";
  } else if (command.kind == MqttCommand::Kind::kSet) {
    LinesFromPayload(payload, &lines, &why);
  }
  std::vector<std::thread> handing;
  for (UnitWorker* unit : units) {
    if (!why.empty()) {
      Refuse(unit, topic, why);
      continue;
    }
    Lines wanted = lines;
    if (command.kind != MqttCommand::Kind::kSet) {
      const int line = command.kind == MqttCommand::Kind::kLine1 ? 1 : 2;
      wanted = WithLine(unit->Snapshot().state.wanted, line, payload);
    }
    std::string text;
    LinesRefusal refused;
    if (!TextFromLines(wanted, &text, &refused)) {
      Refuse(unit, topic, LinesRefusalText(refused));
      continue;
    }
    // A retained command is met again at every (re)connect: it programs the
    // unit only when it asks for another text than the one wanted.
    if (retained && unit->Snapshot().state.wanted == wanted) continue;
    log_.Line(unit->name() + ": from mqtt " + topic + (retained ? " (retained)" : "") +
              ": lines " + LinesText(wanted));
    // Each unit keeps its new text on the disk before it is queued: handed
    // to the units of a broadcast side by side, the writes are flushed
    // together instead of the last unit's run waiting for all the others'.
    if (units.size() == 1) {
      unit->Submit(wanted, text, retained);
    } else {
      handing.emplace_back([unit, wanted, text, retained] { unit->Submit(wanted, text, retained); });
    }
  }
  for (std::thread& hand : handing) hand.join();
}
