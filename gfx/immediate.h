// The immediate-mode batch behind bvglBegin/bvglVertex/bvglEnd: the internals that
// the queue replay and start-up call.
#pragma once

// imm_color back to white and imm_texcoord to (0, 0, 0, 1).
void imm_reset_current();

// Generates the stream vertex array and its two buffers (GL direct, not queued).
void imm_create_buffers();

// Called by the vertex writers when the batch is full: draws what the batch holds and
// carries the open primitive on.
void imm_flush();

// Turns the open primitive into a queued draw (triangle indices for quads, quad
// strips and polygons).
void imm_index_primitive();

// The open primitive alone fills the batch: draw it and restart it with the vertices
// a strip, fan or loop must carry over.
void imm_split_primitive();

// Start and end of a replay: upload the batch into the orphaned stream buffers, then
// put the caller's bindings back and empty the batch.
void imm_upload();
void imm_restore();
