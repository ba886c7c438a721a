// The prelude every track script runs after: helpers over the native API, default
// handlers, the trampolines the simulator calls, and constants read at load.
#include "script/script_host.h"

const char* const script_prelude = R"JS(
bv.get_running_order = function () {
	var n = bv.get_running_count();
	var order = [];
	for (var i = 0; i < n; i++)
		order.push({ slot: bv.get_running_order_slot(i), position: bv.get_running_order_position(i),
			time: bv.get_running_order_time(i) * bv.seconds_per_tic });
	return order;
};
bv.frame_handler = function (tics) {};
bv.frame_handler_ = function (tics) {
	bv.seconds = tics * bv.seconds_per_tic;
	if ("frame_handler" in bv)
		bv.frame_handler(bv.seconds);
};
bv.tic_handler = function (tics) {};
bv.tic_handler_ = function (tics) {
	bv.seconds = tics * bv.seconds_per_tic;
	if ("tic_handler" in bv)
		bv.tic_handler(bv.seconds);
};
bv.script_message_handler = function (msg) {};
bv.script_message_handler_ = function (msg) {
	if ("script_message_handler" in bv)
		bv.script_message_handler(msg);
};
bv.lap_to_index = function (lap) {
	if (lap == 0)
		return 0;
	return bv.first_lap_length + bv.normal_lap_length * (lap - 1) - 1;
};
bv.index_to_lap = function (index) {
	if (bv.normal_lap_length == 0 || index < bv.first_lap_length)
		return 0;
	return 1 + Math.floor((index - bv.first_lap_length) / bv.normal_lap_length);
};
bv.get_position = function (index) {
	var p = [];
	return bv.get_position_(index, p) ? p : null;
};
bv.get_velocity = function (index) {
	var v = [];
	return bv.get_velocity_(index, v) ? v : null;
};
bv.cache_pose_sequence = (function () {
	var v = [0, 0, 0];
	var r = [0, 0, 0, 0, 0, 0, 0, 0, 0];
	return function (anim) {
		var seq = bv.create_pose_sequence(anim.frame_count, anim.bone_count);
		var b, f, i;
		for (b = 0; b < anim.bone_count; b++) {
			for (i = 0; i < 3; i++)
				v[i] = anim.rest_centers[3 * b + i];
			bv.set_pose_sequence_rest(seq, b, v);
		}
		for (f = 0; f < anim.frame_count; f++) {
			for (b = 0; b < anim.bone_count; b++) {
				for (i = 0; i < 3; i++)
					v[i] = anim.poses[f].centers[3 * b + i];
				for (i = 0; i < 9; i++)
					r[i] = anim.poses[f].rotations[9 * b + i];
				bv.set_pose_sequence_frame(seq, f, b, v, r);
			}
		}
		return seq;
	};
})();
bv.max_slots = bv.get_max_slots();
bv.first_lap_length = bv.get_first_lap_length();
bv.normal_lap_length = bv.get_normal_lap_length();
bv.seconds_per_tic = bv.get_seconds_per_tic();
bv.tics_per_second = 1.0 / bv.seconds_per_tic;
)JS";
