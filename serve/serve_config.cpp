#include "serve/serve_config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <toml++/toml.h>

#include "serial/port_error.h"

namespace {

// A token short enough to guess is no lock.
constexpr std::size_t kShortestToken = 16;

// A mistake, where it is.
class Mistake {
 public:
  explicit Mistake(std::string file) : file_(std::move(file)) {}

  bool Set(const toml::source_region& where, const std::string& key, const std::string& what) {
    if (error_.empty()) {
      error_ = file_ + ":" + std::to_string(where.begin.line) + ": " +
               (key.empty() ? "" : key + ": ") + what;
    }
    return false;
  }

  const std::string& error() const { return error_; }

 private:
  std::string file_;
  std::string error_;
};

// The keys a table may hold; any other is a mistake, as a misspelt key would
// otherwise be ignored.
bool OnlyKnownKeys(const toml::table& table, const std::string& where,
                   const std::set<std::string>& known, Mistake& mistake) {
  for (auto&& [key, node] : table) {
    if (known.count(std::string(key.str())) == 0) {
      const std::string name = where.empty() ? std::string(key.str()) : where + "." + std::string(key.str());
      return mistake.Set(key.source(), name, "unknown key");
    }
  }
  return true;
}

bool StringAt(const toml::table& table, const char* key, const std::string& where,
              std::string* value, Mistake& mistake) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return true;
  if (!node->is_string()) return mistake.Set(node->source(), where + "." + key, "must be a string");
  *value = **node->as_string();
  return true;
}

// host:port, [v6]:port.
bool ParseListen(const std::string& text, std::string* host, int* port) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 >= text.size()) return false;
  std::string name = text.substr(0, colon);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  } else if (name.find(':') != std::string::npos) {
    return false;
  }
  const std::string number = text.substr(colon + 1);
  if (name.empty() || number.find_first_not_of("0123456789") != std::string::npos ||
      number.size() > 5) {
    return false;
  }
  *port = std::stoi(number);
  *host = name;
  return *port >= 1 && *port <= 65535;
}

// A secret's file: one line, readable by us and by nobody else.
bool ReadSecret(const std::string& path, std::string* secret, std::string* why) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    *why = path + ": " + SystemErrorText(errno);
    return false;
  }
  if ((status.st_mode & (S_IROTH | S_IWOTH)) != 0) {
    *why = path + " can be read by others; chmod o-rw " + path;
    return false;
  }
  std::ifstream in(path);
  if (!in) {
    *why = path + ": " + SystemErrorText(errno);
    return false;
  }
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.pop_back();
  }
  *secret = line;
  return true;
}

bool ReadHttp(const toml::table& table, HttpConfig* http, Mistake& mistake) {
  if (!OnlyKnownKeys(table, "http", {"listen", "token_file", "tls_cert", "tls_key", "cors_origins"},
                     mistake)) {
    return false;
  }
  std::string listen;
  if (!StringAt(table, "listen", "http", &listen, mistake)) return false;
  if (!listen.empty() && !ParseListen(listen, &http->host, &http->port)) {
    return mistake.Set(table.get("listen")->source(), "http.listen",
                       "'" + listen + "' is no HOST:PORT, such as 127.0.0.1:8080 or [::]:8080");
  }
  std::string token_file;
  if (!StringAt(table, "token_file", "http", &token_file, mistake)) return false;
  if (token_file.empty()) {
    return mistake.Set(table.source(), "http.token_file",
                       "is needed: a file that holds the API token on one line");
  }
  const toml::source_region& token_at = table.get("token_file")->source();
  std::string why;
  if (!ReadSecret(token_file, &http->token, &why)) return mistake.Set(token_at, "http.token_file", why);
  if (http->token.size() < kShortestToken) {
    return mistake.Set(token_at, "http.token_file",
                       token_file + " holds a token of " + std::to_string(http->token.size()) +
                           " characters; use at least " + std::to_string(kShortestToken));
  }
  if (!StringAt(table, "tls_cert", "http", &http->tls_cert, mistake) ||
      !StringAt(table, "tls_key", "http", &http->tls_key, mistake)) {
    return false;
  }
  if (http->tls_cert.empty() != http->tls_key.empty()) {
    return mistake.Set(table.source(), http->tls_cert.empty() ? "http.tls_cert" : "http.tls_key",
                       "HTTPS needs both tls_cert and tls_key");
  }
  for (const std::string* file : {&http->tls_cert, &http->tls_key}) {
    if (!file->empty() && access(file->c_str(), R_OK) != 0) {
      return mistake.Set(table.get(file == &http->tls_cert ? "tls_cert" : "tls_key")->source(),
                         file == &http->tls_cert ? "http.tls_cert" : "http.tls_key",
                         *file + ": " + SystemErrorText(errno));
    }
  }
  if (const toml::node* origins = table.get("cors_origins")) {
    const toml::array* list = origins->as_array();
    if (list == nullptr) {
      return mistake.Set(origins->source(), "http.cors_origins", "must be a list of origins");
    }
    for (const toml::node& origin : *list) {
      const auto text = origin.value<std::string>();
      if (!text || (text->rfind("http://", 0) != 0 && text->rfind("https://", 0) != 0) ||
          text->back() == '/') {
        return mistake.Set(origin.source(), "http.cors_origins",
                           "an origin is a scheme and a host, such as https://till.example");
      }
      http->cors_origins.push_back(*text);
    }
  }
  return true;
}

