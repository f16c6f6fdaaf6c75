/*
 * GRV480 module API.
 *
 * C interface of the library that talks to a GRV480 bridge-measurement module
 * through the crate server. Every operation returns 0 on success and a negative
 * error code otherwise; GRV480_GetErrorString() explains any code, including
 * the crate-server codes of crbapi.h.
 *
 * The byte positions of the fields the monitor reads are fixed (see the
 * static assertions at the end); everything else is reserved space.
 */
#ifndef GRV480API_H
#define GRV480API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#  if defined(GRV480API_BUILD)
#    define GRV480API_EXPORT __declspec(dllexport)
#  else
#    define GRV480API_EXPORT __declspec(dllimport)
#  endif
#else
#  define GRV480API_EXPORT __attribute__((visibility("default")))
#endif

/* Error-code type of the API (a plain signed 32-bit integer). */
typedef int32_t INT;

#define GRV480_MODULE_ID 0xC5C5u
#define GRV480_CHANNEL_COUNT 16
#define GRV480_MAX_TABLE_SIZE 1024
#define GRV480_ALL_CHANNELS_MASK 0xFFFFu

/* Measurement modes of GRV480_InitMeasParams(). */
#define GRV480_MEAS_MODE_SCALE_TARE 2
#define GRV480_MEAS_MODE_ACQUISITION 3

/* Range codes of a logical channel. */
#define GRV480_RANGE_35MV 0
#define GRV480_RANGE_70MV 1
#define GRV480_RANGE_1200MV 2

/* Filter types. */
#define GRV480_FILTER_SINC5_SINC1 0
#define GRV480_FILTER_SINC3 1
#define GRV480_FILTER_ENH_50_60 2

/* Background-measurement mask bits (12 bits used). */
#define GRV480_BG_OFFS 0x001u
#define GRV480_BG_UREF 0x002u
#define GRV480_BG_UREF_OFFS 0x004u
#define GRV480_BG_VADJ 0x008u
#define GRV480_BG_UNEG 0x010u
#define GRV480_BG_CHECK_SHORT_UREF 0x020u
#define GRV480_BG_CHECK_OPEN_UREF 0x040u
#define GRV480_BG_CHECK_OPEN_UNEG 0x080u
#define GRV480_BG_CHECK_SHORT_UX 0x100u
#define GRV480_BG_CHECK_OPEN_UX 0x200u
#define GRV480_BG_UX 0x400u
#define GRV480_BG_UCM 0x800u
#define GRV480_BG_ALL 0xFFFu

/* Logical table entries: bit layout. */
#define GRV480_ENTRY_DAC_MASK 0x00003FFFu
#define GRV480_ENTRY_BOUT 0x00004000u
#define GRV480_ENTRY_BG_SLOT 0x00008000u
#define GRV480_ENTRY_GAIN_SHIFT 16
#define GRV480_ENTRY_GAIN_MASK 0x00070000u
#define GRV480_ENTRY_CHANNEL_SHIFT 19
#define GRV480_ENTRY_CHANNEL_MASK 0x00780000u
#define GRV480_ENTRY_MODE_MASK 0xFF800000u

#define GRV480_MODE_UNBALANCE 0x10800000u  /* "Разбаланс" */
#define GRV480_MODE_ZERO_UREF 0x11000000u  /* "Ноль (Uref)" */
#define GRV480_MODE_UX_AGND 0x20800000u    /* "Ux (AGND)" */
#define GRV480_MODE_UREF_AGND 0x21000000u  /* "Uref (AGND)" */
#define GRV480_MODE_UNEG_AGND 0x22000000u  /* "U- (AGND)" */
#define GRV480_MODE_VADJ 0x24000000u       /* "Vadj" */
#define GRV480_MODE_UX_UNEG 0x40800000u    /* "Ux (U-)" */
#define GRV480_MODE_UREF_UNEG 0x41000000u  /* "Uref (U-)" */
#define GRV480_MODE_ZERO_UNEG 0x42000000u  /* "Ноль (U-)" */

