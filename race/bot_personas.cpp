#include "race/bot_personas.h"

#include <cstdio>
#include <cstring>
#include <utility>

int32_t persona_order[kBotPersonas];

namespace {

constexpr const char* kBody[] = {nullptr, "@rider_body-alt1.png", "@rider_body-alt2.png", "@rider_body-alt3.png"};
constexpr const char* kHead[] = {nullptr, "@rider_head-alt1.png", "@rider_head-alt2.png", "@rider_head-alt3.png"};

}  // namespace

// number, personality, bike, body, head, bike texture, wheel texture.
const bot_persona bot_persona_table[kBotPersonas] = {
    {"20", "vardle", "kx125", kBody[0], kHead[0], nullptr, nullptr},
    {"21", "vardle", "kx125", kBody[1], kHead[1], nullptr, nullptr},
    {"22", "vardle", "kx125", kBody[2], kHead[2], nullptr, nullptr},
    {"23", "vardle", "kx125", kBody[3], kHead[3], "@kx125-alt1.png", "@wheels-alt1.png"},
    {"24", "vardle", "kx125", kBody[0], kHead[0], nullptr, nullptr},
    {"25", "vardle", "yz125", kBody[1], kHead[1], nullptr, nullptr},
    {"26", "vardle", "yz125", kBody[2], kHead[2], nullptr, nullptr},
    {"27", "vardle", "yz125", kBody[3], kHead[3], "@yz125-alt1.png", "@wheels-alt1.png"},
    {"28", "vardle", "yz125", kBody[0], kHead[0], nullptr, nullptr},
    {"29", "vardle", "yz125", kBody[1], kHead[1], nullptr, nullptr},
    {"30", "vardle", "cr125", kBody[2], kHead[2], nullptr, nullptr},
    {"31", "vardle", "cr125", kBody[3], kHead[3], "@cr125-alt1.png", "@wheels-alt1.png"},
    {"32", "vardle", "cr125", kBody[0], kHead[0], nullptr, nullptr},
    {"33", "vardle", "cr125", kBody[1], kHead[1], nullptr, nullptr},
    {"34", "vardle", "cr125", kBody[2], kHead[2], nullptr, nullptr},
    {"35", "vardle", "rm125", kBody[3], kHead[3], "@rm125-alt1.png", "@wheels-alt1.png"},
    {"36", "vardle", "rm125", kBody[0], kHead[0], nullptr, nullptr},
    {"37", "vardle", "rm125", kBody[1], kHead[1], nullptr, nullptr},
    {"38", "vardle", "rm125", kBody[2], kHead[2], nullptr, nullptr},
    {"39", "vardle", "rm125", kBody[3], kHead[3], nullptr, nullptr},
    {"40", "ostro", "crf250", kBody[0], kHead[0], nullptr, nullptr},
    {"41", "ostro", "crf250", kBody[1], kHead[1], nullptr, nullptr},
    {"42", "ostro", "crf250", kBody[2], kHead[2], nullptr, nullptr},
    {"43", "ostro", "crf250", kBody[3], kHead[3], nullptr, nullptr},
    {"44", "ostro", "crf250", kBody[0], kHead[0], nullptr, nullptr},
    {"45", "ostro", "kx250f", kBody[1], kHead[1], nullptr, nullptr},
    {"46", "ostro", "kx250f", kBody[2], kHead[2], nullptr, nullptr},
    {"47", "ostro", "kx250f", kBody[3], kHead[3], nullptr, nullptr},
    {"48", "ostro", "kx250f", kBody[0], kHead[0], nullptr, nullptr},
    {"49", "ostro", "kx250f", kBody[1], kHead[1], nullptr, nullptr},
    {"50", "ostro", "rmz250", kBody[2], kHead[2], nullptr, nullptr},
    {"51", "ostro", "rmz250", kBody[3], kHead[3], nullptr, nullptr},
    {"52", "ostro", "rmz250", kBody[0], kHead[0], nullptr, nullptr},
    {"53", "ostro", "rmz250", kBody[1], kHead[1], nullptr, nullptr},
    {"54", "ostro", "yz250f", kBody[2], kHead[2], nullptr, nullptr},
    {"55", "ostro", "yz250f", kBody[3], kHead[3], nullptr, nullptr},
    {"56", "ostro", "yz250f", kBody[0], kHead[0], nullptr, nullptr},
    {"57", "ostro", "yz250f", kBody[1], kHead[1], nullptr, nullptr},
    {"58", "ostro", "yz250f", kBody[2], kHead[2], nullptr, nullptr},
    {"59", "ostro", "yz250f_se(2006)", kBody[3], kHead[3], nullptr, nullptr},
    {"60", "vardle", "crf250", kBody[0], kHead[0], nullptr, nullptr},
    {"61", "vardle", "crf250", kBody[1], kHead[1], nullptr, nullptr},
    {"62", "vardle", "crf250", kBody[2], kHead[2], nullptr, nullptr},
    {"63", "vardle", "crf250", kBody[3], kHead[3], nullptr, nullptr},
    {"64", "vardle", "crf250", kBody[0], kHead[0], nullptr, nullptr},
    {"65", "vardle", "kx250f", kBody[1], kHead[1], nullptr, nullptr},
    {"66", "vardle", "kx250f", kBody[2], kHead[2], nullptr, nullptr},
    {"67", "vardle", "kx250f", kBody[3], kHead[3], nullptr, nullptr},
    {"68", "vardle", "kx250f", kBody[0], kHead[0], nullptr, nullptr},
    {"69", "vardle", "kx250f", kBody[1], kHead[1], nullptr, nullptr},
    {"70", "vardle", "rmz250", kBody[2], kHead[2], nullptr, nullptr},
    {"71", "vardle", "rmz250", kBody[3], kHead[3], nullptr, nullptr},
    {"72", "vardle", "rmz250", kBody[0], kHead[0], nullptr, nullptr},
    {"73", "vardle", "rmz250", kBody[1], kHead[1], nullptr, nullptr},
    {"74", "vardle", "rmz250", kBody[2], kHead[2], nullptr, nullptr},
    {"75", "vardle", "yz250f", kBody[3], kHead[3], nullptr, nullptr},
    {"76", "vardle", "yz250f", kBody[0], kHead[0], nullptr, nullptr},
    {"77", "vardle", "yz250f", kBody[1], kHead[1], nullptr, nullptr},
    {"78", "vardle", "yz250f", kBody[2], kHead[2], nullptr, nullptr},
    {"79", "vardle", "yz250f_se(2006)", kBody[3], kHead[3], nullptr, nullptr},
    {"80", "sollo", "crf250", kBody[1], kHead[1], "@crf250-alt1.png", "@wheels-alt1.png"},
    {"81", "sollo", "crf250", kBody[2], kHead[2], "@crf250-alt2.png", "@wheels-alt2.png"},
    {"82", "sollo", "crf250", kBody[3], kHead[3], "@crf250-alt1.png", "@wheels-alt1.png"},
    {"83", "sollo", "crf250", kBody[1], kHead[1], "@crf250-alt2.png", "@wheels-alt2.png"},
    {"84", "sollo", "crf250", kBody[2], kHead[2], "@crf250-alt1.png", "@wheels-alt1.png"},
    {"85", "sollo", "kx250f", kBody[3], kHead[3], "@kx250f-alt2.png", "@wheels-alt2.png"},
    {"86", "sollo", "kx250f", kBody[1], kHead[1], "@kx250f-alt1.png", "@wheels-alt1.png"},
    {"87", "sollo", "kx250f", kBody[2], kHead[2], "@kx250f-alt2.png", "@wheels-alt2.png"},
    {"88", "sollo", "kx250f", kBody[3], kHead[3], "@kx250f-alt1.png", "@wheels-alt1.png"},
    {"89", "sollo", "kx250f", kBody[1], kHead[1], "@kx250f-alt2.png", "@wheels-alt2.png"},
    {"90", "sollo", "yz250f", kBody[2], kHead[2], "@yz250f-alt1.png", "@wheels-alt1.png"},
    {"91", "sollo", "yz250f", kBody[3], kHead[3], "@yz250f-alt2.png", "@wheels-alt2.png"},
    {"92", "sollo", "yz250f", kBody[1], kHead[1], "@yz250f-alt1.png", "@wheels-alt1.png"},
    {"93", "sollo", "yz250f", kBody[2], kHead[2], "@yz250f-alt2.png", "@wheels-alt2.png"},
    {"94", "sollo", "yz250f", kBody[3], kHead[3], "@yz250f-alt1.png", "@wheels-alt1.png"},
    {"95", "sollo", "rmz250", kBody[1], kHead[1], "@rmz250-alt2.png", "@wheels-alt2.png"},
    {"96", "sollo", "rmz250", kBody[2], kHead[2], "@rmz250-alt1.png", "@wheels-alt1.png"},
    {"97", "sollo", "rmz250", kBody[3], kHead[3], "@rmz250-alt2.png", "@wheels-alt2.png"},
    {"98", "sollo", "rmz250", kBody[1], kHead[1], "@rmz250-alt1.png", "@wheels-alt1.png"},
    {"99", "sollo", "rmz250", kBody[2], kHead[2], "@rmz250-alt2.png", "@wheels-alt2.png"},
};

