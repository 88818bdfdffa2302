#include "serve/http_api.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "serve/page_files.h"
#include "serve/snapshot_json.h"
#include "unitrun/message_lines.h"

using nlohmann::json;

namespace {

constexpr auto kHeartbeat = std::chrono::seconds(15);

// The page may run its own script and style and talk to its own server; it
// may not be framed, and nothing else loads.
constexpr char kPagePolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "img-src 'self' data:; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void SendJson(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump() + "\n", "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& why) {
  SendJson(res, status, {{"error", why}});
}

// The status that says whose fault a run's end was: the port's, the unit's,
// or the service's stop.
int RunStatus(const RunResult& result) {
  if (result.ok()) return 200;
  if (result.outcome == RunOutcome::kStopped) return 503;
  return result.port_failed() ? 502 : 504;
}

std::string LinesText(const Lines& lines) { return json(lines).dump(); }

// {"lines": ["LINE 1", "LINE 2"]}, and nothing else.
bool LinesFromBody(const std::string& body, Lines* lines, std::string* why) {
  const json request = json::parse(body, nullptr, false);
  if (request.is_discarded() || !request.is_object()) {
    *why = "the body is not JSON of the form {\"lines\": [\"LINE 1\", \"LINE 2\"]}";
    return false;
  }
  for (const auto& item : request.items()) {
    if (item.key() != "lines") {
      *why = "unknown field \"" + item.key() + "\"; the body is {\"lines\": [...]}";
      return false;
    }
  }
  const auto found = request.find("lines");
  if (found == request.end() || !found->is_array()) {
    *why = "\"lines\" must be a list of up to two strings";
    return false;
  }
  lines->clear();
  for (const json& line : *found) {
    if (!line.is_string()) {
      *why = "\"lines\" must be a list of up to two strings";
      return false;
    }
    lines->push_back(line.get<std::string>());
  }
  return true;
}

}  // namespace

bool SameSecret(const std::string& given, const std::string& expected) {
  unsigned char differ = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const char g = i < given.size() ? given[i] : 0;
    differ |= static_cast<unsigned char>(g ^ expected[i]);
  }
  return differ == 0;
}

