// Loading a `.env` file into the process environment.
//
//   platform::dotenv::load_dotenv();   // once at start-up, before other threads run
//
// The file is the first regular file named ".env" in the working directory or one of its
// parents; finding none is no error. Its entries (dotenv_parser.hpp) are added to the
// environment, a name that comes twice taking its last value, and a variable that is already
// set keeps its value, also when it is set to the empty text. Statements that do not parse are
// skipped, with one warning on standard error that names the file and their line numbers but
// never a value (values may be secrets).
//
// Changes the process environment (setenv), so call it while no other thread reads it.
#pragma once

#include <filesystem>
#include <optional>

namespace platform::dotenv {

// The first regular file ".env" in `start_directory` or its parents, nearest first.
std::optional<std::filesystem::path> find_dotenv(const std::filesystem::path& start_directory);

// Loads the `.env` file found from the working directory. Returns whether a file was found.
// Throws platform::RuntimeError when the file that was found cannot be read.
bool load_dotenv();
// The same, searching from `start_directory`.
bool load_dotenv(const std::filesystem::path& start_directory);

}  // namespace platform::dotenv
