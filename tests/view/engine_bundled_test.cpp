#include "view/engine_sound.h"

#include "engine_fixture.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "foundation/index/file_index.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

engine_sound record;

TEST(EngineBundled, StockDefinitionsAndTheBikeOfItsOwn)
{
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        bvtest::write_file(root / "game/zzzz.saf", bvtest::read_file(BV_BUILD_DIR "/game/zzzz.saf"));
        bvtest::make_dirs(root / "user");
        bvtest::use_folders(root / "user", root / "game");
        file_index_list();   // start-up builds the archive's index
        enginetest::install();
        bvtest::Problems p;
        ConsoleCapture quiet;
        for (const char* cls : {"50", "125", "250", "250f", "450f"}) {
            enginetest::place(0, cls).texture = "@nothing-of-its-own.png";
            engine_sound_load(&record, &rider_slots[0], nullptr);
            const sound_table* t = record.tone.table;
            bool four = cls[std::string(cls).size() - 1] == 'f';
            p.check(t && std::string(t->name) == (four ? "@sounds/fourstroke.table" : "@sounds/twostroke.table"),
                    std::string("class ") + cls);
            p.check(t && t->rows >= 4 && t->rows <= 5 && t->columns == 2 && t->cells[0].row_value >= 1000 &&
                        t->cells[(t->rows - 1) * 2].row_value <= 13000,
                    std::string("table shape ") + cls);
            p.check(record.tone.bias_count > 1 && record.tone.scale_count > 1 && record.tone.pipe_gains[0] != 0,
                    std::string("every keyword ") + cls);
        }
        enginetest::place(0, "125").texture = "@rm125.png";
        engine_sound_load(&record, &rider_slots[0], nullptr);
        p.check(record.tone.minrpm == 1150, "the rm125's own file");
        p.same(quiet.text(), "", "console");
        engine_sound_caches_free();
        return p.text;
    });
}

TEST(EngineBundled, TheGeneratorIsDeterministic)
{
    bvtest::TempDir a, b;
    const std::string tool = BV_BUILD_DIR "/tools/make_engine_sounds ";
    const std::string source = BV_SOURCE_DIR "/data/sounds/engines.txt ";
    ASSERT_EQ(std::system((tool + source + a.path()).c_str()), 0);
    ASSERT_EQ(std::system((tool + source + b.path()).c_str()), 0);
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(a.path())) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        std::string rel = fs::relative(entry.path(), a.path()).string();
        std::string bytes = bvtest::read_file(entry.path().string());
        EXPECT_EQ(bytes, bvtest::read_file(b / rel)) << rel;
        if (rel.ends_with(".raw")) {
            // Peaks below half of full scale.
            int peak = 0;
            for (size_t i = 0; i + 1 < bytes.size(); i += 2)
                peak = std::max(peak, std::abs(static_cast<int16_t>(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8)));
            EXPECT_LT(peak, 16384) << rel;
        }
    }
    EXPECT_EQ(files, 6 + 2 + 20);
}

}  // namespace
