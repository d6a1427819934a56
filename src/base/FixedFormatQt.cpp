#include "FixedFormatQt.h"

#include "FixedFormat.h"

#include <QLocale>

QString FormatFixedLocale(float value, int significant_digits, int decimals)
{
    const std::string separator = QLocale::system().decimalPoint().toStdString();
    return QString::fromStdString(FormatFixed(value, significant_digits, decimals, separator));
}
