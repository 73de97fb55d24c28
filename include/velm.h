/**
 * @file velm.h
 * @brief C interface of the audit client library.
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

/** @cond INTERNAL */
#if defined(__GNUC__)
#define VELM_API __attribute__((visibility("default")))
#else
#define VELM_API
#endif
/** @endcond */

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Results ------------------------------------------------------------ */
/** @defgroup types Types, value types and handles
 * @{ */

/** One recorded problem: message number (1 to 67) and its formatted text. */
typedef struct VELM_error {
  int32_t code;  /**< message number n; the text starts with its id "DXACC" n (four digits) "E" */
  char *message; /**< formatted text in the context's error code set, owned by the result record */
} VELM_error;

/** The caller's result record, filled by every call. The caller allocates
 * the record itself (zero it before first use); the entries and their texts
 * are owned by the record and released with VELM_Result_Clean. One record
 * must not be used by two threads at once; each thread uses its own. */
typedef struct VELM_result {
  int32_t numErrors;  /**< entries recorded; a negative value counts as 0 */
  int32_t maxErrors;  /**< entries the array can hold */
  VELM_error *errors; /**< heap array owned by the record */
} VELM_result;

/* ---- Value types -------------------------------------------------------- */

#define VELM_VT_INTEGER 1                          /**< int32_t */
#define VELM_VT_LONG 2                             /**< int64_t */
#define VELM_VT_STRING 3                           /**< NUL-terminated text */
#define VELM_VT_DATETIME 4                         /**< struct timeval */
#define VELM_VT_ATTRIBUTE 5                        /**< VELM_Attribute */
#define VELM_VT_ATTRIBUTE_PERMISSION_INFO 6        /**< VELM_AttributePermissionInfo */
#define VELM_VT_COMPONENT_ID 7                     /**< VELM_ComponentId */
#define VELM_VT_HTTPURL_INFO 8                     /**< VELM_HTTPURLInfo */
#define VELM_VT_MEMBERSHIP_INFO 9                  /**< VELM_MembershipInfo */
#define VELM_VT_MGMT_INFO 10                       /**< VELM_MgmtInfo */
#define VELM_VT_MSG_DATA_ELEMENT 11                /**< VELM_MsgDataElement */
#define VELM_VT_OUTCOME 12                         /**< VELM_Outcome */
#define VELM_VT_PERF_INFO 13                       /**< VELM_PerfInfo */
#define VELM_VT_POLICY_INFO 14                     /**< VELM_PolicyInfo */
#define VELM_VT_PERMISSION_INFO 15                 /**< VELM_PermissionInfo */
#define VELM_VT_PROVISIONING_INFO 16               /**< VELM_ProvisioningInfo */
#define VELM_VT_REGISTRY_INFO 17                   /**< VELM_RegistryInfo */
#define VELM_VT_REGISTRY_OBJECT_INFO 18            /**< VELM_RegistryObjectInfo */
#define VELM_VT_RESOURCE_INFO 19                   /**< VELM_ResourceInfo */
#define VELM_VT_TARGET_INFO 20                     /**< VELM_TargetInfo */
#define VELM_VT_USER_INFO 21                       /**< VELM_UserInfo */
#define VELM_VT_WORK_ITEM_INFO 22                  /**< VELM_WorkItemInfo */
#define VELM_VT_ATTRIBUTE_ARRAY 23                 /**< NULL-ended VELM_Attribute* array */
#define VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY 24 /**< NULL-ended VELM_AttributePermissionInfo* array */
#define VELM_VT_MEMBERSHIP_INFO_ARRAY 25           /**< NULL-ended VELM_MembershipInfo* array */
#define VELM_VT_POLICY_INFO_ARRAY 26               /**< NULL-ended VELM_PolicyInfo* array */

/* ---- Handles ------------------------------------------------------------ */

/** Client context: all settings, logs and message catalogue of one configuration
 * (VELM_AuditClientContext_Create). */
typedef struct VELM_AuditClientContext VELM_AuditClientContext;
/** Audit client: delivers events to the audit service; at most one per context (VELM_AuditClient_Create). */
typedef struct VELM_AuditClient VELM_AuditClient;
/** Audit event: an event type, a creation time and named elements (VELM_AuditEvent_Create). */
typedef struct VELM_AuditEvent VELM_AuditEvent;
/** Audit element: a named, typed value with sub-elements, owned by its event or parent
 * (VELM_AuditEvent_AddElement). */
typedef struct VELM_AuditElement VELM_AuditElement;
/** Info record VELM_Attribute, immutable once made (VELM_Attribute_Create, VELM_Attribute_Delete). */
typedef struct VELM_Attribute VELM_Attribute;
/** Info record VELM_AttributePermissionInfo, immutable once made (VELM_AttributePermissionInfo_Create,
 * VELM_AttributePermissionInfo_Delete). */
typedef struct VELM_AttributePermissionInfo VELM_AttributePermissionInfo;
/** Info record VELM_ComponentId, immutable once made (VELM_ComponentId_Create, VELM_ComponentId_Delete). */
typedef struct VELM_ComponentId VELM_ComponentId;
/** Info record VELM_HTTPURLInfo, immutable once made (VELM_HTTPURLInfo_Create, VELM_HTTPURLInfo_Delete). */
typedef struct VELM_HTTPURLInfo VELM_HTTPURLInfo;
/** Info record VELM_MembershipInfo, immutable once made (VELM_MembershipInfo_Create,
 * VELM_MembershipInfo_Delete). */
typedef struct VELM_MembershipInfo VELM_MembershipInfo;
/** Info record VELM_MgmtInfo, immutable once made (VELM_MgmtInfo_Create, VELM_MgmtInfo_Delete). */
typedef struct VELM_MgmtInfo VELM_MgmtInfo;
/** Info record VELM_MsgDataElement, immutable once made (VELM_MsgDataElement_Create,
 * VELM_MsgDataElement_Delete). */
typedef struct VELM_MsgDataElement VELM_MsgDataElement;
/** Info record VELM_Outcome, immutable once made (VELM_Outcome_Create, VELM_Outcome_Delete). */
typedef struct VELM_Outcome VELM_Outcome;
/** Info record VELM_PerfInfo, immutable once made (VELM_PerfInfo_Create, VELM_PerfInfo_Delete). */
typedef struct VELM_PerfInfo VELM_PerfInfo;
/** Info record VELM_PolicyInfo, immutable once made (VELM_PolicyInfo_Create, VELM_PolicyInfo_Delete). */
typedef struct VELM_PolicyInfo VELM_PolicyInfo;
/** Info record VELM_PermissionInfo, immutable once made (VELM_PermissionInfo_Create,
 * VELM_PermissionInfo_Delete). */
typedef struct VELM_PermissionInfo VELM_PermissionInfo;
/** Info record VELM_ProvisioningInfo, immutable once made (VELM_ProvisioningInfo_Create,
 * VELM_ProvisioningInfo_Delete). */
typedef struct VELM_ProvisioningInfo VELM_ProvisioningInfo;
/** Info record VELM_RegistryInfo, immutable once made (VELM_RegistryInfo_Create, VELM_RegistryInfo_Delete).
 */
typedef struct VELM_RegistryInfo VELM_RegistryInfo;
/** Info record VELM_RegistryObjectInfo, immutable once made (VELM_RegistryObjectInfo_Create,
 * VELM_RegistryObjectInfo_Delete). */
typedef struct VELM_RegistryObjectInfo VELM_RegistryObjectInfo;
/** Info record VELM_ResourceInfo, immutable once made (VELM_ResourceInfo_Create, VELM_ResourceInfo_Delete).
 */
typedef struct VELM_ResourceInfo VELM_ResourceInfo;
/** Info record VELM_TargetInfo, immutable once made (VELM_TargetInfo_Create, VELM_TargetInfo_Delete). */
typedef struct VELM_TargetInfo VELM_TargetInfo;
/** Info record VELM_UserInfo, immutable once made (VELM_UserInfo_Create, VELM_UserInfo_Delete). */
typedef struct VELM_UserInfo VELM_UserInfo;
/** Info record VELM_WorkItemInfo, immutable once made (VELM_WorkItemInfo_Create, VELM_WorkItemInfo_Delete).
 */
typedef struct VELM_WorkItemInfo VELM_WorkItemInfo;

/* ---- Property list ------------------------------------------------------ */

/** One configuration property. valueType is VELM_VT_STRING (value points to
 * the text) or VELM_VT_INTEGER (value points to an int32_t). An array of
 * them ends with an entry whose name is NULL. The properties, their
 * defaults and rules are listed in docs/properties.md. */
