// The track script's host: one script engine per loaded track, the native API on the
// namespace object "bv", the built-in prelude, calls by dotted path with text
// arguments and the text of the last error.
//
// Scripts arrive with downloaded tracks, so every entry into the engine runs under a
// deadline and the engine's heap under a byte cap; a call that runs out of time stops
// the script for the rest of the track (its handlers then do nothing).
#pragma once
#include <cstddef>
#include <cstdint>

struct duk_hthread;
typedef duk_hthread duk_context;

// The limits a script runs under. Tests lower them to stay quick.
struct script_limits {
    int32_t load_budget_ms;          // each evaluation while loading, and the engine's teardown
    int32_t call_budget_ms;          // each handler call
    size_t heap_cap;                 // live bytes of one engine
    size_t pose_memory;              // bytes of pose sequences per script
    int32_t max_added_statues;       // per load
    int32_t max_added_billboards;    // per load
    int32_t max_path_messages;       // refused file names reported per load
};
inline constexpr script_limits kDefaultScriptLimits = {2000, 100, size_t(32) << 20, size_t(64) << 20, 1024, 8192, 8};
extern script_limits script_limit;

struct script_host {
    duk_context* engine;
    char error_text[1024];           // "" after a success, at most 1023 characters
    size_t live_bytes;               // of the engine's heap
    double deadline;                 // steady-clock seconds; 0 = none armed
    int32_t budget_ms;               // of the armed deadline
    int32_t expired;                 // the armed deadline has passed
    int32_t stopped;                 // a call ran out of time: handlers do nothing
};

// Live bytes of every engine's heap together (0 once every engine is gone).
extern size_t script_heap_bytes;

extern script_host* script_current;
extern int script_loading;

// The native functions, registered in this order on "bv" (61 entries and a null name).
typedef int (*script_native)(duk_context* ctx);
extern const char* const script_api_names[];
extern const script_native script_api_functions[];
extern const int script_api_arg_counts[];
inline constexpr int kScriptApiFunctions = 61;

script_host* script_host_create();
void script_host_destroy(script_host* host);
int script_register_functions(script_host* host, const char* namespace_name, const char* const* names,
                              const script_native* functions, const int* arg_counts);
// 1 on success, 0 on an error (its text kept).
int script_eval(script_host* host, const char* text);
// Calls the function a dotted path names with text arguments ended by a null. The
// function's number result truncated, 0 when the path does not lead to a function,
// and the engine's failure code when the call throws.
int script_call_path(script_host* host, const char* path, ...);
const char* script_error_text(const script_host* host);
// Prints "javascript error: <text>" for a non-empty error text.
void script_report_error(const script_host* host);

// Nonzero once the armed deadline of the host (its heap's user data) has passed; the
// engine asks this, and so does long work done for the script outside the engine.
extern "C" int bv_script_deadline_passed(void* udata);

int script_load(const char* path);
void script_unload();

// Array arguments of the natives. A non-object reads as all NaN and is not written.
void script_get_floats(duk_context* ctx, int argument, float out[], int n);
void script_put_floats(duk_context* ctx, int argument, const float in[], int n);

// The built-in prelude.
extern const char* const script_prelude;
