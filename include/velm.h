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
 *  - A handle that is not of the kind the call expects (another kind, one
 *    already deleted, a stray pointer to library memory) is reported like a
 *    null one: messages 10, 12 and 13 for context, event and client handles,
 *    message 9 naming the parameter for element and record handles.
 *  - Nothing is thrown across the interface: running out of memory gives
 *    message 1, any other internal failure message 64, with the failure value.
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

/* Frees every message text of the record and its array, then sets numErrors
 * and maxErrors to 0 and errors to NULL. Returns 0, or -1 for a NULL record.
 * Call it before reusing a record that holds messages. */
VELM_API int VELM_Result_Clean(VELM_result *result);

/* Allocates size bytes from the library's heap; NULL when memory ran out.
 * Release the memory with VELM_Free. */
VELM_API void *VELM_Malloc(size_t size);

/* Releases memory that the library handed out (or VELM_Malloc returned).
 * Returns 0, or -1 for a NULL pointer. */
VELM_API int VELM_Free(void *ptr);

/* Sleeps the calling thread for the given whole seconds. Returns 0. */
VELM_API int VELM_Sleep(int seconds);

/* The constant version text "VELM_C_CLIENT_VERSION=6.0.0.1". Borrowed: do
 * not free it. */
VELM_API const char *getVELMCClientVersion(void);

/* @end results */

/* ---- Client context ----------------------------------------------------- */
/* @section context */

/* Creates a client context from a property list ended by an entry whose name
 * is NULL (see VELM_Property). Returns the context, or NULL with the reasons
 * in result (no message when result itself is NULL). The property list and
 * its values stay the caller's; the context copies what it keeps. Release the
 * context with VELM_AuditClientContext_Delete after deleting its client. Any
 * thread may create contexts at the same time. */
VELM_API VELM_AuditClientContext *VELM_AuditClientContext_Create(const VELM_Property *propertyList,
                                                                 VELM_result *result);

/* Deletes the context and everything it owns (loggers, catalogue, tables);
 * the last context of the process also stops the process-wide runtimes.
 * Delete its audit client first; no other thread may still use it. A
 * library thread that outlived the client's deletion (stuck in a request)
 * is waited for, up to responseTimeout plus 30 seconds; if it is still
 * there the context is left allocated rather than freed under it.
 * Returns 0, or -1 when a parameter is NULL. */
VELM_API int VELM_AuditClientContext_Delete(VELM_AuditClientContext *context, VELM_result *result);

/* Sets the context's trace level. Returns 0, or -1 when a parameter is NULL
 * or the context has no trace file (then without a message). */
VELM_API int VELM_AuditClientContext_SetTraceLevel(VELM_AuditClientContext *context, int level,
                                                   VELM_result *result);

/* Returns the context's current trace level, or -1 when a parameter is NULL. */
VELM_API int VELM_AuditClientContext_GetTraceLevel(VELM_AuditClientContext *context, VELM_result *result);

/* @end context */

/* ---- Audit client ------------------------------------------------------- */
/* @section client */
/*
 * The audit client delivers events to the audit service named by the
 * context's serverURL. A context has at most one client. Create it after the
 * context; any number of application threads may then call
 * VELM_AuditClient_SendEvent (and VELM_AuditClient_GetStats) at once; delete
 * it, with no send still running, before deleting the context.
 *
 * Delivery is asynchronous: a send validates the event, stamps it with a
 * "globalInstanceId" unless it carries one, and queues it. numberEQThreads
 * queue threads take batches of up to transferSize events (at once when
 * hiWater events wait, otherwise once the oldest has waited flushInterval
 * seconds) and post them to the service, retrying numberRetries times
 * retryInterval seconds apart; with a disk cache a batch that cannot be
 * delivered is cached, without one ("never") it is retried until it goes
 * through or the client is deleted. A full queue (queueSize) makes the
 * sender wait up to tempStorageFullTimeout seconds (-1: as long as it stays
 * full) and then drops the event, counting it; with useDiskCache "auto" the
 * sender hands its event to the service or the cache itself instead. With
 * "always" every send converts and caches its event before returning.
 *
 * Additions to the original interface: VELM_AuditClient_GetStats with
 * VELM_DeliveryStats, and HTTP keep-alive (connections to the service are
 * kept open and reused across batches; the requests are unchanged).
 */

/* Creates the context's audit client: checks that the service answers,
 * sets up the event queue and starts the queue threads (and, with a disk
 * cache, its files and manager threads). Returns the client, or NULL:
 * message 61 when the context already has a client (that client stays
 * valid), the transport's message when the service cannot be reached and
 * useDiskCache is "never", 52 or 53 when no thread could be started. When
 * fewer threads than requested started, the client is returned and result
 * holds message 54 or 55. Release the client with VELM_AuditClient_Delete.
 * Call it from one thread, with no other call on the same context running. */
VELM_API VELM_AuditClient *VELM_AuditClient_Create(VELM_AuditClientContext *context, VELM_result *result);

/* Validates the event, adds "globalInstanceId" (a 53-character text
 * "DXA60...", unique in the process) unless the event already has that
 * top-level element, and queues it (or, with "always", caches it at once).
 * Returns 0: the event now belongs to the library, which deletes it once it
 * has been sent, cached or dropped; do not touch or delete it any more.
 * Returns -1 with the reasons in result: the event stays the caller's.
 * May block while the queue is full (see above). Any thread may call it. */
VELM_API int VELM_AuditClient_SendEvent(VELM_AuditClient *client, VELM_AuditEvent *event, VELM_result *result);

/* Delivers what the queue holds within shutDownTimeout seconds (-1: no
 * limit, 0: no wait), stops the threads (giving them at least 20 seconds
 * more), and frees the client. Events left on the queue are lost (message
 * 18); events dropped while the service was unavailable are reported once
 * (message 67). An idle client is deleted at once. Returns 0, or -1 with
 * message 13 when client is NULL or not a live client. No other call on the
 * client may run meanwhile; afterwards the handle is invalid. */
