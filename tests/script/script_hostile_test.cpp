// Hostile track scripts: endless loops and endless memory at load and in handlers, a
// catastrophic regular expression, a finalizer that never ends, errors thrown where
// the host reads them, endless work inside built-in functions, file names outside the
// game's data or too long, additions past their caps, floods of messages and sounds
// that inflate without end. None of them may hang, abort or leak; the race goes on.
#include "script_fixture.h"

#include "race/race_state.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "script/script_tables.h"
#include "platform/qorl_audio.h"
#include "race/program/audio_start.h"
#include "race_fixture.h"
#include "support/archive_bytes.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "view/script_sounds.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

using bvtest::Problems;

// The script's own console lines.
std::string script_lines(const std::string& text)
{
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        if (text.compare(at, 17, "javascript error:") == 0)
            out += text.substr(at, end - at);
        at = end;
    }
    return out;
}

// Time bounds stretch in the sanitizer build, which runs script code several times slower.
constexpr double kSlowdown = bvtest::kUnderSanitizers ? 5 : 1;

// Timed by this thread's processor time: a script its deadline stopped has used no
// more than the deadline, however long a busy machine kept it waiting.
double thread_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double seconds_since(double start)
{
    return thread_seconds() - start;
}

// The game's own stop lines.
const std::string kHandlerStop = "javascript error: track script stopped: bv.tic_handler_ ran longer than 100 ms\n";
const std::string kLoadStop = "javascript error: track script stopped: loading ran longer than 2000 ms\n";

// Runs what, which must end within the seconds given and print just the stop line.
void stops_within(Problems& p, const std::function<void()>& what, double seconds, const std::string& stop_line,
                  const std::string& name)
{
    ConsoleCapture lines;
    const double start = thread_seconds();
    what();
    p.check(seconds_since(start) < seconds * kSlowdown, name + ": took too long");
    p.same(script_lines(lines.text()), stop_line, name + ": the stop line");
}

TEST(ScriptHostile, RunawayScriptsStopOnceAtLoadAndInHandlers)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        const char* const bodies[] = {
            "for (;;) {}",
            "for (;;) { try { for (;;) {} } catch (e) {} }",
            "new Array(1e9).join('');",
        };
        for (int i = 0; i < 3; ++i) {
            scripttest::write_track(root, "t" + std::to_string(i), bodies[i]);
            scripttest::write_track(root, "h" + std::to_string(i),
                                    std::string("bv.tic_handler = function () { ") + bodies[i] + " };");
        }
        script_limit.call_budget_ms = 20;
        int n = 0;
        for (const char* body : bodies) {
            const std::string at_load = "t" + std::to_string(n);
            ConsoleCapture lines;
            script_limit.load_budget_ms = 200;
            double start = thread_seconds();
            scripttest::race_on(at_load);
            p.check(seconds_since(start) < 1.5 * kSlowdown, std::string("load took too long: ") + body);
            p.same(script_lines(lines.text()), "javascript error: track script stopped: loading ran longer than 200 ms\n",
                   std::string("load stop line: ") + body);
            ConsoleCapture after;
            script_call_tic_handler();
            p.check(script_lines(after.text()).empty() && script_current, "a stopped script printed again");

            script_limit.load_budget_ms = scripttest::kGenerousBudgetMs;   // only the handler is stopped on these
            scripttest::race_on("h" + std::to_string(n++));
            if (!script_current)
                return p.text + "no script on the handler track\n";
            ConsoleCapture stop;
            start = thread_seconds();
            script_call_tic_handler();
            p.check(seconds_since(start) < 1 * kSlowdown, std::string("handler took too long: ") + body);
            script_call_tic_handler();
            script_call_frame_handler();
            p.same(script_lines(stop.text()), "javascript error: track script stopped: bv.tic_handler_ ran longer than 20 ms\n",
                   std::string("handler stop line: ") + body);
        }
        return p.text;
    });
}

