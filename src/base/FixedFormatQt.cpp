#include "FixedFormatQt.h"

#include "DecimalParse.h"
#include "FixedFormat.h"

#include <QLocale>

namespace {
std::string DecimalSeparator()
{
    return QLocale::system().decimalPoint().toStdString();
}
} // namespace

QString FormatFixedLocale(float value, int significant_digits, int decimals)
{
    return QString::fromStdString(FormatFixed(value, significant_digits, decimals, DecimalSeparator()));
}

bool ParseFloatLocale(const QString& text, float& value)
{
    return ParseDecimalFloat(text.toStdString(), DecimalSeparator(), value);
}
