#include "race/program/startup_lists.h"

#include "foundation/index/file_index.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cstring>

std::vector<std::string> demo_list_names;
std::vector<std::string> demo_list_short;

std::string demo_short_name(const char* name)
{
    const char* slash = strrchr(name, '/');
    const char* dot = strrchr(name, '.');
    const char* start = slash ? slash + 1 : name;
    if (!dot || dot < start)
        return "";
    return std::string(start, dot);
}

void demo_list_build(int verbose)
{
    demo_list_free();
    for (int i = 0; const file_index_entry* e = file_index_get(i); ++i) {
        const char* name = e->relative_name;
        const size_t n = strlen(name);
        if (strncmp(name, "demos/", 6) != 0 || n < 7 || strcmp(name + n - 7, ".bvdemo") != 0)
            continue;
        demo_list_names.emplace_back(name);
        demo_list_short.push_back(demo_short_name(name));
        if (verbose)
            qorl_log("%s -> %s\n", name, demo_list_short.back().c_str());
    }
}

void demo_list_free()
{
    demo_list_names.clear();
    demo_list_names.shrink_to_fit();
    demo_list_short.clear();
    demo_list_short.shrink_to_fit();
}
