// Validation of events against the predefined event types.
//
// Events are built through the public interface; a few cases reach into the
// element records to make states the interface refuses to build (a null
// value) or to call the internal checks with codes no table uses.
#include "capis/event_check.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capis/context.h"
#include "capis/element.h"
#include "capis/event.h"
#include "velm.h"

namespace {

// One element to add: name, value type and, for strings and outcomes, the
// text (an outcome's text is its result).
struct Elt {
  const char *name;
  int type;
  const char *text = nullptr;
};

// The common elements every event needs.
const Elt kSource{"sourceComponentId", VELM_VT_COMPONENT_ID};
const Elt kFailed{"outcome", VELM_VT_OUTCOME, "UNSUCCESSFUL"};
const Elt kSucceeded{"outcome", VELM_VT_OUTCOME, "SUCCESSFUL"};
const Elt kUser{"userInfo", VELM_VT_USER_INFO};

Elt str(const char *name, const char *text = "value") { return {name, VELM_VT_STRING, text}; }

class EventCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/velm-event-check-XXXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const std::string errorFile = dir_ + "/error.log";
    const std::string traceFile = dir_ + "/trace.log";
    // Flow tracing on, so that every trace line of the checks is written.
    static const int32_t kFlowLevel = 3;
    const VELM_Property props[] = {{"serverURL", VELM_VT_STRING, "http://127.0.0.1:1/audit"},
      {"useDiskCache", VELM_VT_STRING, "never"},
                                   {"errorFilePath", VELM_VT_STRING, errorFile.c_str()},
                                   {"traceFilePath", VELM_VT_STRING, traceFile.c_str()},
                                   {"traceLevel", VELM_VT_INTEGER, &kFlowLevel},
                                   {nullptr, 0, nullptr}};
    VELM_result r{};
    ctx_ = VELM_AuditClientContext_Create(props, &r);
    VELM_Result_Clean(&r);
    ASSERT_NE(ctx_, nullptr);
  }
  static void TearDownTestSuite() {
    VELM_result r{};
    if (ctx_ != nullptr) VELM_AuditClientContext_Delete(ctx_, &r);
    VELM_Result_Clean(&r);
    ctx_ = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  void TearDown() override {
    VELM_result r{};
    for (VELM_AuditEvent *event : events_) VELM_AuditEvent_Delete(event, &r);
    VELM_Result_Clean(&r);
    VELM_Result_Clean(&result_);
  }

  // A NULL-terminated string array from VELM_Malloc, as records adopt them.
  static char **strings(std::initializer_list<const char *> texts) {
    auto **array = static_cast<char **>(VELM_Malloc((texts.size() + 1) * sizeof(char *)));
    size_t i = 0;
    for (const char *t : texts) array[i++] = strdup(t);
    array[i] = nullptr;
    return array;
  }
  static void freeStrings(char **array) {
    for (char **p = array; *p != nullptr; ++p) free(*p);
    free(array);
  }
  template <typename T>
  static T **oneRecordArray(T *record) {
    auto **array = static_cast<T **>(VELM_Malloc(2 * sizeof(T *)));
    array[0] = record;
    array[1] = nullptr;
    return array;
  }

  // A heap value of the given type, ready to be adopted by an element.
  void *makeValue(int type, const char *text) {
    VELM_result r{};
    void *value = nullptr;
    char **a = nullptr, **b = nullptr;
    switch (type) {
      case VELM_VT_INTEGER: {
        auto *v = static_cast<int32_t *>(VELM_Malloc(sizeof(int32_t)));
        *v = 7;
        value = v;
        break;
      }
      case VELM_VT_LONG: {
        auto *v = static_cast<int64_t *>(VELM_Malloc(sizeof(int64_t)));
        *v = 1234567890123LL;
        value = v;
        break;
      }
      case VELM_VT_STRING: value = strdup(text != nullptr ? text : "value"); break;
      case VELM_VT_DATETIME: {
        auto *v = static_cast<struct timeval *>(VELM_Malloc(sizeof(struct timeval)));
        gettimeofday(v, nullptr);
        value = v;
        break;
      }
      case VELM_VT_ATTRIBUTE: value = VELM_Attribute_Create(ctx_, "color", "blue", nullptr, &r); break;
      case VELM_VT_ATTRIBUTE_PERMISSION_INFO:
        a = strings({"mail"});
        b = strings({"read"});
        value = VELM_AttributePermissionInfo_Create(ctx_, a, b, nullptr, nullptr, &r);
        break;
      case VELM_VT_COMPONENT_ID:
        value = VELM_ComponentId_Create(ctx_, "host.example.com", "FQHostname", "payroll", nullptr, "web",
                                        "Server", "ProductName", "login", nullptr, nullptr, nullptr, &r);
        break;
      case VELM_VT_HTTPURL_INFO:
        value = VELM_HTTPURLInfo_Create(ctx_, "https://host/app", "GET", 200, nullptr, nullptr, &r);
        break;
      case VELM_VT_MEMBERSHIP_INFO: value = VELM_MembershipInfo_Create(ctx_, "group", "g1", "staff", &r); break;
      case VELM_VT_MGMT_INFO: value = VELM_MgmtInfo_Create(ctx_, nullptr, "restart", 1, &r); break;
      case VELM_VT_MSG_DATA_ELEMENT:
        value = VELM_MsgDataElement_Create(ctx_, "MSG0001", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           &r);
        break;
      case VELM_VT_OUTCOME: {
        const char *res = text != nullptr ? text : "UNSUCCESSFUL";
        value = VELM_Outcome_Create(ctx_, res, 0, 0, std::strcmp(res, "SUCCESSFUL") == 0 ? nullptr : "denied by policy",
                                    &r);
        break;
      }
      case VELM_VT_PERF_INFO:
        value = VELM_PerfInfo_Create(ctx_, "requests", "requests served", 1, "count", 10, 0, 5, "sum", &r);
        break;
      case VELM_VT_POLICY_INFO:
        value = VELM_PolicyInfo_Create(ctx_, "default", nullptr, "acl", nullptr, nullptr, 1, &r);
        break;
      case VELM_VT_PERMISSION_INFO:
        a = strings({"read", "write"});
        b = strings({"read"});
        value = VELM_PermissionInfo_Create(ctx_, a, b, nullptr, nullptr, nullptr, &r);
        break;
      case VELM_VT_PROVISIONING_INFO: value = VELM_ProvisioningInfo_Create(ctx_, "acct", "res1", "db", &r); break;
      case VELM_VT_REGISTRY_INFO:
        value = VELM_RegistryInfo_Create(ctx_, "LDAP", "ldap.example.com", "FQHostname", "389", &r);
        break;
      case VELM_VT_REGISTRY_OBJECT_INFO:
        value = VELM_RegistryObjectInfo_Create(ctx_, "alice", "corp", "user", nullptr, nullptr, 1, &r);
        break;
      case VELM_VT_RESOURCE_INFO:
        value = VELM_ResourceInfo_Create(ctx_, "/payroll", "payroll-acl", "url", nullptr, 1, &r);
        break;
      case VELM_VT_TARGET_INFO:
        a = strings({"srv1"});
        value = VELM_TargetInfo_Create(ctx_, a, nullptr, 1, &r);
        break;
      case VELM_VT_USER_INFO:
        value = VELM_UserInfo_Create(ctx_, "cn=alice", "alice", 42, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, 1, &r);
        break;
      case VELM_VT_WORK_ITEM_INFO: value = VELM_WorkItemInfo_Create(ctx_, "item-1", "approval", &r); break;
      case VELM_VT_ATTRIBUTE_ARRAY:
        value = oneRecordArray(static_cast<VELM_Attribute *>(makeValue(VELM_VT_ATTRIBUTE, nullptr)));
        break;
      case VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY:
        value = oneRecordArray(
            static_cast<VELM_AttributePermissionInfo *>(makeValue(VELM_VT_ATTRIBUTE_PERMISSION_INFO, nullptr)));
        break;
      case VELM_VT_MEMBERSHIP_INFO_ARRAY:
        value = oneRecordArray(static_cast<VELM_MembershipInfo *>(makeValue(VELM_VT_MEMBERSHIP_INFO, nullptr)));
        break;
      case VELM_VT_POLICY_INFO_ARRAY:
        value = oneRecordArray(static_cast<VELM_PolicyInfo *>(makeValue(VELM_VT_POLICY_INFO, nullptr)));
        break;
    }
    if (a != nullptr) freeStrings(a);
    if (b != nullptr) freeStrings(b);
    EXPECT_EQ(r.numErrors, 0) << "type " << type << ": "
                              << (r.numErrors > 0 ? r.errors[0].message : "");
    VELM_Result_Clean(&r);
    return value;
  }

  // A new event that the fixture deletes.
  VELM_AuditEvent *newEvent(const char *type) {
    VELM_result r{};
    VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx_, type, &r);
    VELM_Result_Clean(&r);
    if (event != nullptr) events_.push_back(event);
    return event;
  }

  // Adds elt to event, the element adopting a fresh value.
  bool add(VELM_AuditEvent *event, const Elt &elt) {
    void *value = makeValue(elt.type, elt.text);
    if (value == nullptr) return false;
    VELM_result r{};
    VELM_AuditElement *el = VELM_AuditEvent_AddElement(event, elt.name, elt.type, value, 0, &r);
    if (el == nullptr) {
      ADD_FAILURE() << "adding " << elt.name << ": " << (r.numErrors > 0 ? r.errors[0].message : "");
      velm::elementValue_Delete(ctx_, elt.type, value, &r);
    }
    VELM_Result_Clean(&r);
    return el != nullptr;
  }

  VELM_AuditEvent *build(const char *type, const std::vector<Elt> &elts) {
    VELM_AuditEvent *event = newEvent(type);
    if (event == nullptr) return nullptr;
    for (const Elt &elt : elts)
      if (!add(event, elt)) return nullptr;
    return event;
  }

  // Validates and checks the outcome: 0 for a valid event, else the one
  // message expected, whose text names arg.
  void expectValidation(VELM_AuditEvent *event, int msg, const char *arg) {
    VELM_Result_Clean(&result_);
    const int rc = VELM_AuditEvent_Validate(event, &result_);
    if (msg == 0) {
      EXPECT_EQ(rc, 0) << (result_.numErrors > 0 ? result_.errors[0].message : "");
      EXPECT_EQ(result_.numErrors, 0);
      return;
    }
    EXPECT_EQ(rc, -1);
    ASSERT_EQ(result_.numErrors, 1);
    EXPECT_EQ(result_.errors[0].code, msg) << result_.errors[0].message;
    if (arg != nullptr) {
      EXPECT_NE(std::strstr(result_.errors[0].message, arg), nullptr) << result_.errors[0].message;
    }
  }

  static const VELM_AuditElement *top(VELM_AuditEvent *event, const char *name) {
    for (int i = 0; i < event->count; ++i)
      if (std::strcmp(event->elements[i]->name, name) == 0) return event->elements[i];
    return nullptr;
  }

  static std::string dir_;
  static VELM_AuditClientContext *ctx_;
  std::vector<VELM_AuditEvent *> events_;
  VELM_result result_{};
};

