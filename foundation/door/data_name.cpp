#include "foundation/door/data_name.h"

#include "foundation/front_door.h"
#include "foundation/door/temp_mark.h"
#include "foundation/text/text_util.h"

#include <cstring>

static_assert(kTempLeafMax + 1 <= kDataNameMax, "a temporary's name is one the check takes, with its \"@\"");

namespace {

bool control_character(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

}  // namespace

const char* data_name_relative(const char* name, std::string* relative)
{
    if (!name)
        return "no name";
    // Exactly one leading "@" marks a data name; any "@" after it is a character of the
    // name like any other, for the check and the door alike.
    const char* p = name[0] == '@' ? name + 1 : name;
    // Counted as its "@" spelling, which names the same file.
    if (strlen(p) + 1 > kDataNameMax)
        return "it is longer than 255 characters";
    if (*p == '/')
        return "it begins with \"/\"";
    std::string out;
    for (;;) {
        const char* end = p;
        while (*end && *end != '/') {
            if (control_character(static_cast<unsigned char>(*end)))
                return "it holds a control character";
            ++end;
        }
        const std::string component(p, end);
        if (component == "..")
            return "it holds a \"..\" component";
        if (temp_mark_is(component.c_str()))
            return "it is named as the game's temporaries are";
        if (!component.empty() && component != ".") {
            if (!out.empty())
                out += '/';
            out += component;
        }
        if (!*end)
            break;
        p = end + 1;
    }
    if (out.empty())
        return "it names no file";
    if (relative)
        *relative = std::move(out);
    return nullptr;
}

const char* data_name_check(const char* name, std::string* normal)
{
    std::string relative;
    const char* why = data_name_relative(name, &relative);
    if (!why && normal)
        *normal = (name[0] == '@' ? "@" : "") + relative;
    return why;
}

std::string data_name_shown(const char* name)
{
    std::string out;
    const size_t kept = text_cut_length(name, 200);
    for (const char* p = name; p < name + kept; ++p)
        out += control_character(static_cast<unsigned char>(*p)) ? '?' : *p;
    return out;
}

bool data_name_accept(const char* name, const char* from, std::string* normal)
{
    const char* why = data_name_check(name, normal);
    if (!why)
        return true;
    char line[600];
    format_string(line, sizeof line, "%.200s: name \"%s\" refused: %s", from,
                  name ? data_name_shown(name).c_str() : "", why);
    console_print(line);
    return false;
}

bool data_file_accept(const char* name, const char* from, std::string* normal)
{
    if (!data_name_accept(name, from, normal))
        return false;
    // Only the name's own first "@" marks it: "./@x" is the file "@x", so its "@"
    // spelling is "@@x", never "@x".
    if (normal && name[0] != '@')
        *normal = "@" + *normal;
    return true;
}

bool data_file_name_accept(const char* name, const char* from)
{
    if (!name || !*name || !data_name_accept(name, from, nullptr))
        return false;
    // A "\\" is a folder where the player's other systems read the name.
    if (!strchr(name, '/') && !strchr(name, '\\'))
        return true;
    char line[600];
    format_string(line, sizeof line, "%.200s: name \"%s\" refused: it names a file in another folder", from,
                  data_name_shown(name).c_str());
    console_print(line);
    return false;
}
