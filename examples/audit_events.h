/*
 * One realistic audit event of each of the 17 predefined event types, built
 * through the public interface. Shared by the example programs; each of them
 * sets ctx before calling build(). res is per thread, so several threads may
 * build events at once.
 */
#ifndef VELM_EXAMPLES_AUDIT_EVENTS_H
#define VELM_EXAMPLES_AUDIT_EVENTS_H

#include <stdio.h>
#include <stdlib.h>
#include <velm/velm.h>

#define NUM_EVENT_TYPES 17

static VELM_AuditClientContext *ctx;
static _Thread_local VELM_result res;

/* Prints what the record says and clears it. */
static void report(const char *what) {
  for (int i = 0; i < res.numErrors; i++) fprintf(stderr, "%s: %s\n", what, res.errors[i].message);
  VELM_Result_Clean(&res);
}

/* Stops the demo when a building step fails: every step here is meant to work. */
static void *need(void *p, const char *what) {
  if (p == NULL) {
    report(what);
    fprintf(stderr, "%s failed\n", what);
    exit(1);
  }
  return p;
}
#define NEED(call) need((void *)(call), #call)

static VELM_ComponentId *componentId(const char *component) {
  return NEED(VELM_ComponentId_Create(ctx, "app01.example.com", "FQHostname", "PayrollApp", "Linux x86_64",
                                      component, "Service", "ProductName", "core", "inst-1", "4242", "7",
                                      &res));
}

static VELM_Attribute **attributes(const char *name, const char *value) {
  VELM_Attribute **a = VELM_Malloc(2 * sizeof *a);
  a[0] = NEED(VELM_Attribute_Create(ctx, name, value, "demo", &res));
  a[1] = NULL;
  return a;
}

static VELM_UserInfo *userInfo(const char *user) {
  char *callers[] = {"gateway", "batch", NULL};
  return NEED(VELM_UserInfo_Create(ctx, user, "José Álvarez", 1001, callers, "example.com", "corp",
                                   "10.1.2.3", "IPV4", "sess-8f2a", attributes("department", "finance"), 0,
                                   &res));
}

static VELM_ResourceInfo *resourceInfo(void) {
  return NEED(VELM_ResourceInfo_Create(ctx, "/payroll/2026/december", "payroll-records", "file",
                                       attributes("classification", "confidential"), 0, &res));
}

static VELM_PermissionInfo *permissionInfo(void) {
  char *checked[] = {"read", "write", NULL};
  char *granted[] = {"read", NULL};
  char *denied[] = {"write", NULL};
  char *roles[] = {"auditor", NULL};
  return NEED(VELM_PermissionInfo_Create(ctx, checked, granted, denied, roles, roles, &res));
}

static VELM_RegistryObjectInfo *registryObjectInfo(const char *name) {
  return NEED(VELM_RegistryObjectInfo_Create(ctx, name, "corpLDAP", "user", "an employee account",
                                             attributes("mail", "jdoe@example.com"), 0, &res));
}

static VELM_MgmtInfo *mgmtInfo(void) {
  char *targets[] = {"cn=jdoe,ou=people", NULL};
  VELM_TargetInfo *t = NEED(VELM_TargetInfo_Create(ctx, targets, attributes("scope", "subtree"), 0, &res));
  return NEED(VELM_MgmtInfo_Create(ctx, t, "modify", 0, &res));
}

static void add(VELM_AuditElement *e, const char *what) { need(e, what); }

/* Adds the elements every event needs and a few common optional ones. */
static VELM_AuditEvent *newEvent(const char *type, const char *outcomeResult) {
  VELM_AuditEvent *ev = NEED(VELM_AuditEvent_Create(ctx, type, &res));
  add(VELM_AuditEvent_AddComponentIdElement(ev, "sourceComponentId", componentId("PayrollService"), 0, &res),
      "sourceComponentId");
  add(VELM_AuditEvent_AddOutcomeElement(
          ev, "outcome", NEED(VELM_Outcome_Create(ctx, outcomeResult, 0, 0, "none", &res)), 0, &res),
      "outcome");
  add(VELM_AuditEvent_AddStringElement(ev, "auditMsg", "Payroll record access <checked> & logged", 1, &res),
      "auditMsg");
  add(VELM_AuditEvent_AddLongElement(ev, "sequenceNumber", 9007199254740993LL, &res), "sequenceNumber");
  return ev;
}

