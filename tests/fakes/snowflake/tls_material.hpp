// A certificate authority and a server certificate for 127.0.0.1 and localhost, made fresh with
// OpenSSL (P-256 keys, SHA-256, valid from an hour ago for 30 days), so tests can speak HTTPS
// to a local fake with a client that trusts only that CA.
//
//   fakes::warehouse::TlsFiles files = fakes::warehouse::write_tls_material("/tmp/x");
//   // files.ca_file == "/tmp/x/ca.pem": give it to the client (SSL_CERT_FILE, NODE_EXTRA_CA_CERTS)
//
// Throws std::runtime_error when OpenSSL fails or a file cannot be written.
#pragma once

#include <filesystem>
#include <string>

namespace fakes::warehouse {

struct TlsFiles {
  std::string ca_file;    // ca.pem: the CA certificate
  std::string cert_file;  // server.pem: the server certificate
  std::string key_file;   // server.key: the server's private key (PKCS#8 PEM)
};

// Creates `directory` if needed and writes ca.pem, server.pem and server.key into it (the CA's
// own key is never written: nothing else can be signed with it).
TlsFiles write_tls_material(const std::filesystem::path& directory);

}  // namespace fakes::warehouse
