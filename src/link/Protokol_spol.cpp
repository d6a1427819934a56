// Protokol_spol: the link protocol, free functions over one link state.
// The master side of the framed link to the instrument.
//
// Requests are built in one static transmit buffer, answers are read into one
// static receive buffer; nothing is allocated during an exchange. Frames:
//   long:  68 LE LE 68 DA SA FC data... FCS 16   (FCS = sum of DA..data)
//   short: 10 DA SA FC FCS 16                    (FCS = DA + SA + FC)
// Every check looks only at the bytes that arrived in the current exchange;
// whatever an earlier exchange left further on in the receive buffer never
// counts.
#include "Protokol_spol.h"

#include "DeviceTables.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr std::uint8_t kStartLong = 0x68;
constexpr std::uint8_t kStartShort = 0x10;
constexpr std::uint8_t kEnd = 0x16;
constexpr std::uint8_t kFcSendRequest = 0x6C; // send and request data
constexpr std::uint8_t kFcSendAck = 0x63;     // send data with acknowledge
constexpr std::uint8_t kFcStatus = 0x69;      // station status request
constexpr std::uint8_t kFcDataAnswer = 0x08;
constexpr std::uint8_t kFcAckPositive = 0x00;
constexpr std::uint8_t kBroadcast = 127;

constexpr std::uint8_t kServiceIdent = 0x00;
constexpr std::uint8_t kServiceReadTable = 0x01;
constexpr std::uint8_t kServiceWriteTable = 0x02;
constexpr std::uint8_t kServiceVersion = 0x04;

constexpr std::uint32_t kAckLength = 6;
constexpr std::uint32_t kIdentReadLength = 255;
constexpr std::uint32_t kForeignReadLength = 254;
constexpr int kIdentRepeatPauseMs = 100;
constexpr std::uint8_t kTableCount = 4;

LinkPort* port = nullptr;
LinkMessageHandler message_handler = nullptr;
LinkSleepHook sleep_hook = nullptr;

std::uint8_t DA = 0;
std::uint8_t SA = 0;
std::uint8_t FC = 0;
std::uint8_t LE = 0;
std::uint8_t tx_frame[kFrameSize];
std::uint8_t rx_frame[kFrameSize];
char device_type[kIdentAreaSize];
char device_version[kIdentAreaSize];
char foreign_ident[kIdentAreaSize];

void pause_ms(int ms)
{
    if (sleep_hook != nullptr)
        sleep_hook(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void show_message(const char* text, const char* caption)
{
    if (message_handler != nullptr)
        message_handler(text, caption);
}

// Sets FC and LE and writes the long frame's header; the caller puts the
// data unit from byte 7 and then calls finish_long_frame().
void begin_long_frame(std::uint8_t fc, std::uint8_t data_length)
{
    FC = fc;
    LE = static_cast<std::uint8_t>(data_length + 3);
    tx_frame[0] = kStartLong;
    tx_frame[1] = LE;
    tx_frame[2] = LE;
    tx_frame[3] = kStartLong;
    tx_frame[4] = DA;
    tx_frame[5] = SA;
    tx_frame[6] = FC;
}

// Appends FCS (over the LE bytes from DA on) and the end byte; gives the
// frame's total length.
std::uint32_t finish_long_frame()
{
    std::uint8_t sum = 0;
    for (int i = 4; i < 4 + LE; ++i)
        sum = static_cast<std::uint8_t>(sum + tx_frame[i]);
    tx_frame[4 + LE] = sum;
    tx_frame[5 + LE] = kEnd;
    return static_cast<std::uint32_t>(LE) + 6;
}

std::uint32_t build_short_frame(std::uint8_t fc)
{
    FC = fc;
    tx_frame[0] = kStartShort;
    tx_frame[1] = DA;
    tx_frame[2] = SA;
    tx_frame[3] = FC;
    tx_frame[4] = static_cast<std::uint8_t>(DA + SA + FC);
    tx_frame[5] = kEnd;
    return 6;
}

std::uint8_t send_frame(std::uint32_t length)
{
    if (port == nullptr)
        return 0;
    std::uint32_t written = 0;
    return port->WriteBytes(tx_frame, length, written);
}

// One read of at most `wanted` bytes into rx_frame. Gives the number of bytes
// that arrived; a failed read call counts as nothing received, and a count
// above `wanted` is never believed.
std::uint32_t receive(std::uint32_t wanted, std::uint8_t* call_result = nullptr)
{
    std::uint32_t received = 0;
    std::uint8_t ok = 0;
    if (port != nullptr)
        ok = port->ReadBytes(rx_frame, wanted, received);
    if (call_result != nullptr)
        *call_result = ok;
    if (ok == 0)
        return 0;
    return std::min(received, wanted);
}

void purge_after_failure()
{
    if (port == nullptr)
        return;
    port->PurgeTx();
    port->PurgeRx();
}

// Two attempts at a 6-byte acknowledgement of the request of `length` bytes
// now in tx_frame. A short read sends the request again at once (also after
// the second attempt, whose repetition is not awaited); a complete but
// negative acknowledgement is followed by one more read without sending.
std::uint8_t await_ack(std::uint32_t length)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::uint32_t received = receive(kAckLength);
        if (received == kAckLength) {
            if (short_ack_positive(rx_frame, received))
                return 1;
        } else {
            send_frame(length);
        }
    }
    purge_after_failure();
    return 0;
}

