// The binding without a socket: the request it writes and how it reads
// every kind of reply.
#include "cbe/emitter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cbe/element.h"
#include "platform/tls.h"
#include "transport/transport_support.h"

namespace {

using namespace transport_test;
using velm::EmitterOutcome;

class XmlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(velm::initializeXMLParser(), 0); }
  void TearDown() override { velm::terminateXMLParser(); }
};
const auto *const kXml = ::testing::AddGlobalTestEnvironment(new XmlEnvironment);

TEST(EmitterRequest, OneEventElementPerEntryHoldingItsTextUnchanged) {
  // Texts with characters that escaping would change must arrive as they are.
  const std::vector<std::string> texts = {eventText("a&amp;b"), "<CommonBaseEvent x=\"&lt;\"/>",
                                          "<CommonBaseEvent>\xC3\xA9t\xC3\xA9</CommonBaseEvent>"};
  Batch b = batchOf(texts);
  const std::string body = velm::buildSendEventRequest(b.get());
  EXPECT_EQ(body,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\""
            " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
            "<soapenv:Body><ns1:sendEvent xmlns:ns1=\"urn:kto:velm:10\">"
            "<event>" + texts[0] + "</event><event>" + texts[1] + "</event><event>" + texts[2] + "</event>"
            "</ns1:sendEvent></soapenv:Body></soapenv:Envelope>");
}

TEST(EmitterRequest, MissingEntryKeepsItsPlaceAsNilEvent) {
  Batch b = batchOf({eventText("1"), eventText("2"), eventText("3")});
  velm::freeCommonBaseEvent(b->entries[1]);
  b->entries[1] = nullptr;
  const std::string body = velm::buildSendEventRequest(b.get());
  EXPECT_NE(body.find("<event>" + eventText("1") + "</event><event xsi:nil=\"true\"></event><event>" +
                      eventText("3") + "</event>"),
            std::string::npos)
      << body;
}

TEST(EmitterReply, EveryKindOfReplyMapsToOneCase) {
  const std::string fullFault =
      "<soapenv:Fault xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"><faultcode>soapenv:Server"
      "</faultcode><faultstring>SECJ0053E: no role</faultstring></soapenv:Fault>";
  struct Case {
    const char *label;
    long status;
    std::string body;
    EmitterOutcome::Kind kind;
    std::string code, text, detail, error;
  } cases[] = {
      {"success", 200, success(), EmitterOutcome::Sent, "", "", "", ""},
      {"success with blanks around", 200, "\n  " + success() + "\n", EmitterOutcome::Sent, "", "", "", ""},
      {"2xx with an empty body is taken as sent", 202, "", EmitterOutcome::Sent, "", "", "", ""},
      {"2xx with blanks only is taken as sent", 200, " \r\n", EmitterOutcome::Sent, "", "", "", ""},
      {"client fault on 500", 500, fault("soapenv:client", "Event 3 is invalid", "<failedevent>3</failedevent>"),
       EmitterOutcome::Fault, "soapenv:client", "Event 3 is invalid", "<failedevent>3</failedevent>", ""},
      {"fault on 200 is still a fault", 200, fault("soapenv:Server", "busy", "try later"), EmitterOutcome::Fault,
       "soapenv:Server", "busy", "try later", ""},
      {"fault fields trimmed", 500, fault(" soapenv:client\n", "\n text ", ""), EmitterOutcome::Fault,
       "soapenv:client", "text", "", ""},
      {"empty detail gives the whole fault", 500, envelope(fullFault.substr(0, fullFault.size() - 16) +
                                                            "<detail/></soapenv:Fault>"),
       EmitterOutcome::Fault, "soapenv:Server", "SECJ0053E: no role", "", ""},
      {"HTTP error without SOAP", 503, "service unavailable\n", EmitterOutcome::Other, "", "", "", "HTTP 503"},
      {"HTTP error with an empty body", 500, "", EmitterOutcome::Other, "", "", "", "HTTP 500"},
      {"success element on an error status is not a success", 500, success(), EmitterOutcome::Other, "", "", "",
       "HTTP 500"},
      {"redirect", 302, "", EmitterOutcome::Other, "", "", "", "HTTP 302"},
      {"malformed reply", 200, "<soapenv:Envelope", EmitterOutcome::Other, "", "", "", "malformed reply: "},
      {"response in another namespace", 200, envelope("<sendEventResponse xmlns=\"urn:other\"/>"),
       EmitterOutcome::Other, "", "", "", "unexpected reply element {urn:other}sendEventResponse"},
      {"not an envelope", 200, "<sendEventResponse xmlns=\"urn:kto:velm:10\"/>", EmitterOutcome::Other, "", "", "",
       "unexpected reply: no SOAP Body"},
      {"empty body element", 200, envelope(""), EmitterOutcome::Other, "", "", "", "unexpected reply: empty SOAP Body"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    const EmitterOutcome out = velm::parseSendEventReply(nullptr, c.status, c.body);
    EXPECT_EQ(out.kind, c.kind) << out.error;
    EXPECT_EQ(out.faultCode, c.code);
    EXPECT_EQ(out.faultString, c.text);
    if (std::string(c.label) == "empty detail gives the whole fault" ||
        std::string(c.label) == "fault fields trimmed") {
      EXPECT_NE(out.faultDetail.find("<faultstring>"), std::string::npos) << out.faultDetail;
      EXPECT_NE(out.faultDetail.find("Fault"), std::string::npos) << out.faultDetail;
    } else {
      EXPECT_EQ(out.faultDetail, c.detail);
    }
    EXPECT_EQ(out.error.substr(0, c.error.size()), c.error);
  }
}

TEST(EmitterReply, ExternalEntitiesInAReplyAreNotRead) {
  const std::string body =
      "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>" +
      fault("soapenv:Server", "&e;", "");
  const EmitterOutcome out = velm::parseSendEventReply(nullptr, 500, body);
  EXPECT_EQ(out.faultString.find("root:"), std::string::npos);
}

TEST(SecureHandle, TextFormKeepsEveryBitOfTheAddress) {
  // An address above 4 GiB, as every heap pointer of a 64-bit process can be.
  const auto *env = reinterpret_cast<const velm::SecureEnv *>(static_cast<uintptr_t>(0x7f12345678ab));
  char text[32];
  velm::formatSecureEnvHandle(env, text, sizeof text);
  EXPECT_STREQ(text, sizeof(void *) == 8 ? "0x00007f12345678ab" : "0x345678ab");
  EXPECT_EQ(velm::parseSecureEnvHandle(text), env);
  EXPECT_EQ(velm::parseSecureEnvHandle("0x12zz"), nullptr);
  EXPECT_EQ(velm::parseSecureEnvHandle(""), nullptr);
}

}  // namespace
