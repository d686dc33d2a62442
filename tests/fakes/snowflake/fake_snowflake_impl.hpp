// The fake warehouse's shared state and the helpers its route files use. Internal to the fake.
// Every member below `mutex` is guarded by it; handlers never sleep while holding it.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/fakes/snowflake/fake_snowflake.hpp"
#include "tests/fakes/snowflake/sql_engine.hpp"

namespace fakes {

using Json = nlohmann::ordered_json;

struct WarehouseSession {
  std::int64_t id = 0;
  std::string session_token, master_token;
  bool session_expired = false, master_expired = false, closed = false;
  std::chrono::steady_clock::time_point session_issued, master_issued;
  std::string database, schema, warehouse, role;
};

struct WarehouseQuery {
  std::string id, request_id, sql;
  Json bindings;
  std::chrono::steady_clock::time_point ready_at;
  bool done = false;
  bool failed = false;
  std::string response;  // the complete JSON answer, once done
};

struct ResultChunk {
  std::string gzipped;
  std::string key;  // the qrmk its download must present
};

struct InjectedFault {
  std::string path_prefix;
  int status = 0;  // 0: handled as usual (after the hold)
  int remaining = 0;
  bool after_handling = false;
  std::string body;  // JSON answered instead of "injected fault <status>"
  std::string retry_after;
  std::chrono::milliseconds hold{0};
};

struct FakeSnowflake::Impl {
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  explicit Impl(FakeSnowflakeOptions chosen);

  // Registers a handler that first records the request and applies any injected fault.
  void route(const std::string& method, const std::string& pattern, Handler handler);

  // The session a request's `Snowflake Token="..."` header names, checked for use as a session
  // token or (`master`) as a master token. Without one, writes the refusal into `response`.
  // Call with `mutex` held.
  WarehouseSession* authorize(const httplib::Request& request, httplib::Response& response,
                              bool master = false);

  // Logged-in sessions not yet closed. Call with `mutex` held.
  int open_session_count() const;
  void add_fault(InjectedFault fault);
  std::string new_token(const char* kind);
  std::string new_query_id();
  // The request body, inflated when it arrived gzip-compressed.
  static std::string body_of(const httplib::Request& request);
  static void reply(httplib::Response& response, const Json& body, int status = 200);
  static Json envelope(Json data, const char* code = nullptr, const std::string& message = "");
  // Session parameters the warehouse reports at login and with every result.
  static Json session_parameters();

  FakeSnowflakeOptions options;
  std::string base_url;
  std::string ca_file;
  std::filesystem::path owned_tls_dir;  // removed at the end when the fake made it
  std::filesystem::path owned_stage_dir;
  FakeStageLocation stage_location;
  size_t put_answers = 0;  // since the stage location was set
  std::unique_ptr<httplib::Server> server;
  std::thread thread;
  int port = 0;
  std::atomic<bool> stopping{false};  // releases held requests

  mutable std::mutex mutex;
  warehouse::SqlEngine engine;
  std::vector<WarehouseSession> sessions;
  std::map<std::string, WarehouseQuery> queries;        // by query id
  std::map<std::string, std::string> query_by_request;  // request id -> query id
  std::map<std::string, ResultChunk> chunks;            // by "<query id>/<n>"
  std::map<std::string, int> executions;
  std::vector<RecordedRequest> recorded;
  std::vector<InjectedFault> faults;
  std::deque<std::pair<int, std::string>> analyst_answers;
  std::uint64_t counter = 0;
  bool renewal_without_token = false;
  bool frozen = false;
  std::condition_variable thawed;  // with `mutex`

  // Holds a request while the fake is frozen (control routes are never held).
  void hold_while_frozen(const httplib::Request& request);
  void set_frozen(bool now_frozen);

 private:
  std::optional<InjectedFault> take_fault(const httplib::Request& request);
};

void add_session_routes(FakeSnowflake::Impl& fake);
void add_query_routes(FakeSnowflake::Impl& fake);
void add_analyst_route(FakeSnowflake::Impl& fake);
void add_control_routes(FakeSnowflake::Impl& fake);

// Scripted analyst answers from a JSON array [{"status": 200, "body": {...} or "text"}]; throws
// std::runtime_error for anything else.
std::deque<std::pair<int, std::string>> analyst_answers_of(const nlohmann::json& script);
// The answer to a PUT statement: upload instructions, or a compilation error for a PUT the fake
// cannot read. Call with `mutex` held.
Json put_answer(FakeSnowflake::Impl& fake, const std::string& sql, const std::string& query_id);
bool is_put(const std::string& sql);

}  // namespace fakes
