// The fake warehouse's answer to PUT: the upload instructions a real warehouse sends, for the
// stage location the test chose.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/text/ascii_case.hpp"
#include "tests/fakes/snowflake/fake_snowflake_impl.hpp"

namespace fakes {
namespace {

using Impl = FakeSnowflake::Impl;

struct ParsedPut {
  std::string path;   // the local location, after file://
  std::string stage;  // the stage name without "@" and quotes
  std::string stage_path;
  Json options = Json::object();  // upper-case option name -> its text
};

void skip_space(const std::string& sql, size_t& at) {
  while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at]))) ++at;
}

// A word up to white space, or a single-quoted text with \ escapes and '' for a quote.
std::optional<std::string> word(const std::string& sql, size_t& at) {
  skip_space(sql, at);
  std::string out;
  if (at < sql.size() && sql[at] == '\'') {
    for (++at; at < sql.size(); ++at) {
      if (sql[at] == '\\' && at + 1 < sql.size()) {
        out += sql[++at];
      } else if (sql[at] == '\'') {
        if (at + 1 < sql.size() && sql[at + 1] == '\'') {
          out += sql[++at];
        } else {
          ++at;
          return out;
        }
      } else {
        out += sql[at];
      }
    }
    return std::nullopt;  // unterminated
  }
  bool quoted_identifier = false;
  while (at < sql.size() &&
         (quoted_identifier || !std::isspace(static_cast<unsigned char>(sql[at])))) {
    if (sql[at] == '"') quoted_identifier = !quoted_identifier;
    out += sql[at++];
  }
  if (out.empty() || quoted_identifier) return std::nullopt;
  return out;
}

std::optional<ParsedPut> parse_put(const std::string& sql) {
  size_t at = 0;
  skip_space(sql, at);
  at += 3;
  ParsedPut put;
  const auto file = word(sql, at);
  if (!file || platform::text::to_ascii_lower(file->substr(0, 7)) != "file://") return std::nullopt;
  put.path = file->substr(7);
  const auto stage = word(sql, at);
  if (!stage || !stage->starts_with('@')) return std::nullopt;
  std::string name = stage->substr(1);
  if (const auto slash = name.find('/'); slash != std::string::npos) {
    put.stage_path = name.substr(slash + 1);
    name.resize(slash);
  }
  while (!put.stage_path.empty() && put.stage_path.back() == '/') put.stage_path.pop_back();
  for (char c : name) {
    if (c != '"') put.stage += c;
  }
  if (put.stage.empty()) return std::nullopt;
  // Options: NAME = VALUE (the "=" may stand apart or not).
  for (;;) {
    skip_space(sql, at);
    if (at >= sql.size()) break;
    size_t end = at;
    while (end < sql.size() &&
           (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_'))
      ++end;
    const std::string option = platform::text::to_ascii_upper(sql.substr(at, end - at));
    at = end;
    skip_space(sql, at);
    if (option.empty() || at >= sql.size() || sql[at] != '=') return std::nullopt;
    ++at;
    const auto value = word(sql, at);
    if (!value) return std::nullopt;
    put.options[option] = platform::text::to_ascii_upper(*value);
  }
  return put;
}

bool option_is(const ParsedPut& put, const char* name, bool fallback) {
  if (!put.options.contains(name)) return fallback;
  return put.options[name] == "TRUE";
}

}  // namespace

bool is_put(const std::string& sql) {
  size_t at = 0;
  skip_space(sql, at);
  return platform::text::to_ascii_upper(sql.substr(at, 3)) == "PUT" &&
         (sql.size() == at + 3 || std::isspace(static_cast<unsigned char>(sql[at + 3])));
}

Json put_answer(Impl& fake, const std::string& sql, const std::string& query_id) {
  const std::optional<ParsedPut> put = parse_put(sql);
  if (!put) {
    return Impl::envelope(Json{{"sqlState", "42000"}, {"queryId", query_id}}, "001003",
                          "SQL compilation error:\nsyntax error in the PUT statement");
  }
  const FakeStageLocation& chosen = fake.stage_location;
  const std::string stage_key =
      "stages/" + put->stage + "/" + (put->stage_path.empty() ? "" : put->stage_path + "/");
  Json stage_info{{"locationType", chosen.location_type},
                  {"region", chosen.region},
                  {"endPoint", chosen.end_point.empty() ? Json(nullptr) : Json(chosen.end_point)},
                  {"storageAccount",
                   chosen.storage_account.empty() ? Json(nullptr) : Json(chosen.storage_account)},
                  {"useS3RegionalUrl", false},
                  {"useRegionalUrl", false},
                  {"useVirtualUrl", false},
                  {"presignedUrl", nullptr},
                  {"isClientSideEncrypted", !chosen.master_key.empty()}};
  if (chosen.location_type == "LOCAL_FS") {
    std::filesystem::path directory = std::filesystem::path(fake.options.stage_dir) / put->stage;
    if (!put->stage_path.empty()) directory /= put->stage_path;
    stage_info["location"] = directory.string() + "/";
    stage_info["path"] = nullptr;
    stage_info["creds"] = Json::object();
  } else {
    stage_info["location"] = chosen.bucket + "/" + stage_key;
    stage_info["path"] = stage_key;
    Json creds = Json::object();
    if (!chosen.creds.empty()) {
      for (const auto& [name, value] :
           chosen.creds[std::min(fake.put_answers, chosen.creds.size() - 1)]) {
        creds[name] = value;
      }
    }
    ++fake.put_answers;
    stage_info["creds"] = std::move(creds);
    // A PUT of one plain file name asks for that object's presigned address.
    if (!chosen.presigned_prefix.empty() && put->path.find('/') == std::string::npos) {
      stage_info["presignedUrl"] = chosen.presigned_prefix + chosen.bucket + "/" + stage_key +
                                   put->path + "?sig=" + chosen.presigned_signature;
    }
  }
  Json data{{"command", "UPLOAD"},
            {"src_locations", Json::array({put->path})},
            {"autoCompress", option_is(*put, "AUTO_COMPRESS", true)},
            {"sourceCompression", platform::text::to_ascii_lower(
                                      put->options.value("SOURCE_COMPRESSION", "AUTO_DETECT"))},
            {"parallel", 4},
            {"overwrite", option_is(*put, "OVERWRITE", false)},
            {"clientShowEncryptionParameter", false},
            {"queryId", query_id},
            {"stageInfo", std::move(stage_info)}};
  if (!chosen.master_key.empty()) {
    data["encryptionMaterial"] = Json{{"queryStageMasterKey", chosen.master_key},
                                      {"queryId", query_id},
                                      {"smkId", 12345678901234567LL}};
  } else {
    data["encryptionMaterial"] = nullptr;
  }
  return Impl::envelope(std::move(data));
}

}  // namespace fakes
