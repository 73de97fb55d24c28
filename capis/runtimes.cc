// Process-wide runtimes. Until the XML and transport subsystems provide their
// own start and stop, these succeed without doing anything. They are weak so
// that a subsystem's own definitions replace them.
#include "capis/runtimes.h"

namespace velm {

__attribute__((weak)) int initializeXMLParser() { return 0; }
__attribute__((weak)) void terminateXMLParser() {}

__attribute__((weak)) int initializeAxis() { return 0; }
__attribute__((weak)) void terminateAxis() {}

__attribute__((weak)) int setupSecureEnv(VELM_AuditClientContext *, VELM_result *) { return 0; }

}  // namespace velm
