// grv480-cli: checks a crate server and its GRV480 modules without the GUI.
#include "crbapi.h"
#include "faultcommand.h"
#include "grv480api.h"

#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options
{
    std::string command;
    uint32_t address = 0x7F000001u;
    uint16_t port = 11111;
    std::string crate;
    int slot = 0;
    std::vector<int> channels;     // 0-based
    double seconds = 2.0;
    double adcFreq = 20000.0;
    double currentMa = 25.0;
    int range = 0;
    uint32_t mask = GRV480_BG_ALL;
    bool single = false;
};

void usage(FILE *f)
{
    std::fputs(
        "Usage:\n"
        "  grv480-cli list [--host ADDR] [--port N]\n"
        "  grv480-cli acquire --crate SERIAL --slot N [--channels 1,2,5] [--seconds S]\n"
        "                     [--adc-freq HZ] [--current MA] [--range 0|1|2] [--mask HEX]\n"
        "                     [--single] [--host ADDR] [--port N]\n"
        "  grv480-cli fault --help      switch faults of an emulator on and off\n\n"
        "list     the crates of the crate server and the module type in each slot\n"
        "acquire  configures one GRV480, acquires for S seconds (default 2) and prints per\n"
        "         channel the mean and RMS in mV, the status values and the word count\n"
        "         against the one expected from the frame frequency\n"
        "Defaults: all 16 channels, 20000 Hz, 25 mA, range 0 (35 mV), mask 0xFFF, port 11111.\n",
        f);
}

int fail(const char *what, int err)
{
    std::fprintf(stderr, "%s. Ошибка %d: %s\n", what, err, GRV480_GetErrorString(err));
    return 1;
}

