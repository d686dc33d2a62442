// `StructuredClient`: asks a chat model for an answer of a described type and validates it.
//
// Each attempt is one call of the completion function it was made from, with one forced
// function tool whose parameters are the answer type's JSON Schema:
//   {"model": ..., "messages": [...],
//    "tools": [{"type": "function", "function": {"name": <record name>, "description": ...,
//               "parameters": <schema>}}],
//    "tool_choice": {"type": "function", "function": {"name": <record name>}}}
// The tool call's arguments are parsed and checked (validate_answer in type_spec.hpp). When they
// are not JSON or fail the check, the client re-asks: it appends the assistant's tool call and a
// "tool" message per call (a "user" message when the model made no tool call) holding the errors,
// and tries again, at most `max_reasks` more times (2 by default). The caller's messages are
// sent exactly as given; the re-ask messages are only ever appended after them.
//
// An answer type that is not a record (e.g. a list of texts) is wrapped, as the usual Python
// structured-output library does, in a record "Response" with one required field "content";
// the client unwraps it again, so the caller gets the bare list.
//
//   auto client = platform::llm::from_litellm(traced_completion);
//   std::vector<std::string> keys = client.create(
//       "gpt-4o-mini", platform::llm::list_of_texts(), messages);
//
// Throws CompletionError (completion.hpp) when a completion fails, StructuredOutputError when
// the last allowed answer still fails validation. Thread-safe when its completion function is.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors/errors.hpp"
#include "platform/llm/completion.hpp"
#include "platform/llm/type_spec.hpp"
#include "platform/value/value.hpp"

namespace platform::llm {

// An answer type with its conversion into a C++ value. `convert` receives the validated answer
// (validate_answer's result, unwrapped for non-records); a platform::ValidationError thrown by
// it counts as a failed answer and is re-asked like any other.
template <typename T>
struct ResponseModel {
  TypeSpec type;
  std::function<T(const Value& answer)> convert;
};

// The list-of-texts answer: a JSON array of strings.
ResponseModel<std::vector<std::string>> list_of_texts();

// The answer still failed validation after every allowed attempt.
class StructuredOutputError : public RuntimeError {
 public:
  StructuredOutputError(int attempts, std::string last_errors);
  int attempts() const { return attempts_; }
  // The validation errors of the last answer, as fed back to the model.
  const std::string& last_errors() const { return last_errors_; }

 private:
  int attempts_;
  std::string last_errors_;
};

class StructuredClient {
 public:
  explicit StructuredClient(CompletionFunction completion, int max_reasks = 2);

  // The validated answer as a Value (the bare value for a non-record type).
  Value create(std::string_view model, const TypeSpec& response_model,
               const Value::List& messages) const;

  template <typename T>
  T create(std::string_view model, const ResponseModel<T>& response_model,
           const Value::List& messages) const {
    std::optional<T> converted;
    ask(model, response_model.type, messages,
        [&](const Value& answer) { converted.emplace(response_model.convert(answer)); });
    return std::move(*converted);
  }

 private:
  Value ask(std::string_view model, const TypeSpec& type, const Value::List& messages,
            const std::function<void(const Value&)>& accept) const;

  CompletionFunction completion_;
  int max_reasks_;
};

// The client over a completion function, named after the usual Python library's constructor.
StructuredClient from_litellm(CompletionFunction completion);

}  // namespace platform::llm
