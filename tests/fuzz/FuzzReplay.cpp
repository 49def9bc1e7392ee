// Runs a fuzzer's entry point on files instead of generated inputs, so that the committed
// corpora and the damaged files kept beside them are replayed by CTest in builds without
// libFuzzer. Arguments are files or directories (every regular file in them, in name order).
// Each name is written to standard error before its input runs: when an input crashes, hangs or
// runs out of memory, the last name printed is the one.
#include <algorithm>
#include <cstddef>
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

namespace {

std::vector<fs::path> inputsOf(const fs::path& argument) {
    if (!fs::is_directory(argument))
        return {argument};
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(argument))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    // Absolute first: the loading fuzzers change the working directory when they start.
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i)
        for (const fs::path& input : inputsOf(fs::absolute(argv[i])))
            inputs.push_back(input);
    if (inputs.empty()) {
        std::fprintf(stderr, "fuzz replay: no inputs given\n");
        return 1;
    }
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                              std::istreambuf_iterator<char>()};
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
