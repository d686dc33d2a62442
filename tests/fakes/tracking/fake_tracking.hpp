// A fake tracking server on 127.0.0.1 that records what it receives and answers the REST calls
// a trace exporter makes: experiment look-up by name (404 until created) and creation, trace
// start (request ids "tr-fake-1", ... with an artifact location the server serves), span data
// upload (PUT under /api/2.0/mlflow-artifacts/artifacts/) and trace end.
//
//   fakes::FakeTracking tracking;
//   tracking.fail_with(503);          // answer every later request with this status
//   tracking.fail_with(500, "/api/2.0/mlflow-artifacts/");   // ... or those under a path
//   tracking.freeze();                // accept later requests and never answer them
//   ... tracking.url(), tracking.requests() ...
//
// Thread-safe.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/fakes/common/loopback_server.hpp"

namespace fakes {

struct TrackingRequest {
  std::string method;
  std::string path;  // with the query string, if any
  std::string authorization;
  std::string body;
};

class FakeTracking {
 public:
  FakeTracking();
  ~FakeTracking();

  std::string url() const { return running_->url(); }
  std::vector<TrackingRequest> requests() const;
  void fail_with(int status, std::string path_prefix = "/");
  // Later requests are recorded and held unanswered until the fake goes away.
  void freeze();

 private:
  void handle(const httplib::Request& request, httplib::Response& response);

  httplib::Server server_;
  mutable std::mutex mutex_;
  std::vector<TrackingRequest> requests_;
  std::vector<std::string> experiments_;  // names; the id is the position + 1
  int traces_ = 0;
  int fail_status_ = 0;
  std::string fail_prefix_;
  bool frozen_ = false;
  bool stopping_ = false;
  std::condition_variable thawed_;
  std::unique_ptr<LoopbackServer> running_;
};

}  // namespace fakes
