#include "platform/snowflake/connection.hpp"

#include <algorithm>
#include <chrono>

#include <fmt/format.h>

#include "platform/cancellation/cancellation_scope.hpp"
#include "platform/errors/errors.hpp"
#include "platform/http/percent_encoding.hpp"
#include "platform/log/log.hpp"
#include "platform/snowflake/file_transfer/put_transfer.hpp"
#include "platform/snowflake/internal/cell_conversion.hpp"
#include "platform/snowflake/internal/chunk_download.hpp"
#include "platform/snowflake/internal/encoding.hpp"
#include "platform/snowflake/internal/envelope.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "platform/snowflake/statement_splitter.hpp"
#include "platform/uuid/uuid.hpp"

namespace platform::snowflake {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The longest an abort may take: it runs when the caller is already out of time or gone.
constexpr milliseconds kAbortTimeLimit{5000};
// An exchange cut short at a deadline may end this much before it (transfer timers are coarse).
constexpr milliseconds kTimerSlack{20};

bool out_of_time(Clock::time_point deadline) { return Clock::now() + kTimerSlack >= deadline; }

// Answer codes of a statement that is still running.
bool still_running(const nlohmann::json& envelope) {
  const auto code = envelope.find("code");
  return code != envelope.end() && code->is_string() && (*code == "333333" || *code == "333334");
}

int result_version(const nlohmann::json& data) {
  const auto it = data.find("version");
  if (it == data.end()) return 0;
  if (it->is_number_integer()) return it->get<int>();
  if (it->is_string()) return std::atoi(it->get<std::string>().c_str());
  return 0;
}

}  // namespace

Connection::Connection(ConnectionOptions options)
    : rest_(std::make_unique<RestClient>(std::move(options))) {
  const ConnectionOptions& stored = rest_->options();
  host_ = account_host_name(stored) + (stored.port != 443 ? ":" + std::to_string(stored.port) : "");
}

std::unique_ptr<Connection> Connection::open(ConnectionOptions options) {
  std::unique_ptr<Connection> connection(new Connection(std::move(options)));
  connection->rest_->login();
  return connection;
}

Connection::~Connection() { close(); }

void Connection::close() noexcept {
  if (closed_.exchange(true)) return;
  rest_->close_session();
}

nlohmann::json Connection::wait_for_result(nlohmann::json envelope, Clock::time_point deadline,
                                           std::string& query_id) {
  // The warehouse holds each poll open for a while; the short waits only keep a quick answer
  // from turning into a busy loop.
  milliseconds delay{50};
  while (still_running(envelope)) {
    const nlohmann::json& data = internal::data_of(envelope, "the running statement");
    query_id = internal::text_member(data, "queryId");
    const std::string result_url = internal::text_member(data, "getResultUrl");
    if (query_id.empty() || result_url.empty()) {
      throw SnowflakeError::malformed_answer(
          "The warehouse reports a running statement without its query id and result address",
          query_id);
    }
    if (out_of_time(deadline) || CancellationScope::cancellation_requested()) break;
    rest_->sleep(delay);
    delay = std::min(delay * 2, milliseconds(1000));
    envelope = rest_->call({.method = "GET",
                            .path = result_url,
                            .accept = "application/snowflake",
                            .retry = true,
                            .deadline = deadline});
  }
  return envelope;
}

void Connection::stop_statement(const std::string& query_id, const std::string& request_id) {
  abort_statement(query_id, request_id);
  if (CancellationScope::cancellation_requested()) {
    throw SnowflakeError::cancelled(query_id);
  }
  throw SnowflakeError::timed_out(query_id, rest_->options().statement_timeout);
}

void Connection::abort_statement(const std::string& query_id,
                                 const std::string& request_id) noexcept {
  // The abort must go out although the caller has cancelled, and must not keep the caller long
  // when the warehouse does not answer.
  const CancellationScope not_cancellable({});
  const auto deadline = Clock::now() + kAbortTimeLimit;
  try {
    const nlohmann::json envelope =
        query_id.empty()
            ? rest_->call({.path = "/queries/v1/abort-request",
                           .body = nlohmann::json{{"requestId", request_id}},
                           .deadline = deadline})
            : rest_->call({.path = "/queries/" + http::percent_encode(query_id) + "/abort-request",
                           .deadline = deadline});
    if (!internal::succeeded(envelope)) {
      platform::log::warning("Aborting statement {} failed: {}", query_id,
                             SnowflakeError::from_envelope(envelope).what());
    }
  } catch (const std::exception& error) {
    platform::log::warning("Aborting statement {} failed: {}", query_id, error.what());
  }
}

