// Module operations on a handle (temporary: connection not implemented yet).
#include "grv480api.h"

#include <cstring>

namespace {
constexpr uint32_t kHandleMagic = 0x47523438u;
bool valid(const TGRV480 *h) { return h && h->magic == kHandleMagic; }
}

extern "C" {

GRV480API_EXPORT INT GRV480_Init(TGRV480 *h)
{
    if (!h)
        return GRV480_ERR_INVALID_HANDLE;
    std::memset(h, 0, sizeof *h);
    h->magic = kHandleMagic;
    return GRV480_OK;
}

GRV480API_EXPORT INT GRV480_IsOpened(TGRV480 *h)
{
    if (!valid(h))
        return GRV480_ERR_INVALID_HANDLE;
    return GRV480_ERR_NOT_OPENED;
}

#define STUB(name, ...) GRV480API_EXPORT INT name(__VA_ARGS__) { return GRV480_ERR_NOT_OPENED; }
STUB(GRV480_Open, TGRV480 *, uint32_t, uint16_t, const char *, uint16_t)
GRV480API_EXPORT INT GRV480_Close(TGRV480 *h) { return valid(h) ? GRV480_OK : GRV480_ERR_INVALID_HANDLE; }
STUB(GRV480_SetADC, TGRV480 *)
STUB(GRV480_InitMeasParams, TGRV480 *, INT, INT, INT)
STUB(GRV480_Start, TGRV480 *)
STUB(GRV480_Stop, TGRV480 *)
STUB(GRV480_Recv, TGRV480 *, uint32_t *, uint32_t *, uint32_t, uint32_t)
STUB(GRV480_ProcessData, TGRV480 *, const uint32_t *, double *, uint32_t *, uint32_t,
     TGRV480FrameStatus *, TGRV480ChStatus *)
STUB(GRV480_ReadTareInfo, TGRV480 *, uint32_t)
STUB(GRV480_WriteTareInfo, TGRV480 *, uint32_t)
STUB(GRV480_TareOffset, TGRV480 *, uint32_t, uint32_t *)
STUB(GRV480_TareScale, TGRV480 *, uint32_t, uint32_t *)

} // extern "C"
