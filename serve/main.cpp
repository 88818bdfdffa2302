// korvel-serve: a site's KORVEL units behind one address, with a page for
// phones and an HTTP API; each unit's wanted text is kept until it shows it.
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <systemd/sd-daemon.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "options/option_reader.h"
#include "serial/port_error.h"
#include "serve/event_stream.h"
#include "serve/http_api.h"
#include "serve/mqtt_bridge.h"
#include "serve/serve_config.h"
#include "serve/serve_log.h"
#include "serve/snapshot_json.h"
#include "serve/unit_worker.h"
#include "unitrun/run_messages.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitCannotStart = 3;

constexpr char kUsage[] =
    "Usage: korvel-serve --config FILE\n"
    "Keeps the banners of a site's KORVEL units: a page for phones and an HTTP API\n"
    "set what each unit should show, and each is programmed until it shows it.\n"
    "With [mqtt], the units are on an MQTT broker too, for Home Assistant and fleets.\n"
    "\n"
    "  --config FILE   the configuration (TOML), such as /etc/korvel/serve.toml\n"
    "  --check         check the configuration, open nothing, and exit\n"
    "  --help          show this help        --version   show the version\n"
    "\n"
    "Exit status: 0 stopped as asked (or the configuration is sound), 2 a mistake in\n"
    "the options or the configuration, 3 the state folder or the address could not\n"
    "be used. See korvel-serve(8).\n";

// Tells the log how each run ended, and what each unit is waiting for.
class RunLogger : public UnitObserver {
 public:
  explicit RunLogger(ServeLog& log) : log_(log) {}
  void Progress(const UnitSnapshot&) override {}
  void Changed(const UnitSnapshot& unit) override {
    if (unit.status == UnitStatus::kProgramming || !unit.last_run) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::int64_t& seen = last_logged_[unit.name];
    if (unit.last_run->ended_ms == seen) return;
    seen = unit.last_run->ended_ms;
    for (const StaleLock& lock : unit.last_run->report.removed_locks) {
      log_.Line(unit.name + ": " + StaleLockText(lock));
    }
    std::string line = unit.name + ": " + unit.last_run->said;
    if (unit.status == UnitStatus::kFailed) line += " (tries again at " + IsoTime(unit.next_try_ms) + ")";
    log_.Line(line);
  }

 private:
  ServeLog& log_;
  std::mutex mutex_;
  std::map<std::string, std::int64_t> last_logged_;
};

int Refuse(const std::string& why) {
  std::fprintf(stderr, "korvel-serve: %s\n", why.c_str());
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::string config_path;
  bool help = false, version = false, check = false;
  std::string error;
  const std::vector<Option> table = {Once(Value("--config", &config_path)),
                                     Flag("--check", "", &check), Flag("--help", "-h", &help),
                                     Flag("--version", "", &version)};
  std::vector<std::string> operands;
  if (!ReadOptions(std::vector<std::string>(argv + 1, argv + argc), table, nullptr, &error)) {
    return Refuse(error + "\nTry 'korvel-serve --help'.");
  }
  if (help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (version) {
    std::printf("korvel-serve %s\n", KORVEL_VERSION);
    return kExitOk;
  }
  if (config_path.empty()) return Refuse("--config FILE is needed\nTry 'korvel-serve --help'.");

  ServeConfig config;
  if (!ReadServeConfig(config_path, &config, &error)) return Refuse(error);
  if (check) {
    std::printf("korvel-serve: %s is sound: %zu units%s\n", config_path.c_str(),
                config.units.size(),
                config.mqtt ? (", MQTT site " + config.mqtt->site).c_str() : "");
    return kExitOk;
  }

  // Each of the many request threads would otherwise get an arena of its own
  // and keep its memory; a service that waits on serial lines needs few.
  mallopt(M_ARENA_MAX, 2);

  // Stop requests are taken by one thread, the others never see them.
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  signal(SIGPIPE, SIG_IGN);

  ServeLog log(stderr);
  if (mkdir(config.state_dir.c_str(), 0755) != 0 && errno != EEXIST) {
    log.Line("the state folder " + config.state_dir + " could not be made: " +
             SystemErrorText(errno));
    return kExitCannotStart;
  }
  const UnitStateFolder folder(config.state_dir);

  EventStream events(HttpApi::kEventListeners);
  RunLogger run_logger(log);
  ObserverList observers;
  std::unique_ptr<MqttBridge> mqtt;
  if (config.mqtt) mqtt = std::make_unique<MqttBridge>(config, KORVEL_VERSION, log);

  std::vector<std::unique_ptr<UnitWorker>> workers;
  std::vector<UnitWorker*> units;
  for (const UnitConfig& unit : config.units) {
    workers.push_back(
        std::make_unique<UnitWorker>(unit.name, unit.title, unit.port, folder, observers));
    units.push_back(workers.back().get());
  }

  if (mqtt) mqtt->Attach(units);

  HttpApi api(config.http, units, events, log);
  observers.Add(&api);
  observers.Add(&events);
  observers.Add(&run_logger);
  if (mqtt) observers.Add(mqtt.get());
  if (!api.Bind(&error)) {
    log.Line(error);
    return kExitCannotStart;
  }
  for (UnitWorker* unit : units) {
    std::vector<std::string> said;
    unit->Start(&said);
    for (const std::string& line : said) log.Line(line);
  }
  // The broker is reached in the background: one that is away holds nothing up.
  if (mqtt && !mqtt->Start(&error)) {
    log.Line(error);
    for (UnitWorker* unit : units) unit->Stop();
    return kExitCannotStart;
  }
  std::thread server([&api] { api.Serve(); });
  log.Line(std::string("serving ") + (config.http.tls_cert.empty() ? "http" : "https") + "://" +
           (config.http.host.find(':') != std::string::npos ? "[" + config.http.host + "]"
                                                            : config.http.host) +
           ":" + std::to_string(config.http.port) + "/ for " + std::to_string(units.size()) +
           " units");
  sd_notify(0, "READY=1");

  int signal_number = 0;
  sigwait(&stops, &signal_number);
  sd_notify(0, "STOPPING=1");
  log.Line(std::string("stopping (") + strsignal(signal_number) + ")");
  // Every run stops between two bytes at once; then the lines are let go.
  for (UnitWorker* unit : units) unit->RequestStop();
  for (UnitWorker* unit : units) unit->Stop();
  // What the units ended with is published, then the site says it is offline.
  if (mqtt) mqtt->Stop();
  events.Close();
  api.Stop();
  server.join();
  workers.clear();
  log.Line("stopped");
  return kExitOk;
}
