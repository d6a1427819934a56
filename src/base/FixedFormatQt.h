#pragma once
// The fixed number format with the decimal separator of the user's locale,
// and the reading back of numbers typed in that notation.
#include <QString>

QString FormatFixedLocale(float value, int significant_digits, int decimals);

// Converts a number typed with the locale's decimal separator (sign, exponent
// and surrounding blanks allowed, no thousands separators) to the nearest
// float. False, with `value` unchanged, when the text is no such number or
// lies beyond the range of a float.
bool ParseFloatLocale(const QString& text, float& value);
