// Plumbing shared by every info-record family: required-parameter and location-type checks, copying texts into a
// record (with or without conversion into UTF-8) and handing them back in
// the element code set, and generic public getters and deletes.
//
// Messages and trace lines are tagged with the calling family's unit and
// function, passed as an InfoSite built with VELM_INFO_SITE (which needs
// VELM_TRACE_UNIT in scope).
#pragma once

#include <cstdint>
#include <cstdlib>

#include "capis/api_guard.h"
#include "capis/context.h"
#include "capis/trace.h"
#include "velm.h"

namespace velm {

// Source position of a check, for error-log and trace lines.
struct InfoSite {
  const char *file;
  const char *unit;
  const char *function;
  int line;
};

}  // namespace velm

#define VELM_INFO_SITE (::velm::InfoSite{__FILE__, kVelmTraceUnit, __func__, __LINE__})

namespace velm {

// A required parameter (or record handle) that is null: records message 9
// naming it, traces "ERROR: The <name> parameter is missing" and gives
// false. True when present.
bool infoRequire(VELM_AuditClientContext *context, const void *value, const char *name, const InfoSite &site,
                 VELM_result *result);

// True when value is one of the location types (exact bytes). Otherwise
// records message 8 with paramName and the value, traces
// "ERROR: value of <paramName> is not a valid value: <value>" and gives false.
bool infoCheckLocationType(VELM_AuditClientContext *context, const char *value, const char *paramName,
                           const InfoSite &site, VELM_result *result);

// The allocator of records and of texts copied without conversion (malloc
// unless replaced). Tests replace it to fail chosen allocations; set it
// only while no other thread creates records. Null restores malloc.
using InfoAllocFn = void *(*)(size_t);
void setInfoAllocator(InfoAllocFn alloc);

// A zero-filled heap record (released with free), or null with message 1.
void *infoAllocZeroed(VELM_AuditClientContext *context, size_t size, const InfoSite &site, VELM_result *result);
// A new record of family R, carrying the family's magic word.
template <typename R>
R *infoAllocRecord(VELM_AuditClientContext *context, const InfoSite &site, VELM_result *result) {
  void *record = infoAllocZeroed(context, sizeof(R), site, result);
  if (record != nullptr) setHandleMagic(record, recordMagic<R>());
  return static_cast<R *>(record);
}

// Stores a heap copy of text in *field: converted into UTF-8 when
// convertFlag is 1 and the element code set is not UTF-8, byte for byte
// otherwise. A null text leaves *field null. False (and *field unchanged)
// with message 1 when memory ran out, or message 8 naming fieldName when the
// text cannot be converted or is nothing XML can carry.
bool infoCopyString(VELM_AuditClientContext *context, const char *text, int convertFlag, char **field,
                    const InfoSite &site, VELM_result *result, const char *fieldName = "value");

// The same for a string array (always copied, whatever copyFlag says); a
// refused entry is named as fieldName[i].
bool infoCopyStringArray(VELM_AuditClientContext *context, char *const *array, int convertFlag, char ***field,
                         const InfoSite &site, VELM_result *result, const char *fieldName = "array");

// Fills a record's string fields in order, stopping at the first failure:
//   InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
//   if (!copy(name, rec->name, "name") || !copy(value, rec->value, "value")) { ...release... }
struct InfoFieldCopier {
  VELM_AuditClientContext *context;
  int convertFlag;
  InfoSite site;
  VELM_result *result;
  bool operator()(const char *text, char *&field, const char *fieldName) const {
    return infoCopyString(context, text, convertFlag, &field, site, result, fieldName);
  }
};

// Getter value of a string field: a new heap text in the element code set
// (free with VELM_Free), or null for a null field (no message) or when
// memory ran out (message 1).
char *infoGetString(VELM_AuditClientContext *context, const char *field, VELM_result *result);
// Getter value of a string-array field: a new array of new texts in the
// element code set (free each text, then the array, with VELM_Free); null
// for a null field.
char **infoGetStringArray(VELM_AuditClientContext *context, char *const *field, VELM_result *result);

// Frees a string field and clears it.
inline void infoFreeString(char *&field) {
  std::free(field);
  field = nullptr;
}

// Public getter of a string field: the guard, the handle check, then a
// converted copy.
template <typename R>
char *infoStringGetter(VELM_AuditClientContext *context, const R *record, char *R::*field,
                       const char *handleName, const ApiSite &site, VELM_result *result) {
  return contextCall(context, result, nullptr, site, [&](ApiCall &call) -> char * {
    if (!call.requireHandle(record, handleName)) return nullptr;
    return infoGetString(context, record->*field, result);
  });
}

// Public getter of an integer field: the value, or -1 (all bits set) when
// the context, result or handle is missing or unusable.
template <typename R, typename T>
T infoIntGetter(VELM_AuditClientContext *context, const R *record, T R::*field, const char *handleName,
                const ApiSite &site, VELM_result *result) {
  return contextCall(context, result, static_cast<T>(-1), site, [&](ApiCall &call) -> T {
    if (!call.requireHandle(record, handleName)) return static_cast<T>(-1);
    return record->*field;
  });
}

// Public delete: the guard, the handle check, then the family's internal
// delete (which poisons the record).
template <typename R>
int infoPublicDelete(VELM_AuditClientContext *context, R *record, const char *handleName,
                     int (*internalDelete)(VELM_AuditClientContext *, R *, VELM_result *), const ApiSite &site,
                     VELM_result *result) {
  return contextCall(context, result, -1, site, [&](ApiCall &call) {
    if (!call.requireHandle(record, handleName)) return -1;
    return internalDelete(context, record, result);
  });
}

}  // namespace velm

// Defines the public getter VELM_<Family>_<Getter> of a string field, or of
// an integer field of type Type (for use inside extern "C").
#define VELM_INFO_STRING_GETTER(Family, Getter, field, handleName)                                       \
  char *VELM_##Family##_##Getter(VELM_AuditClientContext *context, const VELM_##Family *record,          \
                                 VELM_result *result) {                                                  \
    return ::velm::infoStringGetter(context, record, &VELM_##Family::field, handleName, VELM_API_SITE,   \
                                    result);                                                             \
  }
#define VELM_INFO_INT_GETTER(Family, Getter, Type, field, handleName)                                      \
  Type VELM_##Family##_##Getter(VELM_AuditClientContext *context, const VELM_##Family *record,             \
                                VELM_result *result) {                                                     \
    return ::velm::infoIntGetter(context, record, &VELM_##Family::field, handleName, VELM_API_SITE, result);  \
  }