QueryResult Connection::execute(std::string_view statement) {
  if (closed_) throw SnowflakeError::connection_closed();
  const std::string keyword = leading_keyword(statement);
  const bool file_transfer = is_file_transfer(statement);
  const nlohmann::json data = run_statement(statement, file_transfer);
  if (keyword == "PUT") return put_files(statement, data);
  if (file_transfer) {
    throw NotImplementedError(
        "GET statements need a file download, which this connector does not support yet; no "
        "file was transferred");
  }
  return read_result(data);
}

nlohmann::json Connection::run_statement(std::string_view statement, bool file_transfer) {
  nlohmann::ordered_json body;
  body["sqlText"] = std::string(statement);
  body["disableOfflineChunks"] = false;
  body["sequenceId"] = ++sequence_id_;
  body["querySubmissionTime"] =
      std::chrono::duration_cast<milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  body["parameters"] = {{"QUERY_RESULT_FORMAT", "JSON"}};
  const auto deadline = Clock::now() + rest_->options().statement_timeout;
  const std::string request_id = platform::uuid::uuid4();
  std::string query_id;  // once the warehouse names the running statement
  nlohmann::json submitted;
  nlohmann::json envelope;
  try {
    submitted = rest_->call({.path = "/queries/v1/query-request",
                             .query = {{"requestId", request_id}},
                             .body = nlohmann::json(body),
                             .accept = file_transfer ? "application/json" : "application/snowflake",
                             .retry = true,
                             .deadline = deadline});
    envelope = wait_for_result(submitted, deadline, query_id);
  } catch (...) {
    // Whatever failed, a statement that may have started (even when its submission was cut
    // short, so by request id) is not left running for nobody.
    if (CancellationScope::cancellation_requested() || out_of_time(deadline)) {
      stop_statement(query_id, request_id);
    }
    if (still_running(submitted)) abort_statement(query_id, request_id);
    throw;
  }
  if (still_running(envelope)) stop_statement(query_id, request_id);
  if (!internal::succeeded(envelope)) throw SnowflakeError::from_envelope(envelope);
  return internal::data_of(envelope, "the statement");
}

QueryResult Connection::put_files(std::string_view statement, const nlohmann::json& data) {
  const std::string text(statement);
  const ConnectionOptions& options = rest_->options();
  // Running the statement again gives fresh stage credentials (or a per-file address).
  const auto reissue = [this, text](const std::string& single_target) {
    return run_statement(single_target.empty()
                             ? text
                             : file_transfer::statement_for_single_file(text, single_target),
                         true);
  };
  return file_transfer::run_put(
      data, {.reissue = reissue,
             .storage = {.request_timeout = options.request_timeout, .sleep = options.sleep}});
}

std::vector<QueryResult> Connection::execute_string(std::string_view text) {
  std::vector<QueryResult> results;
  for (const std::string& statement : split_statements(text)) {
    results.push_back(execute(statement));
  }
  return results;
}

QueryResult Connection::read_result(const nlohmann::json& data) {
  QueryResult result;
  result.query_id = internal::text_member(data, "queryId");
  if (const std::string format = internal::text_member(data, "queryResultFormat");
      !format.empty() && format != "json") {
    throw SnowflakeError::malformed_answer(
        "The warehouse answered in a result format other than JSON, which this "
        "connector does not read",
        result.query_id);
  }
  if (const auto rowtype = data.find("rowtype"); rowtype != data.end() && rowtype->is_array()) {
    for (const auto& entry : *rowtype)
      result.columns.push_back(internal::column_from_rowtype(entry));
  }
  const int version = result_version(data);
  const auto append = [&](const nlohmann::json& row) {
    if (!row.is_array() || row.size() != result.columns.size()) {
      throw SnowflakeError::malformed_answer(
          fmt::format("A result row has {} cells for {} columns", row.is_array() ? row.size() : 0,
                      result.columns.size()),
          result.query_id);
    }
    std::vector<Value> values;
    values.reserve(row.size());
    for (size_t i = 0; i < row.size(); ++i) {
      values.push_back(internal::convert_cell(result.columns[i], row[i], version));
    }
    result.rows.push_back(std::move(values));
  };
  if (const auto rowset = data.find("rowset"); rowset != data.end() && rowset->is_array()) {
    for (const auto& row : *rowset) append(row);
  }
  const ConnectionOptions& options = rest_->options();
  for (const auto& row : internal::download_chunk_rows(
           data, {.request_timeout = options.request_timeout, .sleep = options.sleep})) {
    append(row);
  }
  return result;
}

}  // namespace platform::snowflake