TEST(ScriptHostile, OrdinaryErrorsInHandlersStayQuiet)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        script_limit.call_budget_ms = scripttest::kGenerousBudgetMs;   // deep recursion is slow under the sanitizers
        scripttest::write_track(root, "throws",
                                "var calls = 0; bv.tic_handler = function () { calls++; throw new Error('tick ' + calls); };"
                                "bv.frame_handler = function () { (function f() { f(); })(); };"
                                "bv.script_message_handler = 5;");
        scripttest::race_on("throws");
        ConsoleCapture quiet;
        for (int i = 0; i < 3; ++i)
            script_call_tic_handler();
        p.same(script_error_text(script_current), "Error: tick 3", "the error text");
        script_call_frame_handler();
        p.check(std::string(script_error_text(script_current)).find("RangeError") == 0, "deep recursion");
        script_call_message_handler("x");
        p.check(std::string(script_error_text(script_current)).find("TypeError") == 0, "a non-function handler");
        scripttest::run("delete bv.tic_handler;");
        script_call_tic_handler();
        p.same(script_error_text(script_current), "", "a deleted handler is skipped");
        p.same(scripttest::js("calls"), "3", "calls");
        // A catastrophic pattern without captures ends within a second.
        script_limit.call_budget_ms = 1000;
        double start = thread_seconds();
        scripttest::run("bv.tic_handler = function () { /(?:a|a)*$/.test(new Array(41).join('a') + '!'); };");
        script_call_tic_handler();
        p.check(seconds_since(start) < 1 * kSlowdown, "the regular expression ran on");
        p.check(quiet.text().empty() || quiet.text().find("stopped") != std::string::npos, "printed: " + quiet.text());
        return p.text;
    });
}

TEST(ScriptHostile, MemoryStopsAtTheCapAndTheScriptStaysUsable)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        script_limit.heap_cap = size_t(1) << 20;
        // A full heap collects on every refusal, in the load and in each handler call:
        // slow on a busy machine under the sanitizers. The fixture's budgets leave room.
        scripttest::write_track(root, "memory",
                                "var keep = []; var errors = [];"
                                "try { var s = 'x'; for (;;) s += s; } catch (e) { errors.push(String(e)); }"
                                "try { new ArrayBuffer(1 << 30); } catch (e) { errors.push(String(e)); }"
                                "bv.tic_handler = function () { try { for (var i = 0; i < 2000; i++) keep.push([i]); }"
                                " catch (e) { keep.length = keep.length - 10; } };");
        ConsoleCapture lines;
        scripttest::race_on("memory");
        p.same(scripttest::js("errors"), "[\"Error: alloc failed\",\"Error: alloc failed\"]", "errors");
        p.check(script_current->live_bytes <= script_limit.heap_cap, "live bytes past the cap");
        for (int i = 0; i < 1000; ++i) {
            script_call_tic_handler();
            if (script_current->live_bytes > script_limit.heap_cap)
                p.check(false, "live bytes past the cap in a handler");
        }
        p.same(scripttest::js("1 + 1"), "2", "usable after a full heap");
        p.check(script_lines(lines.text()).empty(), "printed: " + script_lines(lines.text()));
        return p.text;
    });
}

TEST(ScriptHostile, AFinalizerThatNeverEndsDoesNotHangTheUnload)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "fin", "var o = {}; Duktape.fin(o, function () { for (;;) {} }); o = null;"
                                             "var k = {}; Duktape.fin(k, function () { for (;;) {} });");
        // The load's budget stops the first finalizer (its object goes at load), the
        // teardown's (the same) the second.
        script_limit.load_budget_ms = 200;
        scripttest::race_on("fin");
        double start = thread_seconds();
        script_unload();
        p.check(seconds_since(start) < 1.5 * kSlowdown && !script_current, "the unload hung");
        return p.text;
    });
}