typedef struct VELM_Property {
  const char *name;  /**< property name, compared exactly; unknown names are ignored */
  int32_t valueType; /**< VELM_VT_STRING or VELM_VT_INTEGER */
  const void *value; /**< the text, or the address of the int32_t */
} VELM_Property;

/** @} */

/* ---- Results, memory, utilities ----------------------------------------- */
/** @defgroup results Results, memory and utilities
 * @{ */

/** Frees every message text of the record and its array, then sets numErrors
 * and maxErrors to 0 and errors to NULL. Returns 0, or -1 for a NULL record.
 * Call it before reusing a record that holds messages, and before the record
 * itself goes away. Any thread, for a record no other thread uses. */
VELM_API int VELM_Result_Clean(VELM_result *result);

/** Allocates size bytes from the library's heap; NULL when memory ran out.
 * Release the memory with VELM_Free, or hand it to the library where a call
 * adopts heap memory (copyFlag 0). Any thread. */
VELM_API void *VELM_Malloc(size_t size);

/** Releases memory that the library handed out (strings, string arrays and
 * the arrays themselves, the XML text) or that VELM_Malloc returned. Returns
 * 0, or -1 for a NULL pointer. Any thread. */
VELM_API int VELM_Free(void *ptr);

/** Sleeps the calling thread for the given whole seconds (none for 0 or
 * less), resuming after signals until the time is up. Returns 0. Any thread. */
VELM_API int VELM_Sleep(int seconds);

/** The constant version text "VELM_C_CLIENT_VERSION=6.0.0.1". Borrowed: do
 * not free it. Any thread, with or without a context. */
VELM_API const char *getVELMCClientVersion(void);

/** @} */

/* ---- Client context ----------------------------------------------------- */
/** @defgroup context Client context
 * @{ */

/** Creates a client context from a property list ended by an entry whose name
 * is NULL (see VELM_Property). Returns the context, or NULL with the reasons
 * in result (no message when result itself is NULL). The property list and
 * its values stay the caller's; the context copies what it keeps. Release the
 * context with VELM_AuditClientContext_Delete after deleting its client. Any
 * thread may create contexts at the same time. */
VELM_API VELM_AuditClientContext *VELM_AuditClientContext_Create(const VELM_Property *propertyList,
                                                                 VELM_result *result);

/** Deletes the context and everything it owns (loggers, catalogue, tables);
 * the last context of the process also stops the process-wide runtimes.
 * Delete its audit client and its events first (an event keeps a pointer to
 * its context); no other thread may still use the context. A library thread
 * that outlived the client's deletion (stuck in a request) is waited for, up
 * to responseTimeout plus 30 seconds; if it is still there the context is
 * left allocated rather than freed under it, so this call may block that
 * long. Returns 0, or -1 when a parameter is NULL; afterwards the handle is
 * invalid. */
VELM_API int VELM_AuditClientContext_Delete(VELM_AuditClientContext *context, VELM_result *result);

/** Sets the context's trace level (see the properties traceLevel,
 * errorTraceLevel, entryTraceLevel, flowTraceLevel). Returns 0, or -1 when a
 * parameter is NULL or the context has no trace file (then without a
 * message). Any thread; the new level holds for calls that start afterwards. */
VELM_API int VELM_AuditClientContext_SetTraceLevel(VELM_AuditClientContext *context, int level,
                                                   VELM_result *result);

/** Returns the context's current trace level, or -1 when a parameter is NULL.
 * Any thread. */
VELM_API int VELM_AuditClientContext_GetTraceLevel(VELM_AuditClientContext *context, VELM_result *result);

/** @} */

/* ---- Audit client ------------------------------------------------------- */
/**
 * @defgroup client Audit client
 *
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
 * @{
 */

/** Creates the context's audit client: checks that the service answers,
 * sets up the event queue and starts the queue threads (and, with a disk
 * cache, its files and manager threads). Returns the client, or NULL:
 * message 61 when the context already has a client (that client stays
 * valid), the transport's message when the service cannot be reached and
 * useDiskCache is "never", 52 or 53 when no thread could be started. When
 * fewer threads than requested started, the client is returned and result
 * holds message 54 or 55. Release the client with VELM_AuditClient_Delete.
 * Call it from one thread, with no other call on the same context running. */
VELM_API VELM_AuditClient *VELM_AuditClient_Create(VELM_AuditClientContext *context, VELM_result *result);

/** Validates the event, adds "globalInstanceId" (a 53-character text
 * "DXA60...", unique in the process) unless the event already has that
 * top-level element, and queues it (or, with "always", caches it at once).
 * Returns 0: the event now belongs to the library, which deletes it once it
 * has been sent, cached or dropped; do not touch or delete it any more.
 * Returns -1 with the reasons in result: the event stays the caller's.
 * May block while the queue is full (see above). Any thread may call it. */
VELM_API int VELM_AuditClient_SendEvent(VELM_AuditClient *client, VELM_AuditEvent *event, VELM_result *result);

/** Delivers what the queue holds within shutDownTimeout seconds (-1: no
 * limit, 0: no wait), stops the threads (giving them at least 20 seconds
 * more), and frees the client. Events left on the queue are lost (message
 * 18); events dropped while the service was unavailable are reported once
 * (message 67). An idle client is deleted at once. Returns 0, or -1 with
 * message 13 when client is NULL or not a live client. No other call on the
 * client may run meanwhile; afterwards the handle is invalid. */
VELM_API int VELM_AuditClient_Delete(VELM_AuditClient *client, VELM_result *result);

/** Delivery counters of the client's context since it was created (an
 * addition to the original interface). Every field only grows, except
 * queueDepth. */
typedef struct VELM_DeliveryStats {
  uint64_t eventsAccepted;  /**< sends that returned 0 */
  uint64_t eventsDelivered; /**< events in requests the service accepted */
  uint64_t batchesSent;     /**< requests the service accepted */
  uint64_t retries;         /**< attempts made after a failed one */
  uint64_t eventsCached;    /**< events written to the disk cache */
  uint64_t eventsDiscarded; /**< events dropped on a full queue or cache */
  uint64_t eventsRejected;  /**< events the service refused as invalid */
  uint64_t queueDepth;      /**< events queued right now */
} VELM_DeliveryStats;

/** Fills *stats (caller-owned) with the client's counters; queueDepth is
 * read under the queue's lock, the others are each read atomically (they
 * are not a consistent snapshot of one instant while events move). Returns
 * 0, or -1 with message 13 (bad client) or 9 (NULL stats). Any thread may
 * call it while the client exists. An addition to the original interface. */
VELM_API int VELM_AuditClient_GetStats(VELM_AuditClient *client, VELM_DeliveryStats *stats, VELM_result *result);

/** @} */

/* ---- Audit elements ----------------------------------------------------- */
/**
 * @defgroup element Audit elements
 *
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
 * @{
 */

/** Adds an element named name of valueType under parentElement. value points
 * to a value of that type (an int32_t, an int64_t, a text, a struct timeval,
 * a record or a NULL-terminated array of records), copied or adopted as
 * copyFlag says (see above). Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result. Call it
 * from the thread that builds the event (elements are not locked). */
VELM_API VELM_AuditElement *VELM_AuditElement_AddElement(VELM_AuditClientContext *context,
                                                         VELM_AuditElement *parentElement, const char *name,
                                                         int valueType, const void *value, int copyFlag,
                                                         VELM_result *result);
