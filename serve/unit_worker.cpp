#include "serve/unit_worker.h"

#include <algorithm>
#include <chrono>

#include "banner/frame.h"
#include "serial/port_error.h"
#include "unitrun/message_lines.h"
#include "unitrun/run_messages.h"

namespace {

std::string JoinedLog(const std::string& unit, const std::string& what) {
  return unit + ": " + what;
}

// Whether a run that failed left the unit as it was: nothing reached its line.
bool NothingWentOut(const UnitReport& report) {
  if (report.bytes_answered > 0) return false;
  switch (report.result.outcome) {
    case RunOutcome::kNoSuchPort:
    case RunOutcome::kPortInUse:
    case RunOutcome::kPortAccessDenied:
    case RunOutcome::kPortFailed:
    case RunOutcome::kNoCts:
    case RunOutcome::kReceiverFlooded:
      return report.result.position == 0;
    default:
      return false;
  }
}

}  // namespace

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

struct UnitWorker::Waiting {
  struct Waiter {
    std::promise<TextAnswer> promise;
    bool superseded = false;
  };
  Lines lines;
  std::string text;
  std::vector<std::shared_ptr<Waiter>> waiters;
};

UnitWorker::UnitWorker(std::string name, std::string title, PortToProgram port,
                       const UnitStateFolder& folder, UnitObserver& observer)
    : name_(std::move(name)),
      title_(std::move(title)),
      folder_(folder),
      observer_(observer),
      line_(std::move(port)) {}

UnitWorker::~UnitWorker() { Stop(); }

void UnitWorker::Start(std::vector<std::string>* log) {
  std::string problem;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = folder_.Read(name_, &problem);
    if (state_.shown != state_.wanted) {
      status_ = UnitStatus::kPending;
      why_ = state_.shown ? "it shows another text than the one it should"
                          : "a run was cut short; what it shows is not known";
      next_try_ms_ = NowMs();
    }
  }
  if (!problem.empty()) log->push_back(JoinedLog(name_, problem + "; starting afresh"));
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const UnitSnapshot now = SnapshotLocked();
    const std::uint64_t seq = ++snapshots_taken_;
    lock.unlock();
    Tell(now, seq, false);
  }
  RunResult why;
  std::vector<StaleLock> removed;
  const bool held = line_.Hold(&why, &removed);
  for (const StaleLock& lock : removed) log->push_back(JoinedLog(name_, StaleLockText(lock)));
  if (!held) {
    log->push_back(JoinedLog(name_, OutcomeText(line_.port(), why, 0)));
  }
  thread_ = std::thread(&UnitWorker::Loop, this);
}

std::shared_future<TextAnswer> UnitWorker::Submit(const Lines& lines, const std::string& text,
                                                  bool only_if_new) {
  auto waiter = std::make_shared<Waiting::Waiter>();
  std::shared_future<TextAnswer> answer = waiter->promise.get_future().share();
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopping_ || (only_if_new && lines == state_.wanted)) {
    TextAnswer now;
    now.after = SnapshotLocked();
    waiter->promise.set_value(now);
    return answer;
  }
  if (waiting_ == nullptr) {
    waiting_ = std::make_shared<Waiting>();
  } else {
    for (auto& earlier : waiting_->waiters) earlier->superseded = true;
  }
  waiting_->lines = lines;
  waiting_->text = text;
  waiting_->waiters.push_back(waiter);
  state_.wanted = lines;
  state_.wanted_since_ms = NowMs();
  if (status_ != UnitStatus::kProgramming) {
    status_ = UnitStatus::kPending;
    why_ = "a new text";
    next_try_ms_ = NowMs();
  }
  retry_after_ms_ = 0;  // a new text is a fresh start
  Save(lock);
  const UnitSnapshot snapshot = SnapshotLocked();
  const std::uint64_t seq = ++snapshots_taken_;
  lock.unlock();
  wake_.notify_all();
  Tell(snapshot, seq, false);
  return answer;
}

void UnitWorker::Tell(const UnitSnapshot& unit, std::uint64_t seq, bool progress) {
  std::lock_guard<std::mutex> told(tell_mutex_);
  // A change is told unless a newer change was; progress only while nothing
  // newer was told.
  if (seq < (progress ? last_told_ : last_change_told_)) return;
  last_told_ = std::max(last_told_, seq);
  if (progress) {
    observer_.Progress(unit);
  } else {
    last_change_told_ = seq;
    observer_.Changed(unit);
  }
}

UnitSnapshot UnitWorker::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return SnapshotLocked();
}

UnitSnapshot UnitWorker::SnapshotLocked() const {
  UnitSnapshot snapshot;
  snapshot.name = name_;
  snapshot.title = title_;
  snapshot.port = line_.port().name;
  snapshot.state = state_;
  snapshot.status = status_;
  snapshot.why = why_;
  snapshot.next_try_ms = next_try_ms_;
  snapshot.last_run = last_run_;
  snapshot.phase = phase_;
  snapshot.sent = sent_;
  snapshot.of = of_;
  return snapshot;
}

