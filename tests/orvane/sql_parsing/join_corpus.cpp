#include "tests/orvane/sql_parsing/join_corpus.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace osa_test {
namespace {

std::string trim(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return "";
  std::size_t end = text.find_last_not_of(" \t\r");
  return std::string(text.substr(begin, end - begin + 1));
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) parts.push_back(trim(part));
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

// "-- key: value" -> key and value; false for any other line.
bool header_line(const std::string& line, std::string* key, std::string* value) {
  if (line.rfind("-- ", 0) != 0) return false;
  std::size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  *key = trim(std::string_view(line).substr(3, colon - 3));
  if (key->empty() || key->find(' ') != std::string::npos) return false;
  *value = trim(std::string_view(line).substr(colon + 1));
  return true;
}

ExpectedJoin parse_join(const std::string& value, const std::string& where) {
  std::vector<std::string> fields = split(value, '|');
  if (fields.size() != 3) throw std::runtime_error(where + ": join needs type | left | right");
  ExpectedJoin join{fields[0], {}, {}};
  for (int side = 1; side <= 2; ++side) {
    if (fields[side].empty()) continue;
    for (const std::string& name : split(fields[side], ',')) {
      (side == 1 ? join.left_tables : join.right_tables).push_back(corpus_table_urn(name));
    }
  }
  return join;
}

class FileReader {
 public:
  FileReader(const std::filesystem::path& path, std::vector<CorpusCase>& cases)
      : file_name_(path.filename().string()), cases_(cases) {
    std::ifstream in(path);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) read_line(line, number);
    finish_case();
  }

 private:
  void read_line(const std::string& line, int number) {
    std::string where = file_name_ + ":" + std::to_string(number);
    std::string key, value;
    bool is_header = header_line(line, &key, &value);
    if (is_header && key == "case") {
      finish_case();
      current_ = CorpusCase{where, value, "", file_instance_, file_db_, file_schema_, {}, ""};
      in_header_ = true;
      return;
    }
    if (!current_) {  // file header
      if (is_header && key == "default_db") file_db_ = value;
      if (is_header && key == "default_schema") file_schema_ = value;
      if (is_header && key == "platform_instance") file_instance_ = value;
      return;
    }
    if (in_header_ && is_header) {
      if (key == "join") {
        if (!current_->expected_joins) current_->expected_joins.emplace();
        current_->expected_joins->push_back(parse_join(value, where));
      } else if (key == "joins" && value == "none") {
        current_->expected_joins.emplace();
      } else if (key == "error") {
        expect_error_ = true;
        current_->error = value;
      } else if (key == "platform_instance") {
        current_->platform_instance = value;
      } else if (key == "default_db") {
        current_->default_db = value;
      } else if (key == "default_schema") {
        current_->default_schema = value;
      } else {
        throw std::runtime_error(where + ": unknown case header '" + key + "'");
      }
      return;
    }
    in_header_ = false;
    current_->sql += line + "\n";
  }

  void finish_case() {
    if (!current_) return;
    if (current_->expected_joins.has_value() == expect_error_) {
      throw std::runtime_error(current_->where + ": give either join lines or an error");
    }
    current_->sql = trim(current_->sql);
    if (current_->sql.empty()) throw std::runtime_error(current_->where + ": no SQL text");
    cases_.push_back(std::move(*current_));
    current_.reset();
    expect_error_ = false;
  }

  std::string file_name_;
  std::vector<CorpusCase>& cases_;
  std::optional<std::string> file_instance_, file_db_, file_schema_;
  std::optional<CorpusCase> current_;
  bool in_header_ = false;
  bool expect_error_ = false;
};

}  // namespace

std::string corpus_table_urn(const std::string& name) {
  return "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake," + name + ",PROD)";
}

std::vector<CorpusCase> load_join_corpus(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".sql") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<CorpusCase> cases;
  for (const auto& file : files) FileReader(file, cases);
  return cases;
}

}  // namespace osa_test
