// The LOCAL_FS stage: a directory on this machine. Files are copied as prepared (compressed,
// never encrypted); the digest of a file already there is computed from its bytes.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/snowflake/file_transfer/stage_storage.hpp"

namespace platform::snowflake::file_transfer {

std::unique_ptr<StageStorage> make_local_storage(const StageInfo& stage);

}  // namespace platform::snowflake::file_transfer
