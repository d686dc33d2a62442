// What the object-store clients share: sending through platform::http with the transfer's
// retries, reading a store's error code, and building their addresses.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/http/http_client.hpp"
#include "platform/snowflake/file_transfer/stage_storage.hpp"

namespace platform::snowflake::file_transfer {

// Sends, retrying connection failures, 408, 429 and 5xx up to `options.max_retries` times.
// Throws SnowflakeError naming `what` when the store cannot be reached at all.
http::Response send_to_store(http::Request request, const StorageOptions& options,
                             const std::string& what);

// The store's error code: an XML <Code>, a JSON "error"/"code", or the x-ms-error-code header.
std::string store_error_code(const http::Response& response);

[[noreturn]] void store_refused(const std::string& what, const http::Response& response);

// "<bucket>" and "<prefix/>" of a stage location "bucket/prefix/"; the prefix ends with "/"
// unless empty.
std::pair<std::string, std::string> split_location(std::string_view location);

// Whether the host (with or without ":port") is an IP address, which cannot carry a bucket or
// account name as a sub-domain.
bool is_ip_host(std::string_view host);

// The "encryptiondata" metadata Azure- and GCS-style stages keep beside an encrypted file: the
// wrapped key and IV in the stores' full-blob envelope, `content_algorithm` naming the cipher.
std::string full_blob_encryption_data(const EncryptionEnvelope& envelope,
                                      std::string_view content_algorithm);

// `base` (with a scheme already, or given "https://") without a trailing "/".
std::string https_base(std::string_view base);

}  // namespace platform::snowflake::file_transfer