/* State codes of a measured value. */
#define GRV480_MV_NOT_MEASURED 0
#define GRV480_MV_VALID 1
#define GRV480_MV_NO_VALUE 2
#define GRV480_MV_FAULT 3
#define GRV480_MV_SHORT 4
#define GRV480_MV_OPEN 5
#define GRV480_MV_COND_VIOLATED 6
#define GRV480_MV_UNDETERMINED 7

/* Flags of TGRV480FrameStatus.flags and TGRV480ChStatus.flags. */
#define GRV480_FRAME_LOAD_POWER_EXCEEDED 0x1u
#define GRV480_CH_OUT_OF_RANGE 0x1u

/* Error codes. 0 is success. */
#define GRV480_OK 0
/* handle and arguments */
#define GRV480_ERR_INVALID_HANDLE (-10001)
#define GRV480_ERR_INVALID_PARAM (-10002)
#define GRV480_ERR_NOT_OPENED (-10003)
#define GRV480_ERR_ALREADY_OPENED (-10004)
#define GRV480_ERR_NO_MEMORY (-10005)
#define GRV480_ERR_BLOCK_TOO_LARGE (-10006)
/* connection to the crate server and the module */
#define GRV480_ERR_CONNECT (-10101)
#define GRV480_ERR_TIMEOUT (-10102)
#define GRV480_ERR_CONNECTION_LOST (-10103)
#define GRV480_ERR_PROTOCOL (-10104)
#define GRV480_ERR_MODULE_BUSY (-10105)
#define GRV480_ERR_NO_MODULE (-10106)
#define GRV480_ERR_CRATE_NOT_FOUND (-10107)
/* configuration refused by the module */
#define GRV480_ERR_CFG_RANGE_CODE (-10201)
#define GRV480_ERR_CFG_CHANNEL_INDEX (-10202)
#define GRV480_ERR_CFG_CHANNEL_ORDER (-10203)
#define GRV480_ERR_CFG_CHANNEL_COUNT (-10204)
#define GRV480_ERR_CFG_ISRC_CODE (-10205)
#define GRV480_ERR_CFG_SYNC_DIV (-10206)
#define GRV480_ERR_CFG_FILTER_TYPE (-10207)
#define GRV480_ERR_CFG_FILTER_ODR (-10208)
#define GRV480_ERR_CFG_BG_MASK (-10209)
#define GRV480_ERR_CFG_CH16_UREF (-10210)
#define GRV480_ERR_CFG_SW_TIME (-10211)
#define GRV480_ERR_CFG_CABLE (-10212)
#define GRV480_ERR_CFG_SHORT_THRESH (-10213)
#define GRV480_ERR_CFG_TABLE_OVERFLOW (-10214)
#define GRV480_ERR_CFG_SINGLE_CHANNEL (-10215)
/* configuration that differs from the recording a replaying module plays */
#define GRV480_ERR_REPLAY_CHANNELS (-10230)
#define GRV480_ERR_REPLAY_RANGE (-10231)
#define GRV480_ERR_REPLAY_SINGLE_CHANNEL (-10232)
#define GRV480_ERR_REPLAY_ADC_FREQ (-10233)
#define GRV480_ERR_REPLAY_SW_TIME (-10234)
#define GRV480_ERR_REPLAY_FILTER (-10235)
#define GRV480_ERR_REPLAY_ISRC (-10236)
#define GRV480_ERR_REPLAY_BG_MASK (-10237)
#define GRV480_ERR_REPLAY_CH16_UREF (-10238)
#define GRV480_ERR_REPLAY_TARE (-10239)
#define GRV480_ERR_REPLAY_SHORT_THRESH (-10240)
#define GRV480_ERR_REPLAY_CABLE (-10241)
/* acquisition */
#define GRV480_ERR_NOT_CONFIGURED (-10301)
#define GRV480_ERR_NOT_STARTED (-10302)
#define GRV480_ERR_ALREADY_STARTED (-10303)
#define GRV480_ERR_OVERFLOW (-10304)
#define GRV480_ERR_DATA_MISALIGNED (-10305)
#define GRV480_ERR_DATA_CORRUPTED (-10306)
#define GRV480_ERR_MEAS_MODE (-10307)
/* tare and flash memory */
#define GRV480_ERR_TARE_NO_CHANNELS (-10710)
#define GRV480_ERR_TARE_FAILED (-10711)
#define GRV480_ERR_TARE_PARTIAL (-10712)
#define GRV480_ERR_FLASH_WRITE (-10720)
#define GRV480_ERR_FLASH_READ (-10721)
#define GRV480_ERR_FLASH_EMPTY (-10722)

