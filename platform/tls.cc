// PKCS#12 loading and per-connection TLS set-up with OpenSSL.
#include "platform/tls.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace velm {

namespace {

struct FileCloser {
  void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct Pkcs12Deleter {
  void operator()(PKCS12 *p) const { PKCS12_free(p); }
};

struct CertStackDeleter {
  void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};

// Bytes that are wiped when they go away (the password).
class SecretText {
 public:
  SecretText() = default;
  SecretText(const SecretText &) = delete;
  SecretText &operator=(const SecretText &) = delete;
  ~SecretText() {
    if (!text_.empty()) OPENSSL_cleanse(text_.data(), text_.size());
  }
  std::string &text() { return text_; }

 private:
  std::string text_;
};

bool readFile(const char *path, std::vector<unsigned char> &out, std::string &reason) {
  File f(std::fopen(path, "rb"));
  if (!f) {
    reason = std::string("cannot open ") + path + ": " + std::strerror(errno);
    return false;
  }
  unsigned char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) out.insert(out.end(), buf, buf + n);
  if (std::ferror(f.get())) {
    reason = std::string("cannot read ") + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// The first line of the password file, without its line end.
bool readPassword(const char *path, SecretText &password, std::string &reason) {
  std::vector<unsigned char> bytes;
  if (!readFile(path, bytes, reason)) return false;
  std::string &p = password.text();
  for (unsigned char c : bytes) {
    if (c == '\n') break;
    p.push_back(static_cast<char>(c));
  }
  if (!p.empty() && p.back() == '\r') p.pop_back();
  OPENSSL_cleanse(bytes.data(), bytes.size());
  return true;
}

std::string opensslReason(const char *what) {
  std::string text = what;
  const unsigned long e = ERR_peek_last_error();
  if (e != 0) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    text += " (";
    text += buf;
    text += ")";
  }
  ERR_clear_error();
  return text;
}

}  // namespace

SecureEnv::~SecureEnv() {
  X509_STORE_free(store);
  X509_free(cert);
  EVP_PKEY_free(key);
  if (chain != nullptr) sk_X509_pop_free(chain, X509_free);
}

std::unique_ptr<SecureEnv> loadSecureEnv(const char *keyFile, const char *stashFile, TlsError &error) {
  error = TlsError{TlsStep::Read, {}};
  if (keyFile == nullptr || stashFile == nullptr) {
    error.reason = "no key file or password file given";
    return nullptr;
  }
  std::vector<unsigned char> der;
  if (!readFile(keyFile, der, error.reason)) return nullptr;
  SecretText password;
  if (!readPassword(stashFile, password, error.reason)) return nullptr;

  error.step = TlsStep::Use;
  ERR_clear_error();
  const unsigned char *p = der.data();
  std::unique_ptr<PKCS12, Pkcs12Deleter> p12(d2i_PKCS12(nullptr, &p, static_cast<long>(der.size())));
  if (!p12) {
    error.reason = opensslReason((std::string(keyFile) + " is not a PKCS#12 store").c_str());
    return nullptr;
  }
  const std::string &pass = password.text();
  if (PKCS12_mac_present(p12.get()) &&
      !PKCS12_verify_mac(p12.get(), pass.c_str(), static_cast<int>(pass.size()))) {
    ERR_clear_error();
    error.reason = std::string("the password does not open ") + keyFile;
    return nullptr;
  }
  auto env = std::make_unique<SecureEnv>();
  STACK_OF(X509) *others = nullptr;
  if (!PKCS12_parse(p12.get(), pass.c_str(), &env->key, &env->cert, &others)) {
    error.reason = opensslReason((std::string("cannot open ") + keyFile).c_str());
    return nullptr;
  }
  std::unique_ptr<STACK_OF(X509), CertStackDeleter> extra(others);
  if (env->cert != nullptr && env->key != nullptr && X509_check_private_key(env->cert, env->key) != 1) {
    error.reason = opensslReason("the client certificate does not match its key");
    return nullptr;
  }
  // Only the certificates that are not the client's own are trust anchors.
  env->store = X509_STORE_new();
  if (env->store == nullptr) {
    error.reason = "out of memory";
    return nullptr;
  }
  const int n = extra ? sk_X509_num(extra.get()) : 0;
  for (int i = 0; i < n; ++i) {
    X509 *ca = sk_X509_value(extra.get(), i);
    if (X509_STORE_add_cert(env->store, ca) == 1) ++env->caCount;
  }
  ERR_clear_error();
  if (env->caCount == 0) {
    error.reason = std::string(keyFile) + " holds no CA certificate to trust";
    return nullptr;
  }
  env->chain = extra.release();
  formatSecureEnvHandle(env.get(), env->handleText, sizeof env->handleText);
  return env;
}

bool configureSslCtx(const SecureEnv &env, SSL_CTX *ctx) {
  if (ctx == nullptr || env.store == nullptr) return false;
  if (SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) != 1) return false;
  // The context takes its own reference; the system's CAs are dropped with
  // the store it replaces.
  if (X509_STORE_up_ref(env.store) != 1) return false;
  SSL_CTX_set_cert_store(ctx, env.store);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  if (env.cert != nullptr && env.key != nullptr) {
    if (SSL_CTX_use_certificate(ctx, env.cert) != 1 || SSL_CTX_use_PrivateKey(ctx, env.key) != 1) return false;
    const int n = env.chain ? sk_X509_num(env.chain) : 0;
    for (int i = 0; i < n; ++i) SSL_CTX_add1_chain_cert(ctx, sk_X509_value(env.chain, i));
  }
  ERR_clear_error();
  return true;
}

void formatSecureEnvHandle(const SecureEnv *env, char *buf, std::size_t size) {
  std::snprintf(buf, size, "0x%0*" PRIxPTR, static_cast<int>(2 * sizeof(void *)), reinterpret_cast<uintptr_t>(env));
}

const SecureEnv *parseSecureEnvHandle(const char *text) {
  if (text == nullptr) return nullptr;
  char *end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 16);
  if (errno != 0 || end == text || *end != '\0') return nullptr;
  return reinterpret_cast<const SecureEnv *>(static_cast<uintptr_t>(v));
}

}  // namespace velm
