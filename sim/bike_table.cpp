// The 80 bike records, generated at compile time from one reference bike ("cr125")
// and a row per model. Geometry, wheels, fork and linkage shapes and pose points are
// the reference's; masses, spring ranges, rebound damping, engine inertia, clutch and
// shift speeds come from the model's family; torque curves, gearing and model stems
// are each model's own, derived from its class, make and year.
#include "sim/bike_info.h"

#include <cstddef>

namespace {

// The reference curves, 0 .. 24500 rpm in steps of 500.
constexpr float ref_closed[kTorquePoints] = {
    2, 2, 1, 0, -1, -1.2f, -1.4f, -1.6f, -1.8f, -2, -2.25f, -2.5f, -2.75f, -3, -3.33f, -3.67f, -4, -5, -6, -7,
    -8, -9, -10, -10, -11, -11, -12, -12, -13, -13, -14, -14, -15, -15, -16, -16, -17, -17, -18, -18,
    -19, -19, -20, -20, -21, -21, -22, -22, -23, -23,
};
constexpr float ref_open[kTorquePoints] = {
    5, 5, 5, 5, 5, 5.7f, 6.4f, 7.2f, 7.9f, 8.6f, 9.4538f, 10.2177f, 10.3292f, 10.6658f, 11.4046f,
    12.465f, 13.2616f, 14.1498f, 14.7643f, 15.8116f, 15.9664f, 15.9064f, 15.7563f, 15.117f, 12.7364f,
    2.1008f, 0, 0, -1, -1, -2, -2, -3, -3, -4, -4, -5, -5, -6, -6, -7, -7, -8, -8, -9, -9, -10, -10, -11, -11,
};

constexpr float pose[kBikePoseFloats] = {
    0, 0.808383f, -0.943369f, -0.556f, 0.580375f, -0.654514f, 0.556f, 0.580375f, -0.654514f, -0.269f,
    -0.570887f, 0.670607f, 0.269f, -0.570887f, 0.670607f, -1.097f, 1.145f, 0.753f, 1.097f, 1.145f, 0.753f,
    -0.6f, -0.557f, 0.584f, 0.6f, -0.557f, 0.584f, 0.9f, 1.15f, 1.328f, 1.701f, -1.456f, 0.875f, 0.01f,
    1.456f, 0.875f, 0.01f, -0.556f, 0.875f, 0.01f, 0.556f, 0.875f, 0.01f, -0.269f, -2.208f, 0.01f, 0.269f,
    -2.208f, 0.01f, -0.269f, -0.88f, 0.01f, 0.269f, -0.88f, 0.01f, 0, -0.88f, 0.01f,
};

// What a family of bikes shares.
struct family {
    float frame_mass, rider_mass, fork_mass, swingarm_side_mass;
    float fork_spring[2], shock_spring[2];
    float fork_rebound, shock_rebound;
    float engine_inertia, clutch_stiffness, clutch_damping;
    float shift_down, shift_up, rpm_limit;
    // Invented: how the reference curves are stretched and scaled for the family.
    float torque_scale, braking_scale;
};

enum family_id { f125, f250f, f250, f450f, f50 };

constexpr family families[] = {
    {3.65375f, 4.6875f, 0.739688f, 0.541875f, {322.545f, 860.120f}, {1814.316f, 4502.192f}, 30, 600, 0.004883f,
     7500, 0.75f, 9400, 12000, 12750, 1.0f, 1.0f},
    {4.24f, 4.6875f, 0.703125f, 0.504375f, {335.984f, 873.560f}, {2217.498f, 4905.374f}, 30, 600, 0.004883f,
     7500, 0.75f, 8000, 12500, 13250, 1.28f, 1.6f},
    {4.365625f, 5.46875f, 0.75375f, 0.589375f, {322.545f, 860.120f}, {2083.104f, 4770.980f}, 30, 600,
     0.006836f, 7500, 0.75f, 6000, 9000, 10500, 1.85f, 1.3f},
    {4.735f, 5.46875f, 0.703125f, 0.5025f, {376.303f, 913.878f}, {2486.285f, 5174.161f}, 32, 650, 0.00885f,
     7500, 0.75f, 6000, 10500, 12000, 2.35f, 2.2f},
    {3.34125f, 4.6875f, 0.739688f, 0.541875f, {309.106f, 846.681f}, {1814.316f, 4502.192f}, 30, 600, 0.001194f,
     1200, 1.0f, 9400, 12000, 12750, 0.24f, 0.3f},
};

struct gearing {
    float primary, front, rear;
    float ratios[kGearCount];
};

enum gearing_id { g125_five, g125_six, g250f_five, g250f_six, g250_five, g450f_five, g350_five, g50_six };

// Besides the reference "cr125" and the "rs50" boxes, the ratios are spread so that
// automatic shifting uses the whole box on a motocross course: first gear reaches its
// family's shift-up speed near 28 ft/s (29 on the 125s), and each gear's ratio is a
// fixed share of the one below (0.82 on the 125s, 0.68 to 0.75 on the others) that
// lands an up-shift above the shift-down speed, so the box never hunts.
constexpr gearing gearings[] = {
    {3.15f, 13, 52, {2.357143f, 1.866667f, 1.578947f, 1.294118f, 1.133333f, -1}},
    {3.2f, 13, 50, {3.8141f, 3.1276f, 2.5646f, 2.1030f, 1.7245f, 1.4141f}},
    {3.35f, 13, 48, {4.0945f, 2.9480f, 2.1226f, 1.5283f, 1.1003f, -1}},
    {3.32f, 13, 48, {4.1315f, 3.0986f, 2.3240f, 1.7430f, 1.3072f, 0.9804f}},
    {2.9f, 14, 50, {3.5208f, 2.6054f, 1.9280f, 1.4267f, 1.0558f, -1}},
    {3.0f, 13, 49, {3.7623f, 2.5583f, 1.7397f, 1.1830f, 0.8044f, -1}},
    {3.1f, 13, 50, {3.5681f, 2.4977f, 1.7484f, 1.2238f, 0.8567f, -1}},
    {3.714286f, 12, 55, {3.0909f, 2.0f, 1.5f, 1.2f, 1.0455f, 0.9565f}},
};

// Makes differ a little in power and in the rear sprocket they ship.
enum make_id { cr, kx, rm, yz, sx, fc };
constexpr float make_torque[] = {1.0f, 1.015f, 0.99f, 1.02f, 1.03f, 1.025f};
constexpr float make_rear_teeth[] = {0, 1, -1, 1, 0, -1};

struct row {
    const char* name;
    const char* bike_class;
    const char* stem;          // the bike-specific model and texture names, shared by a model's years
    family_id fam;
    gearing_id gears;
    make_id make;
    int year;                  // 0: none given
};

constexpr row rows[kBikeCount] = {
    {"cr125", "125", "cr125", f125, g125_five, cr, 0},
    {"crf250(2007)", "250f", "crf250v2016", f250f, g250f_five, cr, 2007},
    {"crf250(2008)", "250f", "crf250v2016", f250f, g250f_five, cr, 2008},
    {"crf250(2009)", "250f", "crf250v2016", f250f, g250f_five, cr, 2009},
    {"crf250(2013)", "250f", "crf250v2016", f250f, g250f_five, cr, 2013},
    {"crf250(2016)", "250f", "crf250v2016", f250f, g250f_five, cr, 2016},
    {"crf250(2017)", "250f", "crf250v2016", f250f, g250f_five, cr, 2017},
    {"crf250(2018)", "250f", "crf250v2016", f250f, g250f_five, cr, 2018},
    {"cr250(2007)", "250", "cr250v2007", f250, g250_five, cr, 2007},
    {"crf450(2011)", "450f", "crf450v2016", f450f, g450f_five, cr, 2011},
    {"crf450(2013)", "450f", "crf450v2016", f450f, g450f_five, cr, 2013},
    {"crf450(2016)", "450f", "crf450v2016", f450f, g450f_five, cr, 2016},
    {"crf450(2017)", "450f", "crf450v2016", f450f, g450f_five, cr, 2017},
    {"crf450(2018)", "450f", "crf450v2016", f450f, g450f_five, cr, 2018},
    {"kx125", "125", "kx125", f125, g125_six, kx, 0},
    {"kx250f(2007)", "250f", "kx250fv2016", f250f, g250f_five, kx, 2007},
    {"kx250f(2008)", "250f", "kx250fv2016", f250f, g250f_five, kx, 2008},
    {"kx250f(2009)", "250f", "kx250fv2016", f250f, g250f_five, kx, 2009},
    {"kx250f(2013)", "250f", "kx250fv2016", f250f, g250f_five, kx, 2013},
    {"kx250f(2016)", "250f", "kx250fv2016", f250f, g250f_five, kx, 2016},
    {"kx250f(2017)", "250f", "kx250fv2016", f250f, g250f_five, kx, 2017},
    {"kx250f(2018)", "250f", "kx250fv2016", f250f, g250f_five, kx, 2018},
    {"kx250(2006)", "250", "kx250v2006", f250, g250_five, kx, 2006},
    {"kx450f(2011)", "450f", "kx450fv2016", f450f, g450f_five, kx, 2011},
    {"kx450f(2013)", "450f", "kx450fv2016", f450f, g450f_five, kx, 2013},
    {"kx450f(2016)", "450f", "kx450fv2016", f450f, g450f_five, kx, 2016},
    {"kx450f(2017)", "450f", "kx450fv2016", f450f, g450f_five, kx, 2017},
    {"kx450f(2018)", "450f", "kx450fv2016", f450f, g450f_five, kx, 2018},
    {"rm125", "125", "rm125", f125, g125_six, rm, 0},
    {"rmz250(2007)", "250f", "rmz250v2016", f250f, g250f_five, rm, 2007},
    {"rmz250(2008)", "250f", "rmz250v2016", f250f, g250f_five, rm, 2008},
    {"rmz250(2009)", "250f", "rmz250v2016", f250f, g250f_five, rm, 2009},
    {"rmz250(2013)", "250f", "rmz250v2016", f250f, g250f_five, rm, 2013},
    {"rmz250(2016)", "250f", "rmz250v2016", f250f, g250f_five, rm, 2016},
    {"rmz250(2017)", "250f", "rmz250v2016", f250f, g250f_five, rm, 2017},
    {"rmz250(2018)", "250f", "rmz250v2016", f250f, g250f_five, rm, 2018},
    {"rm250(2008)", "250", "rm250v2008", f250, g250_five, rm, 2008},
    {"rmz450(2011)", "450f", "rmz450v2016", f450f, g450f_five, rm, 2011},
    {"rmz450(2013)", "450f", "rmz450v2016", f450f, g450f_five, rm, 2013},
    {"rmz450(2016)", "450f", "rmz450v2016", f450f, g450f_five, rm, 2016},
    {"rmz450(2017)", "450f", "rmz450v2016", f450f, g450f_five, rm, 2017},
    {"rmz450(2018)", "450f", "rmz450v2016", f450f, g450f_five, rm, 2018},
    {"yz125", "125", "yz125", f125, g125_six, yz, 0},
    {"yz250f(2007)", "250f", "yz250fv2016", f250f, g250f_five, yz, 2007},
    {"yz250f_se(2006)", "250f", "yz250f_sev2006", f250f, g250f_five, yz, 2006},
    {"yz250f(2008)", "250f", "yz250fv2016", f250f, g250f_five, yz, 2008},
    {"yz250f(2009)", "250f", "yz250fv2016", f250f, g250f_five, yz, 2009},
    {"yz250f(2013)", "250f", "yz250fv2016", f250f, g250f_five, yz, 2013},
    {"yz250f(2016)", "250f", "yz250fv2016", f250f, g250f_five, yz, 2016},
    {"yz250f(2017)", "250f", "yz250fv2016", f250f, g250f_five, yz, 2017},
    {"yz250f(2018)", "250f", "yz250fv2016", f250f, g250f_five, yz, 2018},
    {"yz250(2012)", "250", "yz250v2012", f250, g250_five, yz, 2012},
    {"yz450f(2011)", "450f", "yz450fv2016", f450f, g450f_five, yz, 2011},
    {"yz450f(2013)", "450f", "yz450fv2016", f450f, g450f_five, yz, 2013},
    {"yz450f(2016)", "450f", "yz450fv2016", f450f, g450f_five, yz, 2016},
    {"yz450f(2017)", "450f", "yz450fv2016", f450f, g450f_five, yz, 2017},
    {"yz450f(2018)", "450f", "yz450fv2016", f450f, g450f_five, yz, 2018},
    {"125sx", "125", "125sx", f125, g125_six, sx, 0},
    {"250sxf(2009)", "250f", "250sxfv2016", f250f, g250f_six, sx, 2009},
    {"250sxf(2013)", "250f", "250sxfv2016", f250f, g250f_six, sx, 2013},
    {"250sxf(2016)", "250f", "250sxfv2016", f250f, g250f_five, sx, 2016},
    {"250sxf(2017)", "250f", "250sxfv2016", f250f, g250f_five, sx, 2017},
    {"250sxf(2018)", "250f", "250sxfv2016", f250f, g250f_five, sx, 2018},
    {"250sx(2012)", "250", "250sxv2012", f250, g250_five, sx, 2012},
    {"350sxf(2011)", "450f", "350sxfv2016", f450f, g350_five, sx, 2011},
    {"350sxf(2013)", "250f", "350sxfv2016", f450f, g350_five, sx, 2013},
    {"350sxf(2017)", "250f", "350sxfv2016", f450f, g350_five, sx, 2017},
    {"450sxf(2011)", "450f", "450sxfv2016", f450f, g450f_five, sx, 2011},
    {"450sxf(2013)", "450f", "450sxfv2016", f450f, g450f_five, sx, 2013},
    {"450sxf(2016)", "450f", "450sxfv2016", f450f, g450f_five, sx, 2016},
    {"450sxf(2017)", "450f", "450sxfv2016", f450f, g450f_five, sx, 2017},
    {"450sxf(2018)", "450f", "450sxfv2016", f450f, g450f_five, sx, 2018},
    {"fc250(2017)", "250f", "fc250v2016", f250f, g250f_five, fc, 2017},
    {"fc250(2018)", "250f", "fc250v2016", f250f, g250f_five, fc, 2018},
    {"fc450(2017)", "450f", "fc450v2016", f450f, g450f_five, fc, 2017},
    {"fc450(2018)", "450f", "fc450v2016", f450f, g450f_five, fc, 2018},
    {"rs50cr", "50", "cr125", f50, g50_six, cr, 0},
    {"rs50kx", "50", "kx125", f50, g50_six, kx, 0},
    {"rs50rm", "50", "rm125", f50, g50_six, rm, 0},
    {"rs50yz", "50", "yz125", f50, g50_six, yz, 0},
};

constexpr void copy_text(char* out, size_t size, const char* a, const char* b = "", const char* c = "")
{
    size_t n = 0;
    for (const char* part : {a, b, c})
        for (; *part && n + 1 < size; ++part)
            out[n++] = *part;
    out[n] = '\0';
}

constexpr bool contains(const char* text, const char* part)
{
    for (; *text; ++text) {
        const char* a = text;
        const char* b = part;
        while (*b && *a == *b)
            ++a, ++b;
        if (!*b)
            return true;
    }
    return false;
}

constexpr void set3(float out[3], float x, float y, float z)
{
    out[0] = x, out[1] = y, out[2] = z;
}

constexpr void fill_curves(bike_info& b, const row& r, const family& f)
{
    if (r.fam == f125 && r.make == cr && r.year == 0) {
        for (int i = 0; i < kTorquePoints; ++i)
            b.closed_torque[i] = ref_closed[i], b.open_torque[i] = ref_open[i];
        return;
    }
    // The curve's shape moves with the rev limit; its height with class, make and age.
    const float stretch = 12750.0f / b.rpm_limit;
    const float age = r.year ? 1.0f + 0.006f * static_cast<float>(r.year - 2007) : 1.0f;
    const float scale = f.torque_scale * make_torque[r.make] * age;
    for (int i = 0; i < kTorquePoints; ++i) {
        const float rpm = 500.0f * static_cast<float>(i) * stretch;
        b.open_torque[i] = torque_curve_at(ref_open, rpm) * scale;
        b.closed_torque[i] = torque_curve_at(ref_closed, rpm) * f.braking_scale;
    }
}

constexpr bike_info make_record(const row& r)
{
    bike_info b{};
    const family& f = families[r.fam];
    const gearing& g = gearings[r.gears];
    copy_text(b.name, sizeof b.name, r.name);
    copy_text(b.bike_class, sizeof b.bike_class, r.bike_class);

    set3(b.front_axle, 0, 1.09f, 1.11f);
    b.front_ring_radius = 0.833333f;
    b.front_tyre_radius = 0.333333f;
    b.front_tyre_mass = 0.40625f;
    b.front_hub_radius = 0.5f;
    b.front_hub_mass = 0.15625f;
    set3(b.rear_axle, 0, 1.04f, 6.0f);
    b.rear_ring_radius = 0.75f;
    b.rear_tyre_radius = 0.333333f;
    b.rear_tyre_mass = 0.46875f;
    b.rear_hub_radius = 0.5f;
    b.rear_hub_mass = 0.3125f;
    set3(b.frame_position, 0, 1.98f, 3.6f);
    b.frame_mass = f.frame_mass;
    set3(b.frame_box, 0.833333f, 1.666667f, 1.666667f);
    set3(b.fork_upper_position, 0, 2.9f, 2.16f);
    set3(b.swingarm_position, 0, 1.34f, 4.99f);
    set3(b.swingarm_pivot, 0, 1.6f, 4.08f);
    set3(b.fork_lower_position, 0, 1.77f, 1.59f);
    b.fork_leg_spacing = 0.833333f;
    b.fork_leg_length = 3.0f;
    b.fork_mass = f.fork_mass;
    b.fork_spring_rate[0] = f.fork_spring[0], b.fork_spring_rate[1] = f.fork_spring[1];
    b.fork_preload[0] = 0, b.fork_preload[1] = 0.083333f;
    b.fork_oil_level[0] = 0.416667f, b.fork_oil_level[1] = 0.25f;
    b.fork_compression_damping = 60;
    b.fork_slow_compression_damping = 60;
    b.fork_rebound_damping = f.fork_rebound;
    b.fork_slow_rebound_damping = 30;
    b.fork_travel = 1.0f;
    b.swingarm_side_mass = f.swingarm_side_mass;
    b.shock_spring_rate[0] = f.shock_spring[0], b.shock_spring_rate[1] = f.shock_spring[1];
    b.shock_preload[0] = 0, b.shock_preload[1] = 0.333333f;
    b.shock_compression_damping = 800;
    b.shock_slow_compression_damping = 200;
    b.shock_rebound_damping = f.shock_rebound;
    b.shock_slow_rebound_damping = 150;
    b.linkage_mid = 0.283652f;
    b.linkage_end = 0.413386f;
    b.swingarm_travel = 0.530304f;
    b.linkage_breakpoint = 0.75f;
    set3(b.linkage_slopes, 0.315039f, 0.460479f, 0.607049f);

    b.primary_ratio = g.primary;
    b.front_sprocket = g.front;
    b.rear_sprocket = g.rear + (r.fam == f50 || (r.fam == f125 && r.make == cr) ? 0 : make_rear_teeth[r.make]);
    for (int i = 0; i < kGearCount; ++i)
        b.gear_ratios[i] = g.ratios[i];
    const bool is_350 = contains(r.name, "350sxf");
    b.engine_inertia = is_350 ? 0.006836f : f.engine_inertia;
    b.clutch_stiffness = f.clutch_stiffness;
    b.clutch_damping = f.clutch_damping;
    b.shift_down_rpm = f.shift_down;
    b.shift_up_rpm = f.shift_up;
    const bool rm_two_stroke = r.make == rm && (r.fam == f125 || r.fam == f50);
    b.rpm_limit = rm_two_stroke ? 13750.0f : f.rpm_limit;
    fill_curves(b, r, f);

    set3(b.rider_travel_axis, 0, 1.0f / 12, 1.0f / 12);
    set3(b.rider_position, 0, 4.5f, 4.12f);
    b.rider_travel_range[0] = -2.0f / 3, b.rider_travel_range[1] = 0.5f;
    b.rider_mass = f.rider_mass;

    auto* names = b.file_names;
    const size_t n = kBikeFileNameSize;
    copy_text(names[bike_file_frame_model], n, "@", r.stem, "_frame.jm");
    copy_text(names[bike_file_frame_shape], n, "@generic_frame.shp");
    copy_text(names[bike_file_bike_texture], n, "@", r.stem, ".png");
    copy_text(names[bike_file_fork_upper_model], n, "@", r.stem, "_fork_upper.jm");
    copy_text(names[bike_file_fork_upper_shape], n, "@generic_fork_upper.shp");
    copy_text(names[bike_file_fork_lower_model], n, "@", r.stem, "_fork_lower.jm");
    copy_text(names[bike_file_fork_lower_shape], n, "@generic_fork_lower.shp");
    copy_text(names[bike_file_swingarm_model], n, "@", r.stem, "_swingarm.jm");
    copy_text(names[bike_file_swingarm_shape], n, "@generic_swingarm.shp");
    copy_text(names[bike_file_front_wheel_model], n, "@front_wheel.jm");
    copy_text(names[bike_file_front_wheel_shape], n, "@front_wheel.shp");
    copy_text(names[bike_file_rear_wheel_model], n, "@rear_wheel.jm");
    copy_text(names[bike_file_rear_wheel_shape], n, "@rear_wheel.shp");
    copy_text(names[bike_file_wheel_texture], n, "@wheels.png");
    copy_text(names[bike_file_head_model], n, "@rider_head.jm");
    copy_text(names[bike_file_head_texture], n, "@rider_head.png");
    copy_text(names[bike_file_rider_body_model], n, "@rider_body.jm");
    copy_text(names[bike_file_rider_body_fp_model], n, "@rider_body_fp.jm");
    copy_text(names[bike_file_rider_shape], n, "@generic_rider.shp");
    copy_text(names[bike_file_rider_texture], n, "@rider_body.png");
    copy_text(names[bike_file_side_plates_model], n, "@", r.stem, "_side_plates.jm");
    copy_text(names[bike_file_front_plate_model], n, "@", r.stem, "_front_plate.jm");
    copy_text(names[bike_file_rider_plate_model], n, "@rider_plate.jm");

    for (int i = 0; i < kBikePoseFloats; ++i)
        b.pose_points[i] = pose[i];
    return b;
}

constexpr std::array<bike_info, kBikeCount> make_table()
{
    std::array<bike_info, kBikeCount> table{};
    for (int i = 0; i < kBikeCount; ++i)
        table[static_cast<size_t>(i)] = make_record(rows[i]);
    return table;
}

}  // namespace

constinit const std::array<bike_info, kBikeCount> bike_infos = make_table();