TEST(ScriptHostile, FileNamesOutsideTheGameDataAreRefused)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        // A case twin of the track's folder is another download, however the index matches
        // names: its script reads no file of the track spelt so.
        const char* const refused[] = {"/dev/zero", "/etc/passwd", "@../x.png", "@tracks/paths/../flat/x.png",
                                       "@tracks/flat/x.png", "@config", "relative.png", "@a\\\\b.png",
                                       "@tracks/Paths/x.png", "@Tracks/paths/x.png"};
        std::string script = "var r = [];";
        for (const char* name : refused) {
            const std::string n = std::string("'") + name + "'";
            script += "r.push([bv.read_texture(" + n + "), bv.add_sound(" + n + "), bv.add_statue(0, 0, 0, 0, " + n +
                      ", '', ''), bv.add_billboard(0, 0, 0, 1, 1, " + n + ")].join());";
        }
        // "//" is one "/", as everywhere a name is read.
        script += "var ok = [bv.add_billboard(0, 0, 0, 1, 1, '#ff0000#@tracks/paths/x.png') >= 0,"
                  " bv.read_texture('!@tracks/paths/x.png') >= 0, bv.add_statue(0, 0, 0, 0, '@startgate.jm', '', '') >= 0,"
                  " bv.add_statue(0, 0, 0, 0, '@tracks//paths/x.png', '', '') >= 0];";
        scripttest::write_track(root, "paths", script);
        ConsoleCapture lines;
        scripttest::race_on("paths");
        std::string expected = "[";
        for (size_t i = 0; i < std::size(refused); ++i)
            expected += std::string(i ? "," : "") + "\"0,-1,-1,-1\"";
        p.same(scripttest::js("r"), expected + "]", "refusals");
        p.same(scripttest::js("ok"), "[true,true,true,true]", "accepted names");
        p.check(scripttest::count_of(lines.text(), "is not a game data path") == 8, "lines: " + lines.text());
        p.check(lines.text().find("javascript error: '/dev/zero' is not a game data path\n") != std::string::npos,
                "the line's form");
        return p.text;
    });
}

TEST(ScriptHostile, AdditionsStopAtTheirCaps)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        script_limit.max_added_statues = 5;
        script_limit.max_added_billboards = 7;
        scripttest::write_track(root, "caps",
                                "var s = [], b = [];"
                                "for (var i = 0; i < 6; i++) s.push(bv.add_statue(i, 0, 0, 0, '', '', ''));"
                                "for (var i = 0; i < 8; i++) b.push(bv.add_billboard(i, 0, 0, 1, 1, ''));");
        scripttest::race_on("caps");
        p.same(scripttest::js("s"), "[2,3,4,5,6,-1]", "statues");
        p.same(scripttest::js("b"), "[3,4,5,6,7,8,9,-1]", "billboards");
        return p.text;
    });
}

// Errors that the host itself turns into text: a getter on the handler trampoline, a
// Proxy standing in for "bv" (on the tick and the message paths), and an error whose
// toString never ends, thrown at load and in a handler.
TEST(ScriptHostile, ErrorsTheHostReadsNeitherAbortNorHang)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        // The game's own budgets name themselves in the stop lines below; the calls
        // that must not stop run under generous ones.
        scripttest::game_limits_but_time();
        scripttest::write_track(root, "getter", "Object.defineProperty(bv, 'tic_handler_', {get: function () { throw 1; }});");
        scripttest::write_track(root, "proxy", "bv = new Proxy(bv, {get: function () { throw new Error('no'); }});");
        scripttest::write_track(root, "endless_text",
                                "bv.tic_handler = function () { throw {toString: function () { for (;;) {} }}; };");
        scripttest::write_track(root, "endless_at_load", "throw {toString: function () { for (;;) {} }};");
        ConsoleCapture lines;
        scripttest::race_on("getter");
        script_call_tic_handler();
        p.same(script_error_text(script_current), "1", "the getter's error");
        scripttest::race_on("proxy");
        script_call_tic_handler();
        p.same(script_error_text(script_current), "Error: no", "the proxy on the tick path");
        script_call_message_handler("hello");
        p.same(script_error_text(script_current), "Error: no", "the proxy on the message path");
        p.check(script_lines(lines.text()).empty(), "printed: " + lines.text());

        scripttest::race_on("endless_text");
        script_limit = kDefaultScriptLimits;
        stops_within(p, script_call_tic_handler, 1, kHandlerStop, "the handler's error text");
        stops_within(p, [] { scripttest::race_on("endless_at_load"); }, 3, kLoadStop, "the load's error text");
        return p.text;
    });
}

