// Interned strings: one shared copy per distinct text, alive until shutdown.
#pragma once

const char* intern_string(const char* text);
// Frees every interned text and the table (shutdown).
void intern_free_all();
