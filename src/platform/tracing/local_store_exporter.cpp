#include "platform/tracing/local_store_exporter.hpp"

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "platform/errors/errors.hpp"
#include "platform/json/json_writer.hpp"

namespace platform::tracing {

namespace fs = std::filesystem;

namespace {

void write_whole(const fs::path& path, const std::string& text) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  const fs::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) throw RuntimeError("cannot write " + temporary.string());
  }
  fs::rename(temporary, path, error);
  if (error) throw RuntimeError("cannot write " + path.string() + ": " + error.message());
}

std::string read_name(const fs::path& meta) {
  std::ifstream in(meta);
  std::stringstream text;
  text << in.rdbuf();
  const auto json = nlohmann::json::parse(text.str(), nullptr, false);
  if (!json.is_object() || !json.contains("name") || !json["name"].is_string()) return {};
  return json["name"].get<std::string>();
}

}  // namespace

LocalStoreExporter::LocalStoreExporter(fs::path root) : root_(std::move(root)) {}

std::string LocalStoreExporter::experiment_id(const std::string& name) {
  if (auto known = experiment_ids_.find(name); known != experiment_ids_.end()) {
    return known->second;
  }
  long next_id = 1;
  std::error_code error;
  if (fs::is_directory(root_, error)) {
    for (const auto& entry : fs::directory_iterator(root_, error)) {
      const std::string id = entry.path().filename().string();
      if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) continue;
      if (read_name(entry.path() / "meta.json") == name) return experiment_ids_[name] = id;
      next_id = std::max(next_id, std::stol(id) + 1);
    }
  }
  const std::string id = std::to_string(next_id);
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  write_whole(root_ / id / "meta.json",
              json::write(Value::Map{{"experiment_id", id},
                                     {"name", name},
                                     {"creation_time", static_cast<std::int64_t>(now.count())}},
                          2));
  return experiment_ids_[name] = id;
}

void LocalStoreExporter::prepare_experiment(const std::string& name) { experiment_id(name); }

void LocalStoreExporter::export_trace(const TraceRecord& trace) {
  const std::string id = experiment_id(trace.experiment_name);
  write_whole(
      root_ / id / "traces" / (trace.request_id() + ".json"),
      json::write(Value::Map{{"info", trace_info(trace, id)}, {"data", trace_data(trace)}}, 2));
}

}  // namespace platform::tracing
