// What the console tests share: the front end installed, the message ring empty and
// read back line by line, the chat clock far from the last chat, no connection.
#pragma once
#include "frontend/console_commands.h"
#include "frontend/front_end.h"
#include "frontend/message_line.h"
#include "frontend/position_log.h"
#include "race/net/net_connection.h"
#include "race/program/run_clock.h"
#include "sim/wheel_sampling.h"
#include "view/render_world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fronttest {

class Console : public testing::Test {
protected:
    void SetUp() override
    {
        front_end_install();
        message_log_clear();
        message_log.hide_spam = 0;
        message_lines = 5;
        run_clock = 100;
        console_last_chat_time = -1e9;
        net_socket = -1;
    }
    void TearDown() override
    {
        message_log.hide_spam = 1;
        position_log_flags = 0;
        position_log_spacing = 10;
        stutter_threshold = 0;
        poslog_clear();
    }
    // The newest message, "" when nothing was printed since the last call.
    std::string newest()
    {
        if (message_log.write_index == seen)
            return "";
        seen = message_log.write_index;
        return message_line_back(0);
    }
    // Every message since the last call, oldest first.
    std::vector<std::string> printed()
    {
        std::vector<std::string> out;
        for (int k = message_log.write_index - seen - 1; k >= 0; --k)
            out.push_back(message_line_back(k));
        seen = message_log.write_index;
        return out;
    }
    int seen = 0;
};

}  // namespace fronttest
