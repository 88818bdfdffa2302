#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serve/event_stream.h"
#include "serve/serve_config.h"
#include "serve/serve_log.h"
#include "serve/unit_worker.h"

namespace httplib {
class Server;
}

// The page and the HTTP API in front of the units' workers. It hears of each
// unit's changes and keeps the unit's JSON ready, so that reading the units
// costs a copy, however many ask.
//
//   GET /healthz                     no token needed
//   GET /, /page.js, /page.css       the page for phones
//   GET /api/units, /api/units/NAME  the units as they are
//   PUT /api/units/NAME/banner       {"lines": [...]}: program it; ?wait=0 answers at once
//   GET /api/events                  server-sent events: progress and changes
class HttpApi : public UnitObserver {
 public:
  // Requests served at once; waiting PUTs and event listeners each hold one.
  static constexpr int kWorkerThreads = 64;
  static constexpr std::size_t kEventListeners = 8;
  static constexpr std::size_t kBodyLimit = 4096;

  HttpApi(const HttpConfig& config, const std::vector<UnitWorker*>& units, EventStream& events,
          ServeLog& log);
  ~HttpApi();

  // Takes the address to listen on; false with why when it cannot.
  bool Bind(std::string* why);
  // Serves until Stop().
  void Serve();
  void Stop();

  void Progress(const UnitSnapshot& unit) override { Keep(unit); }
  void Changed(const UnitSnapshot& unit) override { Keep(unit); }

 private:
  void Keep(const UnitSnapshot& unit);
  std::string UnitText(std::size_t index) const;
  void Routes();
  UnitWorker* Unit(const std::string& name) const;

  const HttpConfig& config_;
  std::vector<UnitWorker*> units_;
  EventStream& events_;
  ServeLog& log_;
  std::unique_ptr<httplib::Server> server_;
  mutable std::mutex units_json_mutex_;
  std::vector<std::string> units_json_;  // each unit's JSON, by its place in units_
};

// Whether two secrets are the same, in a time that says nothing of where
// they differ.
bool SameSecret(const std::string& given, const std::string& expected);
