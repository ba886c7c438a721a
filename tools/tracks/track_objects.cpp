// The description, one object per line (lines starting with '#' are remarks), distances in feet:
//   startgate <x> <z> <dir x> <dir z> <slots> <spacing>
//       a row of start slots across the track centred on (x, z), the bikes facing
//       along the direction; each slot has the default start gate 3 ft ahead
//   gate <x> <z> <radius> <dir x> <dir z>       a checkpoint, crossed along the direction
//   firstlap <gate> ...      normallap <gate> ...
//   statue <x> <height> <z> <angle> <model> <texture> <shape>      ("null" = none)
//   billboard <x> <height> <z> <size> <aspect> <name>
//   flagger <x> <z> <gate> <gate> <gate> <gate> [<alert picture>]  a marshal waving at
//                                                those gates (-1 none)
//   starter <from x> <from z> <to x> <to z> <walk s> <board x> <board z>  the start
//                                                marshal's walk and the lap board
//   camera <x> <height> <z> <fov> [<gate> ...]   a trackside camera watching the gates
#include "track_objects.h"

#include "foundation/vfs/vfs.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

// Nothing is loaded while the files are made: the objects keep their names only.
uint32_t no_texture(const char*)
{
    return 0;
}
model* no_model(const char*)
{
    return nullptr;
}
collision_shape* no_shape(const char*)
{
    return nullptr;
}
void no_free(collision_shape*) {}

// The start marshal (board held, raised, dropped, walking off, standing off) and the
// lap board (plain, crossed flags, white flag, chequered flag); a "starter" line of
// the description places them.
const char* const kStarterPictures =
    "@flaggers/start_held.png @flaggers/start_raised.png @flaggers/start_dropped.png "
    "@flaggers/start_walk.png @flaggers/start_off.png";
const char* const kLapBoardPictures =
    "@flaggers/lap_plain.png @flaggers/lap_crossed.png @flaggers/flag_white.png @flaggers/flag_chequered.png";

bool write_with(int (*writer)(vfs_file*), const std::string& path)
{
    vfs_file* f = vfs_open(path.c_str(), "wb");
    if (!f)
        return false;
    const int ok = writer(f);
    const bool flushed = vfs_flush(f) == 0;
    vfs_close(f);
    return ok == 1 && flushed;
}

bool write_text(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return out.good();
}

struct collected {
    std::string head;
    std::string flaggers;
    std::string cameras;
};

// The gate marshals need the head before them; without a "starter" line the start
// marshal and the lap board stand out of the way at the origin.
std::string flagger_file(const collected& c)
{
    if (!c.head.empty())
        return c.head + c.flaggers;
    return std::string("[0 0 0] [0 0 0] 6 1 1 ") + kStarterPictures + "\n[0 0 0] 5 0.8 " + kLapBoardPictures + "\n" +
           c.flaggers;
}

