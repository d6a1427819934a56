#pragma once
// The fixed number format with the decimal separator of the user's locale.
#include <QString>

QString FormatFixedLocale(float value, int significant_digits, int decimals);
