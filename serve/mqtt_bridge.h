#pragma once
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serve/mqtt_topics.h"
#include "serve/serve_config.h"
#include "serve/serve_log.h"
#include "serve/unit_worker.h"

struct mosquitto;
struct mosquitto_message;

// The site's units on an MQTT broker: commands handed to the units' workers
// under the API's rules, and what the units did published back, retained,
// with Home Assistant's discovery. One thread of its own talks to the broker,
// connects in the background and keeps reconnecting, so that a broker away
// never holds the HTTP side or the units up.
class MqttBridge : public UnitObserver {
 public:
  static constexpr int kQos = 1;
  static constexpr int kKeepAliveSeconds = 60;
  static constexpr std::int64_t kFirstReconnectMs = 1000;
  static constexpr std::int64_t kLastReconnectMs = 60 * 1000;
  static constexpr std::size_t kPayloadLimit = 4096;

  MqttBridge(const ServeConfig& config, std::string version, ServeLog& log);
  ~MqttBridge();
  MqttBridge(const MqttBridge&) = delete;
  MqttBridge& operator=(const MqttBridge&) = delete;

  // The units whose commands it takes; before Start.
  void Attach(const std::vector<UnitWorker*>& units) { units_ = units; }
  // Sets the client up and starts its thread; false with why when the
  // library refuses the settings (a certificate it cannot load).
  bool Start(std::string* why);
  // Says the site is offline, waits a moment for the broker to take it,
  // disconnects and ends the thread.
  void Stop();

  void Progress(const UnitSnapshot&) override {}
  void Changed(const UnitSnapshot& unit) override;

 private:
  // What was last published of a unit, to publish only what changed.
  struct Published {
    std::string availability;
    std::optional<std::string> lines[2];  // none: not published yet
  };

  static void OnConnect(mosquitto*, void* self, int code);
  static void OnDisconnect(mosquitto*, void* self, int code);
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
  static void OnPublish(mosquitto*, void* self, int mid);
  static void OnSubscribe(mosquitto*, void* self, int mid, int count, const int* granted);
  static void OnLog(mosquitto*, void* self, int level, const char* text);

  // The client's settings, again after each reinitialisation.
  int Configure();
  void Loop();
  void Connected(int code);
  void Message(const std::string& topic, const std::string& payload, bool retained);
  void Refuse(UnitWorker* unit, const std::string& topic, const std::string& why);
  // These publish with mutex_ held, so that what is retained is the newest.
  int Publish(const std::string& topic, const std::string& payload, bool retain);
  void PublishUnit(const UnitSnapshot& unit, bool again);
  void PublishDiscovery();
  // A line for the log, unless it says what the line before said.
  void Note(const std::string& text);

  const MqttConfig config_;
  const MqttTopics topics_;
  const std::string state_dir_, version_;
  std::vector<std::pair<std::string, std::string>> titles_;  // unit name, title
  std::vector<UnitWorker*> units_;
  ServeLog& log_;
  mosquitto* client_ = nullptr;
  std::thread thread_;
  std::int64_t backoff_ms_ = kFirstReconnectMs;  // the loop's alone
  bool was_connected_ = false;  // the loop's alone
  std::vector<int> subscribing_;  // the loop's alone: subscriptions not yet granted

  std::mutex mutex_;
  std::condition_variable wake_;
  bool connected_ = false;
  bool stopping_ = false;
  int offline_mid_ = -1;   // the stop's "offline", until the broker has it
  bool offline_taken_ = false;
  std::map<std::string, UnitSnapshot> latest_;
  std::map<std::string, Published> published_;

  std::mutex note_mutex_;  // apart: the library may log while mutex_ is held
  std::string last_note_;
};
