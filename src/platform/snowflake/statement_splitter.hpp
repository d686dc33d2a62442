// Splits SQL text into its statements, the way the warehouse reads them.
//
//   split_statements("SELECT ';'; /* a; b */ SELECT 2;")  // {"SELECT ';'", "/* a; b */ SELECT 2"}
//
// A ";" ends a statement unless it stands inside a single-quoted string ('' and \' escape a
// quote), a double-quoted identifier ("" escapes), a $$-delimited string, a "--" line comment or
// a /* */ block comment. Statements are trimmed of surrounding white space and lose their ";";
// statements that hold nothing but white space and comments are dropped. "//" does not start a
// comment here, so unquoted file URLs ("PUT file:///tmp/a.csv @stage") stay whole.
//
// Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::snowflake {

std::vector<std::string> split_statements(std::string_view text);

// The statement's first word in upper case, after white space and comments ("PUT", "SELECT");
// empty when there is none. A "//" line comment counts here, where no file URL can stand.
std::string leading_keyword(std::string_view statement);

// Whether the statement moves files between this machine and a stage: PUT or GET.
bool is_file_transfer(std::string_view statement);

}  // namespace platform::snowflake