/** Adds an element of type VELM_VT_INTEGER named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed (as are the typed adders
 * that follow). The value is passed by value and copied. Returns the new
 * element, borrowed (it lives until its event is deleted), or NULL with the
 * reasons in result. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddIntegerElement(VELM_AuditClientContext *context,
                                                                VELM_AuditElement *parentElement,
                                                                const char *name, int32_t value,
                                                                VELM_result *result);
/** Adds an element of type VELM_VT_LONG named name under parentElement: VELM_AuditElement_AddElement with the
 * type fixed. The value is passed by value and copied. Returns the new element, borrowed (it lives until
 * its event is deleted), or NULL with the reasons in result; on failure the value stays the caller's. Call
 * it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddLongElement(VELM_AuditClientContext *context,
                                                             VELM_AuditElement *parentElement, const char *name,
                                                             int64_t value, VELM_result *result);
/** Adds an element of type VELM_VT_STRING named name under parentElement: VELM_AuditElement_AddElement with
 * the type fixed. copyFlag non-zero copies value (converted from the element code set); 0 adopts the
 * caller's heap string, which must be UTF-8 and come from VELM_Malloc. Returns the new element, borrowed
 * (it lives until its event is deleted), or NULL with the reasons in result; on failure the value stays
 * the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddStringElement(VELM_AuditClientContext *context,
                                                               VELM_AuditElement *parentElement, const char *name,
                                                               const char *value, int copyFlag,
                                                               VELM_result *result);
/** Adds an element of type VELM_VT_DATETIME named name under parentElement: VELM_AuditElement_AddElement with
 * the type fixed. copyFlag non-zero copies *value; 0 adopts the pointer, which must come from VELM_Malloc.
 * Returns the new element, borrowed (it lives until its event is deleted), or NULL with the reasons in
 * result; on failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddDateTimeElement(VELM_AuditClientContext *context,
                                                                 VELM_AuditElement *parentElement,
                                                                 const char *name, const struct timeval *value,
                                                                 int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_ATTRIBUTE named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddAttributeElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_Attribute *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_ATTRIBUTE_PERMISSION_INFO named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. copyFlag non-zero deep-copies the record (the caller
 * keeps and deletes its own); 0 makes the element adopt it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddAttributePermissionInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_AttributePermissionInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_COMPONENT_ID named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddComponentIdElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_ComponentId *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_HTTPURL_INFO named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddHTTPURLInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_HTTPURLInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_MEMBERSHIP_INFO named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. copyFlag non-zero deep-copies the record (the caller
 * keeps and deletes its own); 0 makes the element adopt it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddMembershipInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_MembershipInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_MGMT_INFO named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddMgmtInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_MgmtInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_MSG_DATA_ELEMENT named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. copyFlag non-zero deep-copies the record (the caller
 * keeps and deletes its own); 0 makes the element adopt it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddMsgDataElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_MsgDataElement *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_OUTCOME named name under parentElement: VELM_AuditElement_AddElement with
 * the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0 makes
 * the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or NULL
 * with the reasons in result; on failure the value stays the caller's. Call it from the thread that builds
 * the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddOutcomeElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_Outcome *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_PERF_INFO named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddPerfInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_PerfInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_POLICY_INFO named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddPolicyInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_PolicyInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_PERMISSION_INFO named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. copyFlag non-zero deep-copies the record (the caller
 * keeps and deletes its own); 0 makes the element adopt it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddPermissionInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_PermissionInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_PROVISIONING_INFO named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. copyFlag non-zero deep-copies the record (the caller
 * keeps and deletes its own); 0 makes the element adopt it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddProvisioningInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_ProvisioningInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_REGISTRY_INFO named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddRegistryInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_RegistryInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_REGISTRY_OBJECT_INFO named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. copyFlag non-zero deep-copies the record (the caller
 * keeps and deletes its own); 0 makes the element adopt it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddRegistryObjectInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_RegistryObjectInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_RESOURCE_INFO named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddResourceInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_ResourceInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_TARGET_INFO named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddTargetInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_TargetInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_USER_INFO named name under parentElement: VELM_AuditElement_AddElement
 * with the type fixed. copyFlag non-zero deep-copies the record (the caller keeps and deletes its own); 0
 * makes the element adopt it. Returns the new element, borrowed (it lives until its event is deleted), or
 * NULL with the reasons in result; on failure the value stays the caller's. Call it from the thread that
 * builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddUserInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_UserInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_WORK_ITEM_INFO named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. copyFlag non-zero deep-copies the record (the caller
 * keeps and deletes its own); 0 makes the element adopt it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddWorkItemInfoElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_WorkItemInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_ATTRIBUTE_ARRAY named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. value is a NULL-terminated array of record pointers:
 * copyFlag non-zero deep-copies it (the caller keeps its own), 0 makes the element adopt the array and
 * every record in it. Returns the new element, borrowed (it lives until its event is deleted), or NULL
 * with the reasons in result; on failure the value stays the caller's. Call it from the thread that builds
 * the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddAttributeArrayElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_Attribute **value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. value is a NULL-terminated array of record pointers:
 * copyFlag non-zero deep-copies it (the caller keeps its own), 0 makes the element adopt the array and
 * every record in it. Returns the new element, borrowed (it lives until its event is deleted), or NULL
 * with the reasons in result; on failure the value stays the caller's. Call it from the thread that builds
 * the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddAttributePermissionInfoArrayElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_AttributePermissionInfo **value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_MEMBERSHIP_INFO_ARRAY named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. value is a NULL-terminated array of record pointers:
 * copyFlag non-zero deep-copies it (the caller keeps its own), 0 makes the element adopt the array and
 * every record in it. Returns the new element, borrowed (it lives until its event is deleted), or NULL
 * with the reasons in result; on failure the value stays the caller's. Call it from the thread that builds
 * the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddMembershipInfoArrayElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_MembershipInfo **value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_POLICY_INFO_ARRAY named name under parentElement:
 * VELM_AuditElement_AddElement with the type fixed. value is a NULL-terminated array of record pointers:
 * copyFlag non-zero deep-copies it (the caller keeps its own), 0 makes the element adopt the array and
 * every record in it. Returns the new element, borrowed (it lives until its event is deleted), or NULL
 * with the reasons in result; on failure the value stays the caller's. Call it from the thread that builds
 * the event. */
VELM_API VELM_AuditElement *VELM_AuditElement_AddPolicyInfoArrayElement(
    VELM_AuditClientContext *context, VELM_AuditElement *parentElement, const char *name,
    VELM_PolicyInfo **value, int copyFlag, VELM_result *result);

/** Attaches the static element staticElement under parentElement (fails for an element that is not static).
 * Returns staticElement, or NULL. Call it from the thread that builds the event (elements are not locked). */
VELM_API VELM_AuditElement *VELM_AuditElement_AddStaticElement(VELM_AuditClientContext *context,
                                                               VELM_AuditElement *parentElement,
                                                               VELM_AuditElement *staticElement,
                                                               VELM_result *result);
/** Releases a static element with its value and its non-static sub-elements; sub-elements still static stay
 * valid (release them afterwards, parent first). Do not call it while an event or element that holds the
 * element (including an event handed to the audit client) is alive. 0, or -1. Call it from the thread that
 * builds the event (elements are not locked). */
VELM_API int VELM_AuditElement_DeleteStatic(VELM_AuditClientContext *context, VELM_AuditElement *elementHandle,
                                            VELM_result *result);
/** Finds a sub-element by name or dotted path. Returns it (borrowed), or NULL when absent (not an error: the
 * result stays empty). Call it from the thread that builds the event (elements are not locked). */
VELM_API VELM_AuditElement *VELM_AuditElement_GetElement(VELM_AuditClientContext *context,
                                                         VELM_AuditElement *parentElementHandle,
                                                         const char *subElementName, VELM_result *result);
/** The element's name as a new string in the element code set; free it with
 * VELM_Free. NULL on failure. Call it from the thread that builds the event (elements are not locked). */
VELM_API char *VELM_AuditElement_GetName(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                         VELM_result *result);
/** The value. For VELM_VT_STRING a new string in the element code set (free it with VELM_Free); for every
 * other type the element's own value, borrowed and read-only. NULL for a null handle or value. Call it
 * from the thread that builds the event (elements are not locked). */
VELM_API void *VELM_AuditElement_GetValue(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                          VELM_result *result);
/** 1 if the element is static, 0 if not, -1 for a null handle. Call it from the thread that builds the event
 * (elements are not locked). */
VELM_API int VELM_AuditElement_IsStatic(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                        VELM_result *result);
/** Makes the element and its whole subtree static. It then takes no further
 * sub-elements. 0, or -1. Call it from the thread that builds the event (elements are not locked). */
VELM_API int VELM_AuditElement_SetStatic(VELM_AuditClientContext *context, VELM_AuditElement *element_Handle,
                                         VELM_result *result);
/** The value type (1 to 26), or -1 for a null handle. Call it from the thread that builds the event (elements
 * are not locked). */
VELM_API int VELM_AuditElement_GetValueType(VELM_AuditClientContext *context,
                                            VELM_AuditElement *element_Handle, VELM_result *result);
/** @} */

/* ---- Audit events ------------------------------------------------------- */
/**
 * @defgroup event Audit events
 *
 * An audit event: an event type, the time of its creation and a set of
 * uniquely named top-level elements (see the element section for names,
 * dotted paths, copyFlag and value ownership; the event adders are the
 * element adders with the event as parent). The event keeps a pointer to
 * its context, which must outlive it. Events are not locked: one thread
 * builds an event; after VELM_AuditClient_SendEvent returns 0 the event
 * belongs to the library and must not be touched or deleted.
 * @{
 */