VELM_API int VELM_AuditClient_Delete(VELM_AuditClient *client, VELM_result *result);

/* Delivery counters of the client's context since it was created (an
 * addition to the original interface). Every field only grows, except
 * queueDepth. */
typedef struct VELM_DeliveryStats {
  uint64_t eventsAccepted;  /* sends that returned 0 */
  uint64_t eventsDelivered; /* events in requests the service accepted */
  uint64_t batchesSent;     /* requests the service accepted */
  uint64_t retries;         /* attempts made after a failed one */
  uint64_t eventsCached;    /* events written to the disk cache */
  uint64_t eventsDiscarded; /* events dropped on a full queue or cache */
  uint64_t eventsRejected;  /* events the service refused as invalid */
  uint64_t queueDepth;      /* events queued right now */
} VELM_DeliveryStats;

/* Fills *stats (caller-owned) with the client's counters; queueDepth is
 * read under the queue's lock, the others are each read atomically (they
 * are not a consistent snapshot of one instant while events move). Returns
 * 0, or -1 with message 13 (bad client) or 9 (NULL stats). Any thread may
 * call it while the client exists. An addition to the original interface. */
VELM_API int VELM_AuditClient_GetStats(VELM_AuditClient *client, VELM_DeliveryStats *stats, VELM_result *result);

/* @end client */

/* ---- Audit elements ----------------------------------------------------- */
/* @section element */
/*
 * An audit element is a named, typed value with ordered sub-elements. It is
 * made by adding it to a parent (an event or another element) and belongs to
 * that parent: the handles returned below are borrowed, never freed by the
 * caller, and live until their event is deleted. A static element (see
 * VELM_AuditElement_SetStatic) is shared instead: it may be attached to many
 * parents, survives them all, and ends with VELM_AuditElement_DeleteStatic.
 *
 * Names: always copied (converted from the element code set). A name with
 * "." is a path relative to the parent: "a.b" adds b under the existing
 * child a. Names are unique among the children of one parent.
 *
 * copyFlag: non-zero makes the library copy the value (strings converted
 * from the element code set, records deep-copied and checked again); the
 * caller keeps its own. 0 makes the element adopt the pointer unchanged and
 * release it when the element is released: it must come from the heap
 * (VELM_Malloc, or a record's create call), and a string must already be
 * UTF-8. When an add fails, the value stays with the caller in both cases.
 *
 * valueType is one of VELM_VT_INTEGER (1) to VELM_VT_POLICY_INFO_ARRAY (26).
 * Elements are not locked: one thread at a time per tree.
 */

/* Adds an element of valueType under parentElement. Returns the new element
 * (borrowed), or NULL. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddElement(VELM_AuditClientContext *context,
                                                         VELM_AuditElement *parentElement, const char *name,
                                                         int valueType, const void *value, int copyFlag,
                                                         VELM_result *result);
/* Typed adders: VELM_AuditElement_AddElement with the type fixed. Integer
 * and long values are passed by value and always copied. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddIntegerElement(VELM_AuditClientContext *context,
                                                                VELM_AuditElement *parentElement,
                                                                const char *name, int32_t value,
                                                                VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddLongElement(VELM_AuditClientContext *context,
                                                             VELM_AuditElement *parentElement, const char *name,
                                                             int64_t value, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddStringElement(VELM_AuditClientContext *context,
                                                               VELM_AuditElement *parentElement, const char *name,
                                                               const char *value, int copyFlag,
                                                               VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddDateTimeElement(VELM_AuditClientContext *context,
                                                                 VELM_AuditElement *parentElement,
                                                                 const char *name, const struct timeval *value,
                                                                 int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddAttributeElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_Attribute *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddAttributePermissionInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_AttributePermissionInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddComponentIdElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_ComponentId *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddHTTPURLInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_HTTPURLInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddMembershipInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_MembershipInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddMgmtInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_MgmtInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddMsgDataElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_MsgDataElement *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddOutcomeElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_Outcome *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddPerfInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_PerfInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddPolicyInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_PolicyInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddPermissionInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_PermissionInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddProvisioningInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_ProvisioningInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddRegistryInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_RegistryInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddRegistryObjectInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_RegistryObjectInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddResourceInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_ResourceInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddTargetInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_TargetInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddUserInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_UserInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddWorkItemInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_WorkItemInfo *value, int copyFlag, VELM_result *result);
/* Arrays: NULL-terminated arrays of record pointers. With copyFlag 0 the
 * element adopts the array and every record in it. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddAttributeArrayElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_Attribute **value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddAttributePermissionInfoArrayElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_AttributePermissionInfo **value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddMembershipInfoArrayElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_MembershipInfo **value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditElement_AddPolicyInfoArrayElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_PolicyInfo **value, int copyFlag, VELM_result *result);

/* Attaches the static element staticElement under parentElement (fails for
 * an element that is not static). Returns staticElement, or NULL. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddStaticElement(VELM_AuditClientContext *context,
                                                               VELM_AuditElement *parentElement,
                                                               VELM_AuditElement *staticElement,
                                                               VELM_result *result);
/* Releases a static element with its value and its non-static sub-elements;
 * sub-elements still static stay valid (release them afterwards, parent
 * first). Do not call it while an event or element that holds the element
 * (including an event handed to the audit client) is alive. 0, or -1. */
VELM_API int VELM_AuditElement_DeleteStatic(VELM_AuditClientContext *context, VELM_AuditElement *elementHandle,
                                            VELM_result *result);
/* Finds a sub-element by name or dotted path. Returns it (borrowed), or NULL
 * when absent (not an error: the result stays empty). */
