#pragma once
// Common set-up of the protocol tests: a fresh fake port, known addresses,
// zeroed table variables, and recorders for messages and pauses.
#include "DeviceTables.h"
#include "Protokol_spol.h"
#include "fake_link_port.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

class LinkTestBase : public ::testing::Test {
protected:
    static inline std::vector<std::pair<std::string, std::string>> messages;
    static inline std::vector<int> pauses;

    static void record_message(const char* text, const char* caption) { messages.emplace_back(text, caption); }
    static void record_pause(int ms) { pauses.push_back(ms); }

    FakeLinkPort port;

    void SetUp() override
    {
        messages.clear();
        pauses.clear();
        reset_table_variables();
        link_set_port(&port);
        link_set_message_handler(&record_message);
        link_set_sleep_hook(&record_pause);
        set_dest_address(1);
        set_source_address(0);
    }

    void TearDown() override
    {
        link_set_port(nullptr);
        link_set_message_handler(nullptr);
        link_set_sleep_hook(nullptr);
    }
};