/** Creates an event of eventType (any text, copied; only validation compares
 * it with the predefined types), stamped with the current time. Returns the
 * event, owned by the caller until VELM_AuditClient_SendEvent accepts it;
 * release an unsent event with VELM_AuditEvent_Delete. NULL with the reasons
 * in result on failure. Any thread may create events; each event is then
 * used by one thread at a time. */
VELM_API VELM_AuditEvent *VELM_AuditEvent_Create(VELM_AuditClientContext *context, const char *eventType,
                                                 VELM_result *result);
/** Adds a top-level element named name of valueType (or, with a dotted
 * name, a sub-element of an existing one); value and copyFlag as for
 * VELM_AuditElement_AddElement. Returns the new element, borrowed (it lives
 * until the event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds
 * the event (elements are not locked). */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddElement(VELM_AuditEvent *event, const char *name, int valueType,
                                                       const void *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_INTEGER named name at the top level of
 * the event: VELM_AuditEvent_AddElement with the type fixed (as are the typed
 * adders that follow). The value is passed by value and copied. Returns the
 * new element, borrowed (it lives until the event is deleted), or NULL with
 * the reasons in result. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddIntegerElement(VELM_AuditEvent *event, const char *name,
                                                              int32_t value, VELM_result *result);
/** Adds an element of type VELM_VT_LONG named name at the top level of the event (a dotted name: under an
 * existing element): VELM_AuditEvent_AddElement with the type fixed. The value is passed by value and
 * copied. Returns the new element, borrowed (it lives until its event is deleted), or NULL with the
 * reasons in result; on failure the value stays the caller's. Call it from the thread that builds the
 * event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddLongElement(VELM_AuditEvent *event, const char *name,
                                                           int64_t value, VELM_result *result);
/** Adds an element of type VELM_VT_STRING named name at the top level of the event (a dotted name: under an
 * existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero copies value
 * (converted from the element code set); 0 adopts the caller's heap string, which must be UTF-8 and come
 * from VELM_Malloc. Returns the new element, borrowed (it lives until its event is deleted), or NULL with
 * the reasons in result; on failure the value stays the caller's. Call it from the thread that builds the
 * event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddStringElement(VELM_AuditEvent *event, const char *name,
                                                             const char *value, int copyFlag,
                                                             VELM_result *result);
/** Adds an element of type VELM_VT_DATETIME named name at the top level of the event (a dotted name: under an
 * existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero copies *value; 0
 * adopts the pointer, which must come from VELM_Malloc. Returns the new element, borrowed (it lives until
 * its event is deleted), or NULL with the reasons in result; on failure the value stays the caller's. Call
 * it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddDateTimeElement(VELM_AuditEvent *event, const char *name,
                                                               const struct timeval *value, int copyFlag,
                                                               VELM_result *result);
/** Adds an element of type VELM_VT_ATTRIBUTE named name at the top level of the event (a dotted name: under
 * an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero deep-copies the
 * record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the new element,
 * borrowed (it lives until its event is deleted), or NULL with the reasons in result; on failure the value
 * stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddAttributeElement(VELM_AuditEvent *event, const char *name,
    VELM_Attribute *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_ATTRIBUTE_PERMISSION_INFO named name at the top level of the event (a
 * dotted name: under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag
 * non-zero deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it.
 * Returns the new element, borrowed (it lives until its event is deleted), or NULL with the reasons in
 * result; on failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddAttributePermissionInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_AttributePermissionInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_COMPONENT_ID named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddComponentIdElement(VELM_AuditEvent *event, const char *name,
    VELM_ComponentId *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_HTTPURL_INFO named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddHTTPURLInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_HTTPURLInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_MEMBERSHIP_INFO named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddMembershipInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_MembershipInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_MGMT_INFO named name at the top level of the event (a dotted name: under
 * an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero deep-copies the
 * record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the new element,
 * borrowed (it lives until its event is deleted), or NULL with the reasons in result; on failure the value
 * stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddMgmtInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_MgmtInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_MSG_DATA_ELEMENT named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddMsgDataElement(VELM_AuditEvent *event, const char *name,
    VELM_MsgDataElement *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_OUTCOME named name at the top level of the event (a dotted name: under an
 * existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero deep-copies the
 * record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the new element,
 * borrowed (it lives until its event is deleted), or NULL with the reasons in result; on failure the value
 * stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddOutcomeElement(VELM_AuditEvent *event, const char *name,
    VELM_Outcome *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_PERF_INFO named name at the top level of the event (a dotted name: under
 * an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero deep-copies the
 * record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the new element,
 * borrowed (it lives until its event is deleted), or NULL with the reasons in result; on failure the value
 * stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddPerfInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_PerfInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_POLICY_INFO named name at the top level of the event (a dotted name: under
 * an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero deep-copies the
 * record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the new element,
 * borrowed (it lives until its event is deleted), or NULL with the reasons in result; on failure the value
 * stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddPolicyInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_PolicyInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_PERMISSION_INFO named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddPermissionInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_PermissionInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_PROVISIONING_INFO named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddProvisioningInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_ProvisioningInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_REGISTRY_INFO named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddRegistryInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_RegistryInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_REGISTRY_OBJECT_INFO named name at the top level of the event (a dotted
 * name: under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddRegistryObjectInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_RegistryObjectInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_RESOURCE_INFO named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddResourceInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_ResourceInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_TARGET_INFO named name at the top level of the event (a dotted name: under
 * an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero deep-copies the
 * record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the new element,
 * borrowed (it lives until its event is deleted), or NULL with the reasons in result; on failure the value
 * stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddTargetInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_TargetInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_USER_INFO named name at the top level of the event (a dotted name: under
 * an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero deep-copies the
 * record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the new element,
 * borrowed (it lives until its event is deleted), or NULL with the reasons in result; on failure the value
 * stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddUserInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_UserInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_WORK_ITEM_INFO named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. copyFlag non-zero
 * deep-copies the record (the caller keeps and deletes its own); 0 makes the element adopt it. Returns the
 * new element, borrowed (it lives until its event is deleted), or NULL with the reasons in result; on
 * failure the value stays the caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddWorkItemInfoElement(VELM_AuditEvent *event, const char *name,
    VELM_WorkItemInfo *value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_ATTRIBUTE_ARRAY named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. value is a NULL-terminated
 * array of record pointers: copyFlag non-zero deep-copies it (the caller keeps its own), 0 makes the
 * element adopt the array and every record in it. Returns the new element, borrowed (it lives until its
 * event is deleted), or NULL with the reasons in result; on failure the value stays the caller's. Call it
 * from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddAttributeArrayElement(VELM_AuditEvent *event, const char *name,
    VELM_Attribute **value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_ATTRIBUTE_PERMISSION_INFO_ARRAY named name at the top level of the event
 * (a dotted name: under an existing element): VELM_AuditEvent_AddElement with the type fixed. value is a
 * NULL-terminated array of record pointers: copyFlag non-zero deep-copies it (the caller keeps its own), 0
 * makes the element adopt the array and every record in it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddAttributePermissionInfoArrayElement(VELM_AuditEvent *event, const char *name,
    VELM_AttributePermissionInfo **value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_MEMBERSHIP_INFO_ARRAY named name at the top level of the event (a dotted
 * name: under an existing element): VELM_AuditEvent_AddElement with the type fixed. value is a
 * NULL-terminated array of record pointers: copyFlag non-zero deep-copies it (the caller keeps its own), 0
 * makes the element adopt the array and every record in it. Returns the new element, borrowed (it lives
 * until its event is deleted), or NULL with the reasons in result; on failure the value stays the
 * caller's. Call it from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddMembershipInfoArrayElement(VELM_AuditEvent *event, const char *name,
    VELM_MembershipInfo **value, int copyFlag, VELM_result *result);
/** Adds an element of type VELM_VT_POLICY_INFO_ARRAY named name at the top level of the event (a dotted name:
 * under an existing element): VELM_AuditEvent_AddElement with the type fixed. value is a NULL-terminated
 * array of record pointers: copyFlag non-zero deep-copies it (the caller keeps its own), 0 makes the
 * element adopt the array and every record in it. Returns the new element, borrowed (it lives until its
 * event is deleted), or NULL with the reasons in result; on failure the value stays the caller's. Call it
 * from the thread that builds the event. */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddPolicyInfoArrayElement(VELM_AuditEvent *event, const char *name,
    VELM_PolicyInfo **value, int copyFlag, VELM_result *result);
/** Attaches the static element staticElement at the top level (fails for an
 * element that is not static, or one already in this event). Returns
 * staticElement, or NULL. Call it from the thread that builds the event (elements are not locked). */
VELM_API VELM_AuditElement *VELM_AuditEvent_AddStaticElement(VELM_AuditEvent *event,
                                                             VELM_AuditElement *staticElement,
                                                             VELM_result *result);
/** Finds an element by name or dotted path. Returns it (borrowed), or NULL when absent (not an error: the
 * result stays empty). Call it from the thread that builds the event (elements are not locked). */
VELM_API VELM_AuditElement *VELM_AuditEvent_GetElement(VELM_AuditEvent *event, const char *elementName,
                                                       VELM_result *result);
/** The event type as a new string in the element code set; free it with
 * VELM_Free. NULL on failure. Call it from the thread that builds the event (elements are not locked). */
VELM_API char *VELM_AuditEvent_GetType(VELM_AuditEvent *event, VELM_result *result);
/** The creation time: the event's own value, borrowed and read-only, the same pointer on every call. NULL if
 * it could not be allocated at creation. Call it from the thread that builds the event (elements are not
 * locked). */
VELM_API const struct timeval *VELM_AuditEvent_GetDefaultTimeStamp(VELM_AuditEvent *event, VELM_result *result);
/** Releases the event with its elements and the values they own (static
 * elements stay valid). Returns 0, or -1 when some element could not be
 * released (the rest is released). Never delete an event that
 * VELM_AuditClient_SendEvent accepted (returned 0): it belongs to the
 * library. Call it from the thread that builds the event. */
VELM_API int VELM_AuditEvent_Delete(VELM_AuditEvent *event, VELM_result *result);
/** @} */

/* ---- Info records: simple families -------------------------------------- */
/**
 * @defgroup info_simple Info records: simple families
 *
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
 * Records are never changed after creation: any thread may create records
 * and read them with the getters, as long as no thread deletes a record
 * while another uses it. A record handed to an element with copyFlag 0
 * belongs to that element from then on.
 * @{
 */

/** Name/value pair with an optional source. name and value are required. Returns the new record (release it
 * with VELM_Attribute_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in
 * result; the texts and arrays passed stay the caller's. Any thread. */
VELM_API VELM_Attribute *VELM_Attribute_Create(VELM_AuditClientContext *context, const char *name,
                                               const char *value, const char *source, VELM_result *result);
/** Releases the Attribute record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_Attribute_Delete(VELM_AuditClientContext *context, VELM_Attribute *attribute,
                                   VELM_result *result);
/** The name field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_Attribute_GetName(VELM_AuditClientContext *context, const VELM_Attribute *attribute,
                                      VELM_result *result);
/** The value field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_Attribute_GetValue(VELM_AuditClientContext *context, const VELM_Attribute *attribute,
                                       VELM_result *result);
/** The source field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_Attribute_GetSource(VELM_AuditClientContext *context, const VELM_Attribute *attribute,
                                        VELM_result *result);

/** Identity of a reporting or source component. Required, checked in this order: location, locationType (one
 * of "Unknown", "IPV4", "IPV6", "NWA", "ISDN", "ICD", "OID-OSI", "Dial", "HWA", "HID", "X25", "DCC",
 * "SNA", "IPX", "E.164", "Hostname", "FQHostname", "Devicename", exact case), application, component,
 * componentType, componentIdType, subcomponent. Returns the new record (release it with
 * VELM_ComponentId_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in
 * result; the texts and arrays passed stay the caller's. Any thread. */
VELM_API VELM_ComponentId *VELM_ComponentId_Create(VELM_AuditClientContext *context, const char *location,
                                                   const char *locationType, const char *application,
                                                   const char *executionEnvironment, const char *component,
                                                   const char *componentType, const char *componentIdType,
                                                   const char *subcomponent, const char *instanceId,
                                                   const char *processId, const char *threadId,
                                                   VELM_result *result);
/** Releases the ComponentId record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_ComponentId_Delete(VELM_AuditClientContext *context, VELM_ComponentId *componentId,
                                     VELM_result *result);
/** The location field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ComponentId_GetLocation(VELM_AuditClientContext *context, const VELM_ComponentId *componentId,
                                            VELM_result *result);
/** The locationType field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_ComponentId_GetLocationType(VELM_AuditClientContext *context,
                                                const VELM_ComponentId *componentId, VELM_result *result);
/** The application field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ComponentId_GetApplication(VELM_AuditClientContext *context,
                                               const VELM_ComponentId *componentId, VELM_result *result);
/** Returns the executionEnvironment field. Any thread may call it while no thread deletes the record. */
VELM_API char *VELM_ComponentId_GetExecuteEnv(VELM_AuditClientContext *context,
                                              const VELM_ComponentId *componentId, VELM_result *result);
/** The component field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ComponentId_GetComponent(VELM_AuditClientContext *context, const VELM_ComponentId *componentId,
                                             VELM_result *result);
/** The componentType field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_ComponentId_GetComponentType(VELM_AuditClientContext *context,
                                                 const VELM_ComponentId *componentId, VELM_result *result);
/** The componentIdType field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_ComponentId_GetComponentIdType(VELM_AuditClientContext *context,
                                                   const VELM_ComponentId *componentId, VELM_result *result);
/** The subcomponent field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_ComponentId_GetSubcomponent(VELM_AuditClientContext *context,
                                                const VELM_ComponentId *componentId, VELM_result *result);
/** The instanceId field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ComponentId_GetInstanceId(VELM_AuditClientContext *context,
                                              const VELM_ComponentId *componentId, VELM_result *result);
/** The processId field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ComponentId_GetProcessId(VELM_AuditClientContext *context, const VELM_ComponentId *componentId,
                                             VELM_result *result);
/** The threadId field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ComponentId_GetThreadId(VELM_AuditClientContext *context, const VELM_ComponentId *componentId,
                                            VELM_result *result);

/** An HTTP request. url and method are required. Returns the new record (release it with
 * VELM_HTTPURLInfo_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in
 * result; the texts and arrays passed stay the caller's. Any thread. */
VELM_API VELM_HTTPURLInfo *VELM_HTTPURLInfo_Create(VELM_AuditClientContext *context, const char *url,
                                                   const char *method, int32_t responseCode,
                                                   const char *requestHeaders, const char *responseHeaders,
                                                   VELM_result *result);
/** Releases the HTTPURLInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_HTTPURLInfo_Delete(VELM_AuditClientContext *context, VELM_HTTPURLInfo *HTTPURLInfo,
                                     VELM_result *result);
/** The url field as a new string in the element code set; free it with VELM_Free. NULL when the field was not
 * given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_HTTPURLInfo_GetUrl(VELM_AuditClientContext *context, const VELM_HTTPURLInfo *HTTPURLInfo,
                                       VELM_result *result);
/** The method field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_HTTPURLInfo_GetMethod(VELM_AuditClientContext *context, const VELM_HTTPURLInfo *HTTPURLInfo,
                                          VELM_result *result);
/** The responseCode field, or -1 with the reason in result when the context, result or record is
 * unusable. Any thread may call it while no thread deletes the record. */
VELM_API int32_t VELM_HTTPURLInfo_GetResponseCode(VELM_AuditClientContext *context,
                                                  const VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *result);
/** The requestHeaders field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_HTTPURLInfo_GetRequestHeaders(VELM_AuditClientContext *context,
                                                  const VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *result);
/** The responseHeaders field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_HTTPURLInfo_GetResponseHeaders(VELM_AuditClientContext *context,
                                                   const VELM_HTTPURLInfo *HTTPURLInfo, VELM_result *result);

/** A group or role membership. type is required. Returns the new record (release it with
 * VELM_MembershipInfo_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in
 * result; the texts and arrays passed stay the caller's. Any thread. */
VELM_API VELM_MembershipInfo *VELM_MembershipInfo_Create(VELM_AuditClientContext *context, const char *type,
                                                         const char *id, const char *name, VELM_result *result);
/** A NULL record is reported with the handle name "membershipInfo__Handle". No other thread may use the
 * record meanwhile. */
VELM_API int VELM_MembershipInfo_Delete(VELM_AuditClientContext *context, VELM_MembershipInfo *membershipInfo,
                                        VELM_result *result);
/** The type field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_MembershipInfo_GetType(VELM_AuditClientContext *context,
                                           const VELM_MembershipInfo *membershipInfo, VELM_result *result);
/** The id field as a new string in the element code set; free it with VELM_Free. NULL when the field was not
 * given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_MembershipInfo_GetId(VELM_AuditClientContext *context,
                                         const VELM_MembershipInfo *membershipInfo, VELM_result *result);
/** The name field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_MembershipInfo_GetName(VELM_AuditClientContext *context,
                                           const VELM_MembershipInfo *membershipInfo, VELM_result *result);

/** The result of the audited action. result is required and must be exactly "SUCCESSFUL" or "UNSUCCESSFUL"
 * (message 8 otherwise); failureReason is required when it is "UNSUCCESSFUL". Returns the new record
 * (release it with VELM_Outcome_Delete unless an element adopts it with copyFlag 0), or NULL with the
 * reasons in result; the texts and arrays passed stay the caller's. Any thread. */
VELM_API VELM_Outcome *VELM_Outcome_Create(VELM_AuditClientContext *context, const char *result,
                                           int32_t majorStatus, int32_t minorStatus, const char *failureReason,
                                           VELM_result *resultRecord);
/** Releases the Outcome record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_Outcome_Delete(VELM_AuditClientContext *context, VELM_Outcome *outcome, VELM_result *result);
/** The result field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_Outcome_GetResult(VELM_AuditClientContext *context, const VELM_Outcome *outcome,
                                      VELM_result *result);
/** The majorStatus field, or -1 with the reason in result when the context, result or record is
 * unusable. Any thread may call it while no thread deletes the record. */
VELM_API int32_t VELM_Outcome_GetMajorStatus(VELM_AuditClientContext *context, const VELM_Outcome *outcome,
                                             VELM_result *result);
/** The minorStatus field, or -1 with the reason in result when the context, result or record is
 * unusable. Any thread may call it while no thread deletes the record. */
VELM_API int32_t VELM_Outcome_GetMinorStatus(VELM_AuditClientContext *context, const VELM_Outcome *outcome,
                                             VELM_result *result);
/** The failureReason field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_Outcome_GetFailureReason(VELM_AuditClientContext *context, const VELM_Outcome *outcome,
                                             VELM_result *result);

/** A performance statistic. Required, in this order: name, description, unit, aggregate. The 64-bit getters
 * return -1 for a NULL record. Returns the new record (release it with VELM_PerfInfo_Delete unless an
 * element adopts it with copyFlag 0), or NULL with the reasons in result; the texts and arrays passed stay
 * the caller's. Any thread. */
VELM_API VELM_PerfInfo *VELM_PerfInfo_Create(VELM_AuditClientContext *context, const char *name,
                                             const char *description, int32_t numDataPoints, const char *unit,
                                             int64_t maxValue, int64_t minValue, int64_t value,
                                             const char *aggregate, VELM_result *result);
/** Releases the PerfInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_PerfInfo_Delete(VELM_AuditClientContext *context, VELM_PerfInfo *perfInfo, VELM_result *result);
/** The name field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_PerfInfo_GetName(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                     VELM_result *result);
/** The description field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_PerfInfo_GetDescription(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                            VELM_result *result);
/** The numDataPoints field, or -1 with the reason in result when the context, result or record is
 * unusable. Any thread may call it while no thread deletes the record. */
VELM_API int32_t VELM_PerfInfo_GetNumDataPoints(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                                VELM_result *result);
/** The unit field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_PerfInfo_GetUnit(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                     VELM_result *result);
/** The maxValue field, or -1 with the reason in result when the context, result or record is
 * unusable. Any thread may call it while no thread deletes the record. */
VELM_API int64_t VELM_PerfInfo_GetMaxValue(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                           VELM_result *result);
/** The minValue field, or -1 with the reason in result when the context, result or record is
 * unusable. Any thread may call it while no thread deletes the record. */
VELM_API int64_t VELM_PerfInfo_GetMinValue(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                           VELM_result *result);
/** The value field, or -1 with the reason in result when the context, result or record is
 * unusable. Any thread may call it while no thread deletes the record. */
VELM_API int64_t VELM_PerfInfo_GetValue(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                        VELM_result *result);
/** The aggregate field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_PerfInfo_GetAggregate(VELM_AuditClientContext *context, const VELM_PerfInfo *perfInfo,
                                          VELM_result *result);

/** An account provisioned on a resource. resourceId is required. Returns the new record (release it with
 * VELM_ProvisioningInfo_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in
 * result; the texts and arrays passed stay the caller's. Any thread. */
VELM_API VELM_ProvisioningInfo *VELM_ProvisioningInfo_Create(VELM_AuditClientContext *context,
                                                             const char *accountId, const char *resourceId,
                                                             const char *resourceType, VELM_result *result);
/** A NULL record is reported with the handle name "provsioningInfo_Handle". No other thread may use the
 * record meanwhile. */
VELM_API int VELM_ProvisioningInfo_Delete(VELM_AuditClientContext *context,
                                          VELM_ProvisioningInfo *provisioningInfo, VELM_result *result);
/** The accountId field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ProvisioningInfo_GetAccountId(VELM_AuditClientContext *context,
                                                  const VELM_ProvisioningInfo *provisioningInfo,
                                                  VELM_result *result);
/** The resourceId field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ProvisioningInfo_GetResourceId(VELM_AuditClientContext *context,
                                                   const VELM_ProvisioningInfo *provisioningInfo,
                                                   VELM_result *result);
/** The resourceType field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_ProvisioningInfo_GetResourceType(VELM_AuditClientContext *context,
                                                     const VELM_ProvisioningInfo *provisioningInfo,
                                                     VELM_result *result);

/** The user registry involved. All four fields are required, in order; serverLocationType must be a location
 * type (see VELM_ComponentId_Create) and serverPort is text. Returns the new record (release it with
 * VELM_RegistryInfo_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in
 * result; the texts and arrays passed stay the caller's. Any thread. */
VELM_API VELM_RegistryInfo *VELM_RegistryInfo_Create(VELM_AuditClientContext *context, const char *type,
                                                     const char *serverLocation, const char *serverLocationType,
                                                     const char *serverPort, VELM_result *result);
/** Releases the RegistryInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_RegistryInfo_Delete(VELM_AuditClientContext *context, VELM_RegistryInfo *registryInfo,
                                      VELM_result *result);
/** The type field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_RegistryInfo_GetType(VELM_AuditClientContext *context, const VELM_RegistryInfo *registryInfo,
                                         VELM_result *result);
/** The serverLocation field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_RegistryInfo_GetServerLocation(VELM_AuditClientContext *context,
                                                   const VELM_RegistryInfo *registryInfo, VELM_result *result);
/** The serverLocationType field as a new string in the element code set; free it with VELM_Free. NULL when
 * the field was not given (the result stays empty) or with the reason in result. Any thread may call it
 * while no thread deletes the record. */
VELM_API char *VELM_RegistryInfo_GetServerLocationType(VELM_AuditClientContext *context,
                                                       const VELM_RegistryInfo *registryInfo, VELM_result *result);
/** The serverPort field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_RegistryInfo_GetServerPort(VELM_AuditClientContext *context,
                                               const VELM_RegistryInfo *registryInfo, VELM_result *result);

/** A workflow item. id and type are required. Returns the new record (release it with
 * VELM_WorkItemInfo_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in
 * result; the texts and arrays passed stay the caller's. Any thread. */
VELM_API VELM_WorkItemInfo *VELM_WorkItemInfo_Create(VELM_AuditClientContext *context, const char *id,
                                                     const char *type, VELM_result *result);
/** Releases the WorkItemInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_WorkItemInfo_Delete(VELM_AuditClientContext *context, VELM_WorkItemInfo *workItemInfo,
                                      VELM_result *result);
/** The id field as a new string in the element code set; free it with VELM_Free. NULL when the field was not
 * given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_WorkItemInfo_GetId(VELM_AuditClientContext *context, const VELM_WorkItemInfo *workItemInfo,
                                       VELM_result *result);
/** The type field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_WorkItemInfo_GetType(VELM_AuditClientContext *context, const VELM_WorkItemInfo *workItemInfo,
                                         VELM_result *result);
/** @} */

/* ---- Info records: families with arrays and nested records --------------- */
/**
 * @defgroup info_nested Info records: families with arrays and nested records
 *
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
 * @{
 */

/** VELM_AttributePermissionInfo: permissions on attributes. attributeNames and checked are required. Returns
 * the new record (release it with VELM_AttributePermissionInfo_Delete unless an element adopts it with
 * copyFlag 0), or NULL with the reasons in result; the texts and arrays passed stay the caller's. Any
 * thread. */
VELM_API VELM_AttributePermissionInfo *VELM_AttributePermissionInfo_Create(
    VELM_AuditClientContext *context, char *const *attributeNames, char *const *checked, char *const *granted,
    char *const *denied, VELM_result *result);
/** Releases the AttributePermissionInfo record and everything it owns. Returns 0, or -1 with the reason in
 * result (a NULL or already deleted record, a bad context). Do not delete a record an element has adopted
 * (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_AttributePermissionInfo_Delete(VELM_AuditClientContext *context,
                                                 VELM_AttributePermissionInfo *attrPermInfo,
                                                 VELM_result *result);
/** The attributeNames field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_AttributePermissionInfo_GetAttributeNames(
    VELM_AuditClientContext *context, const VELM_AttributePermissionInfo *attrPermInfo, VELM_result *result);
/** The checked field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_AttributePermissionInfo_GetChecked(VELM_AuditClientContext *context,
                                                        const VELM_AttributePermissionInfo *attrPermInfo,
                                                        VELM_result *result);
/** The granted field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_AttributePermissionInfo_GetGranted(VELM_AuditClientContext *context,
                                                        const VELM_AttributePermissionInfo *attrPermInfo,
                                                        VELM_result *result);
/** The denied field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_AttributePermissionInfo_GetDenied(VELM_AuditClientContext *context,
                                                       const VELM_AttributePermissionInfo *attrPermInfo,
                                                       VELM_result *result);

/** VELM_MsgDataElement: a reference to a message in a message catalogue. Every field is optional;
 * msgCatalogTokens is a string array. Returns the new record (release it with VELM_MsgDataElement_Delete
 * unless an element adopts it with copyFlag 0), or NULL with the reasons in result; the texts and arrays
 * passed stay the caller's. Any thread. */
VELM_API VELM_MsgDataElement *VELM_MsgDataElement_Create(VELM_AuditClientContext *context, const char *msgId,
                                                         const char *msgIdType, const char *msgCatalogId,
                                                         char *const *msgCatalogTokens,
                                                         const char *msgCatalog, const char *msgCatalogType,
                                                         const char *msgLocale, VELM_result *result);
/** Returns 0 for any non-NULL record. No other thread may use the record meanwhile. */
VELM_API int VELM_MsgDataElement_Delete(VELM_AuditClientContext *context, VELM_MsgDataElement *msgDataElement,
                                        VELM_result *result);
/** The msgId field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_MsgDataElement_GetMsgId(VELM_AuditClientContext *context,
                                            const VELM_MsgDataElement *msgDataElement, VELM_result *result);
/** The msgIdType field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_MsgDataElement_GetMsgIdType(VELM_AuditClientContext *context,
                                                const VELM_MsgDataElement *msgDataElement,
                                                VELM_result *result);
/** The msgCatalogId field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_MsgDataElement_GetMsgCatalogId(VELM_AuditClientContext *context,
                                                   const VELM_MsgDataElement *msgDataElement,
                                                   VELM_result *result);
/** The msgCatalogTokens field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_MsgDataElement_GetMsgCatalogTokens(VELM_AuditClientContext *context,
                                                        const VELM_MsgDataElement *msgDataElement,
                                                        VELM_result *result);
/** The msgCatalog field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_MsgDataElement_GetMsgCatalog(VELM_AuditClientContext *context,
                                                 const VELM_MsgDataElement *msgDataElement,
                                                 VELM_result *result);
/** The msgCatalogType field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_MsgDataElement_GetMsgCatalogType(VELM_AuditClientContext *context,
                                                     const VELM_MsgDataElement *msgDataElement,
                                                     VELM_result *result);
/** The msgLocale field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_MsgDataElement_GetMsgLocale(VELM_AuditClientContext *context,
                                                const VELM_MsgDataElement *msgDataElement,
                                                VELM_result *result);

/** VELM_PermissionInfo: permissions checked and granted; all fields are string arrays, checked is required.
 * Returns the new record (release it with VELM_PermissionInfo_Delete unless an element adopts it with
 * copyFlag 0), or NULL with the reasons in result; the texts and arrays passed stay the caller's. Any
 * thread. */
VELM_API VELM_PermissionInfo *VELM_PermissionInfo_Create(VELM_AuditClientContext *context,
                                                         char *const *checked, char *const *granted,
                                                         char *const *denied, char *const *J2EERolesChecked,
                                                         char *const *J2EERolesGranted, VELM_result *result);
/** Releases the PermissionInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_PermissionInfo_Delete(VELM_AuditClientContext *context, VELM_PermissionInfo *permInfo,
                                        VELM_result *result);
/** The checked field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_PermissionInfo_GetChecked(VELM_AuditClientContext *context,
                                               const VELM_PermissionInfo *permInfo, VELM_result *result);
/** The granted field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_PermissionInfo_GetGranted(VELM_AuditClientContext *context,
                                               const VELM_PermissionInfo *permInfo, VELM_result *result);
/** The denied field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_PermissionInfo_GetDenied(VELM_AuditClientContext *context,
                                              const VELM_PermissionInfo *permInfo, VELM_result *result);
/** The J2EERolesChecked field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_PermissionInfo_GetJ2EERolesChecked(VELM_AuditClientContext *context,
                                                        const VELM_PermissionInfo *permInfo,
                                                        VELM_result *result);
/** The J2EERolesGranted field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_PermissionInfo_GetJ2EERolesGranted(VELM_AuditClientContext *context,
                                                        const VELM_PermissionInfo *permInfo,
                                                        VELM_result *result);

/** VELM_TargetInfo: the targets of a management action. targetNames (string array) is required; attributes is
 * copied or adopted as copyFlag says. Returns the new record (release it with VELM_TargetInfo_Delete
 * unless an element adopts it with copyFlag 0), or NULL with the reasons in result; texts and string
 * arrays passed stay the caller's, attributes are copied or adopted as copyFlag says. Any thread. */
VELM_API VELM_TargetInfo *VELM_TargetInfo_Create(VELM_AuditClientContext *context, char *const *targetNames,
                                                 VELM_Attribute **attributes, int copyFlag,
                                                 VELM_result *result);
/** Releases the TargetInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_TargetInfo_Delete(VELM_AuditClientContext *context, VELM_TargetInfo *targetInfo,
                                    VELM_result *result);
/** The targetNames field as a new NULL-terminated array of new strings in the element code set: free
 * every string, then the array, with VELM_Free. NULL when the field was not given (the result
 * stays empty) or with the reason in result. Any thread may call it while no thread deletes the record. */
VELM_API char **VELM_TargetInfo_GetTargetNames(VELM_AuditClientContext *context,
                                               const VELM_TargetInfo *targetInfo, VELM_result *result);
/** The record's own NULL-terminated attribute array, or NULL when it has none. Borrowed: valid while the
 * record lives; do not change or free it. Any thread may call it while no thread deletes the record. */
VELM_API VELM_Attribute **VELM_TargetInfo_GetAttributes(VELM_AuditClientContext *context,
                                                        const VELM_TargetInfo *targetInfo,
                                                        VELM_result *result);

/** VELM_MgmtInfo: a management command and its targets; both fields are optional. targetInfo is copied (its
 * checks run again) or adopted as copyFlag says. Returns the new record (release it with
 * VELM_MgmtInfo_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in result;
 * the command text stays the caller's. Any thread. */
VELM_API VELM_MgmtInfo *VELM_MgmtInfo_Create(VELM_AuditClientContext *context, VELM_TargetInfo *targetInfo,
                                             const char *command, int copyFlag, VELM_result *result);
/** Releases the MgmtInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_MgmtInfo_Delete(VELM_AuditClientContext *context, VELM_MgmtInfo *mgmtInfo,
                                  VELM_result *result);
/** The record's own nested VELM_TargetInfo, or NULL when it has none. Borrowed: valid while the
 * record lives; do not change or delete it. Any thread may call it while no thread deletes the record. */
VELM_API VELM_TargetInfo *VELM_MgmtInfo_GetTargetInfo(VELM_AuditClientContext *context,
                                                      const VELM_MgmtInfo *mgmtInfo, VELM_result *result);
/** The command field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_MgmtInfo_GetCommand(VELM_AuditClientContext *context, const VELM_MgmtInfo *mgmtInfo,
                                        VELM_result *result);

/** VELM_PolicyInfo: a policy. name and type are required. Returns the new record (release it with
 * VELM_PolicyInfo_Delete unless an element adopts it with copyFlag 0), or NULL with the reasons in result;
 * texts and string arrays passed stay the caller's, attributes are copied or adopted as copyFlag says. Any
 * thread. */
VELM_API VELM_PolicyInfo *VELM_PolicyInfo_Create(VELM_AuditClientContext *context, const char *name,
                                                 const char *branch, const char *type,
                                                 const char *description, VELM_Attribute **attributes,
                                                 int copyFlag, VELM_result *result);
/** Releases the PolicyInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_PolicyInfo_Delete(VELM_AuditClientContext *context, VELM_PolicyInfo *policyInfo,
                                    VELM_result *result);
/** The name field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_PolicyInfo_GetName(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                                       VELM_result *result);
/** The branch field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_PolicyInfo_GetBranch(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                                         VELM_result *result);
/** The type field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_PolicyInfo_GetType(VELM_AuditClientContext *context, const VELM_PolicyInfo *policyInfo,
                                       VELM_result *result);
/** The description field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_PolicyInfo_GetDescription(VELM_AuditClientContext *context,
                                              const VELM_PolicyInfo *policyInfo, VELM_result *result);
/** The record's own NULL-terminated attribute array, or NULL when it has none. Borrowed: valid while the
 * record lives; do not change or free it. Any thread may call it while no thread deletes the record. */
VELM_API VELM_Attribute **VELM_PolicyInfo_GetAttributes(VELM_AuditClientContext *context,
                                                        const VELM_PolicyInfo *policyInfo,
                                                        VELM_result *result);

/** VELM_RegistryObjectInfo: an object in a user registry. name and type are required. Returns the new record
 * (release it with VELM_RegistryObjectInfo_Delete unless an element adopts it with copyFlag 0), or NULL
 * with the reasons in result; texts and string arrays passed stay the caller's, attributes are copied or
 * adopted as copyFlag says. Any thread. */
VELM_API VELM_RegistryObjectInfo *VELM_RegistryObjectInfo_Create(VELM_AuditClientContext *context,
                                                                 const char *name, const char *registryName,
                                                                 const char *type, const char *description,
                                                                 VELM_Attribute **attributes, int copyFlag,
                                                                 VELM_result *result);
/** Releases the RegistryObjectInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_RegistryObjectInfo_Delete(VELM_AuditClientContext *context,
                                            VELM_RegistryObjectInfo *registryObjectInfo, VELM_result *result);
/** The name field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_RegistryObjectInfo_GetName(VELM_AuditClientContext *context,
                                               const VELM_RegistryObjectInfo *registryObjectInfo,
                                               VELM_result *result);
/** The registryName field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_RegistryObjectInfo_GetRegistryName(VELM_AuditClientContext *context,
                                                       const VELM_RegistryObjectInfo *registryObjectInfo,
                                                       VELM_result *result);
/** The type field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_RegistryObjectInfo_GetType(VELM_AuditClientContext *context,
                                               const VELM_RegistryObjectInfo *registryObjectInfo,
                                               VELM_result *result);
/** The description field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_RegistryObjectInfo_GetDescription(VELM_AuditClientContext *context,
                                                      const VELM_RegistryObjectInfo *registryObjectInfo,
                                                      VELM_result *result);
/** The record's own NULL-terminated attribute array, or NULL when it has none. Borrowed: valid while the
 * record lives; do not change or free it. Any thread may call it while no thread deletes the record. */
VELM_API VELM_Attribute **VELM_RegistryObjectInfo_GetAttributes(
    VELM_AuditClientContext *context, const VELM_RegistryObjectInfo *registryObjectInfo, VELM_result *result);

/** VELM_ResourceInfo: the resource acted on. nameInApp, nameInPolicy and type are required. Returns the new
 * record (release it with VELM_ResourceInfo_Delete unless an element adopts it with copyFlag 0), or NULL
 * with the reasons in result; texts and string arrays passed stay the caller's, attributes are copied or
 * adopted as copyFlag says. Any thread. */
VELM_API VELM_ResourceInfo *VELM_ResourceInfo_Create(VELM_AuditClientContext *context, const char *nameInApp,
                                                     const char *nameInPolicy, const char *type,
                                                     VELM_Attribute **attributes, int copyFlag,
                                                     VELM_result *result);
/** Releases the ResourceInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_ResourceInfo_Delete(VELM_AuditClientContext *context, VELM_ResourceInfo *resourceInfo,
                                      VELM_result *result);
/** The nameInApp field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_ResourceInfo_GetNameInApp(VELM_AuditClientContext *context,
                                              const VELM_ResourceInfo *resourceInfo, VELM_result *result);
/** The nameInPolicy field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_ResourceInfo_GetNameInPolicy(VELM_AuditClientContext *context,
                                                 const VELM_ResourceInfo *resourceInfo, VELM_result *result);
/** The type field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_ResourceInfo_GetType(VELM_AuditClientContext *context,
                                         const VELM_ResourceInfo *resourceInfo, VELM_result *result);
/** The record's own NULL-terminated attribute array, or NULL when it has none. Borrowed: valid while the
 * record lives; do not change or free it. Any thread may call it while no thread deletes the record. */
VELM_API VELM_Attribute **VELM_ResourceInfo_GetAttributes(VELM_AuditClientContext *context,
                                                          const VELM_ResourceInfo *resourceInfo,
                                                          VELM_result *result);

/** VELM_UserInfo: the user who acted. registryUserName and appUserName are required; locationType, when
 * given, must be one of the location types ("Unknown", "IPV4", "IPV6", "NWA", "ISDN", "ICD", "OID-OSI",
 * "Dial", "HWA", "HID", "X25", "DCC", "SNA", "IPX", "E.164", "Hostname", "FQHostname", "Devicename", exact
 * bytes). callerList is a string array. Returns the new record (release it with VELM_UserInfo_Delete
 * unless an element adopts it with copyFlag 0), or NULL with the reasons in result; texts and string
 * arrays passed stay the caller's, attributes are copied or adopted as copyFlag says. Any thread. */
VELM_API VELM_UserInfo *VELM_UserInfo_Create(VELM_AuditClientContext *context, const char *registryUserName,
                                             const char *appUserName, int32_t uniqueId,
                                             char *const *callerList, const char *domain, const char *realm,
                                             const char *location, const char *locationType,
                                             const char *sessionId, VELM_Attribute **attributes, int copyFlag,
                                             VELM_result *result);
/** Releases the UserInfo record and everything it owns. Returns 0, or -1 with the reason in result
 * (a NULL or already deleted record, a bad context). Do not delete a record an element has
 * adopted (copyFlag 0); no other thread may use the record meanwhile. */
VELM_API int VELM_UserInfo_Delete(VELM_AuditClientContext *context, VELM_UserInfo *userInfo,
                                  VELM_result *result);
/** The registryUserName field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_UserInfo_GetRegistryUserName(VELM_AuditClientContext *context,
                                                 const VELM_UserInfo *userInfo, VELM_result *result);
/** The appUserName field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_UserInfo_GetAppUserName(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                            VELM_result *result);
/** The unique id; -1 for a NULL handle. Any thread may call it while no thread deletes the record. */
VELM_API int32_t VELM_UserInfo_GetUniqueId(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                           VELM_result *result);
/** A new string array on every call (free each string, then the array). Any thread may call it while no
 * thread deletes the record. */
VELM_API char **VELM_UserInfo_GetCallerList(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                            VELM_result *result);
/** The domain field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_UserInfo_GetDomain(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                       VELM_result *result);
/** The realm field as a new string in the element code set; free it with VELM_Free. NULL when the field was
 * not given (the result stays empty) or with the reason in result. Any thread may call it while no thread
 * deletes the record. */
VELM_API char *VELM_UserInfo_GetRealm(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                      VELM_result *result);
/** The location field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_UserInfo_GetLocation(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                         VELM_result *result);
/** The locationType field as a new string in the element code set; free it with VELM_Free. NULL when the
 * field was not given (the result stays empty) or with the reason in result. Any thread may call it while
 * no thread deletes the record. */
VELM_API char *VELM_UserInfo_GetLocationType(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                             VELM_result *result);
/** The sessionId field as a new string in the element code set; free it with VELM_Free. NULL when the field
 * was not given (the result stays empty) or with the reason in result. Any thread may call it while no
 * thread deletes the record. */
VELM_API char *VELM_UserInfo_GetSessionId(VELM_AuditClientContext *context, const VELM_UserInfo *userInfo,
                                          VELM_result *result);
/** The record's own NULL-terminated attribute array, or NULL when it has none. Borrowed: valid while the
 * record lives; do not change or free it. Any thread may call it while no thread deletes the record. */
VELM_API VELM_Attribute **VELM_UserInfo_GetAttributes(VELM_AuditClientContext *context,
                                                      const VELM_UserInfo *userInfo, VELM_result *result);
/** @} */

/* ---- Validation (an addition to the original interface) ----------------- */
/** @defgroup validate Validation
 * @{ */

/** Checks the event against the predefined event types exactly as
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

/** @} */

/* ---- XML (an addition to the original interface) ------------------------ */
/** @defgroup xml Event XML
 * @{ */

/** An addition to the original interface, for dry runs and the application's
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

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VELM_H */