VELM_API VELM_AuditElement *VELM_AuditElement_GetElement(VELM_AuditClientContext *context,
                                                         VELM_AuditElement *parentElementHandle,
                                                         const char *subElementName, VELM_result *result);
/* The element's name as a new string in the element code set; free it with
 * VELM_Free. NULL on failure. */
VELM_API char *VELM_AuditElement_GetName(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                         VELM_result *result);
/* The value. For VELM_VT_STRING a new string in the element code set (free
 * it with VELM_Free); for every other type the element's own value, borrowed
 * and read-only. NULL for a null handle or value. */
VELM_API void *VELM_AuditElement_GetValue(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                          VELM_result *result);
/* 1 if the element is static, 0 if not, -1 for a null handle. */
VELM_API int VELM_AuditElement_IsStatic(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                        VELM_result *result);
/* Makes the element and its whole subtree static. It then takes no further
 * sub-elements. 0, or -1. */
VELM_API int VELM_AuditElement_SetStatic(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                         VELM_result *result);
/* The value type (1 to 26), or -1 for a null handle. */
VELM_API int VELM_AuditElement_GetValueType(VELM_AuditClientContext *context,
                                            VELM_AuditElement *element_Handle, VELM_result *result);
/* @end element */

/* ---- Audit events ------------------------------------------------------- */
/* @section event */
/*
 * An audit event: an event type, the time of its creation and a set of
 * uniquely named top-level elements (see the element section for names,
 * dotted paths, copyFlag and value ownership; the event adders are the
 * element adders with the event as parent). The event keeps a pointer to
 * its context, which must outlive it. Events are not locked: one thread
 * builds an event; after VELM_AuditClient_SendEvent returns 0 the event
 * belongs to the library and must not be touched or deleted.
 */

/* Creates an event of eventType (any text; only validation compares it with
 * the predefined types), stamped with the current time. Release it with
 * VELM_AuditEvent_Delete unless it is sent. NULL on failure. */
VELM_API VELM_AuditEvent *VELM_AuditEvent_Create(VELM_AuditClientContext *context, const char *eventType,
                                                 VELM_result *result);
/* Adds a top-level element (or, with a dotted name, a sub-element of an
 * existing one). Returns the new element (borrowed), or NULL. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddElement(VELM_AuditEvent *event, const char *name, int valueType,
                                                       const void *value, int copyFlag, VELM_result *result);
/* Typed adders: VELM_AuditEvent_AddElement with the type fixed. Integer and
 * long values are passed by value and always copied. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddIntegerElement(VELM_AuditEvent *event, const char *name,
                                                              int32_t value, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddLongElement(VELM_AuditEvent *event, const char *name,
                                                           int64_t value, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddStringElement(VELM_AuditEvent *event, const char *name,
                                                             const char *value, int copyFlag,
                                                             VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddDateTimeElement(VELM_AuditEvent *event, const char *name,
                                                               const struct timeval *value, int copyFlag,
                                                               VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddAttributeElement(VELM_AuditEvent *event, const char *name,
    VELM_Attribute *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddAttributePermissionInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_AttributePermissionInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddComponentIdElement(VELM_AuditEvent *event, const char *name,
    VELM_ComponentId *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddHTTPURLInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_HTTPURLInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddMembershipInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_MembershipInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddMgmtInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_MgmtInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddMsgDataElement(VELM_AuditEvent *event, const char *name,
    VELM_MsgDataElement *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddOutcomeElement(VELM_AuditEvent *event, const char *name,
    VELM_Outcome *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddPerfInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_PerfInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddPolicyInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_PolicyInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddPermissionInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_PermissionInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddProvisioningInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_ProvisioningInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddRegistryInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_RegistryInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddRegistryObjectInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_RegistryObjectInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddResourceInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_ResourceInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddTargetInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_TargetInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddUserInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_UserInfo *value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddWorkItemInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_WorkItemInfo *value, int copyFlag, VELM_result *result);
/* Arrays: NULL-terminated arrays of record pointers. With copyFlag 0 the
 * element adopts the array and every record in it. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddAttributeArrayElement(VELM_AuditEvent *event, const char *name,
    VELM_Attribute **value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddAttributePermissionInfoArrayElement(VELM_AuditEvent *event, const char *name,
    VELM_AttributePermissionInfo **value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddMembershipInfoArrayElement(VELM_AuditEvent *event, const char *name,
    VELM_MembershipInfo **value, int copyFlag, VELM_result *result);
VELM_API VELM_AuditElement *VELM_AuditEvent_AddPolicyInfoArrayElement(VELM_AuditEvent *event, const char *name,
    VELM_PolicyInfo **value, int copyFlag, VELM_result *result);
/* Attaches the static element staticElement at the top level (fails for an
 * element that is not static, or one already in this event). Returns
 * staticElement, or NULL. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddStaticElement(VELM_AuditEvent *event,
                                                             VELM_AuditElement *staticElement,
                                                             VELM_result *result);
/* Finds an element by name or dotted path. Returns it (borrowed), or NULL
 * when absent (not an error: the result stays empty). */
VELM_API VELM_AuditElement *VELM_AuditEvent_GetElement(VELM_AuditEvent *event, const char *elementName,
                                                       VELM_result *result);
/* The event type as a new string in the element code set; free it with
 * VELM_Free. NULL on failure. */
VELM_API char *VELM_AuditEvent_GetType(VELM_AuditEvent *event, VELM_result *result);
/* The creation time: the event's own value, borrowed and read-only, the same
 * pointer on every call. NULL if it could not be allocated at creation. */
VELM_API const struct timeval *VELM_AuditEvent_GetDefaultTimeStamp(VELM_AuditEvent *event, VELM_result *result);
/* Releases the event with its elements (static elements stay valid). 0, or
 * -1 when some element could not be released (the rest is released). */