/* One auxiliary measured value. */
typedef struct TGRV480MeasValue {
    uint8_t state;       /* state code, GRV480_MV_* */
    uint8_t valid;       /* non-zero when value holds a number */
    uint8_t reserved[6];
    double value;        /* volts */
} TGRV480MeasValue;

/* Status of one processed block of frames. */
typedef struct TGRV480FrameStatus {
    uint32_t frameCount;          /* frames in the block */
    uint32_t flags;               /* GRV480_FRAME_* */
    TGRV480MeasValue uref;        /* reference voltage */
    TGRV480MeasValue urefR;       /* Uref measured through channel 16 */
    TGRV480MeasValue vadj;
    TGRV480MeasValue uneg;        /* U-, volts */
    TGRV480MeasValue zeroUref;    /* zero measured against Uref */
    TGRV480MeasValue zeroUneg;    /* zero measured against U- */
    double iSrcValue;             /* excitation current in use, mA */
    double loadPower;             /* excitation load power, W */
    uint32_t firstFrameNumber;    /* frame counter of the first frame */
    uint32_t bgCycleCount;        /* completed background cycles so far */
    uint8_t reserved[8];
} TGRV480FrameStatus;

/* Status of one logical channel in a processed block. */
typedef struct TGRV480ChStatus {
    uint8_t channelIndex;         /* physical channel 0..15 */
    uint8_t rangeCode;
    uint8_t reserved0[2];
    uint32_t flags;               /* GRV480_CH_* */
    uint32_t outOfRangeCount;     /* samples at the range limit */
    uint32_t reserved1;
    double zeroOffset;            /* zero correction applied, volts */
    TGRV480MeasValue ux;          /* absolute voltage; its state carries the line checks */
    TGRV480MeasValue ucm;         /* common-mode voltage */
    double ucmMin;                /* working bounds of Ucm, volts */
    double ucmMax;
    uint8_t reserved[64];
} TGRV480ChStatus;

/* Parameters of a digital filter of the ADC. */
typedef struct TGRV480FilterParams {
    int32_t type;                 /* GRV480_FILTER_* */
    int32_t odrCode;              /* ODR code, or the SINC3 divider */
    double odr;                   /* output data rate, samples per second */
    double notchFreq;             /* first notch of the SINC filters, Hz */
    double notchDb;               /* 50/60 Hz rejection of the enhanced filter, dB */
    double settlingUs;            /* settling time after a channel switch, us */
    uint8_t reserved[24];
} TGRV480FilterParams;

/* One entry of the logical channel list. */
typedef struct TGRV480LogicalChannel {
    uint8_t channelIndex;         /* physical channel 0..15 */
    uint8_t rangeCode;            /* GRV480_RANGE_* */
    uint8_t reserved[2];
} TGRV480LogicalChannel;

