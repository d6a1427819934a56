#pragma once
// The fixed number format of the value panels (and of the parameters dialog):
// a float written with at most `significant_digits` significant digits and at
// most `decimals` decimals, whichever keeps fewer, rounded from its exact
// binary value with halves away from zero.
//
//  - Fixed form: optional "-", the integer part (at least one digit), the
//    separator and exactly `decimals` digits, padded with zeros
//    (12.5 with 7/3 -> "12,500"; no separator when `decimals` is 0).
//  - Scientific form when the integer part of the ROUNDED value needs more
//    digits than `significant_digits`: one digit, the separator and the
//    further significant digits with trailing zeros dropped (the separator
//    too when nothing follows), "E" and the exponent without "+" or leading
//    zeros (123456789 with 7/3 -> "1,234568E8", 100000000 -> "1E8").
//    Judging the rounded value keeps the text coherent: a value that rounds
//    up to 10^significant_digits is written "1E..", never with one integer
//    digit too many.
//  - A value that rounds to zero is written without "-".
//  - "INF" and "NAN", preceded by "-" when the sign bit is set.
//
// `significant_digits` below 1 counts as 1 and negative `decimals` as 0.
#include <string>

std::string FormatFixed(float value, int significant_digits, int decimals, const std::string& decimal_separator);
