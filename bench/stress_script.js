// A track script that leans on the native API every tick, for script_bench.
var calls_per_tick = 0;
var pos = [], vel = [], contact = [];
var seq = bv.create_pose_sequence(4, 3);
var statues = [], boards = [], sounds = [];
var i;
for (i = 0; i < 8; i++)
	statues.push(bv.add_statue(10 + i, 0, 10, 0, '@models/cube.jm', '@statues/hay.png', ''));
for (i = 0; i < 32; i++)
	boards.push(bv.add_billboard(20 + i, 1, 20, 2, 1, '@billboards/tree.png'));
for (i = 0; i < 4; i++)
	sounds.push(bv.add_sound('@horn.raw'));
var rotation = [1, 0, 0, 0, 1, 0, 0, 0, 1];
bv.tic_handler = function (t) {
	var n = 0, s, k;
	for (s = 0; s < 8; s++) {
		bv.get_position_(s, pos); bv.get_velocity_(s, vel);
		bv.get_front_contact_position(s, contact); bv.get_rear_contact_position(s, contact);
		bv.get_front_contact_depth(s); bv.get_rear_contact_depth(s);
		n += 6;
	}
	var order = bv.get_running_order();
	n += 1 + 3 * order.length;
	for (k = 0; k < 64; k++) {
		bv.get_elevation(k * 4, t); bv.get_tile_number(k * 4, t);
		n += 2;
	}
	for (k = 0; k < 32; k++) {
		bv.move_billboard(boards[k], 20 + k, 1 + Math.sin(t + k), 20);
		bv.color_billboard(boards[k], 1, 0.5, 0.25, 1);
		n += 2;
	}
	for (k = 0; k < 8; k++) {
		bv.move_statue_absolute(statues[k], 10 + k, 1, 10, rotation);
		bv.pose_statue_from_sequence(statues[k], seq, (t * 2) % 3);
		n += 2;
	}
	for (k = 0; k < 4; k++) {
		bv.set_sound_pos(sounds[k], k, 0, t);
		n += 1;
	}
	calls_per_tick = n;
};
