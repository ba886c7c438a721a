#include "race/net/net_rider_info.h"

#include "foundation/intern.h"
#include "foundation/text/text_util.h"

#include <cstring>
#include <string>

namespace {

const char* or_empty(const char* text)
{
    return text ? text : "";
}

// A name the texture loader may open: relative, inside the data folders, printable.
bool safe_file_name(const std::string& name)
{
    if (name.empty() || name[0] == '/' || name.find("..") != std::string::npos ||
        name.find('\\') != std::string::npos)
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

void copy_field(char* to, size_t size, const std::string& text)
{
    const size_t n = std::min(text.size(), size - 1);
    memcpy(to, text.data(), n);
    to[n] = '\0';
}

void copy_texture(char* to, size_t size, const std::string& text)
{
    copy_field(to, size, safe_file_name(text) ? text : std::string());
}

// The text up to the first CR or LF.
std::string to_line_end(const char* text)
{
    return std::string(text, strcspn(text, "\r\n"));
}

}  // namespace

int net_rider_info_build(char* out, int room, const player_identity& who)
{
    if (room <= 0)
        return 0;
    const std::string full = std::string(or_empty(who.bike)) + "|" + or_empty(who.rider_texture) + "|" +
                             or_empty(who.bike_texture) + "|" + or_empty(who.wheel_texture) + "|" +
                             or_empty(who.head_texture) + "\n" + or_empty(who.number) + "\n" + or_empty(who.name);
    std::string text = full;
    if (int(full.size()) + 1 > room)
        text = std::string(or_empty(who.bike)) + "\n" + or_empty(who.number) + "\n" + or_empty(who.name);
    const int n = std::min(int(text.size()), room - 1);
    memcpy(out, text.data(), size_t(n));
    out[n] = '\0';
    return n;
}

void net_rider_info_parse(const char* text, net_rider_record* into)
{
    const char* line_end = strchr(text, '\n');
    const std::string first = line_end ? std::string(text, size_t(line_end - text)) : std::string(text);
    // Up to four '|' split the first line into five fields.
    std::string fields[5];
    int count = 0;
    size_t start = 0;
    while (count < 5) {
        const size_t bar = count < 4 ? first.find('|', start) : std::string::npos;
        fields[count++] = first.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    copy_field(into->bike, sizeof into->bike, to_line_end(fields[0].c_str()));
    if (count > 1)
        copy_texture(into->rider_texture, sizeof into->rider_texture, fields[1]);
    if (count > 2)
        copy_texture(into->bike_texture, sizeof into->bike_texture, fields[2]);
    if (count > 3)
        copy_texture(into->wheel_texture, sizeof into->wheel_texture, fields[3]);
    if (count > 4) {
        const std::string head = to_line_end(fields[4].c_str());
        into->head_texture = safe_file_name(head) ? intern_string(head.c_str()) : nullptr;
    }
    if (!line_end)
        return;
    const char* second = line_end + 1;
    const std::string number = to_line_end(second).substr(0, 3);
    copy_field(into->number, sizeof into->number, number);
    const char* second_end = strchr(second, '\n');
    if (!second_end)
        return;
    into->name = intern_string(to_line_end(second_end + 1).c_str());
}