// A port number from 1 to 65535, in decimal.
bool ParsePort(const std::string& number, int* port) {
  if (number.empty() || number.size() > 5 ||
      number.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  *port = std::stoi(number);
  return *port >= 1 && *port <= 65535;
}

// mqtt://HOST[:PORT] or mqtts://HOST[:PORT], HOST a name, an IPv4 address or
// an IPv6 one in brackets.
bool ParseBroker(const std::string& text, MqttConfig* mqtt) {
  std::string rest;
  if (text.rfind("mqtt://", 0) == 0) {
    rest = text.substr(7);
    mqtt->tls = false;
    mqtt->port = 1883;
  } else if (text.rfind("mqtts://", 0) == 0) {
    rest = text.substr(8);
    mqtt->tls = true;
    mqtt->port = 8883;
  } else {
    return false;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (rest.empty() || rest.find_first_of("/@?# ") != std::string::npos) return false;
  std::string port;
  if (rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos || close < 2) return false;
    mqtt->host = rest.substr(1, close - 1);
    const std::string tail = rest.substr(close + 1);
    if (!tail.empty()) {
      if (tail.front() != ':') return false;
      port = tail.substr(1);
      if (!ParsePort(port, &mqtt->port)) return false;
    }
    return true;
  }
  const std::size_t colon = rest.find(':');
  mqtt->host = rest.substr(0, colon);
  if (mqtt->host.empty()) return false;
  if (colon == std::string::npos) return true;
  return ParsePort(rest.substr(colon + 1), &mqtt->port);
}

// A topic's first levels: no wildcards, no empty level at either end.
bool IsTopicPrefix(const std::string& prefix) {
  return !prefix.empty() && prefix.find_first_of("+#") == std::string::npos &&
         prefix.front() != '/' && prefix.back() != '/' && prefix.find('\0') == std::string::npos;
}

bool ReadMqtt(const toml::table& table, MqttConfig* mqtt, Mistake& mistake) {
  if (!OnlyKnownKeys(table, "mqtt",
                     {"broker", "site", "username", "password_file", "ca_file", "cert_file",
                      "key_file", "client_id", "topic_prefix", "discovery_prefix"},
                     mistake)) {
    return false;
  }
  std::string broker, password_file;
  for (const auto& [key, value] :
       std::initializer_list<std::pair<const char*, std::string*>>{
           {"broker", &broker}, {"site", &mqtt->site}, {"username", &mqtt->username},
           {"password_file", &password_file}, {"ca_file", &mqtt->ca_file},
           {"cert_file", &mqtt->cert_file}, {"key_file", &mqtt->key_file},
           {"client_id", &mqtt->client_id}, {"topic_prefix", &mqtt->topic_prefix},
           {"discovery_prefix", &mqtt->discovery_prefix}}) {
    if (!StringAt(table, key, "mqtt", value, mistake)) return false;
  }
  const toml::node* broker_node = table.get("broker");
  if (broker_node == nullptr) {
    return mistake.Set(table.source(), "mqtt.broker",
                       "is needed: the broker, such as mqtt://127.0.0.1:1883 or "
                       "mqtts://broker.example:8883");
  }
  if (!ParseBroker(broker, mqtt)) {
    return mistake.Set(broker_node->source(), "mqtt.broker",
                       "'" + broker + "' is no mqtt://HOST:PORT or mqtts://HOST:PORT");
  }
  const toml::node* site = table.get("site");
  if (site == nullptr) {
    return mistake.Set(table.source(), "mqtt.site",
                       "is needed: the site's name in the topics, such as shop1");
  }
  if (!IsUnitName(mqtt->site)) {
    return mistake.Set(site->source(), "mqtt.site",
                       "'" + mqtt->site + "': a site's name is 1 to 32 of a-z, 0-9, _ and -");
  }
  if (const toml::node* id = table.get("client_id"); id != nullptr && mqtt->client_id.empty()) {
    return mistake.Set(id->source(), "mqtt.client_id", "must not be empty");
  }
  if (mqtt->client_id.empty()) mqtt->client_id = "korvel-" + mqtt->site;
  for (const char* key : {"topic_prefix", "discovery_prefix"}) {
    const toml::node* node = table.get(key);
    const std::string& prefix = std::string(key) == "topic_prefix" ? mqtt->topic_prefix
                                                                    : mqtt->discovery_prefix;
    if (node != nullptr && !IsTopicPrefix(prefix)) {
      return mistake.Set(node->source(), std::string("mqtt.") + key,
                         "'" + prefix + "': a topic's first levels, such as korvel, without "
                         "+, # or a / at either end");
    }
  }
  if (!password_file.empty()) {
    const toml::source_region& at = table.get("password_file")->source();
    if (mqtt->username.empty()) {
      return mistake.Set(at, "mqtt.password_file", "a password needs a username too");
    }
    std::string why;
    if (!ReadSecret(password_file, &mqtt->password, &why)) {
      return mistake.Set(at, "mqtt.password_file", why);
    }
  }
  for (const char* key : {"ca_file", "cert_file", "key_file"}) {
    const toml::node* node = table.get(key);
    if (node == nullptr) continue;
    const std::string file = **node->as_string();
    if (!mqtt->tls) {
      return mistake.Set(node->source(), std::string("mqtt.") + key,
                         "is for a broker reached by TLS: mqtts://HOST:PORT");
    }
    if (access(file.c_str(), R_OK) != 0) {
      return mistake.Set(node->source(), std::string("mqtt.") + key,
                         file + ": " + SystemErrorText(errno));
    }
  }
  if (mqtt->cert_file.empty() != mqtt->key_file.empty()) {
    return mistake.Set(table.source(), mqtt->cert_file.empty() ? "mqtt.cert_file" : "mqtt.key_file",
                       "a client certificate needs both cert_file and key_file");
  }
  return true;
}

bool ReadUnits(const toml::node& node, ServeConfig* config, Mistake& mistake) {
  const toml::array* units = node.as_array();
  if (units == nullptr || !units->is_array_of_tables()) {
    return mistake.Set(node.source(), "unit", "each unit is a [[unit]] table");
  }
  std::map<std::string, std::string> identities;  // identity -> unit name
  for (const toml::node& entry : *units) {
    const toml::table& table = *entry.as_table();
    if (!OnlyKnownKeys(table, "unit", {"name", "port", "title"}, mistake)) return false;
    UnitConfig unit;
    if (!StringAt(table, "name", "unit", &unit.name, mistake) ||
        !StringAt(table, "title", "unit", &unit.title, mistake)) {
      return false;
    }
    const toml::node* name = table.get("name");
    if (name == nullptr) return mistake.Set(table.source(), "unit.name", "is needed");
    if (!IsUnitName(unit.name)) {
      return mistake.Set(name->source(), "unit.name",
                         "'" + unit.name + "': a name is 1 to 32 of a-z, 0-9, _ and -");
    }
    for (const UnitConfig& other : config->units) {
      if (other.name == unit.name) {
        return mistake.Set(name->source(), "unit.name", "'" + unit.name + "' is given twice");
      }
    }
    std::string port;
    if (!StringAt(table, "port", "unit", &port, mistake)) return false;
    const toml::node* port_node = table.get("port");
    if (port_node == nullptr) return mistake.Set(table.source(), "unit.port", "is needed");
    std::vector<std::string> names;
    std::string why;
    if (!PortNamed(port, &unit.port, &names, &why)) {
      return mistake.Set(port_node->source(), "unit.port", why);
    }
    for (const std::string& identity : names) {
      const auto first = identities.find(identity);
      if (first != identities.end()) {
        return mistake.Set(port_node->source(), "unit.port",
                           "'" + port + "' is unit '" + first->second + "''s port too");
      }
    }
    for (const std::string& identity : names) identities.emplace(identity, unit.name);
    if (unit.title.empty()) unit.title = unit.name;
    config->units.push_back(unit);
  }
  return true;
}

}  // namespace

