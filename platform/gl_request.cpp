// The version and profile that the next GL open asks for, and the choice between an ES,
// a core and a compatibility context that the options make of it.
#include "platform/gl_context.h"
#include "platform/qorl_log.h"

#include <cstring>

namespace {
int requested_major = 3;
int requested_minor = 1;
int requested_profile = QORL_PROFILE_CORE;
}  // namespace

void qorl_gl_request_version(int major, int minor, int profile)
{
    requested_major = major;
    requested_minor = minor;
    requested_profile = profile;
}

qorl_gl_options qorl_gl_read_options()
{
    qorl_gl_options options{};
    options.gles = qorl_option_bool("gles", requested_profile == QORL_PROFILE_ES);
    options.glcore = qorl_option_bool("glcore", requested_profile == QORL_PROFILE_CORE);
    options.major = qorl_option_int("glmajor", requested_major);
    options.minor = qorl_option_int("glminor", requested_minor);
    return options;
}

qorl_gl_request qorl_gl_resolve_request(const qorl_gl_options& options, int es_available)
{
    qorl_gl_request request{};
    request.major = options.major;
    request.minor = options.minor;
    if (options.gles && es_available) {
        request.es = 1;
        return request;
    }
    request.core = options.glcore ? 1 : 0;
    // Profiles begin at 3.2; a 3.0 or 3.1 context without the deprecated calls is the
    // forward-compatible one (asked without it, drivers hand out a compatibility context).
    request.forward_compatible = request.core && request.major == 3 && request.minor < 2;
    return request;
}

bool qorl_has_extension(const char* list, const char* name)
{
    if (!list || !name || !*name)
        return false;
    size_t length = strlen(name);
    for (const char* at = strstr(list, name); at; at = strstr(at + 1, name)) {
        bool starts = at == list || at[-1] == ' ';
        bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends)
            return true;
    }
    return false;
}
