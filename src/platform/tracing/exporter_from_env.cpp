#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/errors/errors.hpp"
#include "platform/text/lower_case.hpp"
#include "platform/text/redact.hpp"
#include "platform/tracing/local_store_exporter.hpp"
#include "platform/tracing/trace_exporter.hpp"
#include "platform/tracing/tracking_server_exporter.hpp"

namespace platform::tracing {
namespace {

// The scheme that opens a URI, in lower case ("sqlite", "postgresql"); empty for a plain path.
std::string scheme_of(std::string_view uri) {
  const std::size_t colon = uri.find(':');
  if (colon == std::string_view::npos || colon == 0) return "";
  const std::string_view scheme = uri.substr(0, colon);
  if (std::isalpha(static_cast<unsigned char>(scheme[0])) == 0) return "";
  for (const char c : scheme) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '+' && c != '-' && c != '.') {
      return "";
    }
  }
  return text::lower_case(scheme);
}

// Names of hosted tracking services that carry no scheme; as a directory they would silently
// keep the traces on this machine.
bool names_a_hosted_service(std::string_view uri) {
  return uri == "databricks" || uri == "databricks-uc";
}

}  // namespace

std::unique_ptr<TraceExporter> exporter_from_env() {
  const char* value = std::getenv("MLFLOW_TRACKING_URI");
  const std::string uri = value != nullptr ? value : "";
  if (uri.empty()) return std::make_unique<LocalStoreExporter>("mlruns");
  const std::string scheme = scheme_of(uri);
  if ((scheme == "http" || scheme == "https") && uri.find("://") == scheme.size()) {
    return std::make_unique<TrackingServerExporter>(uri);
  }
  if (scheme == "file") {
    const std::string_view path = std::string_view(uri).substr(5);
    return std::make_unique<LocalStoreExporter>(
        std::string(path.starts_with("//") ? path.substr(2) : path));
  }
  if (!scheme.empty() || names_a_hosted_service(uri)) {
    throw ValueError("MLFLOW_TRACKING_URI \"" + text::without_user_info(uri) +
                     "\" is not supported: give an http(s):// tracking server, a file: URI or a "
                     "local directory path");
  }
  return std::make_unique<LocalStoreExporter>(uri);
}

}  // namespace platform::tracing
