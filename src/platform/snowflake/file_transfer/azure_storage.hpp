// The Azure stage: Put Blob and Get Blob Properties authorised by the SAS token of the PUT
// answer (AZURE_SAS_TOKEN, a "?sv=..." query).
//
// Address: "https://<storageAccount>.blob.core.windows.net" (or "blob." + `endPoint`); an
// `endPoint` that is a base URL is used as it is, and one that is an IP address is addressed
// path-style as the storage emulator is ("https://<ip>/<storageAccount>"). Blobs are
// "<container>/<path><file>". Metadata: x-ms-meta-sfcdigest, and for encrypted stages
// x-ms-meta-matdesc and x-ms-meta-encryptiondata. A 403 "AuthenticationFailed" means the SAS
// token has expired (or was refused).
#pragma once

#include <memory>

#include "platform/snowflake/file_transfer/stage_storage.hpp"

namespace platform::snowflake::file_transfer {

// The blob's address without the SAS token.
std::string azure_blob_url(const StageInfo& stage, const std::string& target);

std::unique_ptr<StageStorage> make_azure_storage(const StageInfo& stage,
                                                 const StorageOptions& options);

}  // namespace platform::snowflake::file_transfer
