// The models the sample track's script places: the start marshal with his flag and a
// sponsor's sign that turns on its post. They are shared data, outside every track's
// folder, so that a copy of the sample under another name finds them as well.
#include "models.h"

namespace gen {

namespace {

// The marshal's bones, in the order the script's poses give them.
enum marshal_bone { body, arm, flag, marshal_bones };

// Standing in his rest pose facing -z: the right arm straight out along +x at shoulder
// height (shoulder 0.7, 4.7, 0; hand 3, 4.7, 0), the flag's pole upright in the hand.
model marshal()
{
    model m;
    m.name = "models/marshal.jm";
    m.bone_count = marshal_bones;
    m.skeleton = "marshal";
    part p = lit(12, 0.6, 0.6, 0.6);
    add_box(p, {-0.5, 0, -0.3}, {-0.08, 2.8, 0.3}, swatch::cloth, only(body));          // legs
    add_box(p, {0.08, 0, -0.3}, {0.5, 2.8, 0.3}, swatch::cloth, only(body));
    add_box(p, {-0.7, 2.8, -0.4}, {0.7, 5.0, 0.4}, swatch::body, only(body));            // vest
    add_box(p, {-1.0, 2.9, -0.2}, {-0.7, 4.9, 0.2}, swatch::body, only(body));           // left arm, down
    add_sphere(p, {0, 5.55, 0}, {0.42, 0.5, 0.42}, 6, 10, swatch::accent, only(body));  // head
    add_beam(p, {0.7, 4.7, 0}, {3.0, 4.7, 0}, 0.18, 0.18, {0, 0, 1}, swatch::body, only(arm), only(arm));
    add_beam(p, {3.0, 4.1, 0}, {3.0, 7.8, 0}, 0.06, 0.06, {1, 0, 0}, swatch::metal, only(flag), only(flag));
    add_box(p, {3.06, 6.0, -0.04}, {5.2, 7.7, 0.04}, swatch::visor, only(flag));          // the cloth
    m.parts = {p};
    return m;
}

// An 8 x 4 ft board on a post, the picture on both faces, its foot at the origin so
// that it turns about the post. No collision shape: riders never reach it.
model sign()
{
    model m;
    m.name = "models/sponsor_sign.jm";
    part post = lit(24, 0.6, 0.6, 0.6);
    add_box(post, {-0.2, 0, -0.2}, {0.2, 5.2, 0.2}, swatch::metal);
    part board = lit(40, 1, 1, 1);
    add_box(board, {-4, 5.2, -0.1}, {4, 9.2, 0.1}, swatch::whole);
    m.parts = {post, board};
    return m;
}

}  // namespace

std::vector<model> sample_track_models()
{
    return {marshal(), sign()};
}

}  // namespace gen