// One description line into the tables; false when it is malformed.
bool take_line(std::istringstream& in, const std::string& word, collected* out)
{
    timing_gates_state& g = timing_gates;
    char text[512];
    if (word == "startgate") {
        float x, z, dx, dz, spacing;
        int slots;
        if (!(in >> x >> z >> dx >> dz >> slots >> spacing) || slots < 1 || g.start_slot_count + slots > 159)
            return false;
        // A bike on a slot faces (-sin yaw, 0, -cos yaw); its start gate stands 3 ft ahead.
        const float yaw = std::atan2(-dx, -dz), length = std::hypot(dx, dz);
        const float across_x = -dz / length, across_z = dx / length;
        for (int i = 0; i < slots; ++i) {
            const float offset = (float(i) - float(slots - 1) / 2) * spacing;
            const int k = g.start_slot_count++;
            g.start_slot_position[k][0] = x + across_x * offset;
            g.start_slot_position[k][1] = 0;
            g.start_slot_position[k][2] = z + across_z * offset;
            g.start_slot_yaw[k] = yaw;
            g.start_slot_statue[k] = create_statue(g.start_slot_position[k][0] - 3 * std::sin(yaw), 0,
                                                   g.start_slot_position[k][2] - 3 * std::cos(yaw), yaw,
                                                   "@startgate.jm", "@startgate.ppm", "@startgate.shp");
        }
        first_track_statue = statue_count();
        return true;
    }
    if (word == "gate") {
        timing_gate c{};
        if (!(in >> c.x >> c.z >> c.length >> c.dx >> c.dz) || g.checkpoint_count >= kMaxCheckpoints)
            return false;
        g.checkpoints[g.checkpoint_count++] = c;
        return true;
    }
    if (word == "firstlap" || word == "normallap") {
        if (word == "firstlap" && g.normallap_length > 0)
            return false;   // the lists are stored one after the other
        int32_t* length = word == "firstlap" ? &g.firstlap_length : &g.normallap_length;
        int v;
        while (in >> v)
            g.lap_entries[g.firstlap_length + g.normallap_length] = v, ++*length;
        return true;
    }
    if (word == "statue") {
        float x, h, z, angle;
        std::string names[3];
        if (!(in >> x >> h >> z >> angle >> names[0] >> names[1] >> names[2]))
            return false;
        const char* given[3];
        for (int i = 0; i < 3; ++i)
            given[i] = names[i] == "null" ? nullptr : names[i].c_str();
        return create_statue(x, h, z, angle, given[0], given[1], given[2]) >= 0;
    }
    if (word == "billboard") {
        float x, h, z, size, aspect;
        std::string name;
        if (!(in >> x >> h >> z >> size >> aspect >> name))
            return false;
        return create_billboard(x, h, z, size, aspect, name.c_str()) >= 0;
    }
    if (word == "flagger") {
        float x, z;
        int gates[4];
        if (!(in >> x >> z >> gates[0] >> gates[1] >> gates[2] >> gates[3]))
            return false;
        std::string alert;
        if (!(in >> alert))
            alert = "@flaggers/flag_yellow.png";
        snprintf(text, sizeof text, "[%g 0 %g] 5 0.6 %d %d %d %d @flaggers/flag_green.png %s\n", double(x), double(z),
                 gates[0], gates[1], gates[2], gates[3], alert.c_str());
        out->flaggers += text;
        return true;
    }
    if (word == "starter") {
        float from[2], to[2], walk, board[2];
        if (!(in >> from[0] >> from[1] >> to[0] >> to[1] >> walk >> board[0] >> board[1]))
            return false;
        snprintf(text, sizeof text, "[%g 0 %g] [%g 0 %g] 6 1 %g %s\n[%g 0 %g] 5 0.8 %s\n", double(from[0]),
                 double(from[1]), double(to[0]), double(to[1]), double(walk), kStarterPictures, double(board[0]),
                 double(board[1]), kLapBoardPictures);
        out->head = text;
        return true;
    }
    if (word == "camera" || word == "autocamera") {
        float x, h, z, fov;
        if (!(in >> x >> h >> z >> fov))
            return false;
        snprintf(text, sizeof text, word == "camera" ? "fov %g\n" : "autofovsize %g\n", double(fov));
        out->cameras += text;
        std::string gates;
        for (int gate; in >> gate;)
            gates += " " + std::to_string(gate);
        if (!gates.empty())
            out->cameras += "gate" + gates + "\n";
        snprintf(text, sizeof text, "addcamera %g %g %g\n", double(x), double(h), double(z));
        out->cameras += text;
        return true;
    }
    return false;
}

}  // namespace

bool write_track_objects(const std::string& description, const std::string& folder, std::string* error)
{
    std::ifstream file(description);
    if (!file) {
        *error = "cannot read " + description;
        return false;
    }
    const track_object_loaders saved = track_loaders;
    track_loaders = {no_texture, no_model, no_shape, no_free};
    timing_gates = {};
    billboards_reset();
    statues_reset();
    collected out;
    std::string line;
    bool ok = true;
    for (int number = 1; ok && std::getline(file, line); ++number) {
        std::istringstream in(line);
        std::string word;
        if (!(in >> word) || word[0] == '#')
            continue;
        if (!take_line(in, word, &out)) {
            *error = description + ":" + std::to_string(number) + ": cannot use \"" + line + "\"";
            ok = false;
        }
    }
    // Every counted lap entry is one segment of the racing-line tables.
    for (int i = 0; i < timing_gates.firstlap_length + timing_gates.normallap_length; ++i)
        (i < timing_gates.firstlap_length ? timing_gates.firstlap_counted : timing_gates.normallap_counted) +=
            timing_gates.lap_entries[i] < kFlaggedLapEntry;
    if (ok && !(write_with(timing_gates_write_to, folder + "/timing_gates") &&
                write_with(statues_write_to, folder + "/statues") &&
                write_with(billboards_write_to, folder + "/billboards") &&
                write_text(folder + "/flaggers", flagger_file(out)) && write_text(folder + "/cameras", out.cameras))) {
        *error = "cannot write the objects of " + folder;
        ok = false;
    }
    statues_free();
    billboards_free();
    track_loaders = saved;
    return ok;
}
