#include "tests/fakes/snowflake/fake_snowflake.hpp"

#include <openssl/rand.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "tests/fakes/snowflake/fake_snowflake_impl.hpp"
#include "tests/fakes/snowflake/gzip.hpp"
#include "tests/fakes/snowflake/tls_material.hpp"

namespace fakes {
namespace {

std::string random_hex(size_t bytes) {
  std::vector<unsigned char> buffer(bytes);
  if (RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) != 1) {
    throw std::runtime_error("no randomness for fake warehouse tokens");
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : buffer) {
    text.push_back(kDigits[c >> 4]);
    text.push_back(kDigits[c & 15]);
  }
  return text;
}

std::filesystem::path make_temp_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fake-snowflake-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a directory for the fake warehouse's files");
  }
  return pattern;
}

std::deque<std::pair<int, std::string>> read_analyst_script(const std::string& path) {
  if (path.empty()) return {};
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot read the analyst script " + path);
  return analyst_answers_of(nlohmann::json::parse(file, nullptr, false));
}

// The token inside `Snowflake Token="..."`; empty when the header has another form.
std::string token_of(const httplib::Request& request) {
  const std::string header = request.get_header_value("Authorization");
  const std::string prefix = "Snowflake Token=\"";
  if (!header.starts_with(prefix) || !header.ends_with("\"")) return "";
  return header.substr(prefix.size(), header.size() - prefix.size() - 1);
}

bool outlived(std::chrono::steady_clock::time_point issued, std::chrono::milliseconds lifetime) {
  return lifetime.count() > 0 && std::chrono::steady_clock::now() - issued >= lifetime;
}

}  // namespace

std::deque<std::pair<int, std::string>> analyst_answers_of(const nlohmann::json& script) {
  if (!script.is_array()) throw std::runtime_error("the analyst script is not a JSON array");
  std::deque<std::pair<int, std::string>> answers;
  for (const auto& answer : script) {
    const auto& body = answer.contains("body") ? answer["body"] : nlohmann::json("");
    answers.emplace_back(answer.value("status", 200),
                         body.is_string() ? body.get<std::string>() : body.dump());
  }
  return answers;
}

FakeSnowflake::Impl::Impl(FakeSnowflakeOptions chosen)
    : options(std::move(chosen)),
      engine(options.sqlite_path),
      analyst_answers(read_analyst_script(options.analyst_script)) {
  if (!options.seed_sql.empty()) engine.run_script(options.seed_sql);
  if (options.tls) {
    std::filesystem::path directory = options.tls_dir;
    if (directory.empty()) directory = owned_tls_dir = make_temp_dir();
    const warehouse::TlsFiles files = warehouse::write_tls_material(directory);
    ca_file = files.ca_file;
    server = std::make_unique<httplib::SSLServer>(files.cert_file.c_str(), files.key_file.c_str());
  } else {
    server = std::make_unique<httplib::Server>();
  }
  if (options.stage_dir.empty()) options.stage_dir = (owned_stage_dir = make_temp_dir()).string();
  if (!server->is_valid()) throw std::runtime_error("the fake warehouse's server cannot start");
  server->set_keep_alive_timeout(1);
  // Answers leave at once instead of waiting for the client's delayed ACK.
  server->set_tcp_nodelay(true);
  server->set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
        std::string what = "unknown";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& caught) {
          what = caught.what();
        } catch (...) {
        }
        reply(response, envelope(nullptr, "000001", "fake warehouse fault: " + what), 500);
      });
}

