#pragma once
// The program's one error type. Errors of the serial port and of the settings
// store are raised as KxError carrying the message text (UTF-8). They are
// caught only at the error boundary of the handlers (RunGuarded, in
// ErrorBoundary.h of base): the handler ends, the error box shows the text and
// the program goes on.
#include <stdexcept>
#include <string>

class KxError : public std::runtime_error {
public:
    explicit KxError(const std::string& message) : std::runtime_error(message) {}
};
