#include "platform/errors/errors.hpp"

namespace platform {

std::string_view kind_name(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kValueError: return "ValueError";
    case ErrorKind::kValidationError: return "ValidationError";
    case ErrorKind::kAssertionError: return "AssertionError";
    case ErrorKind::kLookupError: return "LookupError";
    case ErrorKind::kKeyError: return "KeyError";
    case ErrorKind::kIndexError: return "IndexError";
    case ErrorKind::kRuntimeError: return "RuntimeError";
    case ErrorKind::kNotImplementedError: return "NotImplementedError";
    case ErrorKind::kYAMLError: return "YAMLError";
  }
  return "Error";
}

}  // namespace platform
