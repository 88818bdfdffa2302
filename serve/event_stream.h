#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serve/unit_worker.h"

// Server-sent events for open pages: each unit's progress and each change of
// a unit. Listeners are few and bounded, each with a bounded queue: one that
// does not keep up is let go rather than held in memory, and none can hold
// the units up.
class EventStream : public UnitObserver {
 public:
  class Listener {
   public:
    // The next event as an SSE chunk; a comment line as heartbeat when none
    // came within heartbeat; empty once the listener is let go.
    std::string Next(std::chrono::milliseconds heartbeat);

   private:
    friend class EventStream;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::string> events_;
    bool closed_ = false;
  };

  static constexpr std::size_t kQueueLimit = 1024;

  explicit EventStream(std::size_t max_listeners) : max_listeners_(max_listeners) {}

  // A new listener, or null when there are as many as allowed.
  std::shared_ptr<Listener> Join();
  void Leave(const std::shared_ptr<Listener>& listener);
  // Every listener is let go: for the service's stop.
  void Close();

  void Progress(const UnitSnapshot& unit) override;
  void Changed(const UnitSnapshot& unit) override;

 private:
  bool Heard();
  void Send(const std::string& chunk);

  const std::size_t max_listeners_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<Listener>> listeners_;
  bool closed_ = false;
};

// Hands each unit's news to several observers in turn.
class ObserverList : public UnitObserver {
 public:
  void Add(UnitObserver* observer) { observers_.push_back(observer); }
  void Progress(const UnitSnapshot& unit) override {
    for (UnitObserver* observer : observers_) observer->Progress(unit);
  }
  void Changed(const UnitSnapshot& unit) override {
    for (UnitObserver* observer : observers_) observer->Changed(unit);
  }

 private:
  std::vector<UnitObserver*> observers_;
};
