// The track half of a race reset: the riders of the last race go, the requested
// folder is loaded whole (or kept when it is the one loaded), and its identity
// digest is made over the files that decide how the track rides.
#include "race/track_load.h"

#include "foundation/door/data_name.h"
#include "foundation/door/data_read.h"
#include "foundation/memory.h"
#include "foundation/numbers/random.h"
#include "foundation/numbers/ripemd160.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/vfs/vfs.h"
#include "gfx/images.h"
#include "gfx/model.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "race/bot_personas.h"
#include "race/race_hooks.h"
#include "race/race_restart.h"
#include "race/race_riders.h"
#include "race/race_start.h"
#include "race/race_state.h"
#include "race/program/startup.h"
#include "sim/ai_lines.h"
#include "sim/ai_lines_file.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "sim/shapes.h"
#include "terrain/billboards.h"
#include "terrain/flaggers.h"
#include "terrain/lighting.h"
#include "terrain/ruts.h"
#include "foundation/front_door.h"
#include "terrain/statues.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_queries.h"
#include "terrain/terrain_tiles_read.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "terrain/trackside_cameras.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

int (*track_terrain_loader)(const char* folder) = [](const char* folder) {
    return terrain_load(&track_terrain, folder);
};

namespace {

std::string in_folder(const char* folder, const char* name)
{
    return std::string("@") + folder + "/" + name;
}

// The digest's files are read no further than their own readers take them (the
// script is read whole as one text): a file past its reader's bound is refused, and
// with it the track, before any reader sees it; a statue's shape, once its statue has
// read it, by the same bound.
constexpr uint32_t kTrackHashBounds[] = {kHeightsFileMax, kGray16PictureMax, kTextureListMax,     kTileMapMax,
                                         kTileInfoMax,    kFileToStringMax,  kTimingGatesFileMax, kStatuesFileMax};
static_assert(std::size(kTrackHashBounds) == std::size(kTrackHashFiles));

// Feeds a whole file to the digest; a missing file adds nothing. A failed read ends
// the file as its end does. 0, with a line, when the file is past the bound; else 1.
int digest_file(ripemd160_ctx* ctx, const std::string& path, uint32_t bound)
{
    vfs_file* f = nullptr;
    const int opened = vfs_open_bounded(&f, path.c_str(), bound, "Track hash");
    if (opened != 1)
        return opened == 0 ? 1 : 0;
    uint8_t buffer[1024];
    for (int n; (n = vfs_read(f, buffer, sizeof buffer)) > 0;)
        ripemd160_update(ctx, buffer, size_t(n));
    const bool passed = vfs_bound_passed(f, path.c_str(), bound, "Track hash");
    vfs_close(f);
    return passed ? 0 : 1;
}

// Each distinct shape file of the statues now placed, once, in statue order. 0 when
// one is past its reader's bound.
int digest_shapes(ripemd160_ctx* ctx)
{
    int within = 1;
    std::vector<std::string> shapes_fed;
    for (int32_t i = 0; i < statue_count(); ++i) {
        const statue* s = statue_at(i);
        if (!s->shape || !s->shape_file)
            continue;
        const std::string name = s->shape_file;
        if (std::find(shapes_fed.begin(), shapes_fed.end(), name) != shapes_fed.end())
            continue;
        shapes_fed.push_back(name);
        within &= digest_file(ctx, name, kShapeFileMax);
    }
    return within;
}

void memory_line(const char* format)
{
    if (verbose_level)
        qorl_log(format, static_cast<unsigned long>(texture_memory));
}

char* copy_text(const char* text)
{
    const size_t n = strlen(text) + 1;
    char* out = static_cast<char*>(xmalloc(n));
    memcpy(out, text, n);
    return out;
}

void set_track_names(const char* folder, const char* title)
{
    // folder may be the current track_folder itself.
    char* new_folder = folder ? copy_text(folder) : nullptr;
    char* new_title = title ? copy_text(title) : nullptr;
    mem_free(track_folder);
    mem_free(track_title);
    track_folder = new_folder;
    track_title = new_title;
}

void shuffle_personas()
{
    for (int32_t i = 0; i < kBotPersonas; ++i)
        persona_order[i] = i;
    random_seed(race_opts.seed >= 0 ? uint32_t(race_opts.seed) : uint32_t(time(nullptr)));
    for (int32_t i = kBotPersonas - 1; i >= 1; --i) {
        const int32_t j = int32_t((random_next() >> 16) % uint32_t(i));
        std::swap(persona_order[i], persona_order[j]);
    }
}

void remember_lines()
{
    progress_log_reset("Remembering lines");
    if (track_folder) {
        if (const char* name = ai_lines_file_name(race.remembered_skill))
            ai_lines_write(track_folder, name);
        ai_lines_clear();
        race_hooks.demo_playback_close();
    }
    progress_done("Remembering lines");
}

// Why the last load stopped; empty after one that went through.
std::string load_failure;

// No track stays loaded. The refusing reader's own line names the file; it scrolls
// away, this stays.
int refuse_track(const char* folder)
{
    set_track_names(nullptr, nullptr);
    load_failure = std::string("Can't load track '") + folder + "'";
    return 0;
}

// Steps 13 to 27 of a full load. 0 when a file of the digest is past its bound or the
// terrain does not load. The files ahead of the shapes are hashed before anything is
// loaded, so that a track refused for one loads nothing.
int load_track(const char* folder, bool online)
{
    ripemd160_ctx digest;
    ripemd160_init(&digest);
    billboards_reset();
    statues_reset();
    flaggers_reset();
    progress_log_reset("Scanning");
    int within = 1;
    for (size_t i = 0; i < std::size(kTrackHashFiles); ++i)
        within &= digest_file(&digest, in_folder(folder, kTrackHashFiles[i]), kTrackHashBounds[i]);
    progress_done("Scanning");
    if (!within)
        return refuse_track(folder);
    if (verbose_level)
        qorl_log("Loading '%s'\n", ("@" + std::string(folder)).c_str());

    lighting_read(in_folder(folder, "lighting").c_str());
    const int32_t erosion = track_terrain.erosion_amount;
    if (!track_terrain_loader(folder))
        return refuse_track(folder);
    load_failure.clear();
    track_terrain.erosion_amount = erosion;
    memory_line("%lu bytes texture memory used after hf creation\n");

    timing_gates_read(in_folder(folder, "timing_gates").c_str());

    for (int32_t k = 0; k < kRoostParticles; ++k)
        race.particle_billboards[k] = create_billboard(0, 0, 0, 1, 1, nullptr);

    progress_log_reset("Loading flaggers");
    flaggers_read(in_folder(folder, "flaggers").c_str());
    progress_done("Loading flaggers");
    memory_line("%lu bytes texture memory used after flagger creation\n");

    first_track_statue = statue_count();
    first_track_billboard = billboard_count();
    progress_log_reset("Loading billboards");
    billboards_read(in_folder(folder, "billboards").c_str());
    progress_done("Loading billboards");
    memory_line("%lu bytes texture memory used after billboard creation\n");

    progress_log_reset("Loading statues");
    statues_read(in_folder(folder, "statues").c_str());
    progress_done("Loading statues");
    // A shape its own reader refused is held by no statue, so it is not fed; one whose
    // reader stopped short of the bound the file passes (a compressed one, whose length
    // only reading tells) refuses the track.
    if (!digest_shapes(&digest)) {
        track_free();
        return refuse_track(folder);
    }
    ripemd160_final(&digest);
    memcpy(track_hash, digest.digest, sizeof track_hash);

    progress_log_reset("Loading map");
    memory_line("%lu bytes texture memory used after statue creation\n");
    race.map_texture = track_loaders.texture_load(in_folder(folder, "map.png").c_str());
    progress_done("Loading map");

    race_hooks.statue_grid_build();
    if (race_opts.editor)
        race_hooks.editor_init();

    trackside_cameras_read(in_folder(folder, "cameras").c_str());
    erosion_queue_clear();
    if (online)
        track_terrain.read_only = 1;
    return 1;
}

// A folder named by config, the command line, a demo or a server passes the data-name
// door and must not be a link leading out of its data folder: the list leaves such
// folders out, and a name typed or sent must not bring them back. False, with the
// failure noted, when it is refused; else folder holds the name's one spelling.
bool folder_usable(std::string& folder, const char* from, bool exact)
{
    std::string normal;
    if (data_name_accept(folder.c_str(), from, &normal) && data_passes_no_link(normal.c_str(), from)) {
        // A stored name finds its track whatever its letter case, when only one track
        // has it; a server names its track exactly.
        const int32_t listed = exact ? -1 : track_list_find(normal.c_str());
        folder = listed >= 0 ? track_list[listed].folder : normal;
        return true;
    }
    load_failure = "Can't load track '" + data_name_shown(folder.c_str()) + "'";
    return false;
}

}  // namespace

