// Placeholder until the record families land.
#include "capis/info.h"

namespace velm {

void *infoRecord_Copy(VELM_AuditClientContext *, int, const void *, VELM_result *) { return nullptr; }
void infoRecord_Delete(VELM_AuditClientContext *, int, void *) {}

}  // namespace velm
