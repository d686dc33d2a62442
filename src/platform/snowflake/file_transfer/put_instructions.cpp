#include "platform/snowflake/file_transfer/put_instructions.hpp"

#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::file_transfer {
namespace {

[[noreturn]] void malformed(const std::string& what) {
  throw SnowflakeError::malformed_answer("The warehouse's PUT answer is malformed: " + what);
}

// A text field; null and absent read as empty, numbers as their decimal text.
std::string text(const nlohmann::json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return "";
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number_integer()) return it->dump();
  malformed(std::string("\"") + key + "\" is not text");
}

bool flag(const nlohmann::json& object, const char* key, bool fallback) {
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return fallback;
  if (it->is_boolean()) return it->get<bool>();
  malformed(std::string("\"") + key + "\" is not a boolean");
}

StageInfo stage_info_of(const nlohmann::json& stage) {
  if (!stage.is_object()) malformed("\"stageInfo\" is missing");
  StageInfo info{
      .location_type = text(stage, "locationType"),
      .location = text(stage, "location"),
      .region = text(stage, "region"),
      .end_point = text(stage, "endPoint"),
      .storage_account = text(stage, "storageAccount"),
      .presigned_url = text(stage, "presignedUrl"),
      .use_regional_url =
          flag(stage, "useRegionalUrl", false) || flag(stage, "useS3RegionalUrl", false),
      .use_virtual_url = flag(stage, "useVirtualUrl", false),
  };
  if (info.location_type.empty()) malformed("\"stageInfo\" names no \"locationType\"");
  if (const auto creds = stage.find("creds"); creds != stage.end() && creds->is_object()) {
    for (const auto& [name, value] : creds->items()) {
      if (value.is_string()) info.creds[name] = value.get<std::string>();
    }
  }
  return info;
}

}  // namespace

PutInstructions parse_put_instructions(const nlohmann::json& data) {
  if (!data.is_object()) malformed("no \"data\" object");
  const std::string command = text(data, "command");
  if (command != "UPLOAD") malformed("the command is \"" + command + "\", not \"UPLOAD\"");
  PutInstructions put;
  const auto sources = data.find("src_locations");
  if (sources == data.end() || !sources->is_array() || sources->empty()) {
    malformed("\"src_locations\" lists no file");
  }
  for (const auto& source : *sources) {
    if (!source.is_string()) malformed("\"src_locations\" holds something other than text");
    put.src_locations.push_back(source.get<std::string>());
  }
  put.auto_compress = flag(data, "autoCompress", true);
  if (std::string compression = text(data, "sourceCompression"); !compression.empty()) {
    put.source_compression = std::move(compression);
  }
  put.overwrite = flag(data, "overwrite", false);
  if (const auto parallel = data.find("parallel");
      parallel != data.end() && parallel->is_number()) {
    put.parallel = std::max(1, parallel->get<int>());
  }
  put.stage_info = stage_info_of(data.value("stageInfo", nlohmann::json()));
  if (const auto material = data.find("encryptionMaterial");
      material != data.end() && material->is_object()) {
    put.encryption_material = EncryptionMaterial{
        .query_stage_master_key = text(*material, "queryStageMasterKey"),
        .query_id = text(*material, "queryId"),
        .smk_id = text(*material, "smkId"),
    };
    if (put.encryption_material->query_stage_master_key.empty()) {
      malformed("\"encryptionMaterial\" holds no \"queryStageMasterKey\"");
    }
  }
  return put;
}

}  // namespace platform::snowflake::file_transfer
