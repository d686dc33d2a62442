#include <cstdlib>
#include <string>

#include "platform/tracing/local_store_exporter.hpp"
#include "platform/tracing/trace_exporter.hpp"
#include "platform/tracing/tracking_server_exporter.hpp"

namespace platform::tracing {

std::unique_ptr<TraceExporter> exporter_from_env() {
  const char* value = std::getenv("MLFLOW_TRACKING_URI");
  const std::string uri = value != nullptr ? value : "";
  if (uri.rfind("http://", 0) == 0 || uri.rfind("https://", 0) == 0) {
    return std::make_unique<TrackingServerExporter>(uri);
  }
  if (uri.empty()) return std::make_unique<LocalStoreExporter>("mlruns");
  const std::string file_scheme = "file://";
  if (uri.rfind(file_scheme, 0) == 0) {
    return std::make_unique<LocalStoreExporter>(uri.substr(file_scheme.size()));
  }
  if (uri.rfind("file:", 0) == 0) return std::make_unique<LocalStoreExporter>(uri.substr(5));
  return std::make_unique<LocalStoreExporter>(uri);
}

}  // namespace platform::tracing