std::string EventCheckTest::dir_;
VELM_AuditClientContext *EventCheckTest::ctx_ = nullptr;

struct Case {
  const char *label;
  const char *eventType;
  std::vector<Elt> elts;
  int msg;          // 0: valid
  const char *arg;  // text the message must contain
};

// The smallest valid event of every predefined type, and a fuller one for
// the types whose optional elements carry other value types.
TEST_F(EventCheckTest, EveryEventTypeAcceptsAValidEvent) {
  const Case cases[] = {
      {"authn", "AUDIT_AUTHN", {kSource, kFailed, kUser, str("authnType", "password")}, 0, nullptr},
      {"authn with optionals", "AUDIT_AUTHN",
       {kSource, kFailed, kUser, str("authnType"), {"registryInfo", VELM_VT_REGISTRY_INFO}, str("authnTypeVersion"),
        str("authenProvider"), str("partner"), str("action"), str("progName"),
        {"reporterComponentId", VELM_VT_COMPONENT_ID}, {"startTime", VELM_VT_DATETIME},
        {"endTime", VELM_VT_DATETIME}, str("auditTrailId"), str("auditMsg"),
        {"auditMsgElement", VELM_VT_MSG_DATA_ELEMENT}, {"sequenceNumber", VELM_VT_LONG},
        str("globalInstanceId")},
       0, nullptr},
      {"authn terminate", "AUDIT_AUTHN_TERMINATE",
       {kSource, kFailed, kUser, str("authnType"), {"loginTime", VELM_VT_DATETIME}}, 0, nullptr},
      {"creds modify", "AUDIT_AUTHN_CREDS_MODIFY", {kSource, kFailed, kUser, str("action", "modify")}, 0, nullptr},
      {"mapping", "AUDIT_AUTHN_MAPPING",
       {kSource, kFailed, str("originalSecurityDomain"), str("originalUserName"), str("mappedSecurityDomain"),
        str("mappedUserName")},
       0, nullptr},
      {"authz", "AUDIT_AUTHZ",
       {kSource, kFailed, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO}, {"permissionInfo", VELM_VT_PERMISSION_INFO}},
       0, nullptr},
      {"authz with arrays", "AUDIT_AUTHZ",
       {kSource, kSucceeded, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO},
        {"permissionInfo", VELM_VT_PERMISSION_INFO}, str("accessDecision", "permitted"),
        {"attributePermissionInfo", VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY},
        {"policyInfo", VELM_VT_POLICY_INFO_ARRAY}, {"attributes", VELM_VT_ATTRIBUTE_ARRAY}, str("appName")},
       0, nullptr},
      {"mgmt policy", "AUDIT_MGMT_POLICY",
       {kSource, kFailed, kUser, str("action"), {"policyInfo", VELM_VT_POLICY_INFO},
        {"memberships", VELM_VT_MEMBERSHIP_INFO_ARRAY}, {"mgmtInfo", VELM_VT_MGMT_INFO}},
       0, nullptr},
      {"mgmt registry", "AUDIT_MGMT_REGISTRY",
       {kSource, kFailed, kUser, str("action"), {"registryObjectInfo", VELM_VT_REGISTRY_OBJECT_INFO}}, 0, nullptr},
      {"runtime", "AUDIT_RUNTIME", {kSource, kFailed, str("action", "start"), {"resourceInfo", VELM_VT_RESOURCE_INFO}},
       0, nullptr},
      {"mgmt config", "AUDIT_MGMT_CONFIG", {kSource, kFailed, kUser, str("action"), str("type")}, 0, nullptr},
      {"mgmt provisioning", "AUDIT_MGMT_PROVISIONING",
       {kSource, kFailed, kUser, {"targetUserInfo", VELM_VT_REGISTRY_OBJECT_INFO}, str("action"),
        {"provisioningTargetInfo", VELM_VT_PROVISIONING_INFO}},
       0, nullptr},
      {"runtime key", "AUDIT_RUNTIME_KEY",
       {kSource, kFailed, str("keyLabel"), str("location"), str("locationType", "IPV4"), str("action"),
        {"lifetime", VELM_VT_DATETIME}},
       0, nullptr},
      {"password change", "AUDIT_PASSWORD_CHANGE",
       {kSource, kFailed, kUser, {"provisioningInfo", VELM_VT_PROVISIONING_INFO}}, 0, nullptr},
      {"compliance", "AUDIT_COMPLIANCE", {kSource, kFailed, str("complianceStatus", "compliant")}, 0, nullptr},
      {"resource access", "AUDIT_RESOURCE_ACCESS",
       {kSource, kSucceeded, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO}, str("action", "read"),
        {"permissionInfo", VELM_VT_PERMISSION_INFO}},
       0, nullptr},
      {"mgmt resource", "AUDIT_MGMT_RESOURCE",
       {kSource, kFailed, kUser, str("action"), {"resourceInfo", VELM_VT_RESOURCE_INFO}}, 0, nullptr},
      {"data sync", "AUDIT_DATA_SYNC", {kSource, kFailed, {"resourceInfo", VELM_VT_RESOURCE_INFO}, str("action")}, 0,
       nullptr},
      {"workflow", "AUDIT_WORKFLOW",
       {kSource, kFailed, kUser, {"workItemInfo", VELM_VT_WORK_ITEM_INFO}, str("action"),
        {"targetUserInfo", VELM_VT_USER_INFO}, {"userInputs", VELM_VT_ATTRIBUTE_ARRAY}},
       0, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    VELM_AuditEvent *event = build(c.eventType, c.elts);
    ASSERT_NE(event, nullptr);
    expectValidation(event, c.msg, c.arg);
  }
}

