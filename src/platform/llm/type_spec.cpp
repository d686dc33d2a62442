#include "platform/llm/type_spec.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/errors/errors.hpp"
#include "platform/json/json_writer.hpp"
#include "platform/text/ascii_case.hpp"

namespace platform::llm {

FieldSpec::FieldSpec(std::string field_name, TypeSpec field_type, bool is_required)
    : name(std::move(field_name)),
      type(std::make_shared<const TypeSpec>(std::move(field_type))),
      required(is_required) {}

TypeSpec TypeSpec::text() { return TypeSpec(); }

TypeSpec TypeSpec::one_of(std::vector<std::string> allowed) {
  TypeSpec spec;
  spec.allowed_ = std::move(allowed);
  return spec;
}

TypeSpec TypeSpec::integer() {
  TypeSpec spec;
  spec.kind_ = Kind::kInteger;
  return spec;
}

TypeSpec TypeSpec::number() {
  TypeSpec spec;
  spec.kind_ = Kind::kNumber;
  return spec;
}

TypeSpec TypeSpec::boolean() {
  TypeSpec spec;
  spec.kind_ = Kind::kBoolean;
  return spec;
}

TypeSpec TypeSpec::list_of(TypeSpec element) {
  TypeSpec spec;
  spec.kind_ = Kind::kList;
  spec.element_ = std::make_shared<const TypeSpec>(std::move(element));
  return spec;
}

TypeSpec TypeSpec::record(std::string name, std::vector<FieldSpec> fields) {
  TypeSpec spec;
  spec.kind_ = Kind::kRecord;
  spec.name_ = std::move(name);
  spec.fields_ = std::move(fields);
  return spec;
}

namespace {

// "relationship_columns" -> "Relationship Columns", as the record library titles fields.
std::string title_of(const std::string& field_name) {
  std::string title;
  bool word_start = true;
  for (char c : field_name) {
    if (c == '_') {
      title += ' ';
      word_start = true;
    } else {
      title += word_start ? text::ascii_upper(c) : c;
      word_start = false;
    }
  }
  return title;
}

class SchemaWriter {
 public:
  Value::Map defs;

  Value type_schema(const TypeSpec& type) {
    switch (type.kind()) {
      case TypeSpec::Kind::kText: {
        Value::Map schema;
        if (!type.allowed().empty()) {
          Value::List allowed(type.allowed().begin(), type.allowed().end());
          schema.emplace_back("enum", std::move(allowed));
        }
        schema.emplace_back("type", "string");
        return schema;
      }
      case TypeSpec::Kind::kInteger:
        return Value::Map{{"type", "integer"}};
      case TypeSpec::Kind::kNumber:
        return Value::Map{{"type", "number"}};
      case TypeSpec::Kind::kBoolean:
        return Value::Map{{"type", "boolean"}};
      case TypeSpec::Kind::kList:
        return Value::Map{{"items", type_schema(type.element())}, {"type", "array"}};
      case TypeSpec::Kind::kRecord:
        add_def(type);
        return Value::Map{{"$ref", "#/$defs/" + type.name()}};
    }
    return Value::Map{};
  }

  Value record_schema(const TypeSpec& record) {
    Value::Map properties;
    Value::List required;
    for (const FieldSpec& field : record.fields()) {
      Value::Map property;
      if (field.required) {
        property = type_schema(*field.type).as_map();
      } else {
        property.emplace_back("anyOf",
                              Value::List{type_schema(*field.type), Value::Map{{"type", "null"}}});
        property.emplace_back("default", nullptr);
      }
      // A "$ref" stands alone in the usual layout; every other property gets its title.
      if (property.size() != 1 || property.front().first != "$ref") {
        property.emplace_back("title", title_of(field.name));
        std::stable_sort(property.begin(), property.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
      }
      properties.emplace_back(field.name, std::move(property));
      if (field.required) required.emplace_back(field.name);
    }
    Value::Map schema{{"properties", std::move(properties)}};
    if (!required.empty()) schema.emplace_back("required", std::move(required));
    schema.emplace_back("title", record.name());
    schema.emplace_back("type", "object");
    return schema;
  }

 private:
  void add_def(const TypeSpec& record) {
    for (const auto& entry : defs) {
      if (entry.first == record.name()) return;
    }
    defs.emplace_back(record.name(), nullptr);  // reserve the slot first: records may nest
    Value schema = record_schema(record);
    for (auto& entry : defs) {
      if (entry.first == record.name()) entry.second = std::move(schema);
    }
  }
};

struct Failure {
  std::string location;
  std::string message;
};

std::string input_suffix(const Value& input) {
  std::string text = json::write(input);
  if (text.size() > 100) text = text.substr(0, 97) + "...";
  return fmt::format(" [input_value={}, input_type={}]", text, input.type_name());
}

std::string allowed_list(const std::vector<std::string>& allowed) {
  std::string text;
  for (std::size_t i = 0; i < allowed.size(); ++i) {
    if (i > 0) text += i + 1 == allowed.size() ? " or " : ", ";
    text += "'" + allowed[i] + "'";
  }
  return text;
}

class AnswerChecker {
 public:
  std::vector<Failure> failures;

