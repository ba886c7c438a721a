#include "terrain/save_set.h"

#include "foundation/front_door.h"

#include <cstdio>
#include <vector>

#include <sys/stat.h>

namespace {

struct pending_file {
    std::string temp;
    std::string target;
};

struct save_set_state {
    bool active = false;
    bool failed = false;
    int files = 0;
    std::vector<pending_file> pending;
} set;

int fail_file = 0;
int fail_stage = 0;

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

void save_set_begin()
{
    set.active = true;
    set.failed = false;
    set.files = 0;
    set.pending.clear();
}

int save_set_active()
{
    return set.active ? 1 : 0;
}

int save_set_file_starts()
{
    set.files += 1;
    return fail_file != 0 && set.files == fail_file ? fail_stage : -1;
}

void save_set_add(const std::string& temp, const std::string& target)
{
    set.pending.push_back({temp, target});
}

void save_set_fail()
{
    set.failed = true;
}

void save_set_abandon()
{
    for (const pending_file& p : set.pending)
        remove(p.temp.c_str());
    set.pending.clear();
    set.active = false;
}

int save_set_commit()
{
    if (set.failed) {
        save_set_abandon();
        return 0;
    }
    // Each old file steps aside to "<name>.old" until every new one is in place.
    struct done_file {
        const pending_file* file;
        bool had_old;
    };
    std::vector<done_file> done;
    bool ok = true;
    int index = 0;
    for (const pending_file& p : set.pending) {
        ++index;
        const std::string old = p.target + ".old";
        const bool had_old = exists(p.target) && rename(p.target.c_str(), old.c_str()) == 0;
        const bool forced = fail_file != 0 && fail_stage == 2 && index == fail_file;
        if (forced || rename(p.temp.c_str(), p.target.c_str()) != 0) {
            if (had_old)
                rename(old.c_str(), p.target.c_str());
            ok = false;
            const size_t slash = p.target.find_last_of('/');
            const std::string line = "Can't open '" + p.target.substr(slash == std::string::npos ? 0 : slash + 1) + "'";
            console_print(line.c_str());
            break;
        }
        done.push_back({&p, had_old});
    }
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        const std::string old = it->file->target + ".old";
        if (ok) {
            if (it->had_old)
                remove(old.c_str());
        } else {
            remove(it->file->target.c_str());
            if (it->had_old)
                rename(old.c_str(), it->file->target.c_str());
        }
    }
    save_set_abandon();
    return ok ? 1 : 0;
}

void save_set_test_fail(int k, int stage)
{
    fail_file = k;
    fail_stage = stage;
}