// The special checks: each rule with its trigger holding, not holding,
// and holding in another letter case or with further characters.
TEST_F(EventCheckTest, SpecialChecksRequireTheirElementOnlyWhenTriggered) {
  const std::vector<Elt> terminate{kSource, kFailed, kUser, str("authnType")};
  const std::vector<Elt> authz{kSource, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO},
                               {"permissionInfo", VELM_VT_PERMISSION_INFO}};
  const std::vector<Elt> access{kSource, kFailed, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO},
                                {"permissionInfo", VELM_VT_PERMISSION_INFO}};
  const std::vector<Elt> runtime{kSource, kFailed, {"resourceInfo", VELM_VT_RESOURCE_INFO}};
  auto with = [](std::vector<Elt> base, std::initializer_list<Elt> more) {
    base.insert(base.end(), more);
    return base;
  };
  const Case cases[] = {
      {"logout without reason", "AUDIT_AUTHN_TERMINATE", with(terminate, {str("action", "logout")}), 15,
       "'terminateReason'"},
      {"logout with reason", "AUDIT_AUTHN_TERMINATE",
       with(terminate, {str("action", "logout"), str("terminateReason", "idle")}), 0, nullptr},
      {"login", "AUDIT_AUTHN_TERMINATE", with(terminate, {str("action", "login")}), 0, nullptr},
      {"Logout in other case", "AUDIT_AUTHN_TERMINATE", with(terminate, {str("action", "Logout")}), 0, nullptr},
      {"no action", "AUDIT_AUTHN_TERMINATE", terminate, 0, nullptr},

      {"authz success without decision", "AUDIT_AUTHZ", with(authz, {kSucceeded}), 15, "'accessDecision'"},
      {"authz failure without decision", "AUDIT_AUTHZ", with(authz, {kFailed}), 0, nullptr},
      {"authz success with decision", "AUDIT_AUTHZ", with(authz, {kSucceeded, str("accessDecision", "permitted")}),
       0, nullptr},
      {"authz denied without reason", "AUDIT_AUTHZ", with(authz, {kFailed, str("accessDecision", "denied")}), 15,
       "'accessDecisionReason'"},
      {"authz denied with reason", "AUDIT_AUTHZ",
       with(authz, {kFailed, str("accessDecision", "denied"), str("accessDecisionReason", "no acl")}), 0, nullptr},
      {"authz Denied in other case", "AUDIT_AUTHZ", with(authz, {kFailed, str("accessDecision", "Denied")}), 0,
       nullptr},
      // The success rule belongs to the authorisation type only.
      {"access success without decision", "AUDIT_RESOURCE_ACCESS",
       {kSource, kSucceeded, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO}, str("action"),
        {"permissionInfo", VELM_VT_PERMISSION_INFO}},
       0, nullptr},
      {"access denied without reason", "AUDIT_RESOURCE_ACCESS",
       with(access, {str("action"), str("accessDecision", "denied")}), 15, "'accessDecisionReason'"},
      {"http request without url", "AUDIT_RESOURCE_ACCESS", with(access, {str("action", "httpRequest")}), 15,
       "'httpURLInfo'"},
      {"http request with url", "AUDIT_RESOURCE_ACCESS",
       with(access, {str("action", "httpRequest"), {"httpURLInfo", VELM_VT_HTTPURL_INFO}}), 0, nullptr},
      {"http request with more characters", "AUDIT_RESOURCE_ACCESS", with(access, {str("action", "httpRequests")}),
       0, nullptr},

      {"statistic without perf", "AUDIT_RUNTIME", with(runtime, {str("action", "statistic")}), 15, "'perfInfo'"},
      {"statistic with perf", "AUDIT_RUNTIME",
       with(runtime, {str("action", "statistic"), {"perfInfo", VELM_VT_PERF_INFO}}), 0, nullptr},
      {"Statistic in other case", "AUDIT_RUNTIME", with(runtime, {str("action", "Statistic")}), 0, nullptr},

      {"non-compliant without violation", "AUDIT_COMPLIANCE",
       {kSource, kFailed, str("complianceStatus", "nonCompliant")}, 15, "'violationName'"},
      {"non-compliant with violation", "AUDIT_COMPLIANCE",
       {kSource, kFailed, str("complianceStatus", "nonCompliant"), str("violationName", "weak password")}, 0,
       nullptr},
      {"noncompliant in other case", "AUDIT_COMPLIANCE", {kSource, kFailed, str("complianceStatus", "noncompliant")},
       0, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    VELM_AuditEvent *event = build(c.eventType, c.elts);
    ASSERT_NE(event, nullptr);
    expectValidation(event, c.msg, c.arg);
  }
}