// Type or version text: one repetition after a pause when the first answer's
// length does not match its own length byte.
std::uint8_t read_ident_text(std::uint8_t service, char* area)
{
    begin_long_frame(kFcSendRequest, 1);
    tx_frame[7] = service;
    const std::uint32_t length = finish_long_frame();

    send_frame(length);
    std::uint32_t received = receive(kIdentReadLength);
    if (received < 2 || received != static_cast<std::uint32_t>(rx_frame[1]) + 6) {
        pause_ms(kIdentRepeatPauseMs);
        send_frame(length);
        received = receive(kIdentReadLength);
    }
    if (!data_answer_valid(rx_frame, received))
        return 0;

    // Valid means L + 6 <= received <= 255, so at most 246 bytes are copied
    // and the area keeps at least four terminating zeros.
    const std::uint32_t text_length = static_cast<std::uint32_t>(rx_frame[1]) - 3;
    std::memset(area, 0, kIdentAreaSize);
    std::memcpy(area, rx_frame + 7, text_length);
    return 1;
}

} // namespace

void link_set_port(LinkPort* p)
{
    port = p;
}
void link_set_message_handler(LinkMessageHandler handler)
{
    message_handler = handler;
}
void link_set_sleep_hook(LinkSleepHook hook)
{
    sleep_hook = hook;
}

void link_pause(int milliseconds)
{
    pause_ms(milliseconds);
}

void set_dest_address(std::uint8_t address)
{
    DA = address;
}
void set_source_address(std::uint8_t address)
{
    SA = address;
}
std::uint8_t get_dest_address()
{
    return DA;
}

bool data_answer_valid(const std::uint8_t* frame, std::uint32_t received)
{
    if (received < 1 || frame[0] != kStartLong)
        return false;
    if (received < 3 || frame[1] != frame[2])
        return false;
    const std::uint32_t L = frame[1];
    // DA, SA and FC belong to every long frame; a smaller length would put
    // the function code outside the frame and give a negative data length.
    if (L < 3)
        return false;
    if (received < 7 || frame[6] != kFcDataAnswer)
        return false;
    if (L + 6 > received || frame[L + 5] != kEnd)
        return false;
    std::uint8_t sum = 0;
    for (std::uint32_t i = 4; i <= L + 3; ++i)
        sum = static_cast<std::uint8_t>(sum + frame[i]);
    return frame[L + 4] == sum;
}

bool short_ack_positive(const std::uint8_t* frame, std::uint32_t received)
{
    if (received < 1 || frame[0] != kStartShort)
        return false;
    if (received < 4 || frame[3] != kFcAckPositive)
        return false;
    if (received < 6 || frame[5] != kEnd)
        return false;
    return frame[4] == static_cast<std::uint8_t>(frame[1] + frame[2] + frame[3]);
}

