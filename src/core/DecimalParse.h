#pragma once
// Reading back numbers from text: whole numbers (entry fields, settings), and
// numbers the user typed in the regional notation of the fixed format:
// optional blanks, an optional sign, digits with at most one decimal
// separator (at least one digit in all), an optional exponent ("E" or "e",
// an optional sign, at least one digit), optional blanks. Nothing else: no
// thousands separators, no "INF" or "NAN".
#include <cstdint>
#include <string>
#include <string_view>

// Converts `text` to the nearest 32-bit float, using `separator` (the
// regional decimal separator, UTF-8) between the integer and the fractional
// digits. Gives false, leaving `value` alone, when the text is not such a
// number or lies beyond the largest float; a number too small for a float
// gives a zero of its sign.
bool ParseDecimalFloat(std::string_view text, std::string_view separator, float& value);

// Reading back a whole number typed into an entry field or kept in the
// settings: an optional sign and decimal digits, leading and trailing blanks
// ignored, within the range of a signed 32-bit integer. Gives false, leaving
// `value` alone, for anything else.
bool ParseInt32(const std::string& text, std::int32_t& value);