// Value checks, wrong value types, unknown event types and the order in
// which problems are found.
TEST_F(EventCheckTest, ReportsTheFirstProblemOnly) {
  const std::vector<Elt> key{kSource, kFailed, str("keyLabel"), str("location"), str("action")};
  auto with = [](std::vector<Elt> base, std::initializer_list<Elt> more) {
    base.insert(base.end(), more);
    return base;
  };
  const Case cases[] = {
      {"location type in other case", "AUDIT_RUNTIME_KEY", with(key, {str("locationType", "ipv4")}), 47, "ipv4"},
      {"location type exact", "AUDIT_RUNTIME_KEY", with(key, {str("locationType", "FQHostname")}), 0, nullptr},
      {"location type unknown", "AUDIT_RUNTIME_KEY", with(key, {str("locationType", "Mars")}), 47,
       "locationType"},
      {"suppressed yes", "AUDIT_COMPLIANCE", {kSource, kFailed, str("complianceStatus"), str("suppressed", "yes")}, 47,
       "yes"},
      {"suppressed Yes", "AUDIT_COMPLIANCE", {kSource, kFailed, str("complianceStatus"), str("suppressed", "Yes")}, 0,
       nullptr},
      {"suppressed No", "AUDIT_COMPLIANCE", {kSource, kFailed, str("complianceStatus"), str("suppressed", "No")}, 0,
       nullptr},
      {"suppressed No with space", "AUDIT_COMPLIANCE",
       {kSource, kFailed, str("complianceStatus"), str("suppressed", "No ")}, 47, "suppressed"},
      // A value check fails even while a required element is missing.
      {"value check before missing element", "AUDIT_COMPLIANCE", {kSource, kFailed, str("suppressed", "maybe")}, 47,
       "suppressed"},

      {"outcome as string", "AUDIT_AUTHN", {kSource, str("outcome", "SUCCESSFUL"), kUser, str("authnType")}, 14,
       "outcome , has a value type that is not valid: 3"},
      {"user as resource", "AUDIT_AUTHN",
       {kSource, kFailed, {"userInfo", VELM_VT_RESOURCE_INFO}, str("authnType")}, 14, ": 19"},
      {"single policy where an array is due", "AUDIT_AUTHZ",
       {kSource, kFailed, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO}, {"permissionInfo", VELM_VT_PERMISSION_INFO},
        {"policyInfo", VELM_VT_POLICY_INFO}},
       14, "policyInfo"},
      {"policy array where a single one is due", "AUDIT_MGMT_POLICY",
       {kSource, kFailed, kUser, str("action"), {"policyInfo", VELM_VT_POLICY_INFO_ARRAY}}, 14, ": 26"},
      {"provisioning target as user", "AUDIT_MGMT_PROVISIONING",
       {kSource, kFailed, kUser, {"targetUserInfo", VELM_VT_USER_INFO}, str("action"),
        {"provisioningTargetInfo", VELM_VT_PROVISIONING_INFO}},
       14, "targetUserInfo"},
      {"workflow target as registry object", "AUDIT_WORKFLOW",
       {kSource, kFailed, kUser, {"workItemInfo", VELM_VT_WORK_ITEM_INFO}, str("action"),
        {"targetUserInfo", VELM_VT_REGISTRY_OBJECT_INFO}},
       14, "targetUserInfo"},
      {"sequence number as integer", "AUDIT_AUTHN",
       {kSource, kFailed, kUser, str("authnType"), {"sequenceNumber", VELM_VT_INTEGER}}, 14,
       "sequenceNumber , has a value type that is not valid: 1 ."},
      {"timestamp as string", "AUDIT_AUTHN", {kSource, kFailed, kUser, str("authnType"), str("timestamp")}, 14,
       "timestamp"},

      {"unknown type, common elements", "MY_APP_EVENT", {kSource, kFailed, str("userInfo"), str("whatever")}, 0,
       nullptr},
      {"type in other case is unknown", "audit_authn", {kSource, kFailed}, 0, nullptr},
      {"unknown type without outcome", "MY_APP_EVENT", {kSource}, 15, "'outcome'"},
      {"unknown type, common type check", "MY_APP_EVENT", {kSource, kFailed, {"auditMsg", VELM_VT_INTEGER}}, 14,
       "auditMsg"},

      // The common table reports before the type table is walked...
      {"common missing before type missing", "AUDIT_AUTHN", {kSource, kUser}, 15, "'outcome'"},
      {"common missing before type special check", "AUDIT_AUTHZ",
       {kSucceeded, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO}, {"permissionInfo", VELM_VT_PERMISSION_INFO}}, 15,
       "'sourceComponentId'"},
      // ...but present elements are checked before anything is missed.
      {"wrong type before missing element", "AUDIT_AUTHN", {kSource, {"userInfo", VELM_VT_REGISTRY_INFO}}, 14,
       "userInfo"},
      // In table order, a special check before a missing element runs first.
      {"special check before missing required", "AUDIT_AUTHZ",
       {kSource, kSucceeded, kUser, {"resourceInfo", VELM_VT_RESOURCE_INFO}}, 15, "'accessDecision'"},
      {"missing required before special check", "AUDIT_AUTHZ", {kSource, kSucceeded, kUser}, 15, "'resourceInfo'"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    VELM_AuditEvent *event = build(c.eventType, c.elts);
    ASSERT_NE(event, nullptr);
    expectValidation(event, c.msg, c.arg);
  }
}

