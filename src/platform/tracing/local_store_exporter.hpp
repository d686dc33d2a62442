// Keeps traces as JSON files in a local directory (./mlruns by default); the layout is
// described in docs/tracing.md:
//   <root>/<experiment_id>/meta.json              {"experiment_id", "name", "creation_time"}
//   <root>/<experiment_id>/traces/<request_id>.json  {"info": {...}, "data": {"spans": ...}}
// Files are written whole to a temporary name and renamed, so a reader never sees half a trace.
// Throws platform::RuntimeError when the directory cannot be written.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "platform/tracing/trace_exporter.hpp"

namespace platform::tracing {

class LocalStoreExporter : public TraceExporter {
 public:
  explicit LocalStoreExporter(std::filesystem::path root);

  void prepare_experiment(const std::string& name) override;
  void export_trace(const TraceRecord& trace) override;

 private:
  std::string experiment_id(const std::string& name);

  std::filesystem::path root_;
  std::map<std::string, std::string> experiment_ids_;  // by name
};

}  // namespace platform::tracing
