#include "serve/event_stream.h"

#include <algorithm>

#include "serve/snapshot_json.h"

std::string EventStream::Listener::Next(std::chrono::milliseconds heartbeat) {
  std::unique_lock<std::mutex> lock(mutex_);
  ready_.wait_for(lock, heartbeat, [this] { return closed_ || !events_.empty(); });
  if (closed_) return std::string();
  if (events_.empty()) return ": still here\n\n";
  std::string chunk = std::move(events_.front());
  events_.pop_front();
  return chunk;
}

std::shared_ptr<EventStream::Listener> EventStream::Join() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || listeners_.size() >= max_listeners_) return nullptr;
  listeners_.push_back(std::make_shared<Listener>());
  return listeners_.back();
}

void EventStream::Leave(const std::shared_ptr<Listener>& listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void EventStream::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  for (const auto& listener : listeners_) {
    std::lock_guard<std::mutex> guard(listener->mutex_);
    listener->closed_ = true;
    listener->ready_.notify_all();
  }
  listeners_.clear();
}

void EventStream::Send(const std::string& chunk) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& listener : listeners_) {
    std::lock_guard<std::mutex> guard(listener->mutex_);
    if (listener->events_.size() >= kQueueLimit) {
      listener->closed_ = true;  // it does not keep up: let it go, its page reconnects
    } else {
      listener->events_.push_back(chunk);
    }
    listener->ready_.notify_all();
  }
}

void EventStream::Progress(const UnitSnapshot& unit) {
  // Every answered byte of every unit comes here: with no page open, the
  // event is not even written.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (listeners_.empty()) return;
  }
  Send("event: progress\ndata: " + ProgressJson(unit).dump() + "\n\n");
}

void EventStream::Changed(const UnitSnapshot& unit) {
  Send("event: unit\ndata: " + SnapshotJson(unit).dump() + "\n\n");
}
