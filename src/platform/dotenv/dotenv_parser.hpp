// The text of a `.env` file as (name, value) entries.
//
//   # a comment; blank lines are skipped
//   export HOST=db.example.com          # "export " is optional, trailing comments dropped
//   USER = ana                           # spaces around "=" are dropped, "a#b" keeps its "#"
//   GREETING='literal ${HOST} \n'        # single quotes: as written (only \' and \\ escape)
//   MESSAGE="line 1\nline \"2\""         # double quotes: \n \t \r \" \' \\ \a \b \f \v
//   KEY="-----BEGIN KEY-----
//   ...-----END KEY-----"                # a quoted value may run over several lines
//   URL=https://${HOST}:${PORT:-5432}/   # ${NAME} and ${NAME:-default}, not in single quotes
//   FLAG                                 # a name without "=" sets nothing
//
// `${NAME}` takes the environment's value when the variable is set there (a set variable wins,
// as in loading), else the value of the last earlier line that set NAME, else the default
// after ":-" (taken as written), else the empty text. `$NAME` without braces stays as written.
//
// A UTF-8 byte order mark at the start is dropped. A statement that does not parse (an unclosed
// quote, text after a closing quote, a line that starts with "=", a name holding "=", a NUL byte)
// is skipped to the end of its first line and its line number recorded; parsing goes on with the
// next line. Never throws for any text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::dotenv {

struct DotenvEntry {
  std::string name;
  std::string value;
  friend bool operator==(const DotenvEntry&, const DotenvEntry&) = default;
};

struct ParsedDotenv {
  // In file order; a name may come more than once, and then its last entry counts.
  std::vector<DotenvEntry> entries;
  // The 1-based line numbers where the skipped statements start, in order.
  std::vector<int> bad_lines;
};

// The value a variable has in the environment, or nothing when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// Parses `text`; `environment` answers the ${NAME} look-ups (none: every variable unset).
ParsedDotenv parse_dotenv(std::string_view text, const EnvironmentLookup& environment = {});

}  // namespace platform::dotenv
