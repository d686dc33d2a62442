// The error kinds of the whole system, one small hierarchy.
//
// Every failure that reaches a caller is one of these exceptions. The kinds mirror the ones the
// system's callers (an MCP agent, the Python module) know: a `ValueError` for bad arguments or
// data (a `ValidationError` is one), an `AssertionError` for broken internal consistency, a
// `LookupError` (`KeyError`, `IndexError`) for something absent, a `RuntimeError` for a failed
// outside service, `NotImplementedError`, and `YAMLError` for unreadable YAML text.
//
//   throw platform::ValueError("No candidate urns provided");
//
// Messages are plain sentences; where the system fixes a text, that text is used exactly.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

enum class ErrorKind {
  kValueError,
  kValidationError,
  kAssertionError,
  kLookupError,
  kKeyError,
  kIndexError,
  kRuntimeError,
  kNotImplementedError,
  kYAMLError,
};

// The kind's name as the system's callers spell it, e.g. "ValueError".
std::string_view kind_name(ErrorKind kind);

class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

#define OSA_DECLARE_ERROR(Name, Base)                                        \
  class Name : public Base {                                                \
   public:                                                                  \
    explicit Name(const std::string& message)                               \
        : Base(ErrorKind::k##Name, message) {}                              \
                                                                            \
   protected:                                                               \
    Name(ErrorKind kind, const std::string& message) : Base(kind, message) {} \
  }

OSA_DECLARE_ERROR(ValueError, Error);
OSA_DECLARE_ERROR(ValidationError, ValueError);
OSA_DECLARE_ERROR(AssertionError, Error);
OSA_DECLARE_ERROR(LookupError, Error);
OSA_DECLARE_ERROR(KeyError, LookupError);
OSA_DECLARE_ERROR(IndexError, LookupError);
OSA_DECLARE_ERROR(RuntimeError, Error);
OSA_DECLARE_ERROR(NotImplementedError, Error);
OSA_DECLARE_ERROR(YAMLError, Error);

#undef OSA_DECLARE_ERROR

// Internal consistency check that is always made, in every build type.
inline void check(bool condition, const char* message = "") {
  if (!condition) throw AssertionError(message);
}

}  // namespace platform
