// The engine's set-up, its memory and time limits, evaluation and calls by path.
#include "script/script_host.h"

#include "script/script_api.h"

#include "duktape.h"
#include "foundation/front_door.h"
#include "foundation/text/text_util.h"

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if !defined(DUK_USE_EXEC_TIMEOUT_CHECK)
#error "the script engine must be built with our configuration (execution-time check)"
#endif

script_limits script_limit = kDefaultScriptLimits;
script_host* script_current = nullptr;
size_t script_heap_bytes = 0;
int script_loading = 0;

namespace {

double now_seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Once past, the deadline stays expired until the outermost call returns: the engine
// rethrows at every catch point, so a script's try/catch cannot swallow it.
bool past_deadline(script_host* host)
{
    if (host->expired)
        return true;
    if (host->deadline > 0 && now_seconds() > host->deadline)
        host->expired = 1;
    return host->expired != 0;
}

// Every block carries its size in front, so the heap's live bytes are known.
constexpr size_t kHeader = 16;

void* heap_alloc(void* udata, duk_size_t size)
{
    auto* host = static_cast<script_host*>(udata);
    if (size > script_limit.heap_cap || host->live_bytes + size > script_limit.heap_cap || past_deadline(host))
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    host->live_bytes += size;
    script_heap_bytes += size;
    return block + kHeader;
}

void heap_free(void* udata, void* ptr)
{
    if (!ptr)
        return;
    auto* host = static_cast<script_host*>(udata);
    auto* block = static_cast<unsigned char*>(ptr) - kHeader;
    size_t size;
    std::memcpy(&size, block, sizeof size);
    host->live_bytes -= size;
    script_heap_bytes -= size;
    std::free(block);
}

void* heap_realloc(void* udata, void* ptr, duk_size_t size)
{
    if (!ptr)
        return heap_alloc(udata, size);
    if (size == 0) {
        heap_free(udata, ptr);
        return nullptr;
    }
    auto* host = static_cast<script_host*>(udata);
    auto* block = static_cast<unsigned char*>(ptr) - kHeader;
    size_t old;
    std::memcpy(&old, block, sizeof old);
    if (size > old && (size > script_limit.heap_cap || host->live_bytes - old + size > script_limit.heap_cap ||
                       past_deadline(host)))
        return nullptr;
    auto* grown = static_cast<unsigned char*>(std::realloc(block, size + kHeader));
    if (!grown)
        return nullptr;
    std::memcpy(grown, &size, sizeof size);
    host->live_bytes = host->live_bytes - old + size;
    script_heap_bytes = script_heap_bytes - old + size;
    return grown + kHeader;
}

void set_error(script_host* host, const char* text)
{
    std::snprintf(host->error_text, sizeof host->error_text, "%s", text ? text : "");
}

void arm(script_host* host, int32_t budget_ms)
{
    host->expired = 0;
    host->budget_ms = budget_ms;
    host->deadline = now_seconds() + budget_ms / 1000.0;
}

// Disarms and tells whether the call ran out; the stop is reported once, naming what ran.
bool disarm(script_host* host, const char* what)
{
    const bool ran_out = host->expired != 0;
    host->deadline = 0;
    host->expired = 0;
    if (ran_out && !host->stopped) {
        host->stopped = 1;
        std::snprintf(host->error_text, sizeof host->error_text, "track script stopped: %.*s ran longer than %d ms",
                      int(text_cut_length(what, 200)), what, int(host->budget_ms));
        script_report_error(host);
    }
    return ran_out;
}

// The error value on top of the stack as text; inside a protected call.
duk_ret_t error_to_text(duk_context* ctx, void* udata)
{
    set_error(static_cast<script_host*>(udata), duk_safe_to_string(ctx, -1));
    return 0;
}

// Takes the error value a protected call left on top (the safe call consumes it).
// Its text may be script code (a toString), so this runs while the deadline is armed.
void take_error(script_host* host)
{
    if (duk_safe_call(host->engine, error_to_text, host, 1, 0) != DUK_EXEC_SUCCESS)
        set_error(host, "error");
}

struct eval_job {
    script_host* host;
    const char* text;
    int ok;
};

duk_ret_t eval_protected(duk_context* ctx, void* udata)
{
    auto* job = static_cast<eval_job*>(udata);
    job->ok = duk_peval_string(ctx, job->text) == 0;
    if (!job->ok)
        set_error(job->host, duk_safe_to_string(ctx, -1));
    duk_pop(ctx);
    return 0;
}

constexpr int kMaxPathArguments = 8;

struct call_job {
    script_host* host;
    const char* path;
    const char* arguments[kMaxPathArguments];
    int argument_count;
    int result;
};

duk_ret_t call_protected(duk_context* ctx, void* udata)
{
    auto* job = static_cast<call_job*>(udata);
    script_host* host = job->host;
    duk_push_global_object(ctx);
    const char* component = job->path;
    char name[1024];
    for (;;) {
        const char* dot = std::strchr(component, '.');
        const size_t length = dot ? size_t(dot - component) : std::strlen(component);
        if (length >= sizeof name || !duk_is_object(ctx, -1)) {
            duk_pop(ctx);
            std::snprintf(host->error_text, sizeof host->error_text, "can't find %.800s", component);
            job->result = 0;
            return 0;
        }
        std::memcpy(name, component, length);
        name[length] = 0;
        duk_get_prop_string(ctx, -1, name);
        duk_swap_top(ctx, -2);
        duk_pop(ctx);
        if (!dot)
            break;
        component = dot + 1;
    }
    if (!duk_is_function(ctx, -1)) {
        duk_pop(ctx);
        std::snprintf(host->error_text, sizeof host->error_text, "%.800s is not a function", name);
        job->result = 0;
        return 0;
    }
    for (int i = 0; i < job->argument_count; ++i)
        duk_push_string(ctx, job->arguments[i]);
    const int code = duk_pcall(ctx, job->argument_count);
    if (code != DUK_EXEC_SUCCESS) {
        set_error(host, duk_safe_to_string(ctx, -1));
        job->result = code;
    } else {
        set_error(host, "");
        job->result = script_api::to_int(duk_get_number_default(ctx, -1, 0));
    }
    duk_pop(ctx);
    return 0;
}

struct register_job {
    const char* namespace_name;
    const char* const* names;
    const script_native* functions;
    const int* arg_counts;
};

duk_ret_t register_protected(duk_context* ctx, void* udata)
{
    auto* job = static_cast<register_job*>(udata);
    if (job->namespace_name && *job->namespace_name) {
        duk_push_object(ctx);
        duk_dup_top(ctx);
        duk_put_global_string(ctx, job->namespace_name);
    } else {
        duk_push_global_object(ctx);
    }
    for (int i = 0; job->names[i]; ++i) {
        duk_push_c_function(ctx, job->functions[i], job->arg_counts[i]);
        duk_put_prop_string(ctx, -2, job->names[i]);
    }
    duk_pop(ctx);
    return 0;
}

} // namespace

