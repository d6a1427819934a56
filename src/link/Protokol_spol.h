// Protokol_spol: the link protocol, free functions over one link state.
#pragma once
// The master side of the framed link to the instrument: requests built in one
// static transmit buffer, answers read into one static receive buffer, checked
// and unpacked into the program variables of the device tables. Every
// operation is synchronous and gives 1 (success) or 0 (failure).
#include "LinkPort.h"

#include <cstdint>

// Port the link talks through (the program's ComPort, or a test double).
void link_set_port(LinkPort* port);

// Shown for a table number that has no layout ("text", "caption"). The
// program routes it to a message box; without a handler nothing is shown.
using LinkMessageHandler = void (*)(const char* text, const char* caption);
void link_set_message_handler(LinkMessageHandler handler);

// The fixed pauses of the exchanges (before a repeated identification
// request, and those the dialogs make between table transfers) go through
// this hook; nullptr restores the plain sleep of the calling thread. Tests put
// a recorder here instead of waiting.
using LinkSleepHook = void (*)(int milliseconds);
void link_set_sleep_hook(LinkSleepHook hook);
// One fixed pause on the calling thread, through the hook when one is set.
void link_pause(int milliseconds);

void set_dest_address(std::uint8_t address);
void set_source_address(std::uint8_t address);
std::uint8_t get_dest_address();

std::uint8_t read_table(std::uint8_t table);
std::uint8_t write_table(std::uint8_t table);
std::uint8_t write_table_byte(std::uint8_t table, std::uint8_t value);
std::uint8_t zero_sum();
std::uint8_t read_device_type();
std::uint8_t read_device_version();
std::uint8_t read_foreign_ident();
std::uint8_t probe_address();

// The answer checks, over the `received` bytes that arrived (never more).
// A data answer: 0x68, L, L, any, any, any, 0x08, data, FCS, 0x16.
bool data_answer_valid(const std::uint8_t* frame, std::uint32_t received);
// A short acknowledgement: 0x10, any, any, FC 0x00, FCS, 0x16.
bool short_ack_positive(const std::uint8_t* frame, std::uint32_t received);

// Link state, exposed read-only: the function code and length field of the
// last request (for the tests) and the identification areas (for the
// identification dialog).
constexpr int kFrameSize = 256;
constexpr int kIdentAreaSize = 250;
std::uint8_t link_fc();
std::uint8_t link_le();
const char* device_type_area();
const char* device_version_area();
const char* foreign_ident_area();
