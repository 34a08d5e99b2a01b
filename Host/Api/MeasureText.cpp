#include "MeasureText.h"

#include <cstdlib>
#include <limits>

namespace XTHost
{

namespace
{

QString unitOf(int32_t format)
{
    switch (format)
    {
    case XT::kFormatPercent:
        return QStringLiteral("%");
    case XT::kFormatDegrees:
        return QStringLiteral("\u00B0");
    case XT::kFormatInset:
    case XT::kFormatVertical:
    case XT::kFormatHorizontal:
        return QStringLiteral(" pt");
    default:
        return QString();
    }
}

const qint64 sPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// |value| / 65536 rounded to `decimals` places, as (whole, fraction digits).
QString decimalText(Fixed value, int decimals)
{
    const bool negative = value < 0;
    const qint64 magnitude = negative ? -qint64(value) : qint64(value);
    const qint64 scale = sPowers[decimals];
    const qint64 scaled = (magnitude * scale + 32768) / 65536; // round half up
    const qint64 whole = scaled / scale;
    const qint64 fraction = scaled % scale;
    QString text = QString::number(whole);
    if (decimals > 0)
        text += '.' + QString::number(fraction).rightJustified(decimals, '0');
    if (negative && scaled != 0)
        text.prepend('-');
    return text;
}

// A plain decimal number ([+-]digits[.digits]) to the nearest Fixed, or false
// when it is no such number or does not fit.
bool decimalToFixed(const QString& number, Fixed* result)
{
    using Wide = unsigned __int128;
    int i = 0;
    const int size = number.size();
    bool negative = false;
    if (i < size && (number[i] == '+' || number[i] == '-'))
        negative = number[i++] == '-';
    Wide whole = 0;
    int wholeDigits = 0;
    for (; i < size && number[i].isDigit() && number[i].unicode() < 128; ++i, ++wholeDigits)
        if (wholeDigits < 12)
            whole = whole * 10 + Wide(number[i].unicode() - '0');
        else
            return false; // far beyond the range
    // Ties between two steps lie at k / 131072, which has at most 17
    // decimals; 30 digits decide every rounding exactly.
    Wide fraction = 0;
    Wide scale = 1;
    int fractionDigits = 0;
    if (i < size && number[i] == '.')
        for (++i; i < size && number[i].isDigit() && number[i].unicode() < 128; ++i, ++fractionDigits)
            if (fractionDigits < 30)
            {
                fraction = fraction * 10 + Wide(number[i].unicode() - '0');
                scale *= 10;
            }
    if (i != size || wholeDigits + fractionDigits == 0)
        return false;
    // Round half away from zero, on the magnitude.
    const Wide magnitude = whole * 65536 + (fraction * 65536 * 2 + scale) / (2 * scale);
    const Wide limit = negative ? Wide(1) << 31 : (Wide(1) << 31) - 1;
    if (magnitude > limit)
        return false;
    *result = negative ? Fixed(-int64_t(magnitude)) : Fixed(int64_t(magnitude));
    return true;
}

} // namespace

bool MeasureText::isKnownFormat(int32_t format)
{
    return !unitOf(format).isEmpty();
}

QString MeasureText::format(Fixed value, int32_t format)
{
    const QString unit = unitOf(format);
    if (unit.isEmpty())
        return QString();
    // As few decimals as reading back needs (reading rounds to the nearest
    // step, as below); five always do, since 10^-5 is less than half of
    // 1/65536.
    const qint64 magnitude = value < 0 ? -qint64(value) : qint64(value);
    int decimals = 0;
    for (; decimals < 5; ++decimals)
    {
        const qint64 scale = sPowers[decimals];
        const qint64 scaled = (magnitude * scale + 32768) / 65536;
        const qint64 back = (scaled / scale) * 65536 + ((scaled % scale) * 65536 * 2 + scale) / (2 * scale);
        if (back == magnitude)
            break;
    }
    QString text = decimalText(value, decimals);
    if (text.contains('.'))
        while (text.endsWith('0'))
            text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text + unit;
}

Fixed MeasureText::parse(const QString& text, int32_t format, bool* ok)
{
    *ok = false;
    const QString unit = unitOf(format).trimmed();
    if (unit.isEmpty())
        return 0;
    QString number = text.trimmed();
    if (number.endsWith(unit, Qt::CaseInsensitive))
        number = number.left(number.size() - unit.size()).trimmed();
    else if (format == XT::kFormatDegrees && number.endsWith(QLatin1String("deg"), Qt::CaseInsensitive))
        number = number.left(number.size() - 3).trimmed();
    Fixed value = 0;
    if (!decimalToFixed(number, &value))
        return 0;
    *ok = true;
    return value;
}

} // namespace XTHost