TEST_F(EventCheckTest, MissingTimestampIsTheDefaultTimeStamp) {
  struct TsCase {
    const char *label;
    std::vector<Elt> elts;
    int msg;
    const char *arg;
  };
  const TsCase cases[] = {
      {"valid event", {kSource, kFailed, kUser, str("authnType")}, 0, nullptr},
      {"added before a later missing element", {kSource, kFailed, kUser}, 15, "'authnType'"},
      {"not added when the common table fails first", {kSource, kUser, str("authnType")}, 15, "'outcome'"},
  };
  for (const TsCase &c : cases) {
    SCOPED_TRACE(c.label);
    VELM_AuditEvent *event = build("AUDIT_AUTHN", c.elts);
    ASSERT_NE(event, nullptr);
    expectValidation(event, c.msg, c.arg);
    const VELM_AuditElement *ts = top(event, "timestamp");
    // "outcome" comes before "timestamp" in the common table.
    if (c.msg != 0 && std::strcmp(c.arg, "'outcome'") == 0) {
      EXPECT_EQ(ts, nullptr);
      continue;
    }
    ASSERT_NE(ts, nullptr);
    EXPECT_EQ(ts->valueType, VELM_VT_DATETIME);
    ASSERT_NE(ts->value, nullptr);
    EXPECT_NE(ts->value, event->defaultTimeStamp);  // a copy
    EXPECT_EQ(std::memcmp(ts->value, event->defaultTimeStamp, sizeof(struct timeval)), 0);
  }
}

