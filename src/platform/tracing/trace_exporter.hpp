// Where finished traces go. Two stores exist: the tracking server over its REST API
// (tracking_server_exporter.hpp) and a local directory (local_store_exporter.hpp);
// exporter_from_env picks one from MLFLOW_TRACKING_URI.
//
// Exporters are called from the one background worker only (background_exporter.hpp), so they
// need no locking. Every failure is thrown; the worker turns it into a warning.
#pragma once

#include <memory>
#include <string>

#include "platform/tracing/trace_record.hpp"

namespace platform::tracing {

class TraceExporter {
 public:
  virtual ~TraceExporter() = default;
  // Looks the experiment up by name, creating it when absent.
  virtual void prepare_experiment(const std::string& name) = 0;
  virtual void export_trace(const TraceRecord& trace) = 0;
};

// MLFLOW_TRACKING_URI: an http(s):// URL selects the tracking server; a "file:" URI or a plain
// path selects a local store there; unset or empty selects the local store "./mlruns". Any
// other URI ("sqlite:///mlflow.db", "postgresql://...", "databricks") names a store that is not
// served here: platform::ValueError, whose text shows the value without its user information,
// rather than traces silently kept in a directory named after it.
std::unique_ptr<TraceExporter> exporter_from_env();

}  // namespace platform::tracing
