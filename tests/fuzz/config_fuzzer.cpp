// Fuzzes the readers of config.js and keys.js: any bytes give settings or an error text, never a
// crash or an escaping exception. Run with -max_len=4096.
#include "app/EngineConfig.h"
#include "platform/KeyBindings.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream config(text), keys(text);
    std::string errors, keyErrors;
    if (!EngineConfig::parse(config, errors) && errors.empty())
        __builtin_trap(); // a failure must always say why
    if (!KeyBindings::parse(keys, keyErrors) && keyErrors.empty())
        __builtin_trap();
    return 0;
}
