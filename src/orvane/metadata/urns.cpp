#include "orvane/metadata/urns.hpp"

#include "orvane/metadata/internal/urn_syntax.hpp"
#include "platform/errors/errors.hpp"
#include "platform/pyrepr/python_repr.hpp"

namespace orvane::metadata::urns {
namespace {

using internal::escape_part;
using internal::fail_urn;
using internal::parse_urn_syntax;
using internal::unescape_part;
using internal::UrnSyntax;

// Bounds the recursion into nested urns of kinds without a class of their own.
constexpr int kMaxNesting = 8;

void require_value(std::string_view value, std::string_view what) {
  if (value.empty()) throw platform::ValueError(fmt::format("A urn's {} must not be empty", what));
}

void require_kind(const UrnSyntax& syntax, std::string_view kind, std::string_view whole) {
  if (syntax.entity_type != kind) {
    fail_urn(whole, fmt::format("expected a {} urn, not a {} urn", kind, syntax.entity_type));
  }
}

void require_shape(const UrnSyntax& syntax, std::size_t parts, std::string_view shape,
                   std::string_view whole) {
  const bool tuple = parts > 1;
  if (syntax.tuple != tuple || syntax.raw_parts.size() != parts) {
    fail_urn(whole, fmt::format("expected the key {}", shape));
  }
}

DataPlatformUrn parse_data_platform(const UrnSyntax& syntax, std::string_view whole) {
  require_kind(syntax, "dataPlatform", whole);
  require_shape(syntax, 1, "<platform name>", whole);
  return DataPlatformUrn(unescape_part(syntax.raw_parts[0], whole));
}

DatasetUrn parse_dataset(const UrnSyntax& syntax, std::string_view whole) {
  require_kind(syntax, "dataset", whole);
  require_shape(syntax, 3, "(<data platform urn>,<name>,<env>)", whole);
  const std::string& platform_text = syntax.raw_parts[0];
  if (!platform_text.starts_with("urn:")) {
    fail_urn(whole, "the first part must be a data platform urn");
  }
  const DataPlatformUrn platform =
      parse_data_platform(parse_urn_syntax(platform_text, whole), whole);
  return DatasetUrn(platform.platform_name(), unescape_part(syntax.raw_parts[1], whole),
                    unescape_part(syntax.raw_parts[2], whole));
}

QueryUrn parse_query(const UrnSyntax& syntax, std::string_view whole) {
  require_kind(syntax, "query", whole);
  require_shape(syntax, 1, "<query id>", whole);
  return QueryUrn(unescape_part(syntax.raw_parts[0], whole));
}

SchemaFieldUrn parse_schema_field(const UrnSyntax& syntax, std::string_view whole) {
  require_kind(syntax, "schemaField", whole);
  require_shape(syntax, 2, "(<dataset urn>,<field path>)", whole);
  if (!syntax.raw_parts[0].starts_with("urn:")) {
    fail_urn(whole, "the first part must be a dataset urn");
  }
  return SchemaFieldUrn(parse_dataset(parse_urn_syntax(syntax.raw_parts[0], whole), whole),
                        unescape_part(syntax.raw_parts[1], whole));
}

// Chart and dashboard urns share the key shape (<tool>,<id>).
template <typename Kind>
Kind parse_tool_and_id(const UrnSyntax& syntax, std::string_view kind, std::string_view whole) {
  require_kind(syntax, kind, whole);
  require_shape(syntax, 2, "(<tool>,<id>)", whole);
  return Kind(unescape_part(syntax.raw_parts[0], whole), unescape_part(syntax.raw_parts[1], whole));
}

std::unique_ptr<Urn> parse_any(std::string_view text, std::string_view whole, int depth);

// Parts of a kind without a class: nested urns are parsed as urns, the rest must unescape.
void check_generic_parts(const UrnSyntax& syntax, std::string_view whole, int depth) {
  for (const std::string& part : syntax.raw_parts) {
    if (part.starts_with("urn:")) {
      if (depth >= kMaxNesting) fail_urn(whole, "urns nested too deeply");
      parse_any(part, whole, depth + 1);
    } else {
      unescape_part(part, whole);
    }
  }
}

// A urn of a kind without a class of its own.
struct GenericUrn : Urn {
  explicit GenericUrn(const UrnSyntax& syntax)
      : Urn(syntax.entity_type, syntax.raw_parts, syntax.tuple) {}
};

std::unique_ptr<Urn> parse_any(std::string_view text, std::string_view whole, int depth) {
  const UrnSyntax syntax = parse_urn_syntax(text, whole);
  const std::string& kind = syntax.entity_type;
  if (kind == "dataset") return std::make_unique<DatasetUrn>(parse_dataset(syntax, whole));
  if (kind == "query") return std::make_unique<QueryUrn>(parse_query(syntax, whole));
  if (kind == "dataPlatform") {
    return std::make_unique<DataPlatformUrn>(parse_data_platform(syntax, whole));
  }
  if (kind == "schemaField") {
    return std::make_unique<SchemaFieldUrn>(parse_schema_field(syntax, whole));
  }
  if (kind == "chart")
    return std::make_unique<ChartUrn>(parse_tool_and_id<ChartUrn>(syntax, kind, whole));
  if (kind == "dashboard") {
    return std::make_unique<DashboardUrn>(parse_tool_and_id<DashboardUrn>(syntax, kind, whole));
  }
  check_generic_parts(syntax, whole, depth);
  return std::make_unique<GenericUrn>(syntax);
}

}  // namespace

Urn::Urn(std::string entity_type, std::vector<std::string> raw_parts, bool tuple)
    : entity_type_(std::move(entity_type)),
      raw_parts_(std::move(raw_parts)),
      tuple_(tuple),
      text_(internal::join_urn(entity_type_, raw_parts_, tuple_)) {}

std::unique_ptr<Urn> Urn::from_string(std::string_view text) { return parse_any(text, text, 0); }

std::vector<std::string> Urn::entity_ids() const {
  std::vector<std::string> ids;
  for (const std::string& part : raw_parts_) {
    ids.push_back(part.starts_with("urn:") ? part : unescape_part(part, text_));
  }
  return ids;
}

std::ostream& operator<<(std::ostream& out, const Urn& urn) { return out << urn.urn(); }

std::string repr(const Urn& urn) {
  const std::string_view kind = urn.is<DatasetUrn>()        ? "DatasetUrn"
                                : urn.is<QueryUrn>()        ? "QueryUrn"
                                : urn.is<DataPlatformUrn>() ? "DataPlatformUrn"
                                : urn.is<SchemaFieldUrn>()  ? "SchemaFieldUrn"
                                : urn.is<ChartUrn>()        ? "ChartUrn"
                                : urn.is<DashboardUrn>()    ? "DashboardUrn"
                                                            : "Urn";
  return fmt::format("{}({})", kind, platform::pyrepr::python_text_repr(urn.urn()));
}

DataPlatformUrn::DataPlatformUrn(std::string_view platform_name)
    : Urn("dataPlatform", {escape_part(platform_name)}, false), platform_name_(platform_name) {
  require_value(platform_name, "platform name");
}

DataPlatformUrn DataPlatformUrn::from_string(std::string_view text) {
  return parse_data_platform(parse_urn_syntax(text, text), text);
}

DatasetUrn::DatasetUrn(std::string_view platform_name, std::string_view name, std::string_view env)
    : Urn("dataset", {DataPlatformUrn(platform_name).urn(), escape_part(name), escape_part(env)},
          true),
      platform_(platform_name),
      name_(name),
      env_(env) {
  require_value(name, "dataset name");
  require_value(env, "environment");
}

DatasetUrn DatasetUrn::from_string(std::string_view text) {
  return parse_dataset(parse_urn_syntax(text, text), text);
}

DatasetUrn DatasetUrn::from_string(const Urn& urn) {
  if (const auto* dataset = dynamic_cast<const DatasetUrn*>(&urn)) return *dataset;
  return from_string(urn.urn());
}

QueryUrn::QueryUrn(std::string_view query_id)
    : Urn("query", {escape_part(query_id)}, false), query_id_(query_id) {
  require_value(query_id, "query id");
}

QueryUrn QueryUrn::from_string(std::string_view text) {
  return parse_query(parse_urn_syntax(text, text), text);
}

SchemaFieldUrn::SchemaFieldUrn(const DatasetUrn& dataset, std::string_view field_path)
    : Urn("schemaField", {dataset.urn(), escape_part(field_path)}, true),
      dataset_(dataset),
      field_path_(field_path) {
  require_value(field_path, "field path");
}

SchemaFieldUrn SchemaFieldUrn::from_string(std::string_view text) {
  return parse_schema_field(parse_urn_syntax(text, text), text);
}

ChartUrn::ChartUrn(std::string_view tool, std::string_view chart_id)
    : Urn("chart", {escape_part(tool), escape_part(chart_id)}, true),
      tool_(tool),
      chart_id_(chart_id) {
  require_value(tool, "tool");
  require_value(chart_id, "chart id");
}

ChartUrn ChartUrn::from_string(std::string_view text) {
  return parse_tool_and_id<ChartUrn>(parse_urn_syntax(text, text), "chart", text);
}

DashboardUrn::DashboardUrn(std::string_view tool, std::string_view dashboard_id)
    : Urn("dashboard", {escape_part(tool), escape_part(dashboard_id)}, true),
      tool_(tool),
      dashboard_id_(dashboard_id) {
  require_value(tool, "tool");
  require_value(dashboard_id, "dashboard id");
}

DashboardUrn DashboardUrn::from_string(std::string_view text) {
  return parse_tool_and_id<DashboardUrn>(parse_urn_syntax(text, text), "dashboard", text);
}

void append_escaped_urn_value(std::string& out, std::string_view value) {
  internal::append_escaped_part(out, value);
}

}  // namespace orvane::metadata::urns
