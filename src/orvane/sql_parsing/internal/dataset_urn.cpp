#include "orvane/sql_parsing/internal/dataset_urn.hpp"

#include "orvane/metadata/urns.hpp"
#include "platform/text/lower_case.hpp"

namespace orvane::sql_parsing::internal {
namespace {

constexpr std::string_view kPlatformPrefix = "urn:orvane:dataPlatform:";
constexpr std::string_view kInstancePrefix = "urn:orvane:dataPlatformInstance:(";

}  // namespace

DatasetNaming make_dataset_naming(std::string_view platform,
                                  const std::optional<std::string>& platform_instance,
                                  const std::optional<std::string>& default_db,
                                  const std::optional<std::string>& default_schema) {
  DatasetNaming naming;
  if (platform.starts_with(kPlatformPrefix)) platform.remove_prefix(kPlatformPrefix.size());
  naming.platform = std::string(platform);
  if (platform_instance) {
    std::string_view instance = *platform_instance;
    if (instance.starts_with(kInstancePrefix) && instance.ends_with(")")) {
      instance = instance.substr(0, instance.size() - 1);
      instance = instance.substr(instance.rfind(',') + 1);
    }
    naming.instance = std::string(instance);
  }
  if (default_db) naming.default_db = platform::text::lower_case(*default_db);
  if (default_schema) naming.default_schema = platform::text::lower_case(*default_schema);
  return naming;
}

void write_dataset_urn(const DatasetNaming& naming, const NameParts& parts, std::string& urn) {
  urn.clear();
  urn.reserve(64 + naming.platform.size() + naming.instance.size() + naming.default_db.size() +
              naming.default_schema.size() + 16 * parts.size());
  urn += "urn:orvane:dataset:(urn:orvane:dataPlatform:";
  urn += naming.platform;
  urn.push_back(',');
  bool first = true;
  auto add_part = [&](std::string_view part) {
    if (!first) urn.push_back('.');
    first = false;
    metadata::urns::append_escaped_urn_value(urn, part);
  };
  if (!naming.instance.empty()) add_part(naming.instance);
  if (parts.size() < 3 && !naming.default_db.empty()) add_part(naming.default_db);
  if (parts.size() < 2 && !naming.default_schema.empty()) add_part(naming.default_schema);
  for (const std::string& part : parts) add_part(part.empty() ? std::string_view("public") : part);
  urn += ",PROD)";
}

}  // namespace orvane::sql_parsing::internal
