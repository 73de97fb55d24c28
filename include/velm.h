/*
 * velm.h - C interface of the audit client library.
 *
 * An application creates a client context from a property list, builds audit
 * events out of typed elements and info records, and hands them to an audit
 * client that delivers them to the audit service.
 *
 * Conventions of every call:
 *  - The last argument is a caller-allocated VELM_result. The call resets its
 *    counts on entry (without freeing), and adds one entry per problem met.
 *    Call VELM_Result_Clean before reusing a record that holds messages.
 *  - Calls return 0 or a handle on success, -1 or NULL on failure.
 *  - Memory the library hands out is released by the caller with VELM_Free.
 *  - Text crosses the interface in the context's element code set.
 */
#ifndef VELM_H
#define VELM_H

#include <stddef.h>
#include <stdint.h>
#include <sys/time.h>

#if defined(__GNUC__)
#define VELM_API __attribute__((visibility("default")))
#else
#define VELM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Results ------------------------------------------------------------ */

/* One recorded problem: message number (1 to 67) and its formatted text. */
typedef struct VELM_error {
  int32_t code;
  char *message;
} VELM_error;

/* The caller's result record. Entries are owned by the record. */
typedef struct VELM_result {
  int32_t numErrors;  /* entries recorded; a negative value counts as 0 */
  int32_t maxErrors;  /* entries the array can hold */
  VELM_error *errors; /* heap array owned by the record */
} VELM_result;

/* ---- Value types -------------------------------------------------------- */

#define VELM_VT_INTEGER 1                          /* int32_t */
#define VELM_VT_LONG 2                             /* int64_t */
#define VELM_VT_STRING 3                           /* NUL-terminated text */
#define VELM_VT_DATETIME 4                         /* struct timeval */
#define VELM_VT_ATTRIBUTE 5                        /* VELM_Attribute */
#define VELM_VT_ATTRIBUTE_PERMISSION_INFO 6        /* VELM_AttributePermissionInfo */
#define VELM_VT_COMPONENT_ID 7                     /* VELM_ComponentId */
#define VELM_VT_HTTPURL_INFO 8                     /* VELM_HTTPURLInfo */
#define VELM_VT_MEMBERSHIP_INFO 9                  /* VELM_MembershipInfo */
#define VELM_VT_MGMT_INFO 10                       /* VELM_MgmtInfo */
#define VELM_VT_MSG_DATA_ELEMENT 11                /* VELM_MsgDataElement */
#define VELM_VT_OUTCOME 12                         /* VELM_Outcome */
#define VELM_VT_PERF_INFO 13                       /* VELM_PerfInfo */
#define VELM_VT_POLICY_INFO 14                     /* VELM_PolicyInfo */
#define VELM_VT_PERMISSION_INFO 15                 /* VELM_PermissionInfo */
#define VELM_VT_PROVISIONING_INFO 16               /* VELM_ProvisioningInfo */
#define VELM_VT_REGISTRY_INFO 17                   /* VELM_RegistryInfo */
#define VELM_VT_REGISTRY_OBJECT_INFO 18            /* VELM_RegistryObjectInfo */
#define VELM_VT_RESOURCE_INFO 19                   /* VELM_ResourceInfo */
#define VELM_VT_TARGET_INFO 20                     /* VELM_TargetInfo */
#define VELM_VT_USER_INFO 21                       /* VELM_UserInfo */
#define VELM_VT_WORK_ITEM_INFO 22                  /* VELM_WorkItemInfo */
#define VELM_VT_ATTRIBUTE_ARRAY 23                 /* NULL-ended VELM_Attribute* array */
#define VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY 24 /* NULL-ended VELM_AttributePermissionInfo* array */
#define VELM_VT_MEMBERSHIP_INFO_ARRAY 25           /* NULL-ended VELM_MembershipInfo* array */
#define VELM_VT_POLICY_INFO_ARRAY 26               /* NULL-ended VELM_PolicyInfo* array */

/* ---- Handles ------------------------------------------------------------ */

typedef struct VELM_AuditClientContext VELM_AuditClientContext;
typedef struct VELM_AuditClient VELM_AuditClient;
typedef struct VELM_AuditEvent VELM_AuditEvent;
typedef struct VELM_AuditElement VELM_AuditElement;
typedef struct VELM_Attribute VELM_Attribute;
typedef struct VELM_AttributePermissionInfo VELM_AttributePermissionInfo;
typedef struct VELM_ComponentId VELM_ComponentId;
typedef struct VELM_HTTPURLInfo VELM_HTTPURLInfo;
typedef struct VELM_MembershipInfo VELM_MembershipInfo;
typedef struct VELM_MgmtInfo VELM_MgmtInfo;
typedef struct VELM_MsgDataElement VELM_MsgDataElement;
typedef struct VELM_Outcome VELM_Outcome;
typedef struct VELM_PerfInfo VELM_PerfInfo;
typedef struct VELM_PolicyInfo VELM_PolicyInfo;
typedef struct VELM_PermissionInfo VELM_PermissionInfo;
typedef struct VELM_ProvisioningInfo VELM_ProvisioningInfo;
typedef struct VELM_RegistryInfo VELM_RegistryInfo;
typedef struct VELM_RegistryObjectInfo VELM_RegistryObjectInfo;
typedef struct VELM_ResourceInfo VELM_ResourceInfo;
typedef struct VELM_TargetInfo VELM_TargetInfo;
typedef struct VELM_UserInfo VELM_UserInfo;
typedef struct VELM_WorkItemInfo VELM_WorkItemInfo;

/* ---- Property list ------------------------------------------------------ */

/* One configuration property. valueType is VELM_VT_STRING (value points to
 * the text) or VELM_VT_INTEGER (value points to an int32_t). An array of
 * them ends with an entry whose name is NULL. */
typedef struct VELM_Property {
  const char *name;
  int32_t valueType;
  const void *value;
} VELM_Property;

/* ---- Results, memory, utilities ----------------------------------------- */
/* @section results (Results, messages and client context) */
/* @end results */

/* ---- Client context ----------------------------------------------------- */
/* @section context */
/* @end context */

/* ---- Audit elements ----------------------------------------------------- */
/* @section element */
/* @end element */

/* ---- Audit events ------------------------------------------------------- */
/* @section event */
/* @end event */

/* ---- Info records: simple families -------------------------------------- */
/* @section info_simple */
/* @end info_simple */

/* ---- Info records: families with arrays and nested records --------------- */
/* @section info_nested */
/* @end info_nested */

/* ---- Validation (an addition to the original interface) ----------------- */
/* @section validate */
/* @end validate */

/* ---- XML (an addition to the original interface) ------------------------ */
/* @section xml */
/* @end xml */

#ifdef __cplusplus
}
#endif

#endif /* VELM_H */