VELM_API int VELM_AuditEvent_Delete(VELM_AuditEvent *event, VELM_result *result);
/* @end event */

/* ---- Info records: simple families -------------------------------------- */
/* @section info_simple */
/*
 * Simple info records. Each family has a create, a delete and one getter
 * per field, all following the conventions above:
 *  - Create copies every text it is given (converted from the element code
 *    set into UTF-8); the caller keeps and frees its own texts. It returns a
 *    new record, or NULL when a required parameter is NULL (message 9 naming
 *    it), a value is not allowed (message 8) or memory ran out (message 1).
 *    Release the record with the family's Delete, unless it was handed to an
 *    element with copyFlag 0 (then the element releases it).
 *  - Delete returns 0, or -1 for a NULL context, result or record.
 *  - A string getter returns a new text in the element code set; free it
 *    with VELM_Free. A field that was not given returns NULL and records
 *    nothing. An integer getter returns the value, or -1 for a NULL record.
 *  - A NULL record handle gives message 9 with the family's handle name.
 * Records are never changed after creation; a record belongs to one thread
 * until it is handed to an element.
 */

/* Name/value pair with an optional source. name and value are required. */
VELM_API VELM_Attribute *VELM_Attribute_Create(VELM_AuditClientContext *context, const char *name,
                                               const char *value, const char *source, VELM_result *result);
VELM_API int VELM_Attribute_Delete(VELM_AuditClientContext *context, VELM_Attribute *attribute,
                                   VELM_result *result);
VELM_API char *VELM_Attribute_GetName(VELM_AuditClientContext *context, const VELM_Attribute *attribute,
                                      VELM_result *result);
VELM_API char *VELM_Attribute_GetValue(VELM_AuditClientContext *context, const VELM_Attribute *attribute,
                                       VELM_result *result);
VELM_API char *VELM_Attribute_GetSource(VELM_AuditClientContext *context, const VELM_Attribute *attribute,
                                        VELM_result *result);

/* Identity of a reporting or source component. Required, checked in this
 * order: location, locationType (one of "Unknown", "IPV4", "IPV6", "NWA",
 * "ISDN", "ICD", "OID-OSI", "Dial", "HWA", "HID", "X25", "DCC", "SNA", "IPX",
 * "E.164", "Hostname", "FQHostname", "Devicename", exact case), application,
 * component, componentType, componentIdType, subcomponent. */
VELM_API VELM_ComponentId *VELM_ComponentId_Create(VELM_AuditClientContext *context, const char *location,
                                                   const char *locationType, const char *application,
                                                   const char *executionEnvironment, const char *component,
                                                   const char *componentType, const char *componentIdType,
                                                   const char *subcomponent, const char *instanceId,
                                                   const char *processId, const char *threadId,
                                                   VELM_result *result);
VELM_API int VELM_ComponentId_Delete(VELM_AuditClientContext *context, VELM_ComponentId *componentId,
                                     VELM_result *result);
VELM_API char *VELM_ComponentId_GetLocation(VELM_AuditClientContext *context, const VELM_ComponentId *componentId,
                                            VELM_result *result);
VELM_API char *VELM_ComponentId_GetLocationType(VELM_AuditClientContext *context,
                                                const VELM_ComponentId *componentId, VELM_result *result);
VELM_API char *VELM_ComponentId_GetApplication(VELM_AuditClientContext *context,
                                               const VELM_ComponentId *componentId, VELM_result *result);
/* Returns the executionEnvironment field. */
VELM_API char *VELM_ComponentId_GetExecuteEnv(VELM_AuditClientContext *context,
                                              const VELM_ComponentId *componentId, VELM_result *result);
VELM_API char *VELM_ComponentId_GetComponent(VELM_AuditClientContext *context, const VELM_ComponentId *componentId,
                                             VELM_result *result);
VELM_API char *VELM_ComponentId_GetComponentType(VELM_AuditClientContext *context,
                                                 const VELM_ComponentId *componentId, VELM_result *result);
VELM_API char *VELM_ComponentId_GetComponentIdType(VELM_AuditClientContext *context,
                                                   const VELM_ComponentId *componentId, VELM_result *result);
VELM_API char *VELM_ComponentId_GetSubcomponent(VELM_AuditClientContext *context,
                                                const VELM_ComponentId *componentId, VELM_result *result);
VELM_API char *VELM_ComponentId_GetInstanceId(VELM_AuditClientContext *context,
                                              const VELM_ComponentId *componentId, VELM_result *result);
VELM_API char *VELM_ComponentId_GetProcessId(VELM_AuditClientContext *context, const VELM_ComponentId *componentId,
                                             VELM_result *result);
VELM_API char *VELM_ComponentId_GetThreadId(VELM_AuditClientContext *context, const VELM_ComponentId *componentId,
                                            VELM_result *result);

/* An HTTP request. url and method are required. */
VELM_API VELM_HTTPURLInfo *VELM_HTTPURLInfo_Create(VELM_AuditClientContext *context, const char *url,
                                                   const char *method, int32_t responseCode,
                                                   const char *requestHeaders, const char *responseHeaders,
                                                   VELM_result *result);
VELM_API int VELM_HTTPURLInfo_Delete(VELM_AuditClientContext *context, VELM_HTTPURLInfo *HTTPURLInfo,
                                     VELM_result *result);
VELM_API char *VELM_HTTPURLInfo_GetUrl(VELM_AuditClientContext *context, const VELM_HTTPURLInfo *HTTPURLInfo,
                                       VELM_result *result);
VELM_API char *VELM_HTTPURLInfo_GetMethod(VELM_AuditClientContext *context, const VELM_HTTPURLInfo *HTTPURLInfo,
                                          VELM_result *result);