// Work done inside one built-in call, where no bytecode runs: each stops within the
// game's own budget with the usual line, in a handler and (the sorts) at load. The
// default sort compares without calling back into the script: two megabytes of shared
// prefix a comparison.
TEST(ScriptHostile, EndlessWorkInsideBuiltInsStopsWithinTheBudget)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        script_limit = kDefaultScriptLimits;
        const std::string data = "var small = []; for (var i = 0; i < 20000; i++) small.push(-1);"
                                 "var big = []; for (var i = 0; i < 200000; i++) big.push(-1);"
                                 "function grow(s, n) { while (s.length < n) s += s; return s; }"
                                 "var text = grow('a', 1 << 18), needle = grow('a', 1 << 12) + 'b';"
                                 "var spaces = grow(' ', 1 << 18) + '1';"
                                 "var bytes = new Buffer(1 << 22), more = new Buffer(1 << 22), floats = new Float32Array(1 << 20);";
        const char* const bodies[] = {
            "small.sort(Math.min);",
            "for (;;) big.indexOf(0);",
            "for (;;) big.lastIndexOf(0);",
            "for (;;) Duktape.gc();",
            "for (;;) text.indexOf(needle);",
            "for (;;) text.split(needle);",
            "for (;;) text.replace(needle, '');",
            "for (;;) text < text + 'b';",
            "for (;;) big.join('');",
            "for (;;) { big.splice(0, 1); big.push(-1); }",
            "for (;;) big.reverse();",
            "for (;;) JSON.parse(spaces);",
            "for (;;) JSON.stringify(big);",
            "for (;;) /b/.test(text);",
            "for (;;) { big.length = 0; big.length = 200000; }",
            "for (;;) Object.isFrozen(big);",
            "for (;;) big.forEach(Math.abs);",
            "for (;;) bytes.fill(1);",
            "for (;;) bytes.copy(more);",
            "for (;;) bytes.equals(more);",
            "for (;;) floats.set(new Uint8Array(bytes.buffer, 0, 1 << 20));",
        };
        int n = 0;
        for (const char* body : bodies)
            scripttest::write_track(root, "b" + std::to_string(n++), data + "bv.tic_handler = function () {" + body + "};");
        scripttest::write_track(root, "sort_at_load", data + "small.sort(Math.min);");
        scripttest::write_track(root, "default_sort_at_load",
                                "var prefix = 'a', words = [], list = [];"
                                "while (prefix.length < 1 << 21) prefix += prefix;"
                                "for (var i = 0; i < 4; i++) words.push(prefix + i);"
                                "for (var i = 0; i < 40000; i++) list.push(words[(i * 3) % 4]);"
                                "list.sort();");
        // The handlers are what is timed here: building the data at load may take
        // longer than the load's budget on a busy machine under the sanitizers.
        script_limit.load_budget_ms = scripttest::kGenerousBudgetMs;
        n = 0;
        for (const char* body : bodies) {
            scripttest::race_on("b" + std::to_string(n++));
            if (!script_current || script_current->stopped) {
                p.check(false, std::string("the script did not load: ") + body + ": " +
                                   (script_current ? script_error_text(script_current) : ""));
                continue;
            }
            // The second call finds the script stopped and says nothing more.
            stops_within(p, [] { script_call_tic_handler(); script_call_tic_handler(); }, 0.5, kHandlerStop, body);
        }
        script_limit = kDefaultScriptLimits;
        stops_within(p, [] { scripttest::race_on("sort_at_load"); }, 3, kLoadStop, "the sort at load");
        stops_within(p, [] { scripttest::race_on("default_sort_at_load"); }, 3, kLoadStop, "the default sort at load");
        return p.text;
    });
}

