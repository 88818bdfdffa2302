#pragma once
#include <condition_variable>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serve/unit_state.h"
#include "unitrun/program_unit.h"

enum class UnitStatus {
  kProgrammed,   // the unit shows the wanted text
  kPending,      // it is to be programmed, and has not failed at it yet
  kProgramming,  // a run is on
  kFailed,       // the last run failed; it is tried again after a while
};

// The last run of a unit: what it sent, how it went, and when it ended.
struct LastRun {
  Lines lines;
  UnitReport report;
  std::string said;  // in korvel-program's words
  std::int64_t ended_ms = 0;
};

// A unit as its worker last saw it, copied out for whoever asks.
struct UnitSnapshot {
  std::string name, title, port;
  UnitState state;
  UnitStatus status = UnitStatus::kProgrammed;
  std::string why;              // pending or failed: why
  std::int64_t next_try_ms = 0; // pending or failed: when it is tried next
  std::optional<LastRun> last_run;
  // While programming: the frame and its answered bytes, of how many.
  RunPhase phase = RunPhase::kBlank;
  int sent = 0, of = 0;
};

// What a unit's worker tells of itself, from its own thread: every answered
// byte, and every change of its snapshot.
class UnitObserver {
 public:
  virtual void Progress(const UnitSnapshot& unit) = 0;
  virtual void Changed(const UnitSnapshot& unit) = 0;

 protected:
  ~UnitObserver() = default;
};

// How a text handed to a unit ended.
struct TextAnswer {
  bool ran = false;         // false: the service stopped before its run
  bool superseded = false;  // a newer text was sent in its place; the run is that one's
  LastRun run;
  UnitSnapshot after;
};

// The one owner of a unit: holds its line, its wanted and shown text (kept in
// the state folder), the newest text waiting while a run is on, and the
// backoff while runs fail. Runs one at a time, on a thread of its own; the
// units' workers run side by side.
class UnitWorker {
 public:
  // Times while runs keep failing: the first retry after kFirstRetryMs,
  // doubling to kLastRetryMs.
  static constexpr std::int64_t kFirstRetryMs = 1000;
  static constexpr std::int64_t kLastRetryMs = 5 * 60 * 1000;

  UnitWorker(std::string name, std::string title, PortToProgram port,
             const UnitStateFolder& folder, UnitObserver& observer);
  ~UnitWorker();  // stops, as Stop() does
  UnitWorker(const UnitWorker&) = delete;
  UnitWorker& operator=(const UnitWorker&) = delete;

  // Reads the kept state, tells the observer of it, takes the line and
  // starts; a unit whose shown text differs from the wanted one is
  // programmed at once. Problems (a state file
  // not understood, a line that cannot be held) are told as log lines.
  void Start(std::vector<std::string>* log);

  // Sets what the unit should show and queues its run. text is the lines'
  // message text, already checked. Unless the wanted text differs (when
  // only_if_new), nothing is done and the answer comes at once.
  std::shared_future<TextAnswer> Submit(const Lines& lines, const std::string& text,
                                        bool only_if_new = false);

  UnitSnapshot Snapshot() const;
  const std::string& name() const { return name_; }

  // The run on, if any, stops between two bytes; waiting texts are answered
  // as not run. RequestStop returns at once, Stop once the worker has ended.
  void RequestStop();
  void Stop();

 private:
  struct Waiting;

  void Loop();
  void RunOnce(std::unique_lock<std::mutex>& lock, std::shared_ptr<Waiting> batch);
  UnitSnapshot SnapshotLocked() const;
  // Tells the observer of a snapshot taken under the lock as number seq,
  // outside it. Snapshots taken on two threads may arrive out of order: a
  // change older than the last change told, or progress older than anything
  // told, is not told at all.
  void Tell(const UnitSnapshot& unit, std::uint64_t seq, bool progress);
  void Save(std::unique_lock<std::mutex>& lock);
  void Answer(const std::shared_ptr<Waiting>& batch, const TextAnswer& answer);

  const std::string name_, title_;
  const UnitStateFolder& folder_;
  UnitObserver& observer_;
  UnitLine line_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  UnitState state_;
  UnitStatus status_ = UnitStatus::kProgrammed;
  std::string why_;
  std::int64_t next_try_ms_ = 0;
  std::int64_t retry_after_ms_ = 0;  // the backoff's next step; 0 when not failing
  std::optional<LastRun> last_run_;
  RunPhase phase_ = RunPhase::kBlank;
  int sent_ = 0, of_ = 0;
  std::shared_ptr<Waiting> waiting_;  // the newest text, to go next
  bool stopping_ = false;
  std::uint64_t snapshots_taken_ = 0;  // for Tell, under mutex_
  std::mutex tell_mutex_;
  std::uint64_t last_told_ = 0, last_change_told_ = 0;  // under tell_mutex_
  std::thread thread_;
};

// The time now, in milliseconds since the epoch.
std::int64_t NowMs();
