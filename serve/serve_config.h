#pragma once
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

struct ServeConfig {
  std::string path;  // the file it was read from
  HttpConfig http;
  std::string state_dir = "/var/lib/korvel";
  std::vector<UnitConfig> units;
};

// Reads and checks the file. A mistake gives false and error naming the
// file, the line and the key: "serve.toml:12: unit.port: ...".
bool ReadServeConfig(const std::string& path, ServeConfig* config, std::string* error);

// Whether a unit's name is one of its kind: [a-z0-9_-], 1 to 32 characters.
bool IsUnitName(const std::string& name);
