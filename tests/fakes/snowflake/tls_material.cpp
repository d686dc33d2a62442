#include "tests/fakes/snowflake/tls_material.hpp"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace fakes::warehouse {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("cannot create the test TLS material: ") + what);
}

Key new_key() {
  Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
  check(key != nullptr, "key generation failed");
  return key;
}

void add_extension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  check(extension != nullptr, "bad certificate extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for `key` named `common_name`, signed by `issuer_key`; `issuer` null = self.
Certificate new_certificate(EVP_PKEY* key, const char* common_name, X509* issuer,
                            EVP_PKEY* issuer_key) {
  Certificate certificate(X509_new(), &X509_free);
  check(certificate != nullptr, "out of memory");
  X509* self = certificate.get();
  X509_set_version(self, 2);
  unsigned char serial[16];
  check(RAND_bytes(serial, sizeof serial) == 1, "no randomness");
  serial[0] &= 0x7f;
  BIGNUM* serial_number = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(serial_number, X509_get_serialNumber(self));
  BN_free(serial_number);
  X509_gmtime_adj(X509_getm_notBefore(self), -3600);
  X509_gmtime_adj(X509_getm_notAfter(self), 30L * 24 * 3600);
  X509_set_pubkey(self, key);
  X509_NAME* name = X509_get_subject_name(self);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("fake warehouse"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  X509* signer = issuer ? issuer : self;
  X509_set_issuer_name(self, X509_get_subject_name(signer));
  add_extension(self, signer, NID_subject_key_identifier, "hash");
  if (issuer == nullptr) {
    add_extension(self, signer, NID_basic_constraints, "critical,CA:TRUE");
    add_extension(self, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    add_extension(self, signer, NID_authority_key_identifier, "keyid");
    add_extension(self, signer, NID_basic_constraints, "critical,CA:FALSE");
    add_extension(self, signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    add_extension(self, signer, NID_ext_key_usage, "serverAuth");
    add_extension(self, signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
  }
  check(X509_sign(self, issuer_key, EVP_sha256()) > 0, "signing failed");
  return certificate;
}

template <typename Write>
void write_pem(const std::filesystem::path& path, Write write) {
  std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "w"), &std::fclose);
  check(file != nullptr, "cannot open a file for writing");
  check(write(file.get()) == 1, "cannot write a PEM file");
}

}  // namespace

TlsFiles write_tls_material(const std::filesystem::path& directory) {
  std::filesystem::create_directories(directory);
  const Key ca_key = new_key();
  const Certificate ca =
      new_certificate(ca_key.get(), "fake warehouse test CA", nullptr, ca_key.get());
  const Key server_key = new_key();
  const Certificate server = new_certificate(server_key.get(), "127.0.0.1", ca.get(), ca_key.get());

  TlsFiles files{(directory / "ca.pem").string(), (directory / "server.pem").string(),
                 (directory / "server.key").string()};
  write_pem(files.ca_file, [&](FILE* file) { return PEM_write_X509(file, ca.get()); });
  write_pem(files.cert_file, [&](FILE* file) { return PEM_write_X509(file, server.get()); });
  write_pem(files.key_file, [&](FILE* file) {
    return PEM_write_PrivateKey(file, server_key.get(), nullptr, nullptr, 0, nullptr, nullptr);
  });
  return files;
}

}  // namespace fakes::warehouse