TEST(ScriptHostile, MessagesAreCutAndHeldToARate)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        // The rate is the matter here, not the time limits: a flood on a busy machine
        // under the sanitizers may take longer than the game's budgets.
        scripttest::game_limits_but_time();
        // 255 characters are a whole message line, 256 are cut by one.
        scripttest::write_track(root, "talk", "var line = new Array(65536).join('x'), start = Date.now();"
                                              "bv.message(new Array(256).join('a')); bv.message(new Array(257).join('b'));"
                                              "for (var i = 0; i < 1000; i++) bv.message(line);"
                                              "var took = Date.now() - start;"
                                              "bv.tic_handler = function () { for (var i = 0; i < 100; i++) bv.message('tick'); };");
        scripttest::write_track(root, "again", "for (var i = 0; i < 40; i++) bv.message('more words');");
        ConsoleCapture lines;
        scripttest::race_on("talk");
        const std::string text = lines.text();
        p.check(scripttest::count_of(text, std::string(255, 'a') + "\n") == 1, "255 characters kept whole");
        p.check(scripttest::count_of(text, std::string(255, 'b') + "\n") == 1, "256 characters cut to 255");
        // The burst, and what the flood's own time gave back (on a busy machine).
        const int flood_ms = std::atoi(scripttest::js("took").c_str()) + 1;
        const int cut_lines = scripttest::count_of(text, std::string(255, 'x') + "\n");
        p.check(cut_lines >= int(kScriptMessageBurst) - 2 &&
                    cut_lines <= int(kScriptMessageBurst) - 2 + int(flood_ms * kScriptMessagesPerSecond / 1000),
                "the burst of cut lines: " + std::to_string(cut_lines) + " in " + std::to_string(flood_ms) + " ms");
        p.check(text.find(std::string(256, 'x')) == std::string::npos && text.find(std::string(256, 'b')) == std::string::npos,
                "a line longer than a message line");
        p.check(scripttest::count_of(text, "messages come too fast") == 1, "the drop said once");
        p.check(text.size() < size_t(cut_lines + 2) * 300 + 4096, "the log grew by " + std::to_string(text.size()));

        // Later the messages pass again at 8 a second: what the handler may say after a
        // quiet time lies between what the quiet time alone gives and that plus the
        // part of a message left from before and the time the calls took.
        using clock = std::chrono::steady_clock;
        const auto drain_start = clock::now();
        script_call_tic_handler();
        const auto drained = clock::now();
        usleep(2000000);
        ConsoleCapture later;
        const auto call_start = clock::now();
        script_call_tic_handler();
        const auto call_end = clock::now();
        const int heard = scripttest::count_of(later.text(), "tick\n");
        const auto seconds = [](clock::time_point a, clock::time_point b) { return std::chrono::duration<double>(b - a).count(); };
        const int least = std::min(int(seconds(drained, call_start) * kScriptMessagesPerSecond), int(kScriptMessageBurst));
        const int most = 1 + int(seconds(drain_start, call_end) * kScriptMessagesPerSecond);
        p.check(heard >= least && heard <= std::min(most, int(kScriptMessageBurst)),
                "ticks heard: " + std::to_string(heard) + ", want " + std::to_string(least) + ".." + std::to_string(most));
        p.check(scripttest::count_of(later.text(), "messages come too fast") == 0, "the drop said once a load");

        // A track loaded after the flood starts with a whole burst, and says its own drop.
        ConsoleCapture again;
        scripttest::race_on("again");
        p.check(scripttest::count_of(again.text(), "more words\n") == int(kScriptMessageBurst),
                "the next track's burst: " + std::to_string(scripttest::count_of(again.text(), "more words\n")));
        p.check(scripttest::count_of(again.text(), "messages come too fast") == 1, "the next track's drop said");
        return p.text;
    });
}

