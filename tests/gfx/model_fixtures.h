// Helpers for the model tests: ".jm" text written to a temporary file and loaded on
// the fake GL table, and a fixture that leaves the model cache and settings as found.
#pragma once
#include "fake_gl.h"
#include "log_capture.h"

#include "gfx/model.h"
#include "gfx/model_parts.h"
#include "gfx/model_scene.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace modeltest {

// Where the build leaves the base data it generates.
inline const std::string staging = BV_BUILD_DIR "/base_staging/";

struct model_deleter {
    void operator()(model* m) const { model_free_with_variants(m); }
};
using owned_model = std::unique_ptr<model, model_deleter>;

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        saved_light = model_lighting;
        camera_position[0] = camera_position[1] = camera_position[2] = 0;
        lod_scale = 1;
        lod_bias = 0;
        reflections = 1;
        verbose_level = 0;
        model_generation = 0;
        model_alpha = 1;
        model_has_specular_map = 0;
        model_triangles_drawn = model_vertices_drawn = 0;
    }
    void TearDown() override
    {
        model_purge(1);
        model_lighting = saved_light;
        verbose_level = 0;
        model_generation = 0;
    }
    // Writes text to a file of this name in the test's folder; returns its path.
    std::string file(const std::string& name, const std::string& text)
    {
        bvtest::write_file(dir / name, text);
        return dir / name;
    }
    owned_model load(const std::string& text, const std::string& name = "m.jm")
    {
        return owned_model(model_load_file(file(name, text).c_str()));
    }
    static int part_count(const model* m) { return m ? 1 + part_count(m->next_part) : 0; }

    bvtest::TempDir dir;
    model_light saved_light{};
};

// A part header and three vertices of one right triangle in the xy plane, with
// texture coordinates following x and y; bones adds that many zero weights.
inline std::string triangle_part(const std::string& header, int bones = 0)
{
    std::string zeros;
    for (int i = 0; i < bones; ++i)
        zeros += " 0";
    return header + " 3 1\n0 0 0  0 0 1  0 0" + zeros + "\n1 0 0  0 0 1  1 0" + zeros + "\n0 1 0  0 0 1  0 1" + zeros +
           "\n0 1 2\n";
}

}  // namespace modeltest
