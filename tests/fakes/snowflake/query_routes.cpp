// Statement submission, result polling, chunk downloads, monitoring and cancelling.
#include <algorithm>
#include <regex>

#include "platform/text/ascii_case.hpp"
#include "tests/fakes/snowflake/column_type.hpp"
#include "tests/fakes/snowflake/fake_snowflake_impl.hpp"
#include "tests/fakes/snowflake/gzip.hpp"

namespace fakes {
namespace {

using Clock = std::chrono::steady_clock;
using Impl = FakeSnowflake::Impl;

constexpr auto kLongestPollHold = std::chrono::milliseconds(500);
constexpr char kQrmkHeader[] = "x-amz-server-side-encryption-customer-key";

// How long a statement calling SYSTEM$WAIT takes; zero for every other statement.
Clock::duration requested_wait(const std::string& sql) {
  static const std::regex wait_call(
      R"(SYSTEM\$WAIT\s*\(\s*([0-9]*\.?[0-9]+)\s*(?:,\s*'(\w+)'\s*)?\))", std::regex::icase);
  std::smatch match;
  if (!std::regex_search(sql, match, wait_call)) return Clock::duration::zero();
  const std::string unit = platform::text::to_ascii_upper(match[2].str());
  const double scale = unit == "MILLISECONDS" ? 0.001 : unit == "MINUTES" ? 60 : 1;
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::stod(match[1].str()) * scale));
}

Json in_progress(const WarehouseQuery& query, bool asynchronous) {
  return Impl::envelope(
      Json{{"queryId", query.id},
           {"getResultUrl", "/queries/" + query.id + "/result"},
           {"queryAbortsAfterSecs", 300},
           {"progressDesc", nullptr}},
      asynchronous ? "333334" : "333333",
      asynchronous ? "Asynchronous execution in progress." : "Query execution in progress.");
}

Json statement_error(const WarehouseQuery& query, const warehouse::StatementError& error) {
  return Impl::envelope(
      Json{{"internalError", false},
           {"errorCode", error.code()},
           {"age", 0},
           {"sqlState", error.sql_state()},
           {"queryId", query.id},
           {"line", -1},
           {"pos", -1},
           {"type", error.code().starts_with("00") ? "COMPILATION" : "EXECUTION"}},
      error.code().c_str(), error.what());
}

Json row_json(const std::vector<std::optional<std::string>>& row) {
  Json cells = Json::array();
  for (const auto& cell : row) cells.push_back(cell ? Json(*cell) : Json(nullptr));
  return cells;
}

// The result's "data": inline rows, and with chunking the rest as gzip chunks kept for download.
Json result_data(Impl& fake, const WarehouseQuery& query, const warehouse::StatementResult& result,
                 const WarehouseSession& session) {
  Json rowtype = Json::array();
  for (const auto& column : result.columns) {
    rowtype.push_back(warehouse::rowtype_entry(column.name, column.table, column.type));
  }
  const size_t per_chunk = fake.options.rows_per_chunk;
  const size_t inline_rows =
      per_chunk > 0 ? std::min(per_chunk, result.rows.size()) : result.rows.size();
  Json rowset = Json::array();
  for (size_t i = 0; i < inline_rows; ++i) rowset.push_back(row_json(result.rows[i]));

  Json data{{"parameters", Impl::session_parameters()},
            {"rowtype", std::move(rowtype)},
            {"rowset", std::move(rowset)},
            {"total", result.rows.size()},
            {"returned", result.rows.size()},
            {"queryId", query.id},
            {"databaseProvider", nullptr},
            {"finalDatabaseName", session.database},
            {"finalSchemaName", session.schema},
            {"finalWarehouseName", session.warehouse},
            {"finalRoleName", session.role},
            {"numberOfBinds", query.bindings.is_object() ? query.bindings.size() : 0},
            {"arrayBindSupported", false},
            {"statementTypeId", result.statement_type_id},
            {"version", 1},
            {"sendResultTime", std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count()},
            {"queryResultFormat", "json"},
            {"queryContext", Json{{"entries", Json::array()}}}};
  if (inline_rows == result.rows.size()) return data;

  const std::string key = fake.new_token("qrmk");
  Json chunk_list = Json::array();
  for (size_t start = inline_rows, index = 0; start < result.rows.size();
       start += per_chunk, ++index) {
    const size_t end = std::min(start + per_chunk, result.rows.size());
    std::string text;
    for (size_t i = start; i < end; ++i)
      text += (i == start ? "" : ",") + row_json(result.rows[i]).dump();
    const std::string name = query.id + "/" + std::to_string(index);
    ResultChunk chunk{warehouse::gzip_compress(text), key};
    chunk_list.push_back(
        Json{{"url", fake.base_url + "/results/" + query.id + "/chunks/" + std::to_string(index)},
             {"rowCount", end - start},
             {"uncompressedSize", text.size()},
             {"compressedSize", chunk.gzipped.size()}});
    fake.chunks[name] = std::move(chunk);
  }
  data["chunks"] = std::move(chunk_list);
  data["qrmk"] = key;
  return data;
}

