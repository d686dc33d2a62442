// The S3 stage: PutObject and HeadObject signed with AWS Signature Version 4 and the temporary
// credentials of the PUT answer (AWS_KEY_ID, AWS_SECRET_KEY, AWS_TOKEN).
//
// Address: the bucket as a sub-domain of "s3.<region>.amazonaws.com" (".com.cn" in China
// regions), or of `endPoint` when the answer names one; a bucket cannot be a sub-domain of an
// IP address, so an endPoint that is one is addressed path-style ("https://<ip>/<bucket>/...").
// Metadata: x-amz-meta-sfc-digest, and for encrypted stages x-amz-meta-x-amz-key,
// x-amz-meta-x-amz-iv and x-amz-meta-x-amz-matdesc. "ExpiredToken" (and a HEAD answered 400,
// which carries no body to say why) means the credentials have expired.
#pragma once

#include <memory>

#include "platform/snowflake/file_transfer/stage_storage.hpp"

namespace platform::snowflake::file_transfer {

// Where a stage file lives: the request's host and its URI-encoded path.
struct S3Address {
  std::string host;  // "bucket.s3.us-west-2.amazonaws.com", or "<ip>:<port>" path-style
  std::string path;  // "/prefix/a.csv.gz", or "/bucket/prefix/a.csv.gz" path-style
};
S3Address s3_address(const StageInfo& stage, const std::string& target);

std::unique_ptr<StageStorage> make_s3_storage(const StageInfo& stage,
                                              const StorageOptions& options);

}  // namespace platform::snowflake::file_transfer