VELM_API int32_t VELM_HTTPURLInfo_GetResponseCode(VELM_AuditClientContext *context,
                                                  const VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *result);
VELM_API char *VELM_HTTPURLInfo_GetRequestHeaders(VELM_AuditClientContext *context,
                                                  const VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *result);
VELM_API char *VELM_HTTPURLInfo_GetResponseHeaders(VELM_AuditClientContext *context,
                                                   const VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *result);

/* A group or role membership. type is required. */
VELM_API VELM_MembershipInfo *VELM_MembershipInfo_Create(VELM_AuditClientContext *context, const char *type,
                                                         const char *id, const char *name, VELM_result *result);
/* A NULL record is reported with the handle name "membershipInfo__Handle". */
VELM_API int VELM_MembershipInfo_Delete(VELM_AuditClientContext *context, VELM_MembershipInfo *membershipInfo,
                                        VELM_result *result);
VELM_API char *VELM_MembershipInfo_GetType(VELM_AuditClientContext *context,
                                           const VELM_MembershipInfo *membershipInfo, VELM_result *result);
VELM_API char *VELM_MembershipInfo_GetId(VELM_AuditClientContext *context,
                                         const VELM_MembershipInfo *membershipInfo, VELM_result *result);
VELM_API char *VELM_MembershipInfo_GetName(VELM_AuditClientContext *context,
                                           const VELM_MembershipInfo *membershipInfo, VELM_result *result);

/* The result of the audited action. result is required and must be exactly
 * "SUCCESSFUL" or "UNSUCCESSFUL" (message 8 otherwise); failureReason is
 * required when it is "UNSUCCESSFUL". */
VELM_API VELM_Outcome *VELM_Outcome_Create(VELM_AuditClientContext *context, const char *result,
                                           int32_t majorStatus, int32_t minorStatus, const char *failureReason,
                                           VELM_result *resultRecord);
VELM_API int VELM_Outcome_Delete(VELM_AuditClientContext *context, VELM_Outcome *outcome, VELM_result *result);
VELM_API char *VELM_Outcome_GetResult(VELM_AuditClientContext *context, const VELM_Outcome *outcome,
                                      VELM_result *result);
VELM_API int32_t VELM_Outcome_GetMajorStatus(VELM_AuditClientContext *context, const VELM_Outcome *outcome,
                                             VELM_result *result);
VELM_API int32_t VELM_Outcome_GetMinorStatus(VELM_AuditClientContext *context, const VELM_Outcome *outcome,
                                             VELM_result *result);
VELM_API char *VELM_Outcome_GetFailureReason(VELM_AuditClientContext *context, const VELM_Outcome *outcome,
                                             VELM_result *result);

/* A performance statistic. Required, in this order: name, description,
 * unit, aggregate. The 64-bit getters return -1 for a NULL record. */
VELM_API VELM_PerfInfo *VELM_PerfInfo_Create(VELM_AuditClientContext *context, const char *name,
                                             const char *description, int32_t numDataPoints, const char *unit,
                                             int64_t maxValue, int64_t minValue, int64_t value,
                                             const char *aggregate, VELM_result *result);
VELM_API int VELM_PerfInfo_Delete(VELM_AuditClientContext *context, VELM_PerfInfo *perfInfo, VELM_result *result);
VELM_API char *VELM_PerfInfo_GetName(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                     VELM_result *result);
VELM_API char *VELM_PerfInfo_GetDescription(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                            VELM_result *result);
VELM_API int32_t VELM_PerfInfo_GetNumDataPoints(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                                VELM_result *result);
VELM_API char *VELM_PerfInfo_GetUnit(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                     VELM_result *result);
VELM_API int64_t VELM_PerfInfo_GetMaxValue(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                           VELM_result *result);
VELM_API int64_t VELM_PerfInfo_GetMinValue(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                           VELM_result *result);
VELM_API int64_t VELM_PerfInfo_GetValue(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                        VELM_result *result);
VELM_API char *VELM_PerfInfo_GetAggregate(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                          VELM_result *result);

/* An account provisioned on a resource. resourceId is required. */
VELM_API VELM_ProvisioningInfo *VELM_ProvisioningInfo_Create(VELM_AuditClientContext *context,
                                                             const char *accountId, const char *resourceId,
                                                             const char *resourceType, VELM_result *result);
/* A NULL record is reported with the handle name "provsioningInfo_Handle". */
VELM_API int VELM_ProvisioningInfo_Delete(VELM_AuditClientContext *context,
                                          VELM_ProvisioningInfo *provisioningInfo, VELM_result *result);
VELM_API char *VELM_ProvisioningInfo_GetAccountId(VELM_AuditClientContext *context,
                                                  const VELM_ProvisioningInfo *provisioningInfo,
                                                  VELM_result *result);
VELM_API char *VELM_ProvisioningInfo_GetResourceId(VELM_AuditClientContext *context,
                                                   const VELM_ProvisioningInfo *provisioningInfo,
                                                   VELM_result *result);
VELM_API char *VELM_ProvisioningInfo_GetResourceType(VELM_AuditClientContext *context,
                                                     const VELM_ProvisioningInfo *provisioningInfo,
                                                     VELM_result *result);

/* The user registry involved. All four fields are required, in order;
 * serverLocationType must be a location type (see VELM_ComponentId_Create)
 * and serverPort is text. */
VELM_API VELM_RegistryInfo *VELM_RegistryInfo_Create(VELM_AuditClientContext *context, const char *type,
                                                     const char *serverLocation, const char *serverLocationType,
                                                     const char *serverPort, VELM_result *result);
VELM_API int VELM_RegistryInfo_Delete(VELM_AuditClientContext *context, VELM_RegistryInfo *registryInfo,
                                      VELM_result *result);
VELM_API char *VELM_RegistryInfo_GetType(VELM_AuditClientContext *context, const VELM_RegistryInfo *registryInfo,
                                         VELM_result *result);