int32_t bot_persona_pick(int32_t lineup_value, int32_t* cursor)
{
    if (lineup_value > 999) {
        char number[16];
        snprintf(number, sizeof number, "%d", lineup_value - 1000);
        for (int32_t row = 0; row < kBotPersonas; ++row)
            if (strcmp(bot_persona_table[row].number, number) == 0)
                return row;
    }
    // More bots than personas start the order again rather than run past its end.
    const int32_t next = *cursor % kBotPersonas;
    ++*cursor;
    if (lineup_value == 3 || lineup_value == 4) {
        const char* size = lineup_value == 3 ? "125" : "250";
        for (int32_t j = kBotPersonas - 1; j > next; --j)
            if (strstr(bot_persona_table[persona_order[j]].bike, size)) {
                std::swap(persona_order[next], persona_order[j]);
                break;
            }
    }
    return persona_order[next];
}

const char* current_bike_name(const char* bike)
{
    static const char* const renamed[][2] = {{"crf250", "crf250(2008)"},
                                             {"kx250f", "kx250f(2008)"},
                                             {"rmz250", "rmz250(2008)"},
                                             {"yz250f", "yz250f(2008)"}};
    for (const auto& pair : renamed)
        if (strcmp(bike, pair[0]) == 0)
            return pair[1];
    return bike;
}
