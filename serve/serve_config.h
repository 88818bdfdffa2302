#pragma once
#include <optional>
#include <string>
#include <vector>

#include "unitrun/ports_to_program.h"

// korvel-serve's configuration, read from one TOML file and checked whole
// before anything is opened.

struct HttpConfig {
  std::string host = "127.0.0.1";  // an address to listen on; "::" for every IPv6 one
  int port = 8080;
  std::string token;  // from token_file: what every /api request must bear
  std::string tls_cert, tls_key;  // both set: HTTPS
  std::vector<std::string> cors_origins;
};

struct UnitConfig {
  std::string name;  // [a-z0-9_-], 1 to 32 characters
  std::string title;
  PortToProgram port;
};

// [mqtt]: the site's units on a broker, for Home Assistant and fleets.
struct MqttConfig {
  std::string host;
  int port = 1883;
  bool tls = false;  // mqtts://
  std::string site;  // [a-z0-9_-], 1 to 32 characters
  std::string username, password;  // password from password_file
  std::string ca_file;  // empty: the system's certificates
  std::string cert_file, key_file;  // both set: a client certificate
  std::string client_id;  // "korvel-SITE" unless given
  std::string topic_prefix = "korvel";
  std::string discovery_prefix = "homeassistant";
};

struct ServeConfig {
  std::string path;  // the file it was read from
  HttpConfig http;
  std::string state_dir = "/var/lib/korvel";
  std::vector<UnitConfig> units;
  std::optional<MqttConfig> mqtt;  // none: nothing of MQTT starts
};

// Reads and checks the file. A mistake gives false and error naming the
// file, the line and the key: "serve.toml:12: unit.port: ...".
bool ReadServeConfig(const std::string& path, ServeConfig* config, std::string* error);

// Whether a unit's name is one of its kind: [a-z0-9_-], 1 to 32 characters.
bool IsUnitName(const std::string& name);