// Runs a query whose time has come and keeps its answer. Call with the mutex held.
void run(Impl& fake, WarehouseQuery& query, const WarehouseSession& session) {
  ++fake.executions[query.sql];
  try {
    const auto result = fake.engine.execute(query.sql, query.bindings);
    query.response = Impl::envelope(result_data(fake, query, result, session)).dump();
  } catch (const warehouse::StatementError& error) {
    query.failed = true;
    query.response = statement_error(query, error).dump();
  }
  query.done = true;
}

void answer(httplib::Response& response, const WarehouseQuery& query, bool asynchronous = false) {
  if (query.done && !asynchronous) {
    response.set_content(query.response, "application/json");
  } else {
    Impl::reply(response, in_progress(query, asynchronous));
  }
}

void submit(Impl& fake, const httplib::Request& request, httplib::Response& response) {
  const Json body = Json::parse(Impl::body_of(request), nullptr, false);
  std::lock_guard lock(fake.mutex);
  const WarehouseSession* session = fake.authorize(request, response);
  if (!session) return;
  const std::string request_id = request.get_param_value("requestId");
  if (const auto seen = fake.query_by_request.find(request_id);
      !request_id.empty() && seen != fake.query_by_request.end()) {
    answer(response, fake.queries.at(seen->second));  // a retry: never run twice
    return;
  }
  if (!body.is_object() || !body.contains("sqlText") || !body["sqlText"].is_string()) {
    Impl::reply(response,
                Impl::envelope(nullptr, "000900", "SQL compilation error:\nEmpty SQL statement."));
    return;
  }
  WarehouseQuery query;
  query.id = fake.new_query_id();
  query.request_id = request_id;
  query.sql = body["sqlText"].get<std::string>();
  if (is_put(query.sql)) {
    ++fake.executions[query.sql];
    Impl::reply(response, put_answer(fake, query.sql, query.id));
    return;
  }
  query.bindings = body.contains("bindings") ? body["bindings"] : Json();
  const auto wait = requested_wait(query.sql);
  query.ready_at = Clock::now() + wait;
  WarehouseQuery& kept = fake.queries[query.id] = std::move(query);
  if (!request_id.empty()) fake.query_by_request[request_id] = kept.id;
  if (wait == Clock::duration::zero()) run(fake, kept, *session);
  answer(response, kept, body.value("asyncExec", false));
}

