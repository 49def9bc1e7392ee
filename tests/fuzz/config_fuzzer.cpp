// Fuzzes the configuration reader: any bytes must give a configuration or an error text,
// never a crash or an escaping exception.
//
// Build and run from the repository root:
//
//   CC=clang CXX=clang++ cmake -S . -B build-harden-fuzz -G Ninja -DZEPHRANE_FUZZ=ON \
//       -DCMAKE_BUILD_TYPE=RelWithDebInfo
//   cmake --build build-harden-fuzz --target config_fuzzer
//   mkdir -p /tmp/config-corpus
//   build-harden-fuzz/tests/fuzz/config_fuzzer -runs=1000000 -max_len=4096 \
//       /tmp/config-corpus tests/fuzz/corpus/config
#include "app/EngineConfig.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string errors;
    auto config = EngineConfig::parse(in, errors);
    if (!config && errors.empty())
        __builtin_trap(); // a failure must always say why
    return 0;
}