TEST_F(EventCheckTest, ExistingTimestampIsKept) {
  VELM_AuditEvent *event = build("AUDIT_AUTHN", {kSource, kFailed, kUser, str("authnType")});
  ASSERT_NE(event, nullptr);
  const struct timeval mine{1234567, 89};
  VELM_result r{};
  ASSERT_NE(VELM_AuditEvent_AddDateTimeElement(event, "timestamp", &mine, 1, &r), nullptr);
  const int count = event->count;
  expectValidation(event, 0, nullptr);
  EXPECT_EQ(event->count, count);
  const VELM_AuditElement *ts = top(event, "timestamp");
  ASSERT_NE(ts, nullptr);
  const auto *kept = static_cast<const struct timeval *>(ts->value);
  EXPECT_EQ(kept->tv_sec, mine.tv_sec);
  EXPECT_EQ(kept->tv_usec, mine.tv_usec);

  // A failed validation that added "timestamp" does not add it twice.
  VELM_AuditEvent *incomplete = build("AUDIT_AUTHN", {kSource, kFailed, kUser});
  ASSERT_NE(incomplete, nullptr);
  expectValidation(incomplete, 15, "'authnType'");
  const int afterFirst = incomplete->count;
  ASSERT_TRUE(add(incomplete, str("authnType")));
  expectValidation(incomplete, 0, nullptr);
  EXPECT_EQ(incomplete->count, afterFirst + 1);
}

