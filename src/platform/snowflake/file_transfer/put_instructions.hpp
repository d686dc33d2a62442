// What the warehouse answers to a PUT statement: which local files to send, how to prepare
// them, and where the stage keeps them. The warehouse moves no data itself; the client uploads.
//
//   PutInstructions put = parse_put_instructions(envelope["data"]);
//   for (const std::string& source : put.src_locations) ...   // "/tmp/data*.csv"
//   if (put.stage_info.location_type == "S3") ... put.stage_info.creds.at("AWS_KEY_ID") ...
//
// Throws platform::snowflake::SnowflakeError when the answer is not an upload instruction
// (a download, or a field of the wrong kind), so a damaged answer never turns into a silent
// partial transfer.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace platform::snowflake::file_transfer {

struct StageInfo {
  std::string location_type;  // "LOCAL_FS", "S3", "AZURE" or "GCS"
  // "<bucket or container>/<key prefix>" for object stores; a local directory for LOCAL_FS.
  std::string location;
  std::string region;
  std::string end_point;        // a custom host (or base URL) of the store; empty = the default
  std::string storage_account;  // Azure
  std::string presigned_url;    // GCS without an access token
  bool use_regional_url = false;
  bool use_virtual_url = false;
  std::map<std::string, std::string> creds;  // AWS_KEY_ID, AZURE_SAS_TOKEN, GCS_ACCESS_TOKEN, ...
};

struct EncryptionMaterial {
  std::string query_stage_master_key;  // base64 of a 16, 24 or 32 byte AES key
  std::string query_id;
  std::string smk_id;  // kept as text: the number may exceed 2^53
};

struct PutInstructions {
  std::vector<std::string> src_locations;
  bool auto_compress = true;
  std::string source_compression = "auto_detect";
  bool overwrite = false;
  int parallel = 1;
  StageInfo stage_info;
  std::optional<EncryptionMaterial> encryption_material;
};

PutInstructions parse_put_instructions(const nlohmann::json& data);

}  // namespace platform::snowflake::file_transfer