VELM_API char *VELM_RegistryInfo_GetServerLocation(VELM_AuditClientContext *context,
                                                   const VELM_RegistryInfo *registryInfo, VELM_result *result);
VELM_API char *VELM_RegistryInfo_GetServerLocationType(VELM_AuditClientContext *context,
                                                       const VELM_RegistryInfo *registryInfo, VELM_result *result);
VELM_API char *VELM_RegistryInfo_GetServerPort(VELM_AuditClientContext *context,
                                               const VELM_RegistryInfo *registryInfo, VELM_result *result);

/* A workflow item. id and type are required. */
VELM_API VELM_WorkItemInfo *VELM_WorkItemInfo_Create(VELM_AuditClientContext *context, const char *id,
                                                     const char *type, VELM_result *result);
VELM_API int VELM_WorkItemInfo_Delete(VELM_AuditClientContext *context, VELM_WorkItemInfo *workItemInfo,
                                      VELM_result *result);
VELM_API char *VELM_WorkItemInfo_GetId(VELM_AuditClientContext *context, const VELM_WorkItemInfo *workItemInfo,
                                       VELM_result *result);
VELM_API char *VELM_WorkItemInfo_GetType(VELM_AuditClientContext *context, const VELM_WorkItemInfo *workItemInfo,
                                         VELM_result *result);
/* @end info_simple */

/* ---- Info records: families with arrays and nested records --------------- */
/* @section info_nested */
/*
 * Families whose fields include string arrays, attribute arrays or a nested
 * record. The common rules of the info records hold (creates check their
 * required parameters in field order, texts are converted from the element
 * code set into UTF-8, string getters return a new string in the element code
 * set that the caller frees with VELM_Free, a null field gives NULL with an
 * empty result). In addition:
 *  - A string array is a NULL-terminated array of texts. Creates always copy
 *    the caller's arrays. String-array getters return a new array of new
 *    strings: free every string and then the array with VELM_Free.
 *  - An attribute array is a NULL-terminated array of VELM_Attribute
 *    pointers. With copyFlag non-zero the record deep-copies it and the caller
 *    keeps its own. With copyFlag 0 the record adopts the array (which must
 *    come from VELM_Malloc, its attributes from VELM_Attribute_Create) and
 *    releases it with itself; a create that fails leaves it with the caller.
 *    The nested VELM_TargetInfo of VELM_MgmtInfo follows the same rule.
 *  - Attribute-array and target-info getters return the record's own pointer,
 *    valid while the record lives; do not change or free it.
 *  - Deletes release the record and everything it owns; 0, or -1.
 */

/* VELM_AttributePermissionInfo: permissions on attributes. attributeNames and
 * checked are required. */
VELM_API VELM_AttributePermissionInfo *VELM_AttributePermissionInfo_Create(
    VELM_AuditClientContext *context, char *const *attributeNames, char *const *checked, char *const *granted,
    char *const *denied, VELM_result *result);
VELM_API int VELM_AttributePermissionInfo_Delete(VELM_AuditClientContext *context,
                                                 VELM_AttributePermissionInfo *attrPermInfo,
                                                 VELM_result *result);
VELM_API char **VELM_AttributePermissionInfo_GetAttributeNames(
    VELM_AuditClientContext *context, const VELM_AttributePermissionInfo *attrPermInfo, VELM_result *result);
VELM_API char **VELM_AttributePermissionInfo_GetChecked(VELM_AuditClientContext *context,
                                                        const VELM_AttributePermissionInfo *attrPermInfo,
                                                        VELM_result *result);
VELM_API char **VELM_AttributePermissionInfo_GetGranted(VELM_AuditClientContext *context,
                                                        const VELM_AttributePermissionInfo *attrPermInfo,
                                                        VELM_result *result);
VELM_API char **VELM_AttributePermissionInfo_GetDenied(VELM_AuditClientContext *context,
                                                       const VELM_AttributePermissionInfo *attrPermInfo,
                                                       VELM_result *result);

/* VELM_MsgDataElement: a reference to a message in a message catalogue. Every
 * field is optional; msgCatalogTokens is a string array. */
VELM_API VELM_MsgDataElement *VELM_MsgDataElement_Create(VELM_AuditClientContext *context, const char *msgId,
                                                         const char *msgIdType, const char *msgCatalogId,
                                                         char *const *msgCatalogTokens,
                                                         const char *msgCatalog, const char *msgCatalogType,
                                                         const char *msgLocale, VELM_result *result);
/* Returns 0 for any non-NULL record. */
VELM_API int VELM_MsgDataElement_Delete(VELM_AuditClientContext *context, VELM_MsgDataElement *msgDataElement,
                                        VELM_result *result);
VELM_API char *VELM_MsgDataElement_GetMsgId(VELM_AuditClientContext *context,
                                            const VELM_MsgDataElement *msgDataElement, VELM_result *result);
VELM_API char *VELM_MsgDataElement_GetMsgIdType(VELM_AuditClientContext *context,
                                                const VELM_MsgDataElement *msgDataElement,
                                                VELM_result *result);
VELM_API char *VELM_MsgDataElement_GetMsgCatalogId(VELM_AuditClientContext *context,
                                                   const VELM_MsgDataElement *msgDataElement,
                                                   VELM_result *result);
VELM_API char **VELM_MsgDataElement_GetMsgCatalogTokens(VELM_AuditClientContext *context,
                                                        const VELM_MsgDataElement *msgDataElement,
                                                        VELM_result *result);
VELM_API char *VELM_MsgDataElement_GetMsgCatalog(VELM_AuditClientContext *context,
                                                 const VELM_MsgDataElement *msgDataElement,
                                                 VELM_result *result);
VELM_API char *VELM_MsgDataElement_GetMsgCatalogType(VELM_AuditClientContext *context,
                                                     const VELM_MsgDataElement *msgDataElement,
                                                     VELM_result *result);
