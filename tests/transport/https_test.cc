// HTTPS: the PKCS#12 store and its password file, checked at context
// creation, and what each request trusts and presents.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "cbe/transport.h"
#include "support/sink.h"
#include "transport/transport_support.h"

namespace {

using namespace transport_test;
using velm::test::Sink;
using velm::test::SinkOptions;
using velm::test::testCerts;

constexpr const char *kMessage19 =
    "DXACC0019E An error occurred during secure communication with the audit server. The function ";

std::string scratchFile(const std::string &name, const std::string &content) {
  const std::string path = testCerts().dir() + "/" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

TEST(HttpsStore, CreationChecksTheStoreAndItsPassword) {
  const auto &certs = testCerts();
  const std::string wrongPassword = scratchFile("wrong-password.txt", "not-the-password\n");
  const std::string crlfPassword = scratchFile("crlf-password.txt", certs.password() + "\r\nsecond line\n");
  const std::string unreadable = scratchFile("unreadable.p12", "x");
  chmod(unreadable.c_str(), 0);
  const bool root = geteuid() == 0;
  struct Case {
    const char *label;
    std::string keyFile, stashFile;
    const char *step;  // null: creation succeeds
  } cases[] = {
      {"good store with client identity", certs.store(), certs.passwordFile(), nullptr},
      {"good store, CA only", certs.caOnlyStore(), certs.passwordFile(), nullptr},
      {"password line ends in CR LF", certs.store(), crlfPassword, nullptr},
      {"key file missing", certs.dir() + "/missing.p12", certs.passwordFile(), "zvk_attribute_set_buffer"},
      {"password file missing", certs.store(), certs.dir() + "/missing.txt", "zvk_attribute_set_buffer"},
      {"key file unreadable", unreadable, certs.passwordFile(), root ? "zvk_environment_init" : "zvk_attribute_set_buffer"},
      {"wrong password", certs.store(), wrongPassword, "zvk_environment_init"},
      {"not a PKCS#12 store", certs.ca(), certs.passwordFile(), "zvk_environment_init"},
  };
  for (const Case &tc : cases) {
    SCOPED_TRACE(tc.label);
    Context c("https://127.0.0.1:1/audit",
              {str("keyFilePath", tc.keyFile), str("stashFilePath", tc.stashFile), num("traceLevel", 9)});
    if (tc.step == nullptr) {
      EXPECT_NE(c.get(), nullptr) << c.created.all();
      EXPECT_EQ(c.created.count(), 0) << c.created.all();
    } else {
      EXPECT_EQ(c.get(), nullptr);
      EXPECT_EQ(c.created.countOf(19), 1) << c.created.all();
      EXPECT_EQ(c.created.text(19).rfind(std::string(kMessage19) + tc.step + " failed", 0), 0u)
          << c.created.all();
      EXPECT_NE(c.errorLog().find(std::string(kMessage19) + tc.step), std::string::npos);
    }
    c.close();
    // Neither the store's password nor a wrong one is ever written.
    const std::string logs = c.errorLog() + c.traceLog();
    EXPECT_EQ(logs.find(certs.password()), std::string::npos);
    EXPECT_EQ(logs.find("not-the-password"), std::string::npos);
  }
}

TEST(HttpsStore, StoreWithoutAnyCaCertificateIsRefused) {
  const auto &certs = testCerts();
  // The client identity alone: nothing to trust the server with.
  const std::string p12 = certs.dir() + "/client-only.p12";
  const std::string cmd = "OPENSSL_CONF=/dev/null openssl pkcs12 -export -passout file:" + certs.passwordFile() +
                          " -certpbe AES-256-CBC -keypbe AES-256-CBC -macalg sha256 -in " + certs.clientCert() +
                          " -inkey " + certs.clientKey() + " -out " + p12 + " 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  Context c("https://127.0.0.1:1/audit", {str("keyFilePath", p12), str("stashFilePath", certs.passwordFile())});
  EXPECT_EQ(c.get(), nullptr);
  EXPECT_NE(c.created.text(19).find("zvk_environment_init failed with the following error: "), std::string::npos)
      << c.created.all();
  EXPECT_NE(c.created.text(19).find("holds no CA certificate"), std::string::npos) << c.created.all();
}

TEST(HttpsDelivery, WhatTheServerMustShowAndWhatTheClientPresents) {
  const auto &certs = testCerts();
  struct Case {
    const char *label;
    SinkOptions sink;
    std::string store;
    bool delivered;
    const char *reason;  // in message 20 when refused
  } cases[] = {
      {"good store", SinkOptions().withHttps(), certs.store(), true, ""},
      {"store of another CA", SinkOptions().withHttps(), certs.wrongCaStore(), false, "certificate"},
      {"certificate for another host name", SinkOptions().withOtherHostCert(), certs.store(), false,
       "host name"},
      {"client certificate required and present", SinkOptions().withClientCertRequired(), certs.store(), true, ""},
      // Under TLS 1.3 the server's refusal may reach the client as an alert
      // or as a reset connection, depending on timing: only the refusal counts.
      {"client certificate required, store has none", SinkOptions().withClientCertRequired(), certs.caOnlyStore(),
       false, ""},
  };
  for (const Case &tc : cases) {
    SCOPED_TRACE(tc.label);
    Sink sink(tc.sink);
    Context c(sink.url(), {str("keyFilePath", tc.store), str("stashFilePath", certs.passwordFile()),
                               num("numberRetries", 0), num("retryInterval", 1)});
    ASSERT_NE(c.get(), nullptr) << c.created.all();
    Result check;
    EXPECT_EQ(velm::checkService(c.get(), &check), tc.delivered ? 0 : -1) << check.all();
    EXPECT_EQ(check.countOf(20), tc.delivered ? 0 : 1) << check.all();
    EXPECT_NE(check.text(20).find(tc.reason), std::string::npos) << check.all();
    if (!tc.delivered) continue;
    const std::vector<std::string> list = ids("tls", 3);
    Batch b = batchOfIds(list);
    Result r;
    for (int i = 0; i < 2; ++i) EXPECT_EQ(velm::sendEvent(c.get(), b.get(), 0, &r), 0) << r.all();
    std::vector<std::string> twice = list;
    twice.insert(twice.end(), list.begin(), list.end());
    EXPECT_EQ(sink.eventIds(), twice);
  }
}

// The system's CAs are not trusted: only the store's. A server certificate
// from the store's own CA is accepted, so a refusal here can only come from
// the trust list.
TEST(HttpsDelivery, RefusedServerIsReportedWithTheTlsReason) {
  const auto &certs = testCerts();
  Sink sink(SinkOptions().withHttps());
  Context c(sink.url(), {str("keyFilePath", certs.wrongCaStore()), str("stashFilePath", certs.passwordFile())});
  ASSERT_NE(c.get(), nullptr) << c.created.all();
  Result r;
  EXPECT_EQ(velm::checkService(c.get(), &r), -1);
  EXPECT_NE(r.text(20).find("certificate"), std::string::npos) << r.all();
  EXPECT_EQ(sink.stats().requests, 0);
}

}  // namespace