bool parse(int argc, char **argv, Options *o)
{
    if (argc < 2)
        return false;
    o->command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--single") {
            o->single = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string v = argv[++i];
        char *end = nullptr;
        if (a == "--port") {
            const long p = std::strtol(v.c_str(), &end, 10);
            if (*end || p < 1 || p > 65535)
                return false;
            o->port = uint16_t(p);
        } else if (a == "--host") {
            in_addr ia;
            if (inet_pton(AF_INET, v.c_str(), &ia) != 1)
                return false;
            o->address = ntohl(ia.s_addr);
        } else if (a == "--crate") {
            o->crate = v;
        } else if (a == "--slot") {
            o->slot = int(std::strtol(v.c_str(), &end, 10));
            if (*end || o->slot < 1 || o->slot > 16)
                return false;
        } else if (a == "--channels") {
            size_t pos = 0;
            while (pos <= v.size()) {
                const size_t comma = v.find(',', pos);
                const std::string item = v.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                const long ch = std::strtol(item.c_str(), &end, 10);
                if (item.empty() || *end || ch < 1 || ch > 16)
                    return false;
                o->channels.push_back(int(ch - 1));
                if (comma == std::string::npos)
                    break;
                pos = comma + 1;
            }
        } else if (a == "--seconds") {
            o->seconds = std::strtod(v.c_str(), &end);
            if (*end || !(o->seconds > 0) || o->seconds > 3600)
                return false;
        } else if (a == "--adc-freq") {
            o->adcFreq = std::strtod(v.c_str(), &end);
            if (*end || !(o->adcFreq > 0))
                return false;
        } else if (a == "--current") {
            o->currentMa = std::strtod(v.c_str(), &end);
            if (*end || !(o->currentMa >= 0))
                return false;
        } else if (a == "--range") {
            o->range = int(std::strtol(v.c_str(), &end, 10));
            if (*end || o->range < 0 || o->range > 2)
                return false;
        } else if (a == "--mask") {
            o->mask = uint32_t(std::strtoul(v.c_str(), &end, 16));
            if (*end)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

int listCrates(const Options &o)
{
    TCRB svc;
    CRB_Init(&svc);
    int err = CRB_OpenSvcControl(&svc, o.address, o.port);
    if (err)
        return fail("Не удалось установить связь с сервером", err);
    char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE];
    err = CRB_GetCrates(&svc, serials);
    CRB_Close(&svc);
    if (err)
        return fail("Не удалось получить список крейтов", err);
    int crates = 0;
    for (int i = 0; i < CRB_MAX_CRATES; ++i) {
        if (!serials[i][0])
            continue;
        ++crates;
        TCRB crate;
        CRB_Init(&crate);
        err = CRB_OpenCrate(&crate, o.address, o.port, 0, serials[i]);
        uint16_t ids[CRB_SLOT_COUNT] = {};
        if (!err)
            err = CRB_GetCrateModules(&crate, ids);
        CRB_Close(&crate);
        std::printf("Крейт %s\n", serials[i]);
        if (err) {
            std::printf("  ошибка %d: %s\n", err, GRV480_GetErrorString(err));
            continue;
        }
        for (int s = 0; s < CRB_SLOT_COUNT; ++s) {
            if (ids[s] == CRB_MODULE_NONE)
                continue;
            std::printf("  Слот %2d: 0x%04X%s\n", s + 1, ids[s], ids[s] == GRV480_MODULE_ID ? " GRV480" : "");
        }
    }
    if (!crates)
        std::printf("Нет крейтов\n");
    return 0;
}

const char *stateName(int s)
{
    static const char *names[] = {"не измеряется", "норма", "нет значения", "ошибка", "КЗ", "обрыв",
                                  "вне границ", "не определено"};
    return s >= 0 && s < 8 ? names[s] : "?";
}

void printValue(const char *name, const TGRV480MeasValue &v, double factor, const char *unit)
{
    if (v.valid)
        std::printf("  %-6s %12.6f %-2s [%d %s]\n", name, v.value * factor, unit, v.state, stateName(v.state));
    else
        std::printf("  %-6s %12s %-2s [%d %s]\n", name, "-", unit, v.state, stateName(v.state));
}

int acquire(const Options &o)
{
    if (o.crate.empty() || !o.slot) {
        usage(stderr);
        return 2;
    }
    static TGRV480 h;
    GRV480_Init(&h);
    int err = GRV480_Open(&h, o.address, o.port, o.crate.c_str(), uint16_t(o.slot));
    if (err) {
        GRV480_Close(&h);
        return fail("Не удалось установить связь с модулем", err);
    }
    std::printf("Модуль %s, версия ПЛИС %u\n", h.info.moduleSerial, unsigned(h.info.fpgaVersion));

    TGRV480Config &c = h.cfg;
    c.singleChMode = o.single;
    std::vector<int> chans = o.channels;
    if (chans.empty()) {
        for (int i = 0; i < (o.single ? 1 : 16); ++i)
            chans.push_back(i);
    }
    for (size_t i = 1; i < chans.size(); ++i) {
        if (chans[i] <= chans[i - 1]) {
            std::fprintf(stderr, "channels must be given in ascending order without repeats\n");
            GRV480_Close(&h);
            return 2;
        }
    }
    c.logicalChannelCount = uint32_t(chans.size());
    for (size_t i = 0; i < chans.size(); ++i) {
        c.logicalChannels[i].channelIndex = uint8_t(chans[i]);
        c.logicalChannels[i].rangeCode = uint8_t(o.range);
    }
    double adcFreq = o.adcFreq;
    c.swTimeUs = 10;
    TGRV480FilterParams fp;
    double swRes = 0;
    if (!o.single)
        GRV480_FindSyncFreqDiv(o.adcFreq, &c.syncFreqDiv, &adcFreq);
    GRV480_FindFilterParams(o.single, adcFreq, c.swTimeUs, &fp, &swRes);
    if (!o.single && swRes < c.swTimeUs)
        c.swTimeUs = std::max(0.0, swRes);
    c.filterType = fp.type;
    c.filterOdrCode = fp.odrCode;
    GRV480_FindISrcCode(nullptr, o.currentMa, &c.iSrcCode, nullptr);
    c.bgMeasMask = o.mask;
    c.shortRThresh = 10;
    c.cableLength = 100;
    c.cableCapPerUnit = 150;
    err = GRV480_SetADC(&h);
    if (err) {
        GRV480_Close(&h);
        return fail("Не удалось записать конфигурацию модуля", err);
    }
    const double ff = h.frameFrequency;
    const uint32_t fw = h.frameWordCount;
    std::printf("Фильтр: тип %d, код %d, %.2f SPS; кадр: %u слов, %.3f Гц\n", fp.type, fp.odrCode,
                fp.odr, fw, ff);

    GRV480_InitMeasParams(&h, GRV480_MEAS_MODE_ACQUISITION, 0, 0);
    const size_t n = chans.size();
    uint32_t framesPerBlock = uint32_t(std::max(1.0, ff * 0.1));
    std::vector<uint32_t> words(size_t(framesPerBlock) * fw);
    std::vector<double> values(size_t(framesPerBlock) * n);
    std::vector<TGRV480ChStatus> cs(n);
    TGRV480FrameStatus fs{};
    std::vector<double> sum(n, 0), sumSq(n, 0);
    uint64_t frames = 0, received = 0;
    err = GRV480_Start(&h);
    if (err) {
        GRV480_Close(&h);
        return fail("Ошибка приема данных", err);
    }
    const auto t0 = std::chrono::steady_clock::now();
    double elapsed = 0;
    size_t have = 0;
    while (elapsed < o.seconds) {
        const int r = GRV480_Recv(&h, words.data() + have, nullptr, uint32_t(words.size() - have), 1000);
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (r < 0) {
            err = r;
            break;
        }
        received += uint64_t(r);
        have += size_t(r);
        if (have < words.size())
            continue;
        uint32_t wc = uint32_t(have);
        err = GRV480_ProcessData(&h, words.data(), values.data(), &wc, 0, &fs, cs.data());
        if (err)
            break;
        for (uint32_t f = 0; f < framesPerBlock; ++f) {
            for (size_t i = 0; i < n; ++i) {
                const double v = values[f * n + i] * 1000.0;
                sum[i] += v;
                sumSq[i] += v * v;
            }
        }
        frames += framesPerBlock;
        have = 0;
    }
    const int stopErr = GRV480_Stop(&h);
    GRV480_Close(&h);
    if (err)
        return fail("Ошибка приема данных", err);
    if (stopErr)
        return fail("Ошибка остановки сбора данных", stopErr);

    std::printf("\nКанал  Среднее, мВ    СКЗ, мВ  Ux, В        Ux сост.  Ucm, В      Ucm сост.  Диапазон\n");
    for (size_t i = 0; i < n; ++i) {
        const double mean = frames ? sum[i] / double(frames) : 0.0;
        const double rms = frames ? std::sqrt(std::max(0.0, sumSq[i] / double(frames) - mean * mean)) : 0.0;
        std::printf("%5d %12.6f %10.6f  %-12s %-9d %-11s %-10d %s\n", chans[i] + 1, mean, rms,
                    cs[i].ux.valid ? std::to_string(cs[i].ux.value).c_str() : "-", cs[i].ux.state,
                    cs[i].ucm.valid ? std::to_string(cs[i].ucm.value).c_str() : "-", cs[i].ucm.state,
                    (cs[i].flags & GRV480_CH_OUT_OF_RANGE) ? "превышен" : "норма");
    }
    std::printf("\nСостояние:\n");
    printValue("Uref", fs.uref, 1, "В");
    printValue("UrefR", fs.urefR, 1, "В");
    printValue("Vadj", fs.vadj, 1, "В");
    printValue("U-", fs.uneg, 1000, "мВ");
    std::printf("  ток %.3f мА, мощность нагрузки %s\n", fs.iSrcValue,
                (fs.flags & GRV480_FRAME_LOAD_POWER_EXCEEDED) ? "ПРЕВЫШЕНА" : "в норме");
    const double expected = ff * fw * elapsed;
    std::printf("\nПринято слов: %llu за %.3f с; ожидалось %.0f (%.1f слов/с при %.1f), расхождение %.2f %%\n",
                static_cast<unsigned long long>(received), elapsed, expected, received / elapsed, ff * fw,
                expected > 0 ? (double(received) - expected) / expected * 100.0 : 0.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);   // progress lines reach a pipe at once
    Options o;
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "fault") == 0)
        return faultCommand(argc, argv);
    if (!parse(argc, argv, &o)) {
        usage(stderr);
        return 2;
    }
    if (o.command == "list")
        return listCrates(o);
    if (o.command == "acquire")
        return acquire(o);
    usage(stderr);
    return 2;
}
