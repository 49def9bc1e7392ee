// Fuzzes the configuration reader: any bytes give a configuration or an error text, never a
// crash or an escaping exception. Run with -max_len=4096.
#include "app/EngineConfig.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string errors;
    if (!EngineConfig::parse(in, errors) && errors.empty())
        __builtin_trap(); // a failure must always say why
    return 0;
}
