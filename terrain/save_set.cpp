#include "terrain/save_set.h"

#include "foundation/fresh_file.h"
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

// Whatever has the name, a link to nothing included: it is moved aside, never opened.
bool present(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
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
    // Each old file steps aside, under a fresh name of our own, until every new one is
    // in place.
    struct done_file {
        const pending_file* file;
        std::string aside;   // empty when there was no old file
    };
    std::vector<done_file> done;
    bool ok = true;
    int index = 0;
    for (const pending_file& p : set.pending) {
        ++index;
        std::string aside;
        bool stepped_aside = true;
        if (present(p.target)) {
            stepped_aside = fresh_file_reserve(p.target, aside) && rename(p.target.c_str(), aside.c_str()) == 0;
            if (!stepped_aside && !aside.empty())
                remove(aside.c_str());
        }
        const bool forced = fail_file != 0 && fail_stage == 2 && index == fail_file;
        if (!stepped_aside || forced || rename(p.temp.c_str(), p.target.c_str()) != 0) {
            if (stepped_aside && !aside.empty())
                rename(aside.c_str(), p.target.c_str());
            ok = false;
            const size_t slash = p.target.find_last_of('/');
            const std::string line = "Can't open '" + p.target.substr(slash == std::string::npos ? 0 : slash + 1) + "'";
            console_print(line.c_str());
            break;
        }
        done.push_back({&p, aside});
    }
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (ok) {
            if (!it->aside.empty())
                remove(it->aside.c_str());
        } else {
            remove(it->file->target.c_str());
            if (!it->aside.empty())
                rename(it->aside.c_str(), it->file->target.c_str());
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
