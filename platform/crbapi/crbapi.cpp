// Crate-server connections (temporary: not implemented yet).
#include "crbapi.h"

#include <cstring>

extern "C" {

CRBAPI_EXPORT int32_t CRB_Init(TCRB *crb)
{
    if (!crb)
        return CRB_ERR_INVALID_PARAM;
    std::memset(crb, 0, sizeof *crb);
    crb->socket = -1;
    return CRB_OK;
}
CRBAPI_EXPORT int32_t CRB_OpenSvcControl(TCRB *, uint32_t, uint16_t) { return CRB_ERR_CONNECT; }
CRBAPI_EXPORT int32_t CRB_GetCrates(TCRB *, char[CRB_MAX_CRATES][CRB_SERIAL_SIZE]) { return CRB_ERR_NOT_OPENED; }
CRBAPI_EXPORT int32_t CRB_OpenCrate(TCRB *, uint32_t, uint16_t, uint32_t, const char *) { return CRB_ERR_CONNECT; }
CRBAPI_EXPORT int32_t CRB_GetCrateModules(TCRB *, uint16_t[CRB_SLOT_COUNT]) { return CRB_ERR_NOT_OPENED; }
CRBAPI_EXPORT int32_t CRB_Close(TCRB *) { return CRB_OK; }

} // extern "C"
