// Runs a fuzzer's entry point on the files of a corpus directory, in name order, instead of on
// generated inputs, so that CTest replays the committed corpora, damaged files included, in
// builds without libFuzzer. Each name goes to standard error before its input runs: after a
// crash or hang, the last name printed is the one.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Only the fuzzers that need a set-up define it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    std::error_code error;
    // Absolute paths: the loading fuzzers change the working directory when they start.
    if (argc == 2)
        inputs.assign(fs::directory_iterator(fs::absolute(argv[1]), error), {});
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY (a directory of inputs)\n", argv[0]);
        return 1;
    }
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        if (!file.is_open()) {
            std::fprintf(stderr, "fuzz replay: cannot read %s\n", input.c_str());
            return 1;
        }
        std::fprintf(stderr, "fuzz replay: %s\n", input.c_str());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "fuzz replay: %zu inputs\n", inputs.size());
    return 0;
}
