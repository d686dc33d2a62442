#include "platform/snowflake/file_transfer/file_uri.hpp"

namespace platform::snowflake {

std::string quoted_file_uri(std::string_view path) {
  std::string quoted = "'file://";
  for (const char c : path) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

}  // namespace platform::snowflake
