// VELM_ComponentId: identity of a reporting or source component.
#include "capis/info_common.h"
#include "capis/info_simple.h"

VELM_TRACE_UNIT("component_id");

namespace {
constexpr const char *kHandle = "componentId_Handle";
}

namespace velm {

VELM_ComponentId *componentId_Create(VELM_AuditClientContext *context, const char *location,
                                     const char *locationType, const char *application,
                                     const char *executionEnvironment, const char *component,
                                     const char *componentType, const char *componentIdType,
                                     const char *subcomponent, const char *instanceId, const char *processId,
                                     const char *threadId, int convertFlag, VELM_result *result) {
  VELM_ENTRY_EXIT(context);
  // The location type is checked as soon as it is known to be present, so a
  // bad type is reported before a later missing parameter.
  if (!infoRequire(context, location, "location", VELM_INFO_SITE, result) ||
      !infoRequire(context, locationType, "locationType", VELM_INFO_SITE, result) ||
      !infoCheckLocationType(context, locationType, "locationType", VELM_INFO_SITE, result) ||
      !infoRequire(context, application, "application", VELM_INFO_SITE, result) ||
      !infoRequire(context, component, "component", VELM_INFO_SITE, result) ||
      !infoRequire(context, componentType, "componentType", VELM_INFO_SITE, result) ||
      !infoRequire(context, componentIdType, "componentIdType", VELM_INFO_SITE, result) ||
      !infoRequire(context, subcomponent, "subcomponent", VELM_INFO_SITE, result))
    return nullptr;
  auto *rec = infoAllocRecord<VELM_ComponentId>(context, VELM_INFO_SITE, result);
  if (rec == nullptr) return nullptr;
  const InfoFieldCopier copy{context, convertFlag, VELM_INFO_SITE, result};
  if (copy(location, rec->location, "location") && copy(locationType, rec->locationType, "locationType") &&
      copy(application, rec->application, "application") &&
      copy(executionEnvironment, rec->executionEnvironment, "executionEnvironment") &&
      copy(component, rec->component, "component") &&
      copy(componentType, rec->componentType, "componentType") &&
      copy(componentIdType, rec->componentIdType, "componentIdType") &&
      copy(subcomponent, rec->subcomponent, "subcomponent") &&
      copy(instanceId, rec->instanceId, "instanceId") && copy(processId, rec->processId, "processId") &&
      copy(threadId, rec->threadId, "threadId"))
    return rec;
  componentId_Delete(context, rec, result);
  return nullptr;
}

int componentId_Delete(VELM_AuditClientContext *context, VELM_ComponentId *componentId, VELM_result *) {
  VELM_ENTRY_EXIT(context);
  if (componentId == nullptr) return 0;
  for (char **field : {&componentId->location, &componentId->locationType, &componentId->application,
                       &componentId->executionEnvironment, &componentId->component, &componentId->componentType,
                       &componentId->componentIdType, &componentId->subcomponent, &componentId->instanceId,
                       &componentId->processId, &componentId->threadId})
    infoFreeString(*field);
  releaseHandle(componentId);
  return 0;
}

}  // namespace velm

extern "C" {

VELM_ComponentId *VELM_ComponentId_Create(VELM_AuditClientContext *context, const char *location,
                                          const char *locationType, const char *application,
                                          const char *executionEnvironment, const char *component,
                                          const char *componentType, const char *componentIdType,
                                          const char *subcomponent, const char *instanceId, const char *processId,
                                          const char *threadId, VELM_result *result) {
  return velm::contextCall(context, result, nullptr, VELM_API_SITE, [&](velm::ApiCall &) {
    return velm::componentId_Create(context, location, locationType, application, executionEnvironment, component,
                                    componentType, componentIdType, subcomponent, instanceId, processId, threadId, 1,
                                    result);
  });
}

int VELM_ComponentId_Delete(VELM_AuditClientContext *context, VELM_ComponentId *componentId, VELM_result *result) {
  return velm::infoPublicDelete(context, componentId, kHandle, velm::componentId_Delete, VELM_API_SITE, result);
}

VELM_INFO_STRING_GETTER(ComponentId, GetLocation, location, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetLocationType, locationType, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetApplication, application, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetExecuteEnv, executionEnvironment, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetComponent, component, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetComponentType, componentType, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetComponentIdType, componentIdType, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetSubcomponent, subcomponent, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetInstanceId, instanceId, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetProcessId, processId, kHandle)
VELM_INFO_STRING_GETTER(ComponentId, GetThreadId, threadId, kHandle)

}  // extern "C"
