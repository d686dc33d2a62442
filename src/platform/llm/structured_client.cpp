#include "platform/llm/structured_client.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/json/depth_limited_parse.hpp"
#include "platform/json/ordered_json.hpp"
#include "platform/log/log.hpp"

namespace platform::llm {

namespace {

// The record the model is asked to fill: the type itself, or a one-field wrapper around it.
TypeSpec tool_record(const TypeSpec& type) {
  if (type.kind() == TypeSpec::Kind::kRecord) return type;
  return TypeSpec::record("Response", {FieldSpec("content", type)});
}

// The forced tool, laid out as the usual Python library does: the schema without its title,
// the required fields sorted, and a default description.
Value tool_of(const TypeSpec& record) {
  Value::Map parameters;
  const Value schema = json_schema(record);
  for (const auto& entry : schema.as_map()) {
    if (entry.first != "title" && entry.first != "description") parameters.push_back(entry);
  }
  Value::List required;
  for (const FieldSpec& field : record.fields()) {
    if (field.required) required.emplace_back(field.name);
  }
  std::sort(required.begin(), required.end(),
            [](const Value& a, const Value& b) { return a.as_string() < b.as_string(); });
  Value parameters_value(std::move(parameters));
  parameters_value.set("required", std::move(required));
  return Value::Map{
      {"type", "function"},
      {"function",
       Value::Map{{"name", record.name()},
                  {"description", fmt::format("Correctly extracted `{}` with all the required "
                                              "parameters with correct types",
                                              record.name())},
                  {"parameters", std::move(parameters_value)}}}};
}

const Value* first_message(const Value& response) {
  const Value* choices = response.find("choices");
  if (choices == nullptr || !choices->is_list() || choices->as_list().empty()) return nullptr;
  const Value* message = choices->as_list().front().find("message");
  return message != nullptr && message->is_map() ? message : nullptr;
}

std::string text_of(const Value* value) {
  return value != nullptr && value->is_string() ? value->as_string() : std::string();
}

const Value* tool_call_of(const Value* message, const std::string& name) {
  const Value* calls = message != nullptr ? message->find("tool_calls") : nullptr;
  if (calls == nullptr || !calls->is_list()) return nullptr;
  for (const Value& call : calls->as_list()) {
    const Value* function = call.find("function");
    if (function != nullptr && text_of(function->find("name")) == name) return &call;
  }
  return nullptr;
}

std::string feedback(const std::string& errors) {
  return "Validation Error found:\n" + errors + "\nRecall the function correctly, fix the errors";
}

// The assistant's answer and the errors, appended so the model sees what to fix.
void append_reask(Value::List& conversation, const Value* message, const std::string& errors) {
  Value::Map assistant{{"role", "assistant"},
                       {"content", message != nullptr ? text_of(message->find("content")) : ""}};
  const Value* calls = message != nullptr ? message->find("tool_calls") : nullptr;
  if (calls != nullptr && calls->is_list() && !calls->as_list().empty()) {
    assistant.emplace_back("tool_calls", *calls);
    conversation.emplace_back(std::move(assistant));
    for (const Value& call : calls->as_list()) {
      const Value* function = call.find("function");
      conversation.emplace_back(
          Value::Map{{"role", "tool"},
                     {"tool_call_id", text_of(call.find("id"))},
                     {"name", function != nullptr ? text_of(function->find("name")) : ""},
                     {"content", feedback(errors)}});
    }
    return;
  }
  conversation.emplace_back(std::move(assistant));
  conversation.emplace_back(Value::Map{{"role", "user"}, {"content", feedback(errors)}});
}

}  // namespace

ResponseModel<std::vector<std::string>> list_of_texts() {
  return {TypeSpec::list_of(TypeSpec::text()), [](const Value& answer) {
            std::vector<std::string> texts;
            for (const Value& item : answer.as_list()) texts.push_back(item.as_string());
            return texts;
          }};
}

StructuredOutputError::StructuredOutputError(int attempts, std::string last_errors)
    : RuntimeError(fmt::format("The answer failed validation after {} attempt{}:\n{}", attempts,
                               attempts == 1 ? "" : "s", last_errors)),
      attempts_(attempts),
      last_errors_(std::move(last_errors)) {}

StructuredClient::StructuredClient(CompletionFunction completion, int max_reasks)
    : completion_(std::move(completion)), max_reasks_(std::max(0, max_reasks)) {}

Value StructuredClient::create(std::string_view model, const TypeSpec& response_model,
                               const Value::List& messages) const {
  return ask(model, response_model, messages, [](const Value&) {});
}

Value StructuredClient::ask(std::string_view model, const TypeSpec& type,
                            const Value::List& messages,
                            const std::function<void(const Value&)>& accept) const {
  const TypeSpec record = tool_record(type);
  const Value tool = tool_of(record);
  const Value tool_choice =
      Value::Map{{"type", "function"}, {"function", Value::Map{{"name", record.name()}}}};
  Value::List conversation = messages;
  std::string errors;
  for (int attempt = 1;; ++attempt) {
    const Value response = completion_(Value::Map{{"model", std::string(model)},
                                                  {"messages", conversation},
                                                  {"tools", Value::List{tool}},
                                                  {"tool_choice", tool_choice}});
    const Value* message = first_message(response);
    const Value* call = tool_call_of(message, record.name());
    if (call == nullptr) {
      errors = fmt::format("The answer made no call of the function `{}`", record.name());
    } else {
      const std::string arguments = text_of(call->find("function")->find("arguments"));
      const auto parsed =
          json::parse_depth_limited<nlohmann::ordered_json>(arguments, "The LLM's tool arguments");
      if (parsed.is_discarded()) {
        errors = fmt::format("1 validation error for {}\n  Invalid JSON [input_value={}]",
                             record.name(), arguments.substr(0, 100));
      } else {
        try {
          Value answer = validate_answer(record, json::from_ordered_json(parsed));
          if (type.kind() != TypeSpec::Kind::kRecord) {
            Value content = std::move(answer.as_map().front().second);
            answer = std::move(content);
          }
          accept(answer);
          return answer;
        } catch (const ValidationError& error) {
          errors = error.what();
        }
      }
    }
    if (attempt > max_reasks_) throw StructuredOutputError(attempt, errors);
    log::debug("Answer for {} failed validation, asking again: {}", record.name(), errors);
    append_reask(conversation, message, errors);
  }
}

StructuredClient from_litellm(CompletionFunction completion) {
  return StructuredClient(std::move(completion));
}

}  // namespace platform::llm
