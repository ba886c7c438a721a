// Alternative names for axes and buttons ("cursor-x" -> "cursor.axis[0]"). Process-wide
// and main-thread only; the first alias registered for a name is the one that counts.
// Nodes never move, so a resolved target stays valid until the list is cleared.
#include "platform/qorl_input.h"
#include "platform/qorl_log.h"

#include <cstring>
#include <forward_list>
#include <new>
#include <string>
#include <utility>

namespace {

// Newest first.
std::forward_list<std::pair<std::string, std::string>>& alias_list()
{
    static std::forward_list<std::pair<std::string, std::string>> list;
    return list;
}

}  // namespace

int qorl_alias(const char* alias, const char* target)
{
    for (const auto& entry : alias_list())
        if (entry.first == alias) {
            qorl_log("Second alias for '%s' ('%s') ignored\n", alias, target);
            return 0;
        }
    try {
        alias_list().emplace_front(alias, target);
    } catch (const std::bad_alloc&) {
        qorl_log("Can't alias %s to %s -- out of memory\n", alias, target);
        return 0;
    }
    return 1;
}

const char* qorl_resolve_alias(const char* name)
{
    for (const auto& entry : alias_list())
        if (entry.first == name)
            return entry.second.c_str();
    return name;
}

void qorl_aliases_clear()
{
    alias_list().clear();
}
