#pragma once
// The program's one error type. Errors of the serial port and of the settings
// store are raised as KxError carrying the message text (UTF-8); nothing in the
// program catches them except the application's top-level handler, which shows
// the text in the error box and lets the program go on.
#include <stdexcept>
#include <string>

class KxError : public std::runtime_error {
public:
    explicit KxError(const std::string& message) : std::runtime_error(message) {}
};