HttpApi::HttpApi(const HttpConfig& config, const std::vector<UnitWorker*>& units,
                 EventStream& events, ServeLog& log)
    : config_(config), units_(units), events_(events), log_(log) {
  for (UnitWorker* unit : units_) units_json_.push_back(SnapshotJson(unit->Snapshot()).dump());
  if (!config.tls_cert.empty()) {
    server_ = std::make_unique<httplib::SSLServer>(config.tls_cert.c_str(), config.tls_key.c_str());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  server_->set_payload_max_length(kBodyLimit);
  server_->set_read_timeout(std::chrono::seconds(5));
  server_->set_write_timeout(std::chrono::seconds(5));
  server_->set_keep_alive_timeout(5);
  server_->set_keep_alive_max_count(1000);
  Routes();
}

HttpApi::~HttpApi() = default;

void HttpApi::Keep(const UnitSnapshot& unit) {
  std::string text = SnapshotJson(unit).dump();
  for (std::size_t i = 0; i < units_.size(); ++i) {
    if (units_[i]->name() == unit.name) {
      std::lock_guard<std::mutex> lock(units_json_mutex_);
      units_json_[i].swap(text);
      return;
    }
  }
}

std::string HttpApi::UnitText(std::size_t index) const {
  std::lock_guard<std::mutex> lock(units_json_mutex_);
  return units_json_[index];
}

UnitWorker* HttpApi::Unit(const std::string& name) const {
  for (UnitWorker* unit : units_) {
    if (unit->name() == name) return unit;
  }
  return nullptr;
}

bool HttpApi::Bind(std::string* why) {
  if (!server_->is_valid()) {
    *why = "the certificate " + config_.tls_cert + " or its key " + config_.tls_key +
           " could not be used";
    return false;
  }
  if (!server_->bind_to_port(config_.host, config_.port)) {
    *why = "could not listen on " + config_.host + " port " + std::to_string(config_.port) +
           ": " + std::string(std::strerror(errno));
    return false;
  }
  return true;
}

void HttpApi::Serve() { server_->listen_after_bind(); }

void HttpApi::Stop() { server_->stop(); }

void HttpApi::Routes() {
  httplib::Server& server = *server_;

  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Cache-Control", "no-store");
    if (req.path.rfind("/api/", 0) != 0) return httplib::Server::HandlerResponse::Unhandled;
    const std::string origin = req.get_header_value("Origin");
    const auto& allowed = config_.cors_origins;
    if (!origin.empty() && std::find(allowed.begin(), allowed.end(), origin) != allowed.end()) {
      res.set_header("Access-Control-Allow-Origin", origin);
      res.set_header("Vary", "Origin");
      if (req.method == "OPTIONS") {
        res.set_header("Access-Control-Allow-Methods", "GET, PUT");
        res.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
        res.set_header("Access-Control-Max-Age", "600");
        res.status = 204;
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    const std::string auth = req.get_header_value("Authorization");
    const std::string scheme = "bearer ";
    bool bearer = auth.size() > scheme.size();
    for (std::size_t i = 0; bearer && i < scheme.size(); ++i) {
      bearer = std::tolower(static_cast<unsigned char>(auth[i])) == scheme[i];
    }
    if (!bearer || !SameSecret(auth.substr(scheme.size()), config_.token)) {
      res.set_header("WWW-Authenticate", "Bearer");
      SendError(res, 401, "this needs the API token: Authorization: Bearer TOKEN");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    switch (res.status) {
      case 404: SendError(res, 404, "there is nothing here"); break;
      case 413: SendError(res, 413, "the body is larger than 4 KiB"); break;
      case 405: SendError(res, 405, "not with this method"); break;
      default: SendError(res, res.status, "the request could not be served"); break;
    }
  });

  server.Get("/healthz", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("ok\n", "text/plain");
  });

  for (std::size_t i = 0; i < kPageFileCount; ++i) {
    const PageFile& file = kPageFiles[i];
    server.Get(file.path, [&file](const httplib::Request&, httplib::Response& res) {
      res.set_header("Content-Security-Policy", kPagePolicy);
      res.set_header("Referrer-Policy", "no-referrer");
      res.set_content(std::string(file.body), file.type);
    });
  }

  server.Get("/api/units", [this](const httplib::Request&, httplib::Response& res) {
    std::string list = "[";
    for (std::size_t i = 0; i < units_.size(); ++i) list += (i > 0 ? "," : "") + UnitText(i);
    res.set_content(list + "]\n", "application/json");
  });

  server.Get(R"(/api/units/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
    for (std::size_t i = 0; i < units_.size(); ++i) {
      if (units_[i]->name() == req.matches[1]) {
        return res.set_content(UnitText(i) + "\n", "application/json");
      }
    }
    SendError(res, 404, "there is no unit '" + std::string(req.matches[1]) + "'");
  });

  server.Put(R"(/api/units/([^/]+)/banner)", [this](const httplib::Request& req,
                                                    httplib::Response& res) {
    UnitWorker* unit = Unit(req.matches[1]);
    if (unit == nullptr) return SendError(res, 404, "there is no unit '" + std::string(req.matches[1]) + "'");
    Lines lines;
    std::string why;
    if (!LinesFromBody(req.body, &lines, &why)) return SendError(res, 400, why);
    std::string text;
    LinesRefusal refused;
    if (!TextFromLines(lines, &text, &refused)) {
      log_.Line(unit->name() + ": from " + req.remote_addr + ": refused " + LinesText(lines) +
                ": " + LinesRefusalText(refused));
      return SendError(res, 422, LinesRefusalText(refused));
    }
    log_.Line(unit->name() + ": from " + req.remote_addr + ": lines " + LinesText(lines));
    std::shared_future<TextAnswer> answer = unit->Submit(lines, text);
    if (req.get_param_value("wait") == "0") {
      return SendJson(res, 202, {{"unit", SnapshotJson(unit->Snapshot())}});
    }
    const TextAnswer& got = answer.get();
    if (!got.ran) {
      return SendJson(res, 503,
                      {{"error", "the service stopped before the run; the text is kept and sent "
                                 "when it starts again"},
                       {"unit", SnapshotJson(got.after)}});
    }
    json body = {{"result", RunJson(got.run)}, {"unit", SnapshotJson(got.after)}};
    if (got.superseded) body["superseded_by"] = got.run.lines;
    SendJson(res, RunStatus(got.run.report.result), body);
  });

  server.Get("/api/events", [this](const httplib::Request&, httplib::Response& res) {
    std::shared_ptr<EventStream::Listener> listener = events_.Join();
    if (listener == nullptr) {
      res.set_header("Retry-After", "30");
      return SendError(res, 503, "too many pages are listening; try again later");
    }
    // A new listener first hears how every unit is.
    std::string start;
    for (UnitWorker* unit : units_) {
      start += "event: unit\ndata: " + SnapshotJson(unit->Snapshot()).dump() + "\n\n";
    }
    auto first = std::make_shared<std::string>(std::move(start));
    res.set_chunked_content_provider(
        "text/event-stream",
        [listener, first](std::size_t, httplib::DataSink& sink) {
          std::string chunk;
          if (!first->empty()) {
            chunk.swap(*first);
          } else {
            chunk = listener->Next(kHeartbeat);
          }
          if (chunk.empty()) return false;
          return sink.write(chunk.data(), chunk.size());
        },
        [this, listener](bool) { events_.Leave(listener); });
  });
}
