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
  bool ok = OnlyKnownKeys(root, "", {"http", "state", "unit"}, mistake);
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
  if (!ok) *error = mistake.error();
  return ok;
}