  Value check(const TypeSpec& type, const Value& input, const std::string& location) {
    auto fail = [&](std::string message) {
      failures.push_back({location, std::move(message) + input_suffix(input)});
      return Value();
    };
    switch (type.kind()) {
      case TypeSpec::Kind::kText:
        if (!input.is_string()) return fail("Input should be a valid string");
        if (!type.allowed().empty() && std::find(type.allowed().begin(), type.allowed().end(),
                                                 input.as_string()) == type.allowed().end()) {
          return fail("Input should be " + allowed_list(type.allowed()));
        }
        return input;
      case TypeSpec::Kind::kInteger:
        if (input.is_int() || input.is_big_int()) return input;
        if (input.is_double() && input.as_double() == static_cast<double>(static_cast<std::int64_t>(
                                                          input.as_double()))) {
          return static_cast<std::int64_t>(input.as_double());
        }
        return fail("Input should be a valid integer");
      case TypeSpec::Kind::kNumber:
        if (input.is_int() || input.is_double() || input.is_big_int()) return input;
        return fail("Input should be a valid number");
      case TypeSpec::Kind::kBoolean:
        if (input.is_bool()) return input;
        return fail("Input should be a valid boolean");
      case TypeSpec::Kind::kList: {
        if (!input.is_list()) return fail("Input should be a valid list");
        Value::List items;
        for (std::size_t i = 0; i < input.as_list().size(); ++i) {
          items.push_back(check(type.element(), input.as_list()[i], join(location, i)));
        }
        return items;
      }
      case TypeSpec::Kind::kRecord: {
        if (!input.is_map())
          return fail("Input should be a valid dictionary or instance of " + type.name());
        Value::Map fields;
        for (const FieldSpec& field : type.fields()) {
          const Value* value = input.find(field.name);
          const std::string field_location = join(location, field.name);
          if (value == nullptr) {
            if (field.required) failures.push_back({field_location, "Field required"});
            fields.emplace_back(field.name, nullptr);
          } else if (value->is_null() && !field.required) {
            fields.emplace_back(field.name, nullptr);
          } else {
            fields.emplace_back(field.name, check(*field.type, *value, field_location));
          }
        }
        return fields;
      }
    }
    return Value();
  }

 private:
  static std::string join(const std::string& location, const std::string& part) {
    return location.empty() ? part : location + "." + part;
  }
  static std::string join(const std::string& location, std::size_t index) {
    return join(location, std::to_string(index));
  }
};

}  // namespace

Value json_schema(const TypeSpec& type) {
  SchemaWriter writer;
  Value schema = type.kind() == TypeSpec::Kind::kRecord ? writer.record_schema(type)
                                                        : writer.type_schema(type);
  if (writer.defs.empty()) return schema;
  Value::Map with_defs{{"$defs", std::move(writer.defs)}};
  for (auto& entry : schema.as_map()) with_defs.push_back(std::move(entry));
  return with_defs;
}

Value validate_answer(const TypeSpec& type, const Value& answer) {
  AnswerChecker checker;
  Value checked = checker.check(type, answer, "");
  if (checker.failures.empty()) return checked;
  const std::size_t count = checker.failures.size();
  std::string text = fmt::format("{} validation error{} for {}", count, count == 1 ? "" : "s",
                                 type.kind() == TypeSpec::Kind::kRecord ? type.name() : "value");
  for (const Failure& failure : checker.failures) {
    if (!failure.location.empty()) text += "\n" + failure.location;
    text += "\n  " + failure.message;
  }
  throw ValidationError(text);
}

}  // namespace platform::llm