VELM_API char *VELM_MsgDataElement_GetMsgLocale(VELM_AuditClientContext *context,
                                                const VELM_MsgDataElement *msgDataElement,
                                                VELM_result *result);

/* VELM_PermissionInfo: permissions checked and granted; all fields are
 * string arrays, checked is required. */
VELM_API VELM_PermissionInfo *VELM_PermissionInfo_Create(VELM_AuditClientContext *context,
                                                         char *const *checked, char *const *granted,
                                                         char *const *denied, char *const *J2EERolesChecked,
                                                         char *const *J2EERolesGranted, VELM_result *result);
VELM_API int VELM_PermissionInfo_Delete(VELM_AuditClientContext *context, VELM_PermissionInfo *permInfo,
                                        VELM_result *result);
VELM_API char **VELM_PermissionInfo_GetChecked(VELM_AuditClientContext *context,
                                               const VELM_PermissionInfo *permInfo, VELM_result *result);
VELM_API char **VELM_PermissionInfo_GetGranted(VELM_AuditClientContext *context,
                                               const VELM_PermissionInfo *permInfo, VELM_result *result);
VELM_API char **VELM_PermissionInfo_GetDenied(VELM_AuditClientContext *context,
                                              const VELM_PermissionInfo *permInfo, VELM_result *result);
VELM_API char **VELM_PermissionInfo_GetJ2EERolesChecked(VELM_AuditClientContext *context,
                                                        const VELM_PermissionInfo *permInfo,
                                                        VELM_result *result);
VELM_API char **VELM_PermissionInfo_GetJ2EERolesGranted(VELM_AuditClientContext *context,
                                                        const VELM_PermissionInfo *permInfo,
                                                        VELM_result *result);

/* VELM_TargetInfo: the targets of a management action. targetNames (string
 * array) is required; attributes is copied or adopted as copyFlag says. */
VELM_API VELM_TargetInfo *VELM_TargetInfo_Create(VELM_AuditClientContext *context, char *const *targetNames,
                                                 VELM_Attribute **attributes, int copyFlag,
                                                 VELM_result *result);
VELM_API int VELM_TargetInfo_Delete(VELM_AuditClientContext *context, VELM_TargetInfo *targetInfo,
                                    VELM_result *result);
VELM_API char **VELM_TargetInfo_GetTargetNames(VELM_AuditClientContext *context,
                                               const VELM_TargetInfo *targetInfo, VELM_result *result);
VELM_API VELM_Attribute **VELM_TargetInfo_GetAttributes(VELM_AuditClientContext *context,
                                                        const VELM_TargetInfo *targetInfo,
                                                        VELM_result *result);

/* VELM_MgmtInfo: a management command and its targets; both fields are
 * optional. targetInfo is copied (its checks run again) or adopted as
 * copyFlag says. */
VELM_API VELM_MgmtInfo *VELM_MgmtInfo_Create(VELM_AuditClientContext *context, VELM_TargetInfo *targetInfo,
                                             const char *command, int copyFlag, VELM_result *result);
VELM_API int VELM_MgmtInfo_Delete(VELM_AuditClientContext *context, VELM_MgmtInfo *mgmtInfo,
                                  VELM_result *result);
VELM_API VELM_TargetInfo *VELM_MgmtInfo_GetTargetInfo(VELM_AuditClientContext *context,
                                                      const VELM_MgmtInfo *mgmtInfo, VELM_result *result);
VELM_API char *VELM_MgmtInfo_GetCommand(VELM_AuditClientContext *context, const VELM_MgmtInfo *mgmtInfo,
                                        VELM_result *result);

/* VELM_PolicyInfo: a policy. name and type are required. */
VELM_API VELM_PolicyInfo *VELM_PolicyInfo_Create(VELM_AuditClientContext *context, const char *name,
                                                 const char *branch, const char *type,
                                                 const char *description, VELM_Attribute **attributes,
                                                 int copyFlag, VELM_result *result);
VELM_API int VELM_PolicyInfo_Delete(VELM_AuditClientContext *context, VELM_PolicyInfo *policyInfo,
                                    VELM_result *result);
VELM_API char *VELM_PolicyInfo_GetName(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                                       VELM_result *result);
VELM_API char *VELM_PolicyInfo_GetBranch(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                                         VELM_result *result);
VELM_API char *VELM_PolicyInfo_GetType(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                                       VELM_result *result);
VELM_API char *VELM_PolicyInfo_GetDescription(VELM_AuditClientContext *context,
                                              const VELM_PolicyInfo *policyInfo, VELM_result *result);
VELM_API VELM_Attribute **VELM_PolicyInfo_GetAttributes(VELM_AuditClientContext *context,
                                                        const VELM_PolicyInfo *policyInfo,
                                                        VELM_result *result);

/* VELM_RegistryObjectInfo: an object in a user registry. name and type are
 * required. */
VELM_API VELM_RegistryObjectInfo *VELM_RegistryObjectInfo_Create(VELM_AuditClientContext *context,
                                                                 const char *name, const char *registryName,
                                                                 const char *type, const char *description,
                                                                 VELM_Attribute **attributes, int copyFlag,
                                                                 VELM_result *result);
VELM_API int VELM_RegistryObjectInfo_Delete(VELM_AuditClientContext *context,
                                            VELM_RegistryObjectInfo *registryObjectInfo, VELM_result *result);
VELM_API char *VELM_RegistryObjectInfo_GetName(VELM_AuditClientContext *context,
                                               const VELM_RegistryObjectInfo *registryObjectInfo,
                                               VELM_result *result);
VELM_API char *VELM_RegistryObjectInfo_GetRegistryName(VELM_AuditClientContext *context,
                                                       const VELM_RegistryObjectInfo *registryObjectInfo,
                                                       VELM_result *result);
