// Writes the generated ".jm" models into a base-data folder. Deterministic: the same
// program always writes the same bytes.
//
//   make_models <folder>                 the base data's models
//   make_models --sample-track <folder>  the models of the sample track's script, into
//                                        the track archive's folder
#include "models.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    const bool track = argc == 3 && std::string(argv[1]) == "--sample-track";
    if (argc != 2 && !track) {
        fprintf(stderr, "usage: make_models [--sample-track] <folder>\n");
        return 2;
    }
    const char* folder = argv[argc - 1];
    std::vector<gen::model> all;
    if (track)
        all = gen::sample_track_models();
    else
        for (auto group : {gen::basic_models, gen::bike_models, gen::rider_models})
            for (gen::model& m : group())
                all.push_back(std::move(m));
    try {
        for (const gen::model& m : all) {
            const std::string text = gen::jm_text(m);
            const fs::path path = fs::path(folder) / m.name;
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
