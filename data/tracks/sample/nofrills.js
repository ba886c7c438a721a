// Brovanta Valley MX's track script (ES5). The track generator writes the "var" lines
// above from the course: the start gate's centre and heading, a point beside the gate
// and one outside the first turn.
//
// A marshal beside the gate waves his flag until the drop and lowers it after, a
// start light beside him turns from red to green at the drop, a sponsor's sign spins
// outside the first turn, and an air horn sounds at the drop and when the leader
// starts the last lap.
//
// Its models, pictures and sound are shared game data, named without a track folder:
// a script may name its own track folder's files too, but cannot learn which folder it
// runs from, and only shared names still hold in a copy of this track under another
// name (the way to start a track of one's own).

bv.message('Welcome to Brovanta Valley MX');

// --- The marshal and his flag -------------------------------------------------------
// Bones: body, arm (about the shoulder), flag (about the hand). A rotation here is the
// 3 x 3 matrix column by column, as the model drawing takes it.
var shoulder = [0.7, 4.7, 0], hand = [3.0, 4.7, 0];
var wave_frames = 8;          // frames 0..7 wave, frame 8 repeats frame 0
var lowered_frame = 9;

function turn_z(a) {
	var c = Math.cos(a), s = Math.sin(a);
	return [c, s, 0, -s, c, 0, 0, 0, 1];
}

// The arm raised by angle a, the flag turned a further w in the hand.
function marshal_pose(a, w) {
	var r = turn_z(a);
	var dx = hand[0] - shoulder[0], dy = hand[1] - shoulder[1];
	var flag_at = [shoulder[0] + r[0] * dx + r[3] * dy, shoulder[1] + r[1] * dx + r[4] * dy, 0];
	return {
		centers: [0, 0, 0].concat(shoulder, flag_at),
		rotations: [1, 0, 0, 0, 1, 0, 0, 0, 1].concat(r, turn_z(a + w))
	};
}

var marshal_poses = [];
for (var f = 0; f <= wave_frames; f++) {
	var phase = 2 * Math.PI * f / wave_frames;
	marshal_poses.push(marshal_pose(0.9 + 0.35 * Math.sin(phase), 0.5 * Math.sin(phase - 1)));
}
marshal_poses.push(marshal_pose(-1.25, -1.6));

var marshal_sequence = bv.cache_pose_sequence({
	frame_count: marshal_poses.length,
	bone_count: 3,
	rest_centers: [0, 0, 0].concat(shoulder, hand),
	poses: marshal_poses
});

// He faces back down the start straight, towards the riders.
var marshal = bv.add_statue(beside_gate_x, 0, beside_gate_z, start_gate_heading + Math.PI,
	'@models/marshal.jm', '@statues/marshal.png', '');

// --- The start light ----------------------------------------------------------------
// Just past the marshal, away from the gate, high enough for the riders to see.
var light_x = beside_gate_x - 0.15 * (start_gate_x - beside_gate_x);
var light_z = beside_gate_z - 0.15 * (start_gate_z - beside_gate_z);
var light = bv.add_billboard(light_x, 7, light_z, 2.5, 1, '@billboards/lamp.png');
bv.color_billboard(light, 1, 0.1, 0.05, 1);

// --- The sponsor's sign -------------------------------------------------------------
var sign = bv.add_statue(first_turn_x, 0, first_turn_z, 0, '@models/sponsor_sign.jm',
	'@statues/sponsor.png', '');
var sign_y = bv.get_elevation(first_turn_x, first_turn_z);
var sign_turn = [1, 0, 0, 0, 1, 0, 0, 0, 1];
var seconds_per_turn = 4;

// --- The air horn, at the gate -------------------------------------------------------
var horn = bv.add_sound('@sounds/horn.raw');
bv.set_sound_pos(horn, start_gate_x, bv.get_elevation(start_gate_x, start_gate_z) + 6, start_gate_z);
bv.set_sound_freq(horn, 22050);
bv.set_sound_vol(horn, 1);

// --- Each frame: the marshal's pose and the sign's turn ------------------------------
var dropped = false;

bv.frame_handler = function (seconds) {
	if (dropped)
		bv.pose_statue_from_sequence(marshal, marshal_sequence, lowered_frame);
	else
		bv.pose_statue_from_sequence(marshal, marshal_sequence, (seconds * 2 * wave_frames) % wave_frames);
	var a = 2 * Math.PI * (seconds % seconds_per_turn) / seconds_per_turn;
	var c = Math.cos(a), s = Math.sin(a);
	sign_turn[0] = c;
	sign_turn[2] = s;
	sign_turn[6] = -s;
	sign_turn[8] = c;
	bv.move_statue_absolute(sign, first_turn_x, sign_y, first_turn_z, sign_turn);
};

// --- Each tick: the drop, and the leader starting the last lap ------------------------
var horn_at_drop = 0;          // what start_sound gave at the drop
var last_lap_called = false;
var ticks_to_order = 0;

bv.tic_handler = function (seconds) {
	if (!dropped) {
		if (bv.get_gate_drop_time() < 0)
			return;
		dropped = true;
		bv.color_billboard(light, 0.1, 1, 0.2, 1);
		horn_at_drop = bv.start_sound(horn);
	}
	if (last_lap_called || --ticks_to_order > 0)
		return;
	ticks_to_order = 16;       // the running order is read every 16 ticks at most
	var laps = bv.get_finish_laps();
	if (laps < 2 || bv.get_finish_time() > 0)
		return;                // a race against the clock has no last lap to call
	// A row's position counts the timing positions passed: its laps completed.
	var order = bv.get_running_order();
	if (order.length == 0 || bv.index_to_lap(order[0].position) < laps - 1)
		return;
	last_lap_called = true;
	bv.message('Last lap!');
	bv.start_sound(horn);
};
