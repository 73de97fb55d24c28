// velm-send against the local audit service: what a person reads and the
// exit status for a delivered event, one the service rejects, a service that
// is not there, an events file, and input it must refuse before sending.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/sink.h"
#include "tools/tool_support.h"

namespace {

using velm_test::runTool;

// A valid AUDIT_AUTHZ: the records and elements the type requires.
const std::vector<std::string> kAuthz = {
    "--type",
    "AUDIT_AUTHZ",
    "userInfo.registryUserName=jdoe",
    "userInfo.appUserName=jdoe",
    "resourceInfo.nameInApp=/payroll/2026",
    "resourceInfo.nameInPolicy=payroll",
    "resourceInfo.type=file",
    "permissionInfo.checked=read,write",
    "permissionInfo.granted=read",
    "accessDecision=permitted",
    "appName=Payroll",
    "startTime=1700000000.25",
};

velm_test::ToolRun send(const std::string &url, std::vector<std::string> args) {
  args.insert(args.begin(), {VELM_SEND_PATH, "--url", url, "--timeout", "120"});
  return runTool(args);
}

TEST(VelmSendTool, ADeliveredEventIsReportedAndArrives) {
  velm::test::Sink sink;
  const auto run = send(sink.url(), kAuthz);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "event 1 (AUDIT_AUTHZ): delivered\n1 of 1 event delivered to " + sink.url() + "\n");
  const auto events = sink.events();
  ASSERT_EQ(events.size(), 1u);
  // The fields given and the defaults for the records every type requires.
  for (const char *text :
       {"<children name=\"nameInApp\" type=\"string\"><values>/payroll/2026</values>",
        "<children name=\"checked\" type=\"stringArray\"><values>read</values><values>write</values>",
        "<values>2023-11-14T22:13:20.250000Z</values>", "component=\"velm-send\"",
        "<children name=\"result\" type=\"string\"><values>SUCCESSFUL</values>"})
    EXPECT_NE(events[0].xml.find(text), std::string::npos) << text << " in " << events[0].xml;
}

TEST(VelmSendTool, HttpsWithAKeyStoreAndItsPasswordFile) {
  velm::test::Sink sink(velm::test::SinkOptions().withClientCertRequired());
  std::vector<std::string> args = {"--key-store", velm::test::testCerts().store(), "--store-password-file",
                                   velm::test::testCerts().passwordFile()};
  args.insert(args.end(), kAuthz.begin(), kAuthz.end());
  const auto run = send(sink.url(), args);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(sink.events().size(), 1u);
}

TEST(VelmSendTool, ARejectedEventShowsTheServicesFaultAndFails) {
  velm::test::Sink sink(velm::test::SinkOptions().withMode("clientfault-all:1"));
  const auto run = send(sink.url(), kAuthz);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_EQ(run.output.rfind("event 1 (AUDIT_AUTHZ): rejected by the service\n", 0), 0u) << run.output;
  EXPECT_NE(run.output.find("<failedevent>1</failedevent>"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("0 of 1 event delivered to " + sink.url() + ", 1 failed\n"), std::string::npos)
      << run.output;
  EXPECT_TRUE(sink.events().empty());
}

TEST(VelmSendTool, AnUnreachableServiceExitsWithThree) {
  velm::test::Sink sink;
  sink.stop();  // the port stays reserved but refuses connections
  const auto run = send(sink.url(), kAuthz);
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_EQ(run.output.rfind("velm-send: cannot reach " + sink.url() + ": ", 0), 0u) << run.output;
  EXPECT_NE(run.output.find("Couldn't connect to server"), std::string::npos) << run.output;
}

TEST(VelmSendTool, AnEventsFileIsSentLineByLineWithAResultEach) {
  velm::test::Sink sink;
  velm::test::sink_detail::TempDir dir("velm-send-test-");
  const std::string file = dir.path() + "/events.jsonl";
  std::ofstream(file)
      << R"({"type": "AUDIT_RUNTIME_KEY", "keyLabel": "k1", "location": "h", "locationType": "Hostname", "action": "rotate"})"
      << "\n\n"
      << R"({"complianceStatus": "compliant", "sequenceNumber": 42, "auditMsg": "caf\u00e9 \"ok\""})"
      << "\n"
      << R"({"type": "AUDIT_COMPLIANCE", "outcome.result": "MAYBE"})"
      << "\n";
  const auto run = send(sink.url(), {"--type", "AUDIT_COMPLIANCE", "--file", file});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_EQ(run.output,
            "event 1 (AUDIT_RUNTIME_KEY): delivered\n"
            "event 2 (AUDIT_COMPLIANCE): delivered\n"
            "event 3 (AUDIT_COMPLIANCE): not sent: outcome: DXACC0008E The parameter, result , passed to the "
            "function has a value that is not valid: MAYBE .\n"
            "2 of 3 events delivered to " +
                sink.url() + ", 1 failed\n");
  const auto events = sink.events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_NE(events[1].xml.find("café &quot;ok&quot;"), std::string::npos) << events[1].xml;
}

TEST(VelmSendTool, BadInputIsRefusedBeforeAnythingIsSent) {
  velm::test::Sink sink;
  velm::test::sink_detail::TempDir dir("velm-send-test-");
  const std::string file = dir.path() + "/events.jsonl";
  std::ofstream(file) << R"({"type": "AUDIT_AUTHZ", "action": "read"})"
                      << "\n"
                      << R"({"type": "AUDIT_AUTHZ", "userInfo": {"registryUserName": "x"}})"
                      << "\n";
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"--file", file}, "line 2: nested objects and arrays are not taken; use dotted names at column 37"},
      {{"action=read"}, "--type is required"},
      {{"--type", "AUDIT_AUTHZ", "action"}, "an element is name=value, not action"},
      {{"--type", "AUDIT_AUTHZ", "--key-store", "/x.p12"},
       "--key-store and --store-password-file go together"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.says);
    const auto run = send(sink.url(), c.args);
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
  EXPECT_EQ(sink.stats().requests, 0);

  // A wrong field name is caught per event, with the fields the record has.
  const auto run = send(sink.url(), {"--type", "AUDIT_AUTHZ", "userInfo.name=x"});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(
      run.output.find("not sent: unknown field userInfo.name; userInfo has registryUserName, appUserName"),
      std::string::npos)
      << run.output;
}

}  // namespace
