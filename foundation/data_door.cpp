// Where a data name lands on disk, links resolved: the one place that joins names to
// the search folders. Reads only ever look among the search folders and take nothing
// that a link leads out of them to; writes stay inside the user folder, whatever links
// stand on the way or at the target.
#include "foundation/data_name.h"

#include "foundation/data_paths.h"
#include "foundation/data_paths_internal.h"
#include "foundation/front_door.h"
#include "foundation/os_paths.h"
#include "foundation/text_util.h"

#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

namespace {

// A search folder's resolved path, kept while the folder text stays the same: every
// read checks against it.
const std::string& resolved_folder(int index)
{
    static std::string texts[4], real[4];
    static const std::string none;
    const char* folder = data_search_dir(index);
    if (!folder || index < 0 || index >= 4)
        return none;
    if (real[index].empty() || texts[index] != folder) {
        texts[index] = folder;
        real[index] = data_resolved(folder);
    }
    return real[index];
}

void say_refused(const char* what, const std::string& path, const char* why)
{
    char line[700];
    format_string(line, sizeof line, "%s %s refused: %s", what, data_name_shown(path.c_str()).c_str(), why);
    console_print(line);
}

// The name below the search folder: "@a/b" and "a/b" alike.
const char* below_folder(const char* name)
{
    return name[0] == '@' ? name + 1 : name;
}

// folder + name into out; false when the result would be longer than kDataPathMax,
// since a cut path names some other file.
bool join(std::string& out, const char* folder, const std::string& name)
{
    const size_t folder_length = strlen(folder);
    if (folder_length + name.size() > kDataPathMax)
        return false;
    out.assign(folder, folder_length);
    out += name;
    return true;
}

// Makes the folders on the way to target (base + relative) one by one, each only after
// the one above it was found to lie, links resolved, inside base's own resolved path.
bool folders_inside(const std::string& target, const char* base, const std::string& relative)
{
    os_make_parent_folders(base);
    const std::string top = resolved_folder(0);
    std::string folder = base;
    for (size_t from = 0, slash; (slash = relative.find('/', from)) != std::string::npos; from = slash + 1) {
        folder.append(relative, from, slash - from);
        mkdir(folder.c_str(), 0777);   // an existing one is checked as a made one is
        if (!data_lies_inside(data_resolved(folder), top)) {
            say_refused("Write to", target, "it leads outside the user folder");
            return false;
        }
        folder += '/';
    }
    return true;
}

// With follow, a link at the target is written through only when what it names lies
// inside the user folder; out becomes that file, so the link keeps naming the bytes.
bool link_at_target_ok(std::string& out, data_link link)
{
    struct stat st;
    if (link == data_link::replace || lstat(out.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return true;
    const std::string real = data_resolved(out);
    if (real.empty()) {
        say_refused("Write to", out, "the link there leads to nothing");
        return false;
    }
    if (!data_lies_inside(real, resolved_folder(0))) {
        say_refused("Write to", out, "the link there leads outside the user folder");
        return false;
    }
    out = real;
    return true;
}

}  // namespace

bool data_read_path(const char* name, int folder, std::string& out)
{
    const char* base = data_search_dir(folder);
    std::string normal;
    return base && name && !data_name_check(below_folder(name), &normal) && join(out, base, normal);
}

bool data_read_inside(const std::string& path, int folder)
{
    if (data_lies_inside(data_resolved(path), resolved_folder(folder)))
        return true;
    say_refused("Read of", path, "it leads outside its data folder");
    return false;
}

bool data_user_path(const char* name, std::string& out)
{
    const char* base = data_search_dir(0);
    std::string normal;
    return base && name && data_name_accept(below_folder(name), "Write", &normal) && join(out, base, normal);
}

bool data_user_folder_path(std::string& out)
{
    const char* base = data_search_dir(0);
    if (!base)
        return false;
    out = base;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return true;
}

bool data_in_user_folder(const char* path)
{
    const char* base = data_search_dir(0);
    return base && path && strncmp(path, base, strlen(base)) == 0;
}

std::string data_resolved(const std::string& path)
{
    std::string out;
    return os_real_path(path.c_str(), out) ? out : std::string();
}

bool data_lies_inside(const std::string& real, const std::string& top)
{
    if (real.empty() || top.empty())
        return false;
    if (top == "/")
        return true;
    return real.compare(0, top.size(), top) == 0 && (real.size() == top.size() || real[top.size()] == '/');
}

bool data_user_folder_known()
{
    return data_search_dir(0) != nullptr;
}

bool data_write_path(const char* name, data_link link, std::string& out)
{
    if (!name || !*name)
        return false;
    const char* base = data_search_dir(0);
    const char* relative = below_folder(name);
    if (name[0] == '/') {
        // A path of the program's own: one into the user folder is checked as a data
        // name is, any other stands as it is.
        const size_t base_length = base ? strlen(base) : 0;
        if (!base || strncmp(name, base, base_length) != 0) {
            out = name;
            std::string linked;
            if (link == data_link::follow && os_link_target(name, linked))
                out = linked;
            return true;
        }
        relative = name + base_length;
    }
    std::string normal;
    if (!base || !data_name_accept(relative, "Write", &normal) || !join(out, base, normal))
        return false;
    return folders_inside(out, base, normal) && link_at_target_ok(out, link);
}

bool data_name_stays_inside(const char* relative, const char* from)
{
    for (int i = 0; data_search_dir(i); ++i) {
        std::string path;
        struct stat st;
        if (!data_read_path(relative, i, path) || lstat(path.c_str(), &st) != 0)
            continue;
        if (!data_lies_inside(data_resolved(path), resolved_folder(i))) {
            say_refused(from, path, "it leads outside its data folder");
            return false;
        }
    }
    return true;
}