extern "C" int bv_script_deadline_passed(void* udata)
{
    return udata && past_deadline(static_cast<script_host*>(udata)) ? 1 : 0;
}

script_host* script_host_create()
{
    auto* host = static_cast<script_host*>(std::calloc(1, sizeof(script_host)));
    if (!host)
        return nullptr;
    host->engine = duk_create_heap(heap_alloc, heap_realloc, heap_free, host, nullptr);
    if (!host->engine) {
        std::free(host);
        return nullptr;
    }
    host->error_text[0] = 0;
    return host;
}

void script_host_destroy(script_host* host)
{
    if (!host)
        return;
    // Finalizers are script code: the teardown gets the loading budget.
    arm(host, script_limit.load_budget_ms);
    host->stopped = 1;   // a finalizer that runs out stops quietly
    duk_destroy_heap(host->engine);
    std::free(host);
}

int script_register_functions(script_host* host, const char* namespace_name, const char* const* names,
                              const script_native* functions, const int* arg_counts)
{
    register_job job{namespace_name, names, functions, arg_counts};
    if (duk_safe_call(host->engine, register_protected, &job, 0, 1) != DUK_EXEC_SUCCESS)
        take_error(host);
    else
        duk_pop(host->engine);
    return 1;
}

int script_eval(script_host* host, const char* text)
{
    eval_job job{host, text, 0};
    arm(host, script_limit.load_budget_ms);
    const int code = duk_safe_call(host->engine, eval_protected, &job, 0, 1);
    if (code != DUK_EXEC_SUCCESS) {
        job.ok = 0;
        take_error(host);
    } else {
        duk_pop(host->engine);
    }
    const bool ran_out = disarm(host, "loading");
    if (ran_out)
        return 0;
    if (job.ok)
        set_error(host, "");
    return job.ok;
}

int script_call_path(script_host* host, const char* path, ...)
{
    call_job job{};
    job.host = host;
    job.path = path;
    va_list list;
    va_start(list, path);
    for (const char* a = va_arg(list, const char*); a && job.argument_count < kMaxPathArguments;
         a = va_arg(list, const char*))
        job.arguments[job.argument_count++] = a;
    va_end(list);
    if (host->stopped)
        return 0;
    arm(host, script_limit.call_budget_ms);
    const int code = duk_safe_call(host->engine, call_protected, &job, 0, 1);
    if (code != DUK_EXEC_SUCCESS)
        take_error(host);
    else
        duk_pop(host->engine);
    const bool ran_out = disarm(host, path);
    if (code != DUK_EXEC_SUCCESS)
        return code;
    return ran_out ? DUK_EXEC_ERROR : job.result;
}

const char* script_error_text(const script_host* host)
{
    return host->error_text;
}

void script_report_error(const script_host* host)
{
    if (!host->error_text[0])
        return;
    char line[1024];
    std::snprintf(line, sizeof line, "javascript error: %.900s\n", host->error_text);
    console_print(line);
}

void script_get_floats(duk_context* ctx, int argument, float out[], int n)
{
    if (!duk_is_object(ctx, argument)) {
        for (int i = 0; i < n; ++i)
            out[i] = NAN;
        return;
    }
    for (int i = 0; i < n; ++i) {
        duk_get_prop_index(ctx, argument, duk_uarridx_t(i));
        out[i] = float(duk_get_number(ctx, -1));
        duk_pop(ctx);
    }
}

void script_put_floats(duk_context* ctx, int argument, const float in[], int n)
{
    if (!duk_is_object(ctx, argument))
        return;
    for (int i = 0; i < n; ++i) {
        duk_push_number(ctx, in[i]);
        duk_put_prop_index(ctx, argument, duk_uarridx_t(i));
    }
}
