#include "script_fixture.h"

#include "race/race_state.h"
#include "race/track_load.h"
#include "race_fixture.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "terrain/track_list.h"

#include "duktape.h"

namespace scripttest {

void start(const bvtest::TempDir& root)
{
    racetest::start(root);
    // The ground with its tiles' materials: on heights alone every tile has no grip,
    // and automatic riders slide off the start and never get round.
    track_terrain_loader = headless::ground_only;
    script_install();
    // A test about the time limits sets the ones it checks.
    script_limit.call_budget_ms = kGenerousBudgetMs;
    script_limit.load_budget_ms = kGenerousBudgetMs;
    script_limit.heap_cap = size_t(4) << 20;
}

void game_limits_but_time()
{
    script_limit = kDefaultScriptLimits;
    script_limit.load_budget_ms = kGenerousBudgetMs;
    script_limit.call_budget_ms = kGenerousBudgetMs;
}

void write_track(const bvtest::TempDir& root, const std::string& name, const std::string& script)
{
    const std::string folder = racetest::user_folder(root) + "/tracks/" + name;
    for (const char* file : {"terrain.hf", "tilemap", "tileinfo"})
        bvtest::write_file(folder + "/" + file, racetest::data_bytes(std::string("tracks/flat/") + file));
    std::string gates = racetest::data_bytes("tracks/flat/timing_gates");
    gates = gates.substr(0, gates.find("normallap:")) + "normallap:\n1 100002 3 0\n";
    bvtest::write_file(folder + "/timing_gates", gates);
    bvtest::write_file(folder + "/statues", "[64 0 64] 0 @models/cube.jm @statues/hay.png null\n"
                                            "[70 0 70] 0 @startgate.jm null @startgate.shp\n");
    bvtest::write_file(folder + "/billboards", "[64 6 80] 8 1.3 @billboards/tree.png\n"
                                               "[60 0 60] 2 1 @billboards/tree.png\n"
                                               "[50 0 50] 1 1 null\n");
    if (!script.empty())
        bvtest::write_file(folder + "/nofrills.js", script);
}

void race_on(const std::string& name)
{
    static std::string folder;
    folder = "tracks/" + name;
    race_requested_folder = folder.c_str();
    race_opts.seed = 5;
    int32_t lineup[160] = {2, 0, 2};
    reset_race(lineup, 0, 0, 0, 2, 0);
}

namespace {

struct question {
    const char* code;
    std::string answer;
    bool stringify;
};

duk_ret_t ask(duk_context* ctx, void* udata)
{
    auto* q = static_cast<question*>(udata);
    if (duk_peval_string(ctx, q->code) != 0) {
        q->answer = std::string("error: ") + duk_safe_to_string(ctx, -1);
    } else if (q->stringify) {
        q->answer = duk_is_undefined(ctx, -1) ? "undefined" : duk_json_encode(ctx, -1);
    }
    duk_pop(ctx);
    return 0;
}

std::string evaluate(const std::string& code, bool stringify)
{
    if (!script_current)
        return "no script";
    question q{code.c_str(), "", stringify};
    if (duk_safe_call(script_current->engine, ask, &q, 0, 1) != 0)
        q.answer = "error: the question failed";
    duk_pop(script_current->engine);
    return q.answer;
}

}  // namespace

std::string js(const std::string& expression)
{
    return evaluate("(" + expression + ")", true);
}

int count_of(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::string run(const std::string& code)
{
    return evaluate(code, false);
}

}  // namespace scripttest