/* Configuration part of the handle, written before GRV480_SetADC(). */
typedef struct TGRV480Config {
    uint8_t singleChMode;
    uint8_t ch16ForUref;
    uint8_t tareCoefEn;
    uint8_t reserved0[5];
    int32_t syncFreqDiv;          /* ADC synchronisation divider */
    int32_t filterType;
    int32_t filterOdrCode;
    int32_t iSrcCode;             /* excitation-current code */
    double swTimeUs;              /* required switching time */
    uint32_t bgMeasMask;          /* GRV480_BG_* */
    uint32_t logicalChannelCount;
    double shortRThresh;          /* ohms */
    double cableLength;           /* metres */
    double cableCapPerUnit;       /* pF per metre */
    TGRV480LogicalChannel logicalChannels[GRV480_CHANNEL_COUNT];
    uint8_t reserved[128];
} TGRV480Config;

/* Module information, filled by GRV480_Open(). */
typedef struct TGRV480ModuleInfo {
    char moduleSerial[16];        /* NUL-terminated 8-bit text */
    uint16_t fpgaVersion;
    uint16_t moduleId;
    uint16_t slot;
    uint16_t reserved0;
    char crateSerial[16];
    double refClockHz;            /* reference clock of the ADC synchronisation */
    double iSrcStepMa;            /* excitation-current DAC step */
    double iSrcMaxMa;
    double loadPowerLimitW;
    uint8_t reserved[88];
} TGRV480ModuleInfo;

/* Logical tables computed for a configuration. */
typedef struct TGRV480RawTables {
    uint32_t unbalanceChCount;    /* entries measuring an unbalance */
    uint32_t secondaryRowStart;   /* first row after the per-frame corrections */
    uint32_t mainTableSize;
    uint32_t bgTableSize;
    uint32_t bgStepClocks;        /* ADC clocks of one background step */
    uint32_t frameClocks;         /* ADC clocks (and words) of one frame */
    uint32_t frameWordCount;
    uint32_t reserved0;
    uint32_t mainTable[GRV480_MAX_TABLE_SIZE];
    uint32_t bgTable[GRV480_MAX_TABLE_SIZE];
} TGRV480RawTables;

/* Tare record of one channel. */
typedef struct TGRV480TareInfo {
    uint8_t dacOffsetValid;
    uint8_t offsetValid;
    uint8_t scaleValid;
    uint8_t reserved0[5];
    double dacOffset;             /* volts */
    double offsetCoef;            /* volts */
    double scaleCoef;             /* no unit */
    uint8_t reserved[64];
} TGRV480TareInfo;

/* The module handle. Initialise with GRV480_Init() before any other call. */
typedef struct TGRV480 {
    uint32_t magic;
    uint32_t measMode;
    void *priv;                   /* library state; not for the caller */
    uint8_t reserved0[48];
    TGRV480Config cfg;            /* configuration part */
    uint32_t frameWordCount;      /* 32-bit words per frame */
    uint32_t reserved1;
    double frameFrequency;        /* frames per second */
    uint8_t reserved2[176];
    TGRV480RawTables raw;         /* tables of the last GRV480_SetADC() */
    uint8_t reserved3[12840 - 512 - sizeof(TGRV480RawTables)];
    TGRV480ModuleInfo info;       /* module information */
    uint8_t reserved4[13632 - 12840 - sizeof(TGRV480ModuleInfo)];
    TGRV480TareInfo tare[GRV480_CHANNEL_COUNT];
    uint8_t reserved5[1216];
} TGRV480;

/* --- operations, in calling order --- */

GRV480API_EXPORT INT GRV480_Init(TGRV480 *hmodule);
/* serverAddr: IPv4 address in host byte order. */
GRV480API_EXPORT INT GRV480_Open(TGRV480 *hmodule, uint32_t serverAddr, uint16_t port,
                                 const char *crateSerial, uint16_t slot);
/* 0 when open. Safe to call while another thread is inside GRV480_Recv(). */
GRV480API_EXPORT INT GRV480_IsOpened(TGRV480 *hmodule);
GRV480API_EXPORT INT GRV480_Close(TGRV480 *hmodule);

