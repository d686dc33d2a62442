// The file location of a PUT statement as a quoted text: "PUT " + quoted_file_uri(path) + ...
//
//   quoted_file_uri("/tmp/my model's.yaml")   // 'file:///tmp/my model\'s.yaml'
//
// Inside the quotes a backslash and a single quote are escaped with a backslash, so spaces,
// quotes, ";" and line breaks in a path stay part of the path and cannot end the statement.
#pragma once

#include <string>
#include <string_view>

namespace platform::snowflake {

std::string quoted_file_uri(std::string_view path);

}  // namespace platform::snowflake