// Answers a result request, holding it up to kLongestPollHold while the statement still runs.
void poll(Impl& fake, const httplib::Request& request, httplib::Response& response) {
  const std::string id = request.matches[1];
  Clock::duration remaining{};
  {
    std::lock_guard lock(fake.mutex);
    if (!fake.authorize(request, response)) return;
    const auto found = fake.queries.find(id);
    if (found == fake.queries.end()) {
      Impl::reply(response, Impl::envelope(nullptr, "000709", "Statement " + id + " not found"));
      return;
    }
    remaining = found->second.ready_at - Clock::now();
  }
  if (remaining > Clock::duration::zero()) {
    std::this_thread::sleep_for(std::min<Clock::duration>(remaining, kLongestPollHold));
  }
  std::lock_guard lock(fake.mutex);
  const WarehouseSession* session = fake.authorize(request, response);
  if (!session) return;
  WarehouseQuery& query = fake.queries.at(id);
  if (!query.done && Clock::now() >= query.ready_at) run(fake, query, *session);
  answer(response, query);
}

void download_chunk(Impl& fake, const httplib::Request& request, httplib::Response& response) {
  std::lock_guard lock(fake.mutex);
  const auto found = fake.chunks.find(request.matches[1].str() + "/" + request.matches[2].str());
  if (found == fake.chunks.end()) {
    response.status = 404;
    response.set_content("<Error><Code>NoSuchKey</Code></Error>", "application/xml");
  } else if (request.get_header_value(kQrmkHeader) != found->second.key) {
    response.status = 400;
    response.set_content(
        "<Error><Code>InvalidArgument</Code><Message>The encryption key of the "
        "result is missing or wrong</Message></Error>",
        "application/xml");
  } else {
    response.set_header("Content-Encoding", "gzip");
    response.set_content(found->second.gzipped, "application/octet-stream");
  }
}

void monitor(Impl& fake, const httplib::Request& request, httplib::Response& response) {
  std::lock_guard lock(fake.mutex);
  if (!fake.authorize(request, response)) return;
  const auto found = fake.queries.find(request.matches[1]);
  Json queries = Json::array();
  if (found != fake.queries.end()) {
    const WarehouseQuery& query = found->second;
    const char* status = !query.done ? "RUNNING" : query.failed ? "FAILED_WITH_ERROR" : "SUCCESS";
    queries.push_back(Json{{"id", query.id}, {"status", status}, {"sqlText", query.sql}});
  }
  Impl::reply(response, Impl::envelope(Json{{"queries", std::move(queries)}}));
}

void abort_query(Impl& fake, const httplib::Request& request, httplib::Response& response) {
  const Json body = Json::parse(Impl::body_of(request), nullptr, false);
  std::lock_guard lock(fake.mutex);
  if (!fake.authorize(request, response)) return;
  std::string id = request.matches.size() > 1 ? request.matches[1].str() : "";
  if (id.empty() && body.is_object()) {
    const auto by_request = fake.query_by_request.find(body.value("requestId", ""));
    if (by_request != fake.query_by_request.end()) id = by_request->second;
  }
  const auto found = fake.queries.find(id);
  if (found != fake.queries.end() && !found->second.done) {
    WarehouseQuery& query = found->second;
    query.done = query.failed = true;
    query.response = statement_error(query, warehouse::StatementError("000604", "57014",
                                                                      "SQL execution canceled"))
                         .dump();
  }
  Impl::reply(response, Impl::envelope(nullptr));
}

}  // namespace

void add_query_routes(Impl& fake) {
  const auto handle = [&fake](void (*handler)(Impl&, const httplib::Request&, httplib::Response&)) {
    return [&fake, handler](const httplib::Request& request, httplib::Response& response) {
      handler(fake, request, response);
    };
  };
  fake.route("POST", "/queries/v1/query-request", handle(submit));
  fake.route("POST", "/queries/v1/abort-request", handle(abort_query));
  fake.route("POST", "/queries/([^/]+)/abort-request", handle(abort_query));
  fake.route("GET", "/queries/([^/]+)/result", handle(poll));
  fake.route("GET", "/monitoring/queries/([^/]+)", handle(monitor));
  fake.route("GET", "/results/([^/]+)/chunks/([0-9]+)", handle(download_chunk));
}

}  // namespace fakes