// A small gzip file that inflates past the cap is refused quickly; a sound under it plays.
TEST(ScriptHostile, SoundsAreCappedAfterInflation)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        script_limit = kDefaultScriptLimits;
        // The caps are the matter here, not the load's time: inflating the oversized
        // sound took longer than 2 s on a busy machine, and the small one was refused too.
        // How quickly the oversized one is refused is this thread's processor time.
        script_limit.load_budget_ms = scripttest::kGenerousBudgetMs;
        audio_device = qorl_audio_open_readback(nullptr, 44100, 441);
        const std::string folder = racetest::user_folder(root) + "/tracks/noise/";
        bvtest::write_file(folder + "huge.raw.gz", bvtest::gzip_bytes(std::string(kScriptSoundMaxBytes + 2, '\0')));
        bvtest::write_file(folder + "fits.raw.gz", bvtest::gzip_bytes(std::string(4096, '\0')));
        scripttest::write_track(root, "noise", "var huge = bv.add_sound('@tracks/noise/huge.raw');"
                                               "var fits = bv.add_sound('@tracks/noise/fits.raw');");
        ConsoleCapture lines;
        const double start = thread_seconds();
        scripttest::race_on("noise");
        p.check(seconds_since(start) < 3 * kSlowdown, "the load took too long");
        p.same(scripttest::js("[huge, fits]"), "[-1,0]", "the oversized sound");
        p.check(scripttest::count_of(lines.text(), "Sound @tracks/noise/huge.raw not loaded: longer than 10 minutes at 44.1 kHz\n") == 1,
                "lines: " + lines.text());
        p.check(script_sound_bytes <= kScriptSoundsMaxSamples, "samples kept past the cap");
        return p.text;
    });
}

// Long names are refused; what a script adds goes with the track, so restarts with a
// script that hoards names at the cap keep the process's memory level.
TEST(ScriptHostile, AddedNamesAreCappedAndFreedWithTheTrack)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        script_limit = kDefaultScriptLimits;
        // The caps are the matter here, not the load's time: 2500 additions took longer
        // than 2 s under the sanitizers on a busy machine.
        script_limit.load_budget_ms = scripttest::kGenerousBudgetMs;
        scripttest::write_track(root, "names",
                                "var pad = new Array(201).join('n');"
                                "var long = [bv.add_billboard(0, 0, 0, 1, 1, '@' + pad + pad + '.png'),"
                                " bv.add_statue(0, 0, 0, 0, '@' + pad + pad + '.jm', '', '')];"
                                "var made = 0;"
                                "for (var i = 0; i < 2000; i++) if (bv.add_billboard(i, 0, 0, 1, 1, '@' + pad + Math.random() + '.png') >= 0) made++;"
                                "for (var i = 0; i < 500; i++) if (bv.add_statue(i, 0, 0, 0, '@' + pad + Math.random() + '.jm',"
                                " '@' + pad + Math.random() + '.png', '') >= 0) made++;");
        ConsoleCapture lines;
        scripttest::race_on("names");
        p.same(scripttest::js("long"), "[-1,-1]", "long names");
        p.same(scripttest::js("made"), "2500", "names at the cap");
        p.check(scripttest::count_of(lines.text(), "is too long for a file name") == 2,
                "lines: " + script_lines(lines.text()));
        scripttest::race_on("names");
        const size_t before = mallinfo2().uordblks;
        for (int i = 0; i < 10; ++i)
            scripttest::race_on("names");
        const size_t after = mallinfo2().uordblks;
        p.check(after < before + (size_t(2) << 20), "ten restarts grew the heap by " + std::to_string(after - before));
        return p.text;
    });
}

}  // namespace