GRV480API_EXPORT INT GRV480_SetADC(TGRV480 *hmodule);
GRV480API_EXPORT INT GRV480_InitMeasParams(TGRV480 *hmodule, INT measMode, INT reserved1,
                                           INT reserved2);
GRV480API_EXPORT INT GRV480_Start(TGRV480 *hmodule);
GRV480API_EXPORT INT GRV480_Stop(TGRV480 *hmodule);
/* Returns the number of words received (0 when none came within timeoutMs) or an error. */
GRV480API_EXPORT INT GRV480_Recv(TGRV480 *hmodule, uint32_t *words, uint32_t *marker,
                                 uint32_t wordCount, uint32_t timeoutMs);
/* values: frame-major, frame * logicalChannelCount + channel, volts.
   wordCount: in, the words given (whole frames); out, the words used. */
GRV480API_EXPORT INT GRV480_ProcessData(TGRV480 *hmodule, const uint32_t *words, double *values,
                                        uint32_t *wordCount, uint32_t flags,
                                        TGRV480FrameStatus *frameStatus,
                                        TGRV480ChStatus *chStatus);

GRV480API_EXPORT INT GRV480_ReadTareInfo(TGRV480 *hmodule, uint32_t chMask);
GRV480API_EXPORT INT GRV480_WriteTareInfo(TGRV480 *hmodule, uint32_t chMask);
GRV480API_EXPORT INT GRV480_TareOffset(TGRV480 *hmodule, uint32_t chMask, uint32_t *okChMask);
GRV480API_EXPORT INT GRV480_TareScale(TGRV480 *hmodule, uint32_t chMask, uint32_t *okChMask);

/* Computes the tables of a configuration without touching the module. */
GRV480API_EXPORT INT GRV480_FillRawTables(const TGRV480ModuleInfo *info, const TGRV480Config *cfg,
                                          TGRV480RawTables *raw);

/* Search functions; they need no module. */
GRV480API_EXPORT INT GRV480_FindSyncFreqDiv(double freq, int32_t *div, double *resultFreq);
GRV480API_EXPORT INT GRV480_FindFilterParams(INT singleCh, double adcFreq, double swTimeUs,
                                             TGRV480FilterParams *params,
                                             double *swTimeResultUs);
GRV480API_EXPORT INT GRV480_GetFilterOutParams(INT singleCh, INT type, INT odrSelector,
                                               TGRV480FilterParams *params);
GRV480API_EXPORT INT GRV480_FindISrcCode(TGRV480 *hmodule, double valueMa, int32_t *code,
                                         double *resultMa);
GRV480API_EXPORT INT GRV480_CalcISrcValue(TGRV480 *hmodule, int32_t code, double *valueMa);

