// The deferred command queue: one word per opcode followed by its arguments (floats
// as their bit patterns), replayed against GL in call order.
#pragma once
#include <cstdint>

enum gl_opcode : uint32_t {
    op_active_texture = 1,
    op_bind_texture = 2,
    op_blend_func = 3,
    op_depth_func = 4,
    op_depth_mask = 5,
    op_disable = 6,
    op_draw_arrays = 7,
    op_draw_range_elements = 8,
    op_enable = 9,
    op_frustum = 10,
    // 11 is reserved: nothing queues it, and the replay treats it as corruption.
    op_load_identity = 12,
    op_matrix_mode = 13,
    op_mult_matrix = 14,
    op_ortho = 15,
    op_pop_matrix = 16,
    op_push_matrix = 17,
    op_rotate = 18,
    op_scale = 19,
    op_translate = 20,
};

// Words of a command, opcode included; 0 for a word that is no opcode.
int gl_opcode_words(uint32_t opcode);

// Room for a command of n words: replays first when fewer are free. Returns where to
// write; the fill count already counts the command.
uint32_t* gl_queue_record(int n);
int gl_queue_free_words();

// Draw commands of the immediate-mode batch.
void gl_queue_draw_arrays(uint32_t mode, int32_t first, int32_t count);
void gl_queue_draw_range_elements(int32_t index_start, int32_t index_count, int32_t first_vertex,
                                  int32_t vertex_count);

void gl_replay_queue();

// Before every draw: a program must be current; its dirty matrices are sent.
void gl_draw_step();
[[noreturn]] void gl_fixed_shader_fatal();
