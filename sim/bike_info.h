// The bike database: 80 constant bike records compiled into the program. Nothing
// reads bike data from files; a rider slot keeps the index of its record.
// Units: feet, slugs, lbf·ft, radians, rpm. Bike space: x right, y up, z backwards.
#pragma once
#include <array>
#include <cstdint>

inline constexpr int kBikeCount = 80;
inline constexpr int kBikeNameSize = 16;
inline constexpr int kBikeFileNames = 23;
inline constexpr int kBikeFileNameSize = 64;
inline constexpr int kBikePoseFloats = 58;
inline constexpr int kTorquePoints = 50;        // 0, 500 ... 24500 rpm
inline constexpr int kGearCount = 6;

// The 23 file names of a record, in order.
enum bike_file : int {
    bike_file_frame_model,
    bike_file_frame_shape,
    bike_file_bike_texture,
    bike_file_fork_upper_model,
    bike_file_fork_upper_shape,
    bike_file_fork_lower_model,
    bike_file_fork_lower_shape,
    bike_file_swingarm_model,
    bike_file_swingarm_shape,
    bike_file_front_wheel_model,
    bike_file_front_wheel_shape,
    bike_file_rear_wheel_model,
    bike_file_rear_wheel_shape,
    bike_file_wheel_texture,
    bike_file_head_model,
    bike_file_head_texture,
    bike_file_rider_body_model,
    bike_file_rider_body_fp_model,
    bike_file_rider_shape,
    bike_file_rider_texture,
    bike_file_side_plates_model,
    bike_file_front_plate_model,
    bike_file_rider_plate_model,
};

// Offsets into the pose points (floats, in the frame of the body named).
inline constexpr int kPoseHead = 0;             // 3 floats, rider space
inline constexpr int kPoseHands = 3;            // hands (shoulders), left then right, rider space
inline constexpr int kPoseHips = 9;             // left then right, rider space
inline constexpr int kPoseGrips = 15;           // left then right, fork-upper space
inline constexpr int kPoseFootPegs = 21;        // left then right, frame space
inline constexpr int kPoseLimbLengths = 27;     // upper arm, forearm, thigh, shin
inline constexpr int kPoseBoneCentres = 31;     // 9 bones x 3 floats

struct bike_info {
    char name[kBikeNameSize];
    char bike_class[kBikeNameSize];          // "125", "250f", "250", "450f" or "50"
    float front_axle[3];
    float front_ring_radius;
    float front_tyre_radius;
    float front_tyre_mass;
    float front_hub_radius;
    float front_hub_mass;
    float rear_axle[3];
    float rear_ring_radius;
    float rear_tyre_radius;
    float rear_tyre_mass;
    float rear_hub_radius;
    float rear_hub_mass;
    float frame_position[3];
    float frame_mass;                        // without the rider
    float frame_box[3];                      // x also sets the swingarm width
    float fork_upper_position[3];
    float swingarm_position[3];
    float swingarm_pivot[3];
    float fork_lower_position[3];
    float fork_leg_spacing;
    float fork_leg_length;
    float fork_mass;
    float fork_spring_rate[2];               // softest, stiffest (lbf/ft)
    float fork_preload[2];
    float fork_oil_level[2];
    float fork_compression_damping;
    float fork_slow_compression_damping;
    float fork_rebound_damping;
    float fork_slow_rebound_damping;
    float fork_travel;
    float swingarm_side_mass;
    float shock_spring_rate[2];
    float shock_preload[2];
    float shock_compression_damping;
    float shock_slow_compression_damping;
    float shock_rebound_damping;
    float shock_slow_rebound_damping;
    float linkage_mid;
    float linkage_end;
    float swingarm_travel;
    float linkage_breakpoint;
    float linkage_slopes[3];
    float primary_ratio;
    float front_sprocket;
    float rear_sprocket;
    float gear_ratios[kGearCount];           // <= 0: no such gear
    float engine_inertia;
    float clutch_stiffness;
    float clutch_damping;
    float closed_torque[kTorquePoints];
    float open_torque[kTorquePoints];
    float shift_down_rpm;
    float shift_up_rpm;
    float rpm_limit;
    float rider_travel_axis[3];
    float rider_position[3];
    float rider_travel_range[2];
    float rider_mass;
    char file_names[kBikeFileNames][kBikeFileNameSize];
    float pose_points[kBikePoseFloats];
};

// The records in menu order; record 0 is "cr125".
extern const std::array<bike_info, kBikeCount> bike_infos;

// The record at index 0..79, null otherwise.
const bike_info* bike_info_at(int index);
// The index of the first record whose name equals name exactly (case-sensitive), -1
// when none does (or name is null).
int bike_info_index(const char* name);
// The record of exactly that name, null when none.
const bike_info* bike_info_lookup(const char* name);
// Rider creation's choice: the exact name, else the first record whose name contains
// "125" when the asked name does, else the first containing "250f"; a fallback logs
// "bike info for '%.20s' not found using '%.20s' instead".
int bike_info_choose(const char* name);

// Linear look-up of a 50-point torque curve at rpm (index rpm * 0.002 clamped 0..49;
// NaN reads as 0 rpm).
constexpr float torque_curve_at(const float curve[kTorquePoints], float rpm)
{
    float position = rpm * 0.002f;
    if (!(position > 0))
        position = 0;
    if (position > kTorquePoints - 1)
        position = kTorquePoints - 1;
    const int i = static_cast<int>(position);
    const int next = i + 1 < kTorquePoints ? i + 1 : kTorquePoints - 1;
    return curve[i] + (curve[next] - curve[i]) * (position - static_cast<float>(i));
}
// Gear g (0..5) exists when its ratio is above 0.
int bike_has_gear(const bike_info* info, int gear);
// max(floor(rear + rear_adjust), 3) / max(floor(front + front_adjust), 3).
float bike_final_drive_ratio(const bike_info* info, float front_adjust, float rear_adjust);
// lerp(range[0], range[1], x) for a setup value x in 0..1 (clamped, NaN as 0).
float bike_range_lerp(const float range[2], float x);