/* Text of an error code in the local 8-bit encoding; never null. */
GRV480API_EXPORT const char *GRV480_GetErrorString(INT err);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* Positions the monitor relies on. */
#ifdef __cplusplus
#  define GRV480_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#  define GRV480_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
GRV480_STATIC_ASSERT(sizeof(TGRV480MeasValue) == 16, "TGRV480MeasValue size");
GRV480_STATIC_ASSERT(offsetof(TGRV480MeasValue, state) == 0, "state");
GRV480_STATIC_ASSERT(offsetof(TGRV480MeasValue, valid) == 1, "valid");
GRV480_STATIC_ASSERT(offsetof(TGRV480MeasValue, value) == 8, "value");
GRV480_STATIC_ASSERT(sizeof(TGRV480FrameStatus) == 136, "TGRV480FrameStatus size");
GRV480_STATIC_ASSERT(offsetof(TGRV480FrameStatus, flags) == 4, "frame flags");
GRV480_STATIC_ASSERT(offsetof(TGRV480FrameStatus, uref) == 8, "uref");
GRV480_STATIC_ASSERT(offsetof(TGRV480FrameStatus, urefR) == 24, "urefR");
GRV480_STATIC_ASSERT(offsetof(TGRV480FrameStatus, vadj) == 40, "vadj");
GRV480_STATIC_ASSERT(offsetof(TGRV480FrameStatus, uneg) == 56, "uneg");
GRV480_STATIC_ASSERT(sizeof(TGRV480ChStatus) == 136, "TGRV480ChStatus size");
GRV480_STATIC_ASSERT(offsetof(TGRV480ChStatus, flags) == 4, "channel flags");
GRV480_STATIC_ASSERT(offsetof(TGRV480ChStatus, ux) == 24, "ux");
GRV480_STATIC_ASSERT(offsetof(TGRV480ChStatus, ucm) == 40, "ucm");
GRV480_STATIC_ASSERT(offsetof(TGRV480ChStatus, ucmMin) == 56, "ucmMin");
GRV480_STATIC_ASSERT(offsetof(TGRV480ChStatus, ucmMax) == 64, "ucmMax");
GRV480_STATIC_ASSERT(sizeof(TGRV480FilterParams) == 64, "TGRV480FilterParams size");
GRV480_STATIC_ASSERT(offsetof(TGRV480FilterParams, type) == 0, "filter type");
GRV480_STATIC_ASSERT(offsetof(TGRV480FilterParams, odrCode) == 4, "odrCode");
GRV480_STATIC_ASSERT(offsetof(TGRV480FilterParams, odr) == 8, "odr");
GRV480_STATIC_ASSERT(offsetof(TGRV480FilterParams, notchFreq) == 16, "notchFreq");
GRV480_STATIC_ASSERT(offsetof(TGRV480FilterParams, notchDb) == 24, "notchDb");
GRV480_STATIC_ASSERT(sizeof(TGRV480LogicalChannel) == 4, "logical channel entry");
GRV480_STATIC_ASSERT(offsetof(TGRV480LogicalChannel, rangeCode) == 1, "rangeCode");
GRV480_STATIC_ASSERT(sizeof(TGRV480TareInfo) == 96, "TGRV480TareInfo size");
GRV480_STATIC_ASSERT(offsetof(TGRV480TareInfo, dacOffsetValid) == 0, "dacOffsetValid");
GRV480_STATIC_ASSERT(offsetof(TGRV480TareInfo, offsetValid) == 1, "offsetValid");
GRV480_STATIC_ASSERT(offsetof(TGRV480TareInfo, scaleValid) == 2, "scaleValid");
GRV480_STATIC_ASSERT(offsetof(TGRV480TareInfo, dacOffset) == 8, "dacOffset");
GRV480_STATIC_ASSERT(offsetof(TGRV480TareInfo, offsetCoef) == 16, "offsetCoef");
GRV480_STATIC_ASSERT(offsetof(TGRV480TareInfo, scaleCoef) == 24, "scaleCoef");
GRV480_STATIC_ASSERT(offsetof(TGRV480, cfg) == 64, "cfg");
GRV480_STATIC_ASSERT(offsetof(TGRV480, raw) == 512, "raw");
GRV480_STATIC_ASSERT(offsetof(TGRV480, info) == 12840, "info");
GRV480_STATIC_ASSERT(offsetof(TGRV480, info) + offsetof(TGRV480ModuleInfo, moduleSerial) == 12840,
                     "moduleSerial");
GRV480_STATIC_ASSERT(offsetof(TGRV480, info) + offsetof(TGRV480ModuleInfo, fpgaVersion) == 12856,
                     "fpgaVersion");
GRV480_STATIC_ASSERT(offsetof(TGRV480, tare) == 13632, "tare records");
GRV480_STATIC_ASSERT(sizeof(TGRV480) == 16384, "TGRV480 size");
#undef GRV480_STATIC_ASSERT

#endif /* GRV480API_H */