bool IsUnitName(const std::string& name) {
  if (name.empty() || name.size() > 32) return false;
  for (char c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) return false;
  }
  return true;
}

bool ReadServeConfig(const std::string& path, ServeConfig* config, std::string* error) {
  *config = ServeConfig{};
  config->path = path;
  Mistake mistake(path);
  std::ifstream file(path);
  if (!file) {
    *error = path + ": " + SystemErrorText(errno);
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  toml::table root;
  try {
    root = toml::parse(text.str(), path);
  } catch (const toml::parse_error& failure) {
    *error = path + ":" + std::to_string(failure.source().begin.line) + ": " +
             std::string(failure.description());
    return false;
  }
  bool ok = OnlyKnownKeys(root, "", {"http", "state", "unit", "mqtt"}, mistake);
  const toml::table* http = root["http"].as_table();
  if (ok && http == nullptr) {
    ok = mistake.Set(root.source(), "http", "is needed: [http] with token_file at least");
  }
  ok = ok && ReadHttp(*http, &config->http, mistake);
  if (ok) {
    if (const toml::node* state = root.get("state")) {
      const toml::table* table = state->as_table();
      if (table == nullptr) {
        ok = mistake.Set(state->source(), "state", "must be a table");
      } else {
        ok = OnlyKnownKeys(*table, "state", {"dir"}, mistake) &&
             StringAt(*table, "dir", "state", &config->state_dir, mistake);
        if (ok && config->state_dir.empty()) {
          ok = mistake.Set(table->source(), "state.dir", "must name a folder");
        }
      }
    }
  }
  if (ok) {
    const toml::node* units = root.get("unit");
    if (units == nullptr) {
      ok = mistake.Set(root.source(), "unit", "no [[unit]] is given; name at least one");
    } else {
      ok = ReadUnits(*units, config, mistake);
    }
  }
  if (ok) {
    if (const toml::node* mqtt = root.get("mqtt")) {
      const toml::table* table = mqtt->as_table();
      config->mqtt.emplace();
      if (table == nullptr) {
        ok = mistake.Set(mqtt->source(), "mqtt", "must be a table");
      } else {
        ok = ReadMqtt(*table, &*config->mqtt, mistake);
      }
    }
  }
  if (ok && config->mqtt) {
    // korvel/SITE/all/set is every unit of the site.
    for (const toml::node& entry : *root.get("unit")->as_array()) {
      const toml::node* name = entry.as_table()->get("name");
      if (name->value<std::string>() == "all") {
        ok = mistake.Set(name->source(), "unit.name",
                         "'all' stands for every unit of the site on MQTT; name it otherwise");
        break;
      }
    }
  }
  if (!ok) *error = mistake.error();
  return ok;
}
