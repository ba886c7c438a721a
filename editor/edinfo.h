// "edinfo": the editor's side file in the track folder, holding the gradients.
#pragma once

struct vfs_file;

// Fills the gradients from "@" + track folder + "/edinfo"; a missing file gives none.
// Malformed lines and values that are not finite are skipped.
void edinfo_read();
// Writes every gradient's lines into an open file; 1 when every line went out.
int edinfo_write(vfs_file* f, void* context);
