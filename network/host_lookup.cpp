#include "network/host_lookup.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "network/tcp_connection.h"

namespace {

// What the lookup's thread hands over; whoever is last to let go frees it,
// so a lookup given up on may finish on its own.
struct Pending {
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
  bool abandoned = false;
  int status = 0;
  addrinfo* addresses = nullptr;
};

}  // namespace

std::unique_ptr<HostLookup> HostLookup::Find(const std::string& host, int port, int timeout_ms,
                                             DeviceError* why, const StopCheck* stop) {
  auto pending = std::make_shared<Pending>();
  std::thread([pending, host, port] {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    std::lock_guard<std::mutex> lock(pending->mutex);
    if (pending->abandoned) {
      if (found != nullptr) ::freeaddrinfo(found);
      return;
    }
    pending->status = status;
    pending->addresses = found;
    pending->done = true;
    pending->done_signal.notify_one();
  }).detach();

  std::unique_lock<std::mutex> lock(pending->mutex);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!pending->done && std::chrono::steady_clock::now() < deadline) {
    if (StopAsked(stop)) {
      pending->abandoned = true;
      why->error = PortError{PortProblem::kOther, 0};
      return nullptr;
    }
    pending->done_signal.wait_for(lock, std::chrono::milliseconds(kStopPollMs),
                                  [&] { return pending->done; });
  }
  if (!pending->done) {
    pending->abandoned = true;
    why->error = PortError{PortProblem::kOther, 0};
    why->server.kind = ServerFault::Kind::kLookupTimedOut;
    why->server.host = host;
    why->server.seconds = timeout_ms / 1000;
    return nullptr;
  }
  if (pending->status != 0 || pending->addresses == nullptr) {
    why->error = PortError{PortProblem::kOther, 0};
    why->server.kind = ServerFault::Kind::kUnknownHost;
    why->server.host = host;
    why->server.resolver_text = gai_strerror(pending->status);
    return nullptr;
  }
  return std::unique_ptr<HostLookup>(new HostLookup(pending->addresses));
}

HostLookup::~HostLookup() { ::freeaddrinfo(addresses_); }

std::vector<std::string> HostAddresses(const std::string& host, int timeout_ms) {
  std::vector<std::string> found;
  DeviceError why;
  if (!StartSockets()) return found;
  const std::unique_ptr<HostLookup> lookup = HostLookup::Find(host, 1, timeout_ms, &why);
  if (lookup == nullptr) return found;
  for (const addrinfo* entry = lookup->first(); entry != nullptr; entry = entry->ai_next) {
    char numeric[NI_MAXHOST];
    if (::getnameinfo(entry->ai_addr, static_cast<socklen_t>(entry->ai_addrlen), numeric,
                      sizeof numeric, nullptr, 0, NI_NUMERICHOST) != 0) {
      continue;
    }
    if (std::find(found.begin(), found.end(), numeric) == found.end()) found.push_back(numeric);
  }
  return found;
}