void FakeSnowflake::Impl::route(const std::string& method, const std::string& pattern,
                                Handler handler) {
  auto wrapped = [this, handler](const httplib::Request& request, httplib::Response& response) {
    hold_while_frozen(request);
    const std::optional<InjectedFault> fault = take_fault(request);
    if (fault) {
      const auto until = std::chrono::steady_clock::now() + fault->hold;
      while (!stopping && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (!fault || fault->after_handling || fault->status == 0) handler(request, response);
    if (fault && fault->status != 0) {
      response.status = fault->status;
      if (fault->body.empty()) {
        response.set_content("injected fault " + std::to_string(fault->status), "text/plain");
      } else {
        response.set_content(fault->body, "application/json");
      }
      if (!fault->retry_after.empty()) response.set_header("Retry-After", fault->retry_after);
    }
  };
  if (method == "GET") {
    server->Get(pattern, wrapped);
  } else {
    server->Post(pattern, wrapped);
  }
}

void FakeSnowflake::Impl::hold_while_frozen(const httplib::Request& request) {
  if (request.path.starts_with("/__fake__/")) return;
  std::unique_lock lock(mutex);
  thawed.wait(lock, [this] { return !frozen || stopping; });
}

std::optional<InjectedFault> FakeSnowflake::Impl::take_fault(const httplib::Request& request) {
  RecordedRequest record{request.method, request.path, "", body_of(request), {}};
  const auto question = request.target.find('?');
  if (question != std::string::npos) record.query = request.target.substr(question + 1);
  for (const auto& [name, value] : request.headers) record.headers.emplace_back(name, value);

  std::lock_guard lock(mutex);
  recorded.push_back(std::move(record));
  for (InjectedFault& fault : faults) {
    if (fault.remaining > 0 && request.path.starts_with(fault.path_prefix)) {
      --fault.remaining;
      return fault;
    }
  }
  return std::nullopt;
}

WarehouseSession* FakeSnowflake::Impl::authorize(const httplib::Request& request,
                                                 httplib::Response& response, bool master) {
  const std::string token = token_of(request);
  for (WarehouseSession& session : sessions) {
    if (token.empty() || token != (master ? session.master_token : session.session_token)) continue;
    if (session.closed) {
      reply(response, envelope(nullptr, "390111",
                               "Session no longer exists.  New login required to access the "
                               "service."));
    } else if (master ? session.master_expired ||
                            outlived(session.master_issued, options.master_token_lifetime)
                      : session.session_expired ||
                            outlived(session.session_issued, options.session_token_lifetime)) {
      reply(response, envelope(nullptr, master ? "390114" : "390112",
                               "Authentication token has expired.  The user must authenticate "
                               "again."));
    } else {
      return &session;
    }
    return nullptr;
  }
  reply(response, envelope(nullptr, "390104", "Invalid authentication token."), 401);
  return nullptr;
}

std::string FakeSnowflake::Impl::new_token(const char* kind) {
  return std::string("fake-") + kind + "-" + random_hex(24);
}

std::string FakeSnowflake::Impl::new_query_id() {
  const std::string hex = random_hex(16);
  return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
         hex.substr(16, 4) + "-" + hex.substr(20, 12);
}

std::string FakeSnowflake::Impl::body_of(const httplib::Request& request) {
  if (warehouse::looks_gzipped(request.body)) {
    if (auto inflated = warehouse::gzip_decompress(request.body)) return *inflated;
  }
  return request.body;
}

void FakeSnowflake::Impl::reply(httplib::Response& response, const Json& body, int status) {
  response.status = status;
  response.set_content(body.dump(), "application/json");
}

Json FakeSnowflake::Impl::envelope(Json data, const char* code, const std::string& message) {
  return Json{{"data", std::move(data)},
              {"code", code ? Json(code) : Json(nullptr)},
              {"message", code ? Json(message) : Json(nullptr)},
              {"success", code == nullptr || std::string(code).starts_with("33333")}};
}

Json FakeSnowflake::Impl::session_parameters() {
  const std::pair<const char*, Json> parameters[] = {
      {"TIMEZONE", "UTC"},
      {"DATE_OUTPUT_FORMAT", "YYYY-MM-DD"},
      {"TIME_OUTPUT_FORMAT", "HH24:MI:SS"},
      {"TIMESTAMP_OUTPUT_FORMAT", "YYYY-MM-DD HH24:MI:SS.FF3 TZHTZM"},
      {"TIMESTAMP_NTZ_OUTPUT_FORMAT", "YYYY-MM-DD HH24:MI:SS.FF3"},
      {"TIMESTAMP_LTZ_OUTPUT_FORMAT", ""},
      {"TIMESTAMP_TZ_OUTPUT_FORMAT", ""},
      {"BINARY_OUTPUT_FORMAT", "HEX"},
      {"CLIENT_SESSION_KEEP_ALIVE", false},
      {"CLIENT_SESSION_KEEP_ALIVE_HEARTBEAT_FREQUENCY", 3600},
      {"CLIENT_RESULT_CHUNK_SIZE", 160},
      {"QUERY_RESULT_FORMAT", "JSON"},
  };
  Json list = Json::array();
  for (const auto& [name, value] : parameters) list.push_back({{"name", name}, {"value", value}});
  return list;
}

FakeSnowflake::FakeSnowflake(FakeSnowflakeOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {
  Impl& fake = *impl_;
  add_session_routes(fake);
  add_query_routes(fake);
  add_analyst_route(fake);
  add_control_routes(fake);
  for (const char* method : {"GET", "POST"}) {
    fake.route(method, ".*", [](const httplib::Request& request, httplib::Response& response) {
      Impl::reply(response,
                  Impl::envelope(
                      nullptr, "390400",
                      "the fake warehouse does not serve " + request.method + " " + request.path),
                  404);
    });
  }

  const bool bound = fake.options.port == 0
                         ? (fake.port = fake.server->bind_to_any_port("127.0.0.1")) > 0
                         : fake.server->bind_to_port("127.0.0.1", fake.port = fake.options.port);
  if (!bound) throw std::runtime_error("the fake warehouse cannot bind a port on 127.0.0.1");
  fake.base_url = std::string(fake.options.tls ? "https" : "http") +
                  "://127.0.0.1:" + std::to_string(fake.port);
  fake.thread = std::thread([&fake] { fake.server->listen_after_bind(); });
  while (!fake.server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeSnowflake::~FakeSnowflake() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->thawed.notify_all();
  impl_->server->stop();
  impl_->thread.join();
  std::error_code ignored;
  if (!impl_->owned_tls_dir.empty()) std::filesystem::remove_all(impl_->owned_tls_dir, ignored);
  if (!impl_->owned_stage_dir.empty()) std::filesystem::remove_all(impl_->owned_stage_dir, ignored);
}

int FakeSnowflake::port() const { return impl_->port; }
std::string FakeSnowflake::host() const { return "127.0.0.1:" + std::to_string(impl_->port); }
std::string FakeSnowflake::url() const { return impl_->base_url; }
std::string FakeSnowflake::ca_file() const { return impl_->ca_file; }

void FakeSnowflake::run_sql(const std::string& sql) {
  std::lock_guard lock(impl_->mutex);
  impl_->engine.run_script(sql);
}

void FakeSnowflake::expire_session_tokens() {
  std::lock_guard lock(impl_->mutex);
  for (auto& session : impl_->sessions) session.session_expired = true;
}

void FakeSnowflake::expire_master_tokens() {
  std::lock_guard lock(impl_->mutex);
  for (auto& session : impl_->sessions) session.session_expired = session.master_expired = true;
}

void FakeSnowflake::Impl::add_fault(InjectedFault fault) {
  std::lock_guard lock(mutex);
  faults.push_back(std::move(fault));
}

void FakeSnowflake::fail_next(const std::string& path_prefix, int status, int times,
                              bool after_handling) {
  impl_->add_fault({.path_prefix = path_prefix,
                    .status = status,
                    .remaining = times,
                    .after_handling = after_handling});
}

void FakeSnowflake::answer_next(const std::string& path_prefix, int status, std::string body,
                                int times, std::string retry_after) {
  impl_->add_fault({.path_prefix = path_prefix,
                    .status = status,
                    .remaining = times,
                    .body = std::move(body),
                    .retry_after = std::move(retry_after)});
}

void FakeSnowflake::hold_next(const std::string& path_prefix, std::chrono::milliseconds hold,
                              int times) {
  impl_->add_fault({.path_prefix = path_prefix, .remaining = times, .hold = hold});
}

void FakeSnowflake::forget_sessions() {
  std::lock_guard lock(impl_->mutex);
  impl_->sessions.clear();
}

void FakeSnowflake::renew_without_token() {
  std::lock_guard lock(impl_->mutex);
  impl_->renewal_without_token = true;
}

void FakeSnowflake::Impl::set_frozen(bool now_frozen) {
  {
    std::lock_guard lock(mutex);
    frozen = now_frozen;
  }
  thawed.notify_all();
}

void FakeSnowflake::set_frozen(bool frozen) { impl_->set_frozen(frozen); }

void FakeSnowflake::set_stage_location(FakeStageLocation location) {
  std::lock_guard lock(impl_->mutex);
  impl_->stage_location = std::move(location);
  impl_->put_answers = 0;
}

std::string FakeSnowflake::stage_dir() const { return impl_->options.stage_dir; }

void FakeSnowflake::add_analyst_answer(int status, std::string body) {
  std::lock_guard lock(impl_->mutex);
  impl_->analyst_answers.emplace_back(status, std::move(body));
}

std::vector<RecordedRequest> FakeSnowflake::requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->recorded;
}

int FakeSnowflake::Impl::open_session_count() const {
  int open = 0;
  for (const auto& session : sessions) open += !session.closed;
  return open;
}

int FakeSnowflake::open_sessions() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->open_session_count();
}

int FakeSnowflake::executions(const std::string& sql_text) const {
  std::lock_guard lock(impl_->mutex);
  const auto found = impl_->executions.find(sql_text);
  return found == impl_->executions.end() ? 0 : found->second;
}

}  // namespace fakes
