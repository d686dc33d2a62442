// Carries out a PUT after the warehouse answered it: every local file the answer names is
// prepared (compressed, digested), encrypted when the stage asks, and uploaded to the stage's
// location, one after the other.
//
//   QueryResult result = run_put(envelope["data"], {.reissue = rerun_the_statement});
//   // columns: source, target, sourceSize, targetSize, sourceCompression, targetCompression,
//   //          status ("UPLOADED" or "SKIPPED"), message
//
// With OVERWRITE off, a file the stage already holds with the same digest is SKIPPED; one it
// holds with other content is an error rather than a silent skip, since the caller would
// otherwise believe the new content arrived. Credentials that expire during the transfer are
// renewed by running the statement again (`reissue`); GCS stages without an access token get a
// presigned address per file the same way.
//
// Throws platform::snowflake::SnowflakeError naming the local file for the first file that fails
// (no file, unreadable, refused by the store, retries used up): a PUT is never reported done
// when a file did not arrive. Files before it stay uploaded; files after it are not tried.
#pragma once

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/snowflake/file_transfer/stage_storage.hpp"
#include "platform/snowflake/query_result.hpp"

namespace platform::snowflake::file_transfer {

struct PutContext {
  // Runs the PUT statement again and returns its answer's "data"; with a file name, for that
  // one target file only (how a GCS stage presigns an address per file).
  std::function<nlohmann::json(const std::string& single_target)> reissue;
  StorageOptions storage;
};

QueryResult run_put(const nlohmann::json& data, const PutContext& context);

// The statement with its file location replaced by `file_location` (quoted), for a PUT that
// names one file.
std::string statement_for_single_file(const std::string& statement,
                                      const std::string& file_location);

}  // namespace platform::snowflake::file_transfer
