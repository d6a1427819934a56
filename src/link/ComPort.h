#pragma once
// The program's one serial port: opened for each action that talks to the
// instrument, configured to 8 data bits, even parity, one stop bit at
// `baud_rate`, and closed again. Errors after the port was opened are raised
// as KxError with the messages the user knows; read, write and purge never
// raise.
#include "LinkPort.h"
#include "SerialBackend.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ComPort : public LinkPort {
public:
    explicit ComPort(std::unique_ptr<SerialBackend> backend = MakeSerialBackend());
    ~ComPort() override;

    // 0: open and configured; 1: the port could not be opened (the caller
    // then calls RaiseOpenError). Raises KxError for a failure after opening.
    std::int32_t OpenPort(std::int32_t n);
    // Raises "Sériový port " + port_name + " nelze otevřít".
    [[noreturn]] void RaiseOpenError();
    // OpenPort, and when the port cannot be opened, `before_raise` (the
    // caller's own reaction, may be empty) and then RaiseOpenError: the one
    // way every action that talks to the instrument opens the port.
    void OpenPortOrRaise(std::int32_t n, const std::function<void()>& before_raise = {});
    // Opens and configures port n like OpenPort, but a failure leaves the
    // port selection as it is and raises nothing: gives false with the text
    // the error would have had in `error`. For reading that goes on by
    // itself after an outage.
    bool TryOpenPort(std::int32_t n, std::string& error);
    void ClosePort();
    // Turns abort-on-error on and applies the line state to the open port;
    // raises "Nepodařila se reinicializace portu COMn" on failure.
    void ApplyLineSettings();
    // Changes the speed in the line state (the settings dialog then calls
    // ApplyLineSettings).
    void SetLineSpeed(std::int32_t baud);

    std::uint8_t ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received) override;
    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override;
    void PurgeRx() override;
    void PurgeTx() override;

    bool IsOpen() const;

    std::int32_t com_index = 1;
    std::int32_t baud_rate = 9600;
    std::string port_name;

protected:
    // Called whenever the port selection falls back to "žádný port"
    // (com_index 0); the settings dialog shows it in its port list.
    virtual void OnPortSelectionReset() {}

private:
    void ResetSelection();
    void FailAfterOpen(const std::string& message);
    // Waits until the bytes of the last write have had their time on the
    // line. A write may return while its bytes still wait in the driver (on
    // Windows, and always on a pseudo-terminal); purging the output or
    // closing the port then would drop the end of the frame.
    void WaitUntilSent();

    std::unique_ptr<SerialBackend> backend_;
    // Set while TryOpenPort runs: a failure then keeps the selection.
    bool keep_selection_ = false;
    // When the last write's bytes are all out at the line's speed.
    std::chrono::steady_clock::time_point sent_by_{};
};
