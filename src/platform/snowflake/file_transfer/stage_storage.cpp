#include "platform/snowflake/file_transfer/stage_storage.hpp"

#include "platform/errors/errors.hpp"
#include "platform/snowflake/file_transfer/azure_storage.hpp"
#include "platform/snowflake/file_transfer/gcs_storage.hpp"
#include "platform/snowflake/file_transfer/local_storage.hpp"
#include "platform/snowflake/file_transfer/s3_storage.hpp"

namespace platform::snowflake::file_transfer {

std::unique_ptr<StageStorage> make_stage_storage(const StageInfo& stage,
                                                 const StorageOptions& options) {
  if (stage.location_type == "LOCAL_FS") return make_local_storage(stage);
  if (stage.location_type == "S3") return make_s3_storage(stage, options);
  if (stage.location_type == "AZURE") return make_azure_storage(stage, options);
  if (stage.location_type == "GCS") return make_gcs_storage(stage, options);
  throw NotImplementedError("PUT to a stage of location type " + stage.location_type +
                            " is not supported by this connector; no file was transferred");
}

}  // namespace platform::snowflake::file_transfer
