// The registration tables of the native API.
#include "script/script_api.h"
#include "script/script_host.h"

#include "race/race_riders.h"
#include "race/race_state.h"
#include "sim/rider_slot.h"
#include "terrain/statues.h"

#define SCRIPT_API_NAME(name, count) #name,
#define SCRIPT_API_FUNCTION(name, count) script_##name,
#define SCRIPT_API_COUNT(name, count) count,

const char* const script_api_names[] = {SCRIPT_API_FUNCTIONS(SCRIPT_API_NAME) nullptr};
const script_native script_api_functions[] = {SCRIPT_API_FUNCTIONS(SCRIPT_API_FUNCTION) nullptr};
const int script_api_arg_counts[] = {SCRIPT_API_FUNCTIONS(SCRIPT_API_COUNT) 0};

static_assert(sizeof script_api_names / sizeof script_api_names[0] == kScriptApiFunctions + 1);

namespace script_api {

int32_t to_int(double d)
{
    if (!(d > -2147483649.0 && d < 2147483648.0))
        return INT32_MIN;
    return int32_t(d);
}

rider_slot* rider_of(int32_t slot)
{
    if (slot < 0 || slot >= kRaceSlots || !race_rider_exists(slot))
        return nullptr;
    return &rider_slots[slot];
}

statue* statue_of(int32_t index)
{
    const int64_t a = int64_t(index) + first_track_statue;
    if (a < 0 || a >= statue_count())
        return nullptr;
    return statue_at(int32_t(a));
}

} // namespace script_api
