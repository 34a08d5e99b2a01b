#include "MeasureText.h"

#include <QRegularExpression>

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

// A plain decimal number to the nearest Fixed, or false when it does not
// fit.
bool decimalToFixed(const QString& number, Fixed* result)
{
    static const QRegularExpression sNumber(QStringLiteral("^([+-]?)(\\d*)(?:\\.(\\d*))?$"));
    const QRegularExpressionMatch match = sNumber.match(number);
    if (!match.hasMatch())
        return false;
    const QString whole = match.captured(2);
    QString fraction = match.captured(3);
    if (whole.isEmpty() && fraction.isEmpty())
        return false;
    // Digits beyond the ninth cannot move a value by half a 1/65536 step.
    if (whole.size() > 6)
        return false;
    if (fraction.size() > 9)
        fraction.truncate(9);
    const qint64 wholeValue = whole.isEmpty() ? 0 : whole.toLongLong();
    const qint64 fractionValue = fraction.isEmpty() ? 0 : fraction.toLongLong();
    const qint64 scale = sPowers[fraction.size()];
    // Round half away from zero, on the magnitude.
    const qint64 magnitude = wholeValue * 65536 + (fractionValue * 65536 * 2 + scale) / (2 * scale);
    const qint64 value = match.captured(1) == QLatin1String("-") ? -magnitude : magnitude;
    if (value < std::numeric_limits<Fixed>::min() || value > std::numeric_limits<Fixed>::max())
        return false;
    *result = Fixed(value);
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
    // Three decimals read best; a value that needs more gets up to five,
    // which always come back exactly (10^-5 is less than half of 1/65536).
    for (int decimals = 0; decimals <= 5; ++decimals)
    {
        QString text = decimalText(value, decimals);
        Fixed back = 0;
        if (decimalToFixed(text, &back) && back == value)
        {
            if (text.contains('.'))
                while (text.endsWith('0'))
                    text.chop(1);
            if (text.endsWith('.'))
                text.chop(1);
            return text + unit;
        }
    }
    return decimalText(value, 5) + unit;
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
