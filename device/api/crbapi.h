/*
 * Crate-server API.
 *
 * C interface of the library that lists the crates known to the crate server
 * and the module types in their sixteen slots. Every operation returns 0 on
 * success and a negative error code otherwise; GRV480_GetErrorString() in
 * grv480api.h explains the codes.
 */
#ifndef CRBAPI_H
#define CRBAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#  if defined(CRBAPI_BUILD)
#    define CRBAPI_EXPORT __declspec(dllexport)
#  else
#    define CRBAPI_EXPORT __declspec(dllimport)
#  endif
#else
#  define CRBAPI_EXPORT __attribute__((visibility("default")))
#endif

#define CRB_MAX_CRATES 16
#define CRB_SLOT_COUNT 16
#define CRB_SERIAL_SIZE 16
#define CRB_MODULE_NONE 0x0000u

#define CRB_OK 0
#define CRB_ERR_INVALID_PARAM (-11001)
#define CRB_ERR_CONNECT (-11002)
#define CRB_ERR_TIMEOUT (-11003)
#define CRB_ERR_CONNECTION_LOST (-11004)
#define CRB_ERR_PROTOCOL (-11005)
#define CRB_ERR_NOT_OPENED (-11006)
#define CRB_ERR_CRATE_NOT_FOUND (-11007)
#define CRB_ERR_WRONG_CONNECTION (-11008)

/* One connection to the crate server: the service connection or one crate. */
typedef struct TCRB {
    uint32_t magic;
    int32_t socket;               /* -1 when closed */
    uint32_t kind;                /* 0 closed, 1 service, 2 crate */
    uint32_t timeoutMs;           /* bound of every request */
    char crateSerial[CRB_SERIAL_SIZE];
    uint8_t reserved[32];
} TCRB;

/* crateSerials: CRB_MAX_CRATES entries of CRB_SERIAL_SIZE bytes. */
typedef char TCRBCrateSerials[CRB_MAX_CRATES][CRB_SERIAL_SIZE];

CRBAPI_EXPORT int32_t CRB_Init(TCRB *crb);
/* address: IPv4 address in host byte order. */
CRBAPI_EXPORT int32_t CRB_OpenSvcControl(TCRB *crb, uint32_t address, uint16_t port);
/* Fills CRB_MAX_CRATES serial numbers; an entry whose first byte is 0 holds no crate. */
CRBAPI_EXPORT int32_t CRB_GetCrates(TCRB *crb, char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE]);
/* flags: reserved, pass 0. */
CRBAPI_EXPORT int32_t CRB_OpenCrate(TCRB *crb, uint32_t address, uint16_t port, uint32_t flags,
                                    const char *crateSerial);
/* ids[i] is the module type in slot i + 1; CRB_MODULE_NONE for an empty slot. */
CRBAPI_EXPORT int32_t CRB_GetCrateModules(TCRB *crb, uint16_t ids[CRB_SLOT_COUNT]);
CRBAPI_EXPORT int32_t CRB_Close(TCRB *crb);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CRBAPI_H */
