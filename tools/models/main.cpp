// Writes the generated ".jm" models into a base-data folder. Deterministic: the same
// program always writes the same bytes.
//
//   make_models <folder>
#include "models.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_models <folder>\n");
        return 2;
    }
    std::vector<gen::model> all;
    for (auto group : {gen::basic_models, gen::bike_models, gen::rider_models})
        for (gen::model& m : group())
            all.push_back(std::move(m));
    try {
        for (const gen::model& m : all) {
            const std::string text = gen::jm_text(m);
            const fs::path path = fs::path(argv[1]) / m.name;
            fs::create_directories(path.parent_path());
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            if (!out) {
                fprintf(stderr, "make_models: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    } catch (const std::exception& e) {
        fprintf(stderr, "make_models: %s\n", e.what());
        return 1;
    }
    return 0;
}
