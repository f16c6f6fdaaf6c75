// The emulator's scenario parser on arbitrary text.
#include "scenario.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    Scenario s;
    std::string error;
    if (!parseScenario(text, "fuzz", &s, &error)) {
        if (error.empty())
            __builtin_trap(); // every refusal says why
        return 0;
    }
    for (const ModuleSpec &m : s.modules) {
        if (s.module(m.crate, m.slot) == nullptr)
            __builtin_trap();
    }
    return 0;
}