void UnitWorker::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
}

void UnitWorker::Stop() {
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void UnitWorker::Save(std::unique_lock<std::mutex>&) {
  int error = 0;
  // A state that cannot be kept still holds while the service runs; the
  // folder's problem shows in the log of the service's start.
  folder_.Write(name_, state_, &error);
}

void UnitWorker::Answer(const std::shared_ptr<Waiting>& batch, const TextAnswer& answer) {
  if (batch == nullptr) return;
  for (auto& waiter : batch->waiters) {
    TextAnswer own = answer;
    own.superseded = waiter->superseded;
    waiter->promise.set_value(own);
  }
}

void UnitWorker::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    std::shared_ptr<Waiting> batch;
    if (waiting_ != nullptr) {
      batch = std::move(waiting_);
    } else if (state_.shown != state_.wanted && NowMs() >= next_try_ms_) {
      batch = std::make_shared<Waiting>();
      batch->lines = state_.wanted;
      LinesRefusal refused;
      if (!TextFromLines(batch->lines, &batch->text, &refused)) {
        // A state file edited by hand: the text it wants cannot be sent.
        status_ = UnitStatus::kFailed;
        why_ = LinesRefusalText(refused);
        next_try_ms_ = 0;
        state_.wanted = state_.shown.value_or(Lines{});
        continue;
      }
    } else if (state_.shown != state_.wanted) {
      wake_.wait_for(lock, std::chrono::milliseconds(next_try_ms_ - NowMs()));
      continue;
    } else {
      wake_.wait(lock);
      continue;
    }
    RunOnce(lock, batch);
  }
  // Texts that never got their run are answered so that nobody waits on.
  if (waiting_ != nullptr) {
    TextAnswer none;
    none.after = SnapshotLocked();
    Answer(waiting_, none);
    waiting_.reset();
  }
}

void UnitWorker::RunOnce(std::unique_lock<std::mutex>& lock, std::shared_ptr<Waiting> batch) {
  const std::optional<Lines> shown_before = state_.shown;
  // Until the last byte is answered the unit may show anything. A stop now
  // must be programmed again at the next start: the kept state already says
  // so where the unit was known to show another text than the one it is
  // sent, and is written anew only where it was known to show this very
  // text. Each write waits for the disk, and units run side by side.
  state_.shown.reset();
  status_ = UnitStatus::kProgramming;
  why_.clear();
  phase_ = RunPhase::kBlank;
  sent_ = 0;
  of_ = kFrameSize;
  const int message_length = SentLength(MessageFrame(batch->text));
  if (shown_before == batch->lines) Save(lock);
  const UnitSnapshot starting = SnapshotLocked();
  const std::uint64_t starting_seq = ++snapshots_taken_;
  lock.unlock();
  Tell(starting, starting_seq, false);

  const AnsweredFn answered = [&](RunPhase phase, int sent) {
    UnitSnapshot progress;
    std::uint64_t seq = 0;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      phase_ = phase;
      sent_ = sent;
      of_ = phase == RunPhase::kBlank ? kFrameSize : message_length;
      progress = SnapshotLocked();
      seq = ++snapshots_taken_;
    }
    Tell(progress, seq, true);
  };
  const StopFn stop_now = [this] {
    std::lock_guard<std::mutex> guard(mutex_);
    return stopping_;
  };
  const UnitReport report = line_.Program(batch->text, answered, stop_now);

  lock.lock();
  LastRun run;
  run.lines = batch->lines;
  run.report = report;
  run.said = OutcomeText(line_.port(), report.result, message_length);
  run.ended_ms = NowMs();
  last_run_ = run;
  sent_ = of_ = 0;
  if (report.result.ok()) {
    state_.shown = batch->lines;
    state_.shown_since_ms = run.ended_ms;
    retry_after_ms_ = 0;
  } else if (NothingWentOut(report)) {
    state_.shown = shown_before;
  }
  if (state_.shown == state_.wanted) {
    status_ = UnitStatus::kProgrammed;
    why_.clear();
    next_try_ms_ = 0;
  } else if (waiting_ != nullptr) {
    status_ = UnitStatus::kPending;
    why_ = "a new text";
    next_try_ms_ = NowMs();
  } else if (report.result.outcome == RunOutcome::kStopped) {
    status_ = UnitStatus::kPending;
    why_ = "the service stopped during the run";
    next_try_ms_ = 0;
  } else {
    retry_after_ms_ = retry_after_ms_ == 0 ? kFirstRetryMs
                                           : std::min(retry_after_ms_ * 2, kLastRetryMs);
    status_ = UnitStatus::kFailed;
    why_ = run.said;
    next_try_ms_ = run.ended_ms + retry_after_ms_;
  }
  Save(lock);
  TextAnswer answer;
  answer.ran = true;
  answer.run = run;
  answer.after = SnapshotLocked();
  const std::uint64_t ended_seq = ++snapshots_taken_;
  lock.unlock();
  Tell(answer.after, ended_seq, false);
  Answer(batch, answer);
  lock.lock();
}
