// The server's text commands, tried in order; anything else is ignored.
#include "foundation/text/scan.h"
#include "foundation/front_door.h"
#include "race/net/net_client.h"
#include "race/net/net_messages.h"
#include "race/net/net_upload.h"
#include "race/race_hooks.h"
#include "race/race_riders.h"
#include "race/program/run_clock.h"
#include "race/program/settings_values.h"
#include "sim/bike_step.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr int64_t kKnockoutMax = 460800;

bool is_blank(char c)
{
    return isspace(static_cast<unsigned char>(c)) != 0;
}

const char* skip_blanks(const char* p)
{
    while (is_blank(*p))
        ++p;
    return p;
}

// A base-10 number at p, saturated to 64 bits; p moves past it. 0 when none is there.
int read_number(const char** p, int64_t* value)
{
    const char* s = skip_blanks(*p);
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    if (!isdigit(static_cast<unsigned char>(*s)))
        return 0;
    int64_t v = 0;
    for (; isdigit(static_cast<unsigned char>(*s)); ++s)
        v = std::min<int64_t>(v * 10 + (*s - '0'), kKnockoutMax * 1000);
    *value = negative ? -v : v;
    *p = s;
    return 1;
}

// 16 numbers after the word; a missing one repeats the one before (0 for the first),
// and the reading stays where it stopped.
void knockout(const char* text)
{
    const char* p = skip_blanks(text) + strlen("knockout");
    int64_t previous = 0;
    for (int32_t& entry : knockout_table) {
        int64_t v;
        if (read_number(&p, &v))
            previous = std::clamp<int64_t>(v, 0, kKnockoutMax);
        entry = int32_t(previous);
    }
}

void erode(const char* text)
{
    int race_id = 0, amount = 0;
    if (scan_string(text, "erode %d %d", &race_id, &amount) != 2) {
        console_print("Malformed erode command received");
        return;
    }
    if (uint32_t(race_id) != net_race_id)
        return;
    const int32_t old = track_terrain.erosion_amount;
    track_terrain.erosion_amount = amount;
    if (!(old == -1 && amount == 0)) {
        char block[32];
        const int n = snprintf(block, sizeof block, "erode %d", amount);
        race_hooks.demo_record_event(3, block, n);
    }
    if (amount > 0)
        race.force_reload = 1;
}

void redirect(const char* text)
{
    const char* p = skip_blanks(skip_blanks(text) + strlen("redirect"));
    size_t n = std::min<size_t>(strlen(p), sizeof net_redirect_target - 1);
    while (n > 0 && is_blank(p[n - 1]))
        --n;
    memcpy(net_redirect_target, p, n);
    net_redirect_target[n] = '\0';
    net_redirect_time = run_clock + 10;
    char line[180];
    snprintf(line, sizeof line, "Redirecting to '%s' in 10 seconds", net_redirect_target);
    console_print(line);
}

void no_arcade()
{
    net_arcade_disabled = 1;
    if (setup.arcade)
        console_print("Arcade physics disabled");
    for (int32_t k = 0; k < kRaceSlots; ++k)
        if (race.kinds[k] == rider_kind_local && race_rider_exists(k))
            bike_set_arcade(&rider_slots[k], 0);
}

}  // namespace

int word_match(const char* text, const char* word)
{
    const char* p = skip_blanks(text);
    const size_t n = strlen(word);
    return strncmp(p, word, n) == 0 && (p[n] == '\0' || is_blank(p[n]));
}

void net_text_command(const char* text)
{
    float value = 0;
    if (strcmp(text, "no_arcade") == 0)
        no_arcade();
    else if (scan_string(text, "off_course_bias %f", &value) == 1)
        off_course_bias = value;
    else if (scan_string(text, "off_course_scale %f", &value) == 1)
        off_course_scale = value;
    else if (word_match(text, "knockout"))
        knockout(text);
    else if (word_match(text, "erode"))
        erode(text);
    else if (strcmp(text, "sendready") == 0)
        net_upload_allow();
    else if (word_match(text, "senddenied"))
        net_upload_deny();
    else if (word_match(text, "redirect"))
        redirect(text);
}