const char* track_load_failure()
{
    return load_failure.c_str();
}

static bool entry_points_installed = false;

void race_install_track_entry_points()
{
    entry_points_installed = true;
    timing_gates_alloc_line_tables = ai_lines_resize;
    timing_gates_free_line_tables = ai_lines_free;
    race_install_statue_shapes();
    // The gate timing reads the race's clock, drop and laps unless the race core
    // has given it its own.
    if (!gate_timing_hooks.current_tick)
        gate_timing_hooks.current_tick = [] { return current_tick; };
    if (!gate_timing_hooks.gate_drop_tick)
        gate_timing_hooks.gate_drop_tick = [] { return race.gate_drop_tick; };
    if (!gate_timing_hooks.laps)
        gate_timing_hooks.laps = [] { return race.laps; };
}

void reset_race(const int32_t* lineup, int replay, int record, int32_t time_limit_ticks, int32_t laps,
                int32_t skill)
{
    if (!entry_points_installed)
        race_install_track_entry_points();
    race_hooks.series_record_round();
    race_hooks.draw_progress_screen("Resetting...");
    qorl_log("Resetting\n");
    race.max_loading_delay = 0;
    race.max_loading_message[0] = 0;
    shuffle_personas();
    remember_lines();
    race_hooks.demo_record_close();
    race.demo_rider_count = 0;

    progress_log_reset("Cleaning up");
    qorl_log("Deallocating bikes\n");
    for (int32_t k = 0; k < kRaceSlots; ++k) {
        race_hooks.engine_sound_free(k);
        race_destroy_rider(k);
    }
    qorl_log("Finished deallocating bikes\n");
    progress_done("Cleaning up");

    race.tick = 0;
    current_tick = 0;
    race.time_limit_ticks = time_limit_ticks;
    race.laps = laps;
    race.flagger_timer = int32_t(5 / tick_length);

    const bool online = lineup && is_network_lineup(lineup);
    if (online) {
        race.gate_drop_tick = lineup[kRaceSlots];
        track_terrain.erosion_amount = -1;
        race.time_trial_active = 0;
        race.watch_only = race.own_lineup_value == kWatchOnlyValue ? 127 : 0;
    } else {
        race.gate_drop_tick = int32_t((13 + (random_next() & 0x7fffffffu) * (1.0 / 1073741824.0)) / tick_length);
        track_terrain.erosion_amount = race_opts.erode;
        race.watch_only = 0;
        race.time_trial_active = lineup ? 0 : 1;
        race_hooks.riders_clear();
    }
    // A played demo sets the time limit, laps and gate drop from its header.
    const bool demo = replay && race_hooks.demo_playback_open();
    const char* named = demo ? race_hooks.demo_playback_track()
                             : online ? race_hooks.network_track() : race_requested_folder;
    std::string folder = named ? named : "";
    if (!folder.empty() && !folder_usable(folder, demo ? "Demo's track" : online ? "Server's track" : "Track", online))
        folder.clear();

    race_hooks.script_unload();
    race_hooks.script_sounds_free();
    race_rider_table_init();

    bool loaded = false;
    if (track_folder) {
        if (online || folder != track_folder || race.force_reload) {
            race.force_reload = 0;
            track_free();
        } else {
            erosion_queue_clear();
            loaded = true;
        }
    }
    if (!loaded) {
        // Nothing chosen: the track freed above is no longer the loaded one.
        if (folder.empty()) {
            set_track_names(nullptr, nullptr);
            return;
        }
        ++texture_generation;
        ++model_generation;
        texture_memory = 0;
        const char* title = track_list_title(folder.c_str());
        set_track_names(folder.c_str(), title ? title : folder.c_str());
        if (!load_track(folder.c_str(), online))
            return;
    }
    race_start(lineup, record, skill);
}