VELM_API char *VELM_RegistryObjectInfo_GetType(VELM_AuditClientContext *context,
                                               const VELM_RegistryObjectInfo *registryObjectInfo,
                                               VELM_result *result);
VELM_API char *VELM_RegistryObjectInfo_GetDescription(VELM_AuditClientContext *context,
                                                      const VELM_RegistryObjectInfo *registryObjectInfo,
                                                      VELM_result *result);
VELM_API VELM_Attribute **VELM_RegistryObjectInfo_GetAttributes(
    VELM_AuditClientContext *context, const VELM_RegistryObjectInfo *registryObjectInfo, VELM_result *result);

/* VELM_ResourceInfo: the resource acted on. nameInApp, nameInPolicy and type
 * are required. */
VELM_API VELM_ResourceInfo *VELM_ResourceInfo_Create(VELM_AuditClientContext *context, const char *nameInApp,
                                                     const char *nameInPolicy, const char *type,
                                                     VELM_Attribute **attributes, int copyFlag,
                                                     VELM_result *result);
VELM_API int VELM_ResourceInfo_Delete(VELM_AuditClientContext *context, VELM_ResourceInfo *resourceInfo,
                                      VELM_result *result);
VELM_API char *VELM_ResourceInfo_GetNameInApp(VELM_AuditClientContext *context,
                                              const VELM_ResourceInfo *resourceInfo, VELM_result *result);
VELM_API char *VELM_ResourceInfo_GetNameInPolicy(VELM_AuditClientContext *context,
                                                 const VELM_ResourceInfo *resourceInfo, VELM_result *result);
VELM_API char *VELM_ResourceInfo_GetType(VELM_AuditClientContext *context,
                                         const VELM_ResourceInfo *resourceInfo, VELM_result *result);
VELM_API VELM_Attribute **VELM_ResourceInfo_GetAttributes(VELM_AuditClientContext *context,
                                                          const VELM_ResourceInfo *resourceInfo,
                                                          VELM_result *result);

/* VELM_UserInfo: the user who acted. registryUserName and appUserName are
 * required; locationType, when given, must be one of the location types
 * ("Unknown", "IPV4", "IPV6", "NWA", "ISDN", "ICD", "OID-OSI", "Dial", "HWA",
 * "HID", "X25", "DCC", "SNA", "IPX", "E.164", "Hostname", "FQHostname",
 * "Devicename", exact bytes). callerList is a string array. */
VELM_API VELM_UserInfo *VELM_UserInfo_Create(VELM_AuditClientContext *context, const char *registryUserName,
                                             const char *appUserName, int32_t uniqueId,
                                             char *const *callerList, const char *domain, const char *realm,
                                             const char *location, const char *locationType,
                                             const char *sessionId, VELM_Attribute **attributes, int copyFlag,
                                             VELM_result *result);
VELM_API int VELM_UserInfo_Delete(VELM_AuditClientContext *context, VELM_UserInfo *userInfo,
                                  VELM_result *result);
VELM_API char *VELM_UserInfo_GetRegistryUserName(VELM_AuditClientContext *context,
                                                 const VELM_UserInfo *userInfo, VELM_result *result);
VELM_API char *VELM_UserInfo_GetAppUserName(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                            VELM_result *result);
/* The unique id; -1 for a NULL handle. */
VELM_API int32_t VELM_UserInfo_GetUniqueId(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                           VELM_result *result);
/* A new string array on every call (free each string, then the array). */
VELM_API char **VELM_UserInfo_GetCallerList(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                            VELM_result *result);
VELM_API char *VELM_UserInfo_GetDomain(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                       VELM_result *result);
VELM_API char *VELM_UserInfo_GetRealm(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                      VELM_result *result);
VELM_API char *VELM_UserInfo_GetLocation(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                         VELM_result *result);
VELM_API char *VELM_UserInfo_GetLocationType(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                             VELM_result *result);
VELM_API char *VELM_UserInfo_GetSessionId(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                          VELM_result *result);
VELM_API VELM_Attribute **VELM_UserInfo_GetAttributes(VELM_AuditClientContext *context,
                                                      const VELM_UserInfo *userInfo, VELM_result *result);
/* @end info_nested */

/* ---- Validation (an addition to the original interface) ----------------- */
/* @section validate */

/* Checks the event against the predefined event types exactly as
 * VELM_AuditClient_SendEvent does before queueing it: the common elements
 * every event needs ("sourceComponentId", "outcome"), then those of its
 * event type, when the type is predefined. Returns 0 when the event is valid,
 * or -1 with one message in result naming the first problem found (a wrong
 * value type, a null value, a value outside its allowed set, a missing
 * required element).
 * Like sending, it adds a "timestamp" element holding the event's default
 * time stamp when the event has none; that element stays in the event
 * whether the event turns out valid or not. The event stays the caller's.
 * Any thread may validate its own events; an event must not be changed by
 * another thread meanwhile.
 * This function is an addition to the original interface. */
VELM_API int VELM_AuditEvent_Validate(VELM_AuditEvent *event, VELM_result *result);

/* @end validate */

/* ---- XML (an addition to the original interface) ------------------------ */
/* @section xml */

/* An addition to the original interface, for dry runs and the application's
 * own tests.
 *
 * Converts the event as it stands into its Common Base Event XML: no
 * validation, nothing added (no "timestamp", no "globalInstanceId"). Returns
 * a new UTF-8 string holding the event string, the very text the transport
 * would send for it (one element, no XML declaration, no line breaks); free
 * it with VELM_Free. Returns NULL with the reasons in result when the event
 * cannot be converted (or when no context of the process is alive, as the
 * XML library then is not running). The event stays the caller's and is
 * only read; the thread that builds the event may call it. */
VELM_API char *VELM_AuditEvent_ToXML(VELM_AuditEvent *event, VELM_result *result);

/* @end xml */

#ifdef __cplusplus
}
#endif

#endif /* VELM_H */
