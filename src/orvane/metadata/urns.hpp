// Typed URNs: the catalogue's identifiers of entities.
//
// Text form "urn:orvane:<entity type>:<key>". A key is one value, or a parenthesised,
// comma-separated tuple whose parts may be urns themselves:
//   urn:orvane:dataPlatform:snowflake
//   urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,db.sales.orders,PROD)
//   urn:orvane:schemaField:(urn:orvane:dataset:(...),order_id)
// In a plain value "%", "(", ")" and "," are escaped as "%25", "%28", "%29" and "%2C"; other
// characters, Unicode included, are kept exactly. Every accepted text is written back exactly.
//
//   using namespace orvane::metadata::urns;
//   std::unique_ptr<Urn> any = Urn::from_string(text);       // the typed urn of the text's kind
//   if (any->is<DatasetUrn>()) {
//     DatasetUrn dataset = DatasetUrn::from_string(*any);
//     dataset.get_data_platform_urn().platform_name();       // "snowflake"
//   }
//   std::unordered_set<DatasetUrn> seen{dataset};           // equal texts, equal keys
//   fmt::format("{}", dataset);                              // the urn text
//   repr(dataset);                                 // "DatasetUrn('urn:orvane:dataset:...')"
//
// Every parse throws platform::ValueError quoting the text when the text is malformed, or, for a
// typed `from_string`, when it is a urn of another kind. URNs are immutable values, safe to share
// between threads.
#pragma once

#include <fmt/format.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace orvane::metadata::urns {

// A urn of any kind; also the type of urns whose kind has no class of its own.
class Urn {
 public:
  // The urn of the text's kind: DatasetUrn, QueryUrn, DataPlatformUrn, SchemaFieldUrn, ChartUrn,
  // DashboardUrn, or a plain Urn for other kinds.
  static std::unique_ptr<Urn> from_string(std::string_view text);

  virtual ~Urn() = default;

  // The text form.
  const std::string& urn() const { return text_; }
  const std::string& entity_type() const { return entity_type_; }
  // The key's parts: plain values unescaped, nested urns as their text.
  std::vector<std::string> entity_ids() const;

  template <typename Kind>
  bool is() const {
    return dynamic_cast<const Kind*>(this) != nullptr;
  }

  friend bool operator==(const Urn& a, const Urn& b) { return a.text_ == b.text_; }

 protected:
  Urn(std::string entity_type, std::vector<std::string> raw_parts, bool tuple);
  // Copies are made of the typed kinds only, so a urn is never sliced to its base.
  Urn(const Urn&) = default;
  Urn(Urn&&) = default;
  Urn& operator=(const Urn&) = default;
  Urn& operator=(Urn&&) = default;

 private:
  std::string entity_type_;
  std::vector<std::string> raw_parts_;
  bool tuple_ = false;
  std::string text_;
};

std::ostream& operator<<(std::ostream& out, const Urn& urn);

// The urn as Python shows it inside a list or a set: its class name and its quoted text,
// "DatasetUrn('urn:orvane:dataset:(...)')". A lone urn in a message is shown as its text.
std::string repr(const Urn& urn);

// urn:orvane:dataPlatform:<platform name>
class DataPlatformUrn : public Urn {
 public:
  // Each value constructor throws platform::ValueError when a value is empty.
  explicit DataPlatformUrn(std::string_view platform_name);
  static DataPlatformUrn from_string(std::string_view text);

  const std::string& platform_name() const { return platform_name_; }

 private:
  std::string platform_name_;
};

// urn:orvane:dataset:(urn:orvane:dataPlatform:<platform>,<name>,<env>)
class DatasetUrn : public Urn {
 public:
  DatasetUrn(std::string_view platform_name, std::string_view name, std::string_view env = "PROD");
  static DatasetUrn from_string(std::string_view text);
  // The same urn as a DatasetUrn; throws platform::ValueError when it is of another kind.
  static DatasetUrn from_string(const Urn& urn);

  const DataPlatformUrn& get_data_platform_urn() const { return platform_; }
  const std::string& name() const { return name_; }
  const std::string& env() const { return env_; }

 private:
  DataPlatformUrn platform_;
  std::string name_;
  std::string env_;
};

// urn:orvane:query:<id>
class QueryUrn : public Urn {
 public:
  explicit QueryUrn(std::string_view query_id);
  static QueryUrn from_string(std::string_view text);

  const std::string& query_id() const { return query_id_; }

 private:
  std::string query_id_;
};

// urn:orvane:schemaField:(<dataset urn>,<field path>)
class SchemaFieldUrn : public Urn {
 public:
  SchemaFieldUrn(const DatasetUrn& dataset, std::string_view field_path);
  static SchemaFieldUrn from_string(std::string_view text);

  const DatasetUrn& dataset() const { return dataset_; }
  const std::string& field_path() const { return field_path_; }

 private:
  DatasetUrn dataset_;
  std::string field_path_;
};

// urn:orvane:chart:(<tool>,<chart id>)
class ChartUrn : public Urn {
 public:
  ChartUrn(std::string_view tool, std::string_view chart_id);
  static ChartUrn from_string(std::string_view text);

  const std::string& tool() const { return tool_; }
  const std::string& chart_id() const { return chart_id_; }

 private:
  std::string tool_;
  std::string chart_id_;
};

// urn:orvane:dashboard:(<tool>,<dashboard id>)
class DashboardUrn : public Urn {
 public:
  DashboardUrn(std::string_view tool, std::string_view dashboard_id);
  static DashboardUrn from_string(std::string_view text);

  const std::string& tool() const { return tool_; }
  const std::string& dashboard_id() const { return dashboard_id_; }

 private:
  std::string tool_;
  std::string dashboard_id_;
};

// A plain value as it stands inside a URN: "%", "(", ")" and "," written as "%25", "%28", "%29"
// and "%2C", appended to `out`. For code that writes URN texts in bulk without building URN
// objects.
void append_escaped_urn_value(std::string& out, std::string_view value);

}  // namespace orvane::metadata::urns

namespace std {
// Hashing by the urn text, so equal urns are equal keys.
template <typename Kind>
requires is_base_of_v<orvane::metadata::urns::Urn, Kind>
struct hash<Kind> {
  size_t operator()(const Kind& urn) const noexcept { return hash<string>{}(urn.urn()); }
};
}  // namespace std

// fmt::format("{}", urn) writes the urn text.
template <typename Kind>
struct fmt::formatter<Kind, char,
                      std::enable_if_t<std::is_base_of_v<orvane::metadata::urns::Urn, Kind>>>
    : fmt::formatter<std::string_view> {
  template <typename Context>
  auto format(const Kind& urn, Context& context) const {
    return fmt::formatter<std::string_view>::format(urn.urn(), context);
  }
};
