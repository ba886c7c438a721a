// The check that the seven stock collision-shape files are the shipped ones: the
// network client refuses to join a server otherwise.
#pragma once

// The files in the order their bytes enter the digest.
extern const char* const stock_shape_files[7];

// RIPEMD-160 over the seven files (a missing file adds nothing), as 40 lower-case hex
// digits and the NUL.
void stock_shapes_digest(char hex[41]);
// 1 when the digest equals one of the accepted stock sets.
int stock_shapes_match(const char* hex);
// Computes and stores the stock-shapes flag; returns it.
int stock_shapes_check();
extern int stock_shapes_flag;
