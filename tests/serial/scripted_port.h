#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "serial/port_io.h"
#include "sim/register_access.h"

// A port whose register reads follow a script and which records every access.
// Each address can get a queue of values to hand out in turn and a value for
// once the queue is used up, or a function deciding each read.
class ScriptedPort : public PortIo {
 public:
  void Script(std::uint16_t address, std::vector<std::uint8_t> values, std::uint8_t then) {
    queues_[address].assign(values.begin(), values.end());
    then_[address] = then;
  }
  void SetReader(std::function<std::uint8_t(std::uint16_t)> reader) { reader_ = std::move(reader); }
  void SetPresent(bool present) { present_ = present; }

  std::uint8_t In(std::uint16_t address) override {
    std::uint8_t value = 0x00;
    if (reader_) {
      value = reader_(address);
    } else if (!queues_[address].empty()) {
      value = queues_[address].front();
      queues_[address].pop_front();
    } else {
      value = then_[address];
    }
    log.push_back({false, address, value});
    return value;
  }

  void Out(std::uint16_t address, std::uint8_t value) override {
    log.push_back({true, address, value});
  }

  bool Present(std::uint16_t) override { return present_; }

  std::vector<RegisterAccess> log;

 private:
  std::map<std::uint16_t, std::deque<std::uint8_t>> queues_;
  std::map<std::uint16_t, std::uint8_t> then_;
  std::function<std::uint8_t(std::uint16_t)> reader_;
  bool present_ = true;
};