std::uint8_t read_table(std::uint8_t table)
{
    // No caller asks for another table. The request is not sent at all: an
    // unknown table has no answer length and no variables to fill.
    if (table >= kTableCount) {
        show_message("Chyba, číslo tabulky mimo rozsah.", "Sériový Port");
        return 0;
    }

    begin_long_frame(kFcSendRequest, 2);
    tx_frame[7] = kServiceReadTable;
    tx_frame[8] = table;
    const std::uint8_t written = send_frame(finish_long_frame());

    if (DA == kBroadcast) {
        // Nobody answers a broadcast.
        if (written == 0)
            purge_after_failure();
        return written;
    }

    const std::uint32_t data_length = table_lengths[table];
    const std::uint32_t wanted = data_length + 9;
    const std::uint32_t received = receive(wanted);
    // The answer must carry exactly the table's bytes: a shorter frame
    // followed by other bytes would otherwise fill the variables with its
    // check sum, end byte and whatever came after.
    const bool ok = received == wanted && data_answer_valid(rx_frame, received) && rx_frame[1] == data_length + 3;
    if (!ok) {
        purge_after_failure();
        return 0;
    }
    unpack_table(table, rx_frame + 7);
    return 1;
}

std::uint8_t write_table(std::uint8_t table)
{
    // Table 0 is read only; nothing is sent for a table without a layout.
    if (table < 1 || table >= kTableCount) {
        show_message("Nepředvídaná chyba, špatně zadaná tabulka", "DATA");
        return 0;
    }

    const std::uint8_t data_length = table_lengths[table];
    begin_long_frame(kFcSendAck, static_cast<std::uint8_t>(data_length + 2));
    tx_frame[7] = kServiceWriteTable;
    tx_frame[8] = table;
    pack_table(table, tx_frame + 9);
    const std::uint32_t length = finish_long_frame();

    send_frame(length);
    return await_ack(length);
}

std::uint8_t write_table_byte(std::uint8_t table, std::uint8_t value)
{
    begin_long_frame(kFcSendAck, 3);
    tx_frame[7] = kServiceWriteTable;
    tx_frame[8] = table;
    tx_frame[9] = value;
    const std::uint32_t length = finish_long_frame();

    send_frame(length);
    return await_ack(length);
}

std::uint8_t zero_sum()
{
    return write_table_byte(4, 0x5A);
}

std::uint8_t read_device_type()
{
    return read_ident_text(kServiceIdent, device_type);
}

std::uint8_t read_device_version()
{
    return read_ident_text(kServiceVersion, device_version);
}

std::uint8_t read_foreign_ident()
{
    begin_long_frame(kFcSendRequest, 1);
    tx_frame[7] = kServiceIdent;
    send_frame(finish_long_frame());

    std::uint8_t call_ok = 0;
    const std::uint32_t received = receive(kForeignReadLength, &call_ok);
    if (call_ok == 0 || received < 2)
        return 0;
    const std::uint32_t L = rx_frame[1];
    if (L < 5 || L > 127)
        return 0;

    // Another family's answer is taken from byte 8 on, L - 4 bytes of it, but
    // only as far as bytes arrived in this exchange; the rest stays zero.
    const std::uint32_t arrived_from_8 = received > 8 ? received - 8 : 0;
    const std::uint32_t count = std::min(L - 4, arrived_from_8);
    std::memset(foreign_ident, 0, kIdentAreaSize);
    std::memcpy(foreign_ident, rx_frame + 8, count);
    return 1;
}

std::uint8_t probe_address()
{
    if (send_frame(build_short_frame(kFcStatus)) == 0)
        return 0;
    const std::uint32_t received = receive(kAckLength);
    if (received < kAckLength)
        return 0;
    return short_ack_positive(rx_frame, received) ? 1 : 0;
}

std::uint8_t link_fc()
{
    return FC;
}
std::uint8_t link_le()
{
    return LE;
}
const char* device_type_area()
{
    return device_type;
}
const char* device_version_area()
{
    return device_version;
}
const char* foreign_ident_area()
{
    return foreign_ident;
}
