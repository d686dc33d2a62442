// The GCS stage: objects written with the downscoped access token of the PUT answer
// (GCS_ACCESS_TOKEN, sent as "Authorization: Bearer"), or, without a token, to the presigned
// address the warehouse gives for each file when the statement is run again for it.
//
// Address: "https://storage.googleapis.com/<bucket>/<path><file>", or `endPoint` (a host or a
// base URL) in its place, "https://<bucket>.storage.googleapis.com/<path><file>" with
// useVirtualUrl, "https://storage.<region>.rep.googleapis.com/..." with useRegionalUrl.
// Metadata: x-goog-meta-sfc-digest, and for encrypted stages x-goog-meta-matdesc and
// x-goog-meta-encryptiondata; an empty Content-Encoding keeps the store from recoding
// compressed files. 401 means the token has expired; with a presigned address 400, 401 and 403
// mean it has. A presigned address cannot look a file up, so OVERWRITE = FALSE cannot skip
// there: the file is written.
#pragma once

#include <memory>

#include "platform/snowflake/file_transfer/stage_storage.hpp"

namespace platform::snowflake::file_transfer {

// The object's address for uploads with an access token.
std::string gcs_object_url(const StageInfo& stage, const std::string& target);

std::unique_ptr<StageStorage> make_gcs_storage(const StageInfo& stage,
                                               const StorageOptions& options);

}  // namespace platform::snowflake::file_transfer
