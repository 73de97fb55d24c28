// The TLS material of a secure context: the trusted CA certificates and the
// optional client identity, loaded once from a PKCS#12 store and handed to
// every TLS connection the context opens.
#pragma once

#include <openssl/types.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace velm {

// Loaded trust store and client identity. Immutable once loaded, so any
// number of connections may read it at once; OpenSSL reference counts keep
// the objects alive while a connection still uses them.
struct SecureEnv {
  SecureEnv() = default;
  SecureEnv(const SecureEnv &) = delete;
  SecureEnv &operator=(const SecureEnv &) = delete;
  ~SecureEnv();

  X509_STORE *store = nullptr;        // the CAs of the store, and only those
  X509 *cert = nullptr;               // client certificate, or null
  EVP_PKEY *key = nullptr;            // its private key, or null
  STACK_OF(X509) *chain = nullptr;    // the store's other certificates, sent along with cert
  int caCount = 0;                    // certificates in store
  char handleText[2 + 2 * sizeof(void *) + 1] = {};  // "0x" and every hex digit of the address
};

// Which loading step failed.
enum class TlsStep {
  Read,  // a file cannot be read
  Use,   // the store cannot be opened with the password, or holds no CA
};

struct TlsError {
  TlsStep step;
  std::string reason;  // readable, never holds the password
};

// Reads the PKCS#12 store at keyFile with the password on the first line
// of stashFile (line end not included), checks it and returns the loaded
// material; null with error filled in otherwise. The password is wiped from
// memory before returning.
std::unique_ptr<SecureEnv> loadSecureEnv(const char *keyFile, const char *stashFile, TlsError &error);

// Sets up one TLS connection: only env's CAs are trusted, TLS 1.2 at least,
// the client certificate is presented when env has one. True on success.
bool configureSslCtx(const SecureEnv &env, SSL_CTX *ctx);

// The text form of an environment's address, and back. The text carries all
// bits of the pointer, so it round-trips on 64-bit builds.
void formatSecureEnvHandle(const SecureEnv *env, char *buf, std::size_t size);
const SecureEnv *parseSecureEnvHandle(const char *text);

}  // namespace velm