// Adding "timestamp" may move the event's element array; the walk that
// added it must go on over the new one (ASan reports the old one's use).
TEST_F(EventCheckTest, TimestampThatGrowsTheArrayKeepsTheWalkValid) {
  std::vector<Elt> elts{kSource, kFailed, kUser};
  static const char *const extra[] = {"x01", "x02", "x03", "x04", "x05", "x06", "x07", "x08",
                                      "x09", "x10", "x11", "x12", "x13", "x14", "x15", "x16"};
  for (const char *name : extra) elts.push_back(str(name));
  // 19 elements: the twentieth ("timestamp") grows the 20-slot array.
  VELM_AuditEvent *event = build("AUDIT_AUTHN", elts);
  ASSERT_NE(event, nullptr);
  ASSERT_EQ(event->count, 19);
  const int capacity = event->capacity;
  expectValidation(event, 15, "'authnType'");
  EXPECT_EQ(event->count, 20);
  EXPECT_GT(event->capacity, capacity);
  EXPECT_NE(top(event, "timestamp"), nullptr);
}

// The flow and error lines of a failing validation reach the trace file.
TEST_F(EventCheckTest, TracesTheWalk) {
  VELM_AuditEvent *event = build("AUDIT_AUTHN", {kSource, kFailed, kUser});
  ASSERT_NE(event, nullptr);
  expectValidation(event, 15, "'authnType'");
  std::ifstream in(dir_ + "/trace.log");
  const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char *line : {"FLOW: checking event with eventType = AUDIT_AUTHN", "FLOW: numReqElts = 4, numSpChkElts = 1",
                           "FLOW: reqEltCnt = 3, spChkEltCnt = 0", "FLOW: we are missing some required elements",
                           "ERROR: the required element 'authnType' is not present"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
}

TEST_F(EventCheckTest, NullValueOfAPredefinedElement) {
  VELM_AuditEvent *event = build("AUDIT_AUTHN", {kSource, kFailed, kUser, str("authnType")});
  ASSERT_NE(event, nullptr);
  // The interface refuses null values; make one by hand.
  VELM_AuditElement *el = const_cast<VELM_AuditElement *>(top(event, "authnType"));
  ASSERT_NE(el, nullptr);
  free(el->value);
  el->value = nullptr;
  expectValidation(event, 16, "'authnType'");
}

// Adopted strings (copyFlag 0) are stored as given; one that XML cannot
// carry fails validation, naming the element by its path, rather than being
// accepted for sending and dropped when the event fails its conversion.
TEST_F(EventCheckTest, AdoptedTextThatXmlCannotCarryFailsValidation) {
  struct Case {
    const char *what;
    const char *name;  // added under an element "parent"
    const char *value;
    const char *path;
    const char *why;
  };
  const Case cases[] = {
      {"control character", "note",
       "a\x01"
       "b",
       "note", "the text holds U+0001, which XML cannot carry, at byte 1"},
      {"overlong form, nested", "parent.child", "\xC0\xAF", "parent.child",
       "the text is not valid UTF-8 at byte 0"},
      {"U+FFFF", "note", "ok \xEF\xBF\xBF", "note",
       "the text holds U+FFFF, which XML cannot carry, at byte 3"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    VELM_result r{};
    VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx_, "AUDIT_AUTHZ", &r);
    ASSERT_NE(event, nullptr);
    events_.push_back(event);
    ASSERT_NE(VELM_AuditEvent_AddStringElement(event, "parent", "p", 1, &r), nullptr);
    char *value = strdup(c.value);
    ASSERT_NE(VELM_AuditEvent_AddStringElement(event, c.name, value, 0, &r), nullptr) << "adopted as given";
    VELM_Result_Clean(&r);
    EXPECT_EQ(VELM_AuditEvent_Validate(event, &r), -1);
    ASSERT_EQ(r.numErrors, 1);
    EXPECT_EQ(r.errors[0].code, 8);
    EXPECT_EQ(std::string(r.errors[0].message),
              std::string("DXACC0008E The parameter, ") + c.path +
                  " , passed to the function has a value that is not valid: " + c.why + " .");
    VELM_Result_Clean(&r);
  }
}

TEST_F(EventCheckTest, NullParameters) {
  VELM_result r{};
  EXPECT_EQ(VELM_AuditEvent_Validate(nullptr, &r), -1);
  ASSERT_EQ(r.numErrors, 1);
  EXPECT_EQ(r.errors[0].code, 12);
  VELM_Result_Clean(&r);
  VELM_AuditEvent *event = build("AUDIT_AUTHN", {kSource, kFailed});
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(VELM_AuditEvent_Validate(event, nullptr), -1);
}

// Codes that no built-in table uses fail without a message.
TEST_F(EventCheckTest, UnknownCheckCodesFailWithoutMessage) {
  VELM_AuditEvent *event = build("AUDIT_AUTHN", {kSource, kFailed, str("note", "Yes")});
  ASSERT_NE(event, nullptr);
  VELM_result r{};
  const velm::PreDefElt bogus{"bogus", velm::hashFunc("bogus"), VELM_VT_STRING, 0, 99, velm::VALCHK_NONE, nullptr};
  EXPECT_EQ(velm::doSpecCheck(ctx_, event, event->elements, event->count, &bogus, &r), -1);
  EXPECT_EQ(r.numErrors, 0);
  const VELM_AuditElement *note = top(event, "note");
  EXPECT_EQ(velm::checkEltVal(ctx_, note, 9, &r), -1);
  EXPECT_EQ(r.numErrors, 0);
  EXPECT_EQ(velm::checkEltVal(ctx_, note, velm::VALCHK_YES_NO, &r), 0);
  VELM_Result_Clean(&r);
}

// The counts initEventTable derives, against the documented shape of each
// table: a wrong entry in the constant data shows up here.
TEST_F(EventCheckTest, TablesAreBuiltOnceWithTheirCounts) {
  struct Shape {
    const char *type;
    int elts, required, special;
  };
  const Shape shapes[] = {
      {"AUDIT_AUTHN", 8, 2, 0},          {"AUDIT_AUTHN_TERMINATE", 8, 2, 1},  {"AUDIT_AUTHN_CREDS_MODIFY", 3, 2, 0},
      {"AUDIT_AUTHN_MAPPING", 6, 4, 0},  {"AUDIT_AUTHZ", 11, 3, 2},           {"AUDIT_MGMT_POLICY", 7, 3, 0},
      {"AUDIT_MGMT_REGISTRY", 5, 3, 0},  {"AUDIT_RUNTIME", 5, 2, 1},          {"AUDIT_MGMT_CONFIG", 5, 3, 0},
      {"AUDIT_MGMT_PROVISIONING", 4, 4, 0}, {"AUDIT_RUNTIME_KEY", 7, 4, 0}, {"AUDIT_PASSWORD_CHANGE", 3, 1, 0},
      {"AUDIT_COMPLIANCE", 15, 1, 1},    {"AUDIT_RESOURCE_ACCESS", 10, 4, 2}, {"AUDIT_MGMT_RESOURCE", 5, 3, 0},
      {"AUDIT_DATA_SYNC", 4, 2, 0},      {"AUDIT_WORKFLOW", 7, 3, 0},
  };
  ASSERT_NE(velm::velmCommon(), nullptr);
  EXPECT_TRUE(velm::velmCommon()->eventTableReady);
  int n = 0;
  for (const velm::EventTableEntry *e = velm::VELM_EventTable; e->name != nullptr; ++e) ++n;
  EXPECT_EQ(n, velm::kNumEventTypes);
  for (const Shape &s : shapes) {
    SCOPED_TRACE(s.type);
    const velm::PreDefEltTab *t = velm::findPreDefEltTab(s.type);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->numElts, s.elts);
    EXPECT_EQ(t->numReqElts, s.required);
    EXPECT_EQ(t->numSpChkElts, s.special);
    EXPECT_EQ(t->bucketCount, velm::computeHashTableSz(s.elts));
  }
  EXPECT_EQ(velm::commonPreDefEltTab.numElts, 11);
  EXPECT_EQ(velm::commonPreDefEltTab.numReqElts, 2);
  EXPECT_EQ(velm::commonPreDefEltTab.numSpChkElts, 1);
  EXPECT_EQ(velm::findPreDefEltTab("AUDIT_AUTHN "), nullptr);
  EXPECT_EQ(velm::findPreDefEltTab(""), nullptr);

  // Already built: nothing is rebuilt.
  velm::HashEntry **buckets = velm::commonPreDefEltTab.buckets;
  VELM_result r{};
  EXPECT_EQ(velm::initEventTable(ctx_, &r), 0);
  EXPECT_EQ(velm::commonPreDefEltTab.buckets, buckets);
  EXPECT_EQ(r.numErrors, 0);
}

}  // namespace
