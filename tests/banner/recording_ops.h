#pragma once
#include <string>
#include <vector>

#include "banner/programming_run.h"

// A ProgrammerOps that writes down every call in order. It can be told to
// fail one SendByte, counted over the whole run (0 = the first byte sent).
class RecordingOps : public ProgrammerOps {
 public:
  enum class Call { kInitPort, kSendByte, kDelay, kReadMessageText, kSetProgress };
  struct Event {
    Call call;
    int value;  // the byte sent or the progress set; 0 for the others
  };

  explicit RecordingOps(std::string text) : text_(std::move(text)) {}

  void FailSendNumber(int number, SendStatus status) {
    fail_at_ = number;
    fail_status_ = status;
  }

  void InitPort() override { events_.push_back({Call::kInitPort, 0}); }
  SendStatus SendByte(int byte) override {
    events_.push_back({Call::kSendByte, byte});
    return sends_++ == fail_at_ ? fail_status_ : SendStatus::kSent;
  }
  void Delay() override { events_.push_back({Call::kDelay, 0}); }
  std::string ReadMessageText() override {
    events_.push_back({Call::kReadMessageText, 0});
    return text_;
  }
  void SetProgress(int position) override { events_.push_back({Call::kSetProgress, position}); }

  const std::vector<Event>& events() const { return events_; }

  std::vector<int> ValuesOf(Call call) const {
    std::vector<int> values;
    for (const Event& e : events_) {
      if (e.call == call) values.push_back(e.value);
    }
    return values;
  }
  int CountOf(Call call) const { return static_cast<int>(ValuesOf(call).size()); }

 private:
  std::string text_;
  std::vector<Event> events_;
  int sends_ = 0;
  int fail_at_ = -1;
  SendStatus fail_status_ = SendStatus::kSent;
};
