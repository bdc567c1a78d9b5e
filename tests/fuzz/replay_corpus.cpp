// Runs the fuzzer's harness once on every file in the folders given (the
// committed corpus), without libFuzzer: the harness as the test presets build
// it, on the module as they compile it (in native32, the shipped code
// generation). A fault ends it as it ends a fuzz run; a run of no file fails.

#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int k = 1; k < argc; ++k) {
        for (const auto& entry : std::filesystem::directory_iterator(argv[k]))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
        printf("%s: %zu bytes\n", file.c_str(), input.size());
        fflush(stdout);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    printf("replayed %zu files\n", files.size());
    return files.empty() ? 1 : 0;
}
