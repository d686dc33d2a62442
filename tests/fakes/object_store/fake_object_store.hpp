// A fake object store on 127.0.0.1 over HTTPS that checks the credentials of each request the
// way its real counterpart does and keeps what is uploaded, for stage upload tests.
//
//   fakes::FakeObjectStore store({.cert_file = tls.cert_file, .key_file = tls.key_file});
//   store.accept_s3_key("AKID", "secret", "session-token");
//   ... PUT with endPoint store.host() ...
//   const fakes::StoredObject& object = store.objects().at("bucket/stages/s/a.csv.gz");
//   object.metadata.at("sfc-digest");
//
// Served:
//   S3   PUT/HEAD /<bucket>/<key>       AWS Signature Version 4 (header form), checked by
//                                       recomputing it; x-amz-content-sha256 must match the body
//   Azure PUT/HEAD /<account>/<container>/<blob>?<SAS>   the SAS query must be an accepted one;
//                                       PUT needs x-ms-blob-type: BlockBlob
//   GCS  PUT/HEAD /<bucket>/<object>    Authorization: Bearer <accepted token>
//        PUT /presigned/<bucket>/<object>?sig=<accepted signature>
// Refusals as the real stores give them: an expired S3 key answers 400 ExpiredToken, an expired
// SAS 403 AuthenticationFailed, an expired GCS token 401; unknown or wrong credentials 403.
// Objects are keyed "<bucket or container>/<key>"; metadata is keyed by name without its
// prefix (x-amz-meta-, x-ms-meta-, x-goog-meta-), in lower case.
//
// Thread-safety: every member may be called from any thread while the server runs.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fakes {

struct FakeObjectStoreOptions {
  std::string cert_file, key_file;  // the server certificate for 127.0.0.1 and its key
};

struct StoredObject {
  std::string bytes;
  std::map<std::string, std::string> metadata;
  std::string content_encoding;  // as sent; absent and empty both read as ""
};

class FakeObjectStore {
 public:
  explicit FakeObjectStore(FakeObjectStoreOptions options);
  ~FakeObjectStore();
  FakeObjectStore(const FakeObjectStore&) = delete;
  FakeObjectStore& operator=(const FakeObjectStore&) = delete;

  int port() const;
  std::string host() const;  // "127.0.0.1:<port>"

  void accept_s3_key(const std::string& key_id, const std::string& secret,
                     const std::string& session_token);
  void accept_sas(const std::string& sas_query);  // without the leading "?"
  void accept_bearer(const std::string& token);
  void accept_presigned_signature(const std::string& signature);
  // The credential (S3 key id, SAS query, bearer token or presigned signature) counts as
  // expired once `after_uploads` more uploads have been stored.
  void expire(const std::string& credential, int after_uploads = 0);
  // The next `times` requests answer `status` before being looked at.
  void fail_next(int status, int times = 1);

  std::map<std::string, StoredObject> objects() const;
  int uploads() const;                        // objects stored, replacements included
  std::vector<std::string> refusals() const;  // "<method> <path>: <why>", in order

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace fakes
