#include "platform/snowflake/file_transfer/put_transfer.hpp"

#include <cctype>

#include "platform/log/log.hpp"
#include "platform/snowflake/file_transfer/file_uri.hpp"
#include "platform/snowflake/file_transfer/local_sources.hpp"
#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::file_transfer {
namespace {

// Fresh credentials more often than this in one PUT mean the store refuses them for good.
constexpr int kMaxRenewals = 3;

struct Outcome {
  PreparedFile file;
  std::uintmax_t target_size = 0;
  std::string status;
  std::string message;
};

Column text_column(const char* name) { return {.name = name, .type = "text", .nullable = false}; }
Column size_column(const char* name) {
  return {.name = name, .type = "fixed", .precision = 38, .scale = 0, .nullable = false};
}

QueryResult result_of(const std::vector<Outcome>& outcomes, const std::string& query_id) {
  QueryResult result{.query_id = query_id};
  result.columns = {text_column("source"),
                    text_column("target"),
                    size_column("sourceSize"),
                    size_column("targetSize"),
                    text_column("sourceCompression"),
                    text_column("targetCompression"),
                    text_column("status"),
                    text_column("message")};
  for (const Outcome& outcome : outcomes) {
    result.rows.push_back({Value(outcome.file.source), Value(outcome.file.target),
                           Value(static_cast<std::int64_t>(outcome.file.source_size)),
                           Value(static_cast<std::int64_t>(outcome.target_size)),
                           Value(outcome.file.source_compression),
                           Value(outcome.file.target_compression), Value(outcome.status),
                           Value(outcome.message)});
  }
  return result;
}

class Transfer {
 public:
  Transfer(PutInstructions put, const PutContext& context)
      : put_(std::move(put)), context_(context) {
    storage_ = make_stage_storage(put_.stage_info, context_.storage);
  }

  Outcome send(const SourceFile& source) {
    Outcome outcome{.file =
                        prepare_upload(source, {.auto_compress = put_.auto_compress,
                                                .source_compression = put_.source_compression})};
    for (int renewals = 0;; ++renewals) {
      try {
        send_prepared(outcome);
        return outcome;
      } catch (const CredentialsExpired& expired) {
        if (renewals >= kMaxRenewals || !context_.reissue) {
          throw SnowflakeError::connector_failure("PUT of " + source.path.string() +
                                                  " failed: " + expired.what());
        }
        platform::log::debug("Stage credentials expired while uploading {}; asking for new ones",
                             outcome.file.target);
        renew(outcome.file.target);
      }
    }
  }

 private:
  void send_prepared(Outcome& outcome) {
    if (needs_presigned_url() && presigned_for_ != outcome.file.target) renew(outcome.file.target);
    if (!put_.overwrite) {
      if (const auto existing = storage_->existing_digest(outcome.file.target)) {
        if (*existing == outcome.file.digest) {
          outcome.status = "SKIPPED";
          outcome.message = "the stage already holds this file";
          return;
        }
        throw SnowflakeError::connector_failure(
            "the stage already holds " + outcome.file.target +
            " with other content; OVERWRITE = TRUE replaces it");
      }
    }
    StageUpload upload{.file = outcome.file, .body = outcome.file.bytes};
    std::optional<EncryptedFile> sealed;
    if (put_.encryption_material && storage_->encrypts()) {
      sealed = encrypt_for_stage(outcome.file.bytes, *put_.encryption_material);
      upload.body = sealed->bytes;
      upload.encryption = sealed->envelope;
    }
    storage_->upload(upload);
    outcome.status = "UPLOADED";
    outcome.target_size = upload.body.size();
    platform::log::debug("PUT uploaded {} ({} bytes) to the stage", outcome.file.target,
                         outcome.target_size);
  }

  bool needs_presigned_url() const {
    return put_.stage_info.location_type == "GCS" &&
           !put_.stage_info.creds.contains("GCS_ACCESS_TOKEN");
  }

  // New credentials (or a presigned address for `target`) from running the statement again.
  void renew(const std::string& target) {
    if (!context_.reissue) {
      throw SnowflakeError::connector_failure(
          "PUT needs fresh stage credentials but cannot ask for them");
    }
    const bool per_file = needs_presigned_url();
    PutInstructions fresh = parse_put_instructions(context_.reissue(per_file ? target : ""));
    put_.stage_info = std::move(fresh.stage_info);
    if (fresh.encryption_material) put_.encryption_material = std::move(fresh.encryption_material);
    storage_ = make_stage_storage(put_.stage_info, context_.storage);
    presigned_for_ = per_file ? target : "";
  }

  PutInstructions put_;
  const PutContext& context_;
  std::unique_ptr<StageStorage> storage_;
  std::string presigned_for_;
};

}  // namespace

QueryResult run_put(const nlohmann::json& data, const PutContext& context) {
  PutInstructions put = parse_put_instructions(data);
  std::vector<SourceFile> sources;
  for (const std::string& location : put.src_locations) {
    for (SourceFile& file : expand_sources(location)) sources.push_back(std::move(file));
  }
  Transfer transfer(std::move(put), context);
  std::vector<Outcome> outcomes;
  for (const SourceFile& source : sources) {
    try {
      outcomes.push_back(transfer.send(source));
    } catch (const SnowflakeError& error) {
      // Every failure names the local file.
      const std::string& message = error.message();
      throw error.with_message(message.find(source.path.string()) != std::string::npos
                                   ? message
                                   : "PUT of " + source.path.string() + " failed: " + message);
    }
  }
  const std::string query_id = data.value("queryId", "");
  return result_of(outcomes, query_id);
}

std::string statement_for_single_file(const std::string& statement,
                                      const std::string& file_location) {
  // PUT <file> <stage> ...: the file is the second word, or a single-quoted text.
  size_t start = 0;
  while (start < statement.size() && std::isspace(static_cast<unsigned char>(statement[start])))
    ++start;
  start += 3;  // "PUT"
  while (start < statement.size() && std::isspace(static_cast<unsigned char>(statement[start])))
    ++start;
  size_t end = start;
  if (end < statement.size() && statement[end] == '\'') {
    for (++end; end < statement.size() && statement[end] != '\''; ++end) {
      if (statement[end] == '\\') ++end;
    }
    ++end;
  } else {
    while (end < statement.size() && !std::isspace(static_cast<unsigned char>(statement[end])))
      ++end;
  }
  return statement.substr(0, start) + quoted_file_uri(file_location) +
         statement.substr(std::min(end, statement.size()));
}

}  // namespace platform::snowflake::file_transfer
