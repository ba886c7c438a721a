// The fuzz targets built without libFuzzer: each argument (a file, or a folder of
// files) is given to the target once, in name order, as libFuzzer gives one input.
// A path that is not there, or no input at all, fails the run: a replay that runs
// nothing would pass whatever the reader does.
#include "support/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path p = argv[i];
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            for (const auto& e : fs::recursive_directory_iterator(p))
                if (e.is_regular_file())
                    inputs.push_back(e.path());
        } else if (fs::exists(p, ec)) {
            inputs.push_back(p);
        } else {
            fprintf(stderr, "No such input: %s\n", p.c_str());
            return 1;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fprintf(stderr, "Running: %s\n", p.c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    fprintf(stderr, "Replayed %zu inputs\n", inputs.size());
    if (inputs.empty()) {
        fprintf(stderr, "No input replayed\n");
        return 1;
    }
    return 0;
}