static void addString(VELM_AuditEvent *ev, const char *name, const char *value) {
  add(VELM_AuditEvent_AddStringElement(ev, name, value, 1, &res), name);
}

static void addUser(VELM_AuditEvent *ev) {
  add(VELM_AuditEvent_AddUserInfoElement(ev, "userInfo", userInfo("jdoe"), 0, &res), "userInfo");
  add(VELM_AuditEvent_AddRegistryInfoElement(
          ev, "registryInfo",
          NEED(VELM_RegistryInfo_Create(ctx, "LDAP", "ldap.example.com", "FQHostname", "636", &res)), 0, &res),
      "registryInfo");
}

static VELM_AuditEvent *build(int i) {
  VELM_AuditEvent *ev = NULL;
  switch (i) {
    case 0:
      ev = newEvent("AUDIT_AUTHN", "SUCCESSFUL");
      addUser(ev);
      addString(ev, "authnType", "password");
      addString(ev, "action", "authenticate");
      break;
    case 1:
      ev = newEvent("AUDIT_AUTHN_TERMINATE", "SUCCESSFUL");
      addUser(ev);
      addString(ev, "authnType", "password");
      addString(ev, "action", "logout");
      addString(ev, "terminateReason", "user request");
      break;
    case 2:
      ev = newEvent("AUDIT_AUTHN_CREDS_MODIFY", "SUCCESSFUL");
      addUser(ev);
      addString(ev, "action", "changePassword");
      break;
    case 3:
      ev = newEvent("AUDIT_AUTHN_MAPPING", "SUCCESSFUL");
      addString(ev, "originalSecurityDomain", "partner.example.org");
      addString(ev, "originalUserName", "j.doe@partner");
      addString(ev, "mappedSecurityDomain", "example.com");
      addString(ev, "mappedUserName", "jdoe");
      break;
    case 4:
      ev = newEvent("AUDIT_AUTHZ", "SUCCESSFUL");
      addUser(ev);
      add(VELM_AuditEvent_AddResourceInfoElement(ev, "resourceInfo", resourceInfo(), 0, &res), "resourceInfo");
      add(VELM_AuditEvent_AddPermissionInfoElement(ev, "permissionInfo", permissionInfo(), 0, &res),
          "permissionInfo");
      addString(ev, "accessDecision", "permitted");
      addString(ev, "appName", "PayrollApp");
      addString(ev, "action", "read");
      break;
    case 5:
      ev = newEvent("AUDIT_MGMT_POLICY", "SUCCESSFUL");
      addUser(ev);
      addString(ev, "action", "update");
      add(VELM_AuditEvent_AddPolicyInfoElement(
              ev, "policyInfo",
              NEED(VELM_PolicyInfo_Create(ctx, "payrollAccess", "production", "acl", "who may read payroll",
                                          attributes("version", "7"), 0, &res)),
              0, &res),
          "policyInfo");
      add(VELM_AuditEvent_AddMgmtInfoElement(ev, "mgmtInfo", mgmtInfo(), 0, &res), "mgmtInfo");
      break;
    case 6:
      ev = newEvent("AUDIT_MGMT_REGISTRY", "SUCCESSFUL");
      addUser(ev);
      addString(ev, "action", "create");
      add(VELM_AuditEvent_AddRegistryObjectInfoElement(ev, "registryObjectInfo", registryObjectInfo("jdoe"), 0,
                                                       &res),
          "registryObjectInfo");
      break;
    case 7:
      ev = newEvent("AUDIT_RUNTIME", "SUCCESSFUL");
      addString(ev, "action", "statistic");
      add(VELM_AuditEvent_AddResourceInfoElement(ev, "resourceInfo", resourceInfo(), 0, &res), "resourceInfo");
      add(VELM_AuditEvent_AddPerfInfoElement(
              ev, "perfInfo",
              NEED(VELM_PerfInfo_Create(ctx, "requests", "requests served", 60, "count", 950, 12, 480, "sum",
                                        &res)),
              0, &res),
          "perfInfo");
      break;
    case 8:
      ev = newEvent("AUDIT_MGMT_CONFIG", "SUCCESSFUL");
      addUser(ev);
      addString(ev, "action", "modify");
      addString(ev, "type", "serverConfiguration");
      break;
    case 9:
      ev = newEvent("AUDIT_MGMT_PROVISIONING", "SUCCESSFUL");
      addUser(ev);
      add(VELM_AuditEvent_AddRegistryObjectInfoElement(ev, "targetUserInfo", registryObjectInfo("asmith"), 0,
                                                       &res),
          "targetUserInfo");
      addString(ev, "action", "provision");
      add(VELM_AuditEvent_AddProvisioningInfoElement(
              ev, "provisioningTargetInfo",
              NEED(VELM_ProvisioningInfo_Create(ctx, "asmith", "mail-server", "account", &res)), 0, &res),
          "provisioningTargetInfo");
      break;
    case 10:
      ev = newEvent("AUDIT_RUNTIME_KEY", "SUCCESSFUL");
      addString(ev, "keyLabel", "payroll-signing-2026");
      addString(ev, "location", "keys.example.com");
      addString(ev, "locationType", "FQHostname");
      addString(ev, "action", "rotate");
      break;
    case 11:
      ev = newEvent("AUDIT_PASSWORD_CHANGE", "SUCCESSFUL");
      addUser(ev);
      break;
    case 12:
      ev = newEvent("AUDIT_COMPLIANCE", "SUCCESSFUL");
      addString(ev, "complianceStatus", "nonCompliant");
      addString(ev, "violationName", "passwordAge");
      addString(ev, "severity", "high");
      addString(ev, "suppressed", "No");
      break;
    case 13:
      ev = newEvent("AUDIT_RESOURCE_ACCESS", "UNSUCCESSFUL");
      addUser(ev);
      add(VELM_AuditEvent_AddResourceInfoElement(ev, "resourceInfo", resourceInfo(), 0, &res), "resourceInfo");
      addString(ev, "action", "httpRequest");
      addString(ev, "accessDecision", "denied");
      addString(ev, "accessDecisionReason", "outside business hours");
      add(VELM_AuditEvent_AddHTTPURLInfoElement(
              ev, "httpURLInfo",
              NEED(VELM_HTTPURLInfo_Create(ctx, "https://app01.example.com/payroll?year=2026&month=12", "GET",
                                           403, "Accept: text/html", "Content-Length: 0", &res)),
              0, &res),
          "httpURLInfo");
      add(VELM_AuditEvent_AddPermissionInfoElement(ev, "permissionInfo", permissionInfo(), 0, &res),
          "permissionInfo");
      break;
    case 14:
      ev = newEvent("AUDIT_MGMT_RESOURCE", "SUCCESSFUL");
      addUser(ev);
      addString(ev, "action", "delete");
      add(VELM_AuditEvent_AddResourceInfoElement(ev, "resourceInfo", resourceInfo(), 0, &res), "resourceInfo");
      break;
    case 15:
      ev = newEvent("AUDIT_DATA_SYNC", "SUCCESSFUL");
      add(VELM_AuditEvent_AddResourceInfoElement(ev, "resourceInfo", resourceInfo(), 0, &res), "resourceInfo");
      addString(ev, "action", "synchronize");
      break;
    case 16:
      ev = newEvent("AUDIT_WORKFLOW", "SUCCESSFUL");
      addUser(ev);
      add(VELM_AuditEvent_AddWorkItemInfoElement(
              ev, "workItemInfo", NEED(VELM_WorkItemInfo_Create(ctx, "WI-2026-0042", "approval", &res)), 0,
              &res),
          "workItemInfo");
      addString(ev, "action", "approve");
      break;
  }
  return ev;
}

#endif
