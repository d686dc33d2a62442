#include "tests/fakes/snowflake/column_type.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/text/ascii_case.hpp"
namespace fakes::warehouse {
namespace {

constexpr std::int64_t kMaxTextLength = 16777216;
constexpr std::int64_t kMaxBinaryLength = 8388608;

std::string upper_trimmed(std::string_view text) {
  const std::string result = platform::text::to_ascii_upper(std::string(text));
  const auto first = result.find_first_not_of(' ');
  const auto last = result.find_last_not_of(' ');
  return first == std::string::npos ? "" : result.substr(first, last - first + 1);
}

// Splits "NUMBER(10, 2)" into "NUMBER" and {10, 2}.
std::pair<std::string, std::vector<std::int64_t>> split_arguments(const std::string& declared) {
  const auto open = declared.find('(');
  if (open == std::string::npos) return {declared, {}};
  std::string name = upper_trimmed(declared.substr(0, open));
  std::vector<std::int64_t> arguments;
  std::string number;
  for (size_t i = open + 1; i < declared.size() && declared[i] != ')'; ++i) {
    if (std::isdigit(static_cast<unsigned char>(declared[i]))) {
      number.push_back(declared[i]);
    } else if (declared[i] == ',') {
      arguments.push_back(number.empty() ? 0 : std::stoll(number));
      number.clear();
    }
  }
  if (!number.empty()) arguments.push_back(std::stoll(number));
  return {name, arguments};
}

bool is_one_of(const std::string& name, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* each) { return name == each; });
}

ColumnType fixed(int precision, int scale) { return {"fixed", precision, scale, {}, {}}; }

ColumnType text(std::int64_t length) {
  return {"text", {}, {}, length, std::min(length * 4, kMaxTextLength)};
}

ColumnType scaled(const char* type, int scale) { return {type, 0, scale, {}, {}}; }

}  // namespace

std::optional<ColumnType> column_type_from_declared(std::string_view declared_text) {
  const auto split = split_arguments(upper_trimmed(declared_text));
  const std::string& name = split.first;
  const std::vector<std::int64_t>& arguments = split.second;
  const auto argument = [&arguments](size_t index, std::int64_t fallback) {
    return index < arguments.size() ? arguments[index] : fallback;
  };
  if (is_one_of(name, {"NUMBER", "DECIMAL", "NUMERIC"})) {
    return fixed(static_cast<int>(argument(0, 38)), static_cast<int>(argument(1, 0)));
  }
  if (is_one_of(name, {"INT", "INTEGER", "BIGINT", "SMALLINT", "TINYINT", "BYTEINT"})) {
    return fixed(38, 0);
  }
  if (is_one_of(name, {"FLOAT", "FLOAT4", "FLOAT8", "DOUBLE", "DOUBLE PRECISION", "REAL"})) {
    return ColumnType{"real", {}, {}, {}, {}};
  }
  if (is_one_of(name, {"VARCHAR", "CHAR", "CHARACTER", "STRING", "TEXT", "NVARCHAR", "NCHAR"})) {
    return text(argument(0, kMaxTextLength));
  }
  if (name == "BOOLEAN") return ColumnType{"boolean", {}, {}, {}, {}};
  if (name == "DATE") return ColumnType{"date", {}, {}, {}, {}};
  const int scale = static_cast<int>(argument(0, 9));
  if (name == "TIME") return scaled("time", scale);
  if (is_one_of(name, {"TIMESTAMP_NTZ", "TIMESTAMP", "DATETIME"})) {
    return scaled("timestamp_ntz", scale);
  }
  if (name == "TIMESTAMP_LTZ") return scaled("timestamp_ltz", scale);
  if (name == "TIMESTAMP_TZ") return scaled("timestamp_tz", scale);
  if (is_one_of(name, {"VARIANT", "OBJECT", "ARRAY"})) {
    return ColumnType{platform::text::to_ascii_lower(name), {}, {}, kMaxTextLength, kMaxTextLength};
  }
  if (is_one_of(name, {"BINARY", "VARBINARY", "BLOB"})) {
    const std::int64_t length = argument(0, kMaxBinaryLength);
    return ColumnType{"binary", {}, {}, length, length};
  }
  return std::nullopt;
}

ColumnType column_type_from_storage(int storage_class) {
  switch (storage_class) {
    case SQLITE_INTEGER:
      return fixed(38, 0);
    case SQLITE_FLOAT:
      return ColumnType{"real", {}, {}, {}, {}};
    case SQLITE_BLOB:
      return ColumnType{"binary", {}, {}, kMaxBinaryLength, kMaxBinaryLength};
    default:
      return text(kMaxTextLength);
  }
}

nlohmann::ordered_json rowtype_entry(const std::string& name, const std::string& table,
                                     const ColumnType& type) {
  const auto optional = [](const auto& value) -> nlohmann::ordered_json {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
  };
  return nlohmann::ordered_json{{"name", name},
                                {"database", "FAKEDB"},
                                {"schema", "PUBLIC"},
                                {"table", table},
                                {"type", type.type},
                                {"precision", optional(type.precision)},
                                {"scale", optional(type.scale)},
                                {"length", optional(type.length)},
                                {"byteLength", optional(type.byte_length)},
                                {"nullable", true},
                                {"collation", nullptr}};
}

}  // namespace fakes::warehouse
