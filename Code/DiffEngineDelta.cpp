#include "DiffEngine.h"

#include <QByteArray>

#include <algorithm>

// The delta form of a diff list (each diff as =N, -N or +text, tab-separated, the texts of equalities and
// deletions left to the first text) and the percent-encoding that deltas and patch text write their texts
// in.

namespace TextDiff
{

namespace
{

bool isUnreservedOrKept(uchar c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
    {
        return true;
    }
    static const char kept[] = "-._~ !*'();/?:@&=+$,#";
    for (const char* p = kept; *p; ++p)
    {
        if (uchar(*p) == c)
        {
            return true;
        }
    }
    return false;
}

// UTF-8 of a UTF-16 text, with unpaired surrogates written as their own three-byte sequences.
QByteArray toByteForm(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    const int n = text.size();
    const QChar* data = text.constData();
    for (int i = 0; i < n; ++i)
    {
        uint cp = data[i].unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < n && data[i + 1].isLowSurrogate())
        {
            cp = QChar::surrogateToUcs4(data[i], data[i + 1]);
            ++i;
        }
        if (cp < 0x80)
        {
            bytes.append(char(cp));
        }
        else if (cp < 0x800)
        {
            bytes.append(char(0xC0 | (cp >> 6)));
            bytes.append(char(0x80 | (cp & 0x3F)));
        }
        else if (cp < 0x10000)
        {
            bytes.append(char(0xE0 | (cp >> 12)));
            bytes.append(char(0x80 | ((cp >> 6) & 0x3F)));
            bytes.append(char(0x80 | (cp & 0x3F)));
        }
        else
        {
            bytes.append(char(0xF0 | (cp >> 18)));
            bytes.append(char(0x80 | ((cp >> 12) & 0x3F)));
            bytes.append(char(0x80 | ((cp >> 6) & 0x3F)));
            bytes.append(char(0x80 | (cp & 0x3F)));
        }
    }
    return bytes;
}

// The inverse of toByteForm; a malformed sequence gives one replacement character per byte.
QString fromByteForm(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    const int n = bytes.size();
    const uchar* b = reinterpret_cast<const uchar*>(bytes.constData());
    int i = 0;
    while (i < n)
    {
        const uchar lead = b[i];
        if (lead < 0x80)
        {
            text.append(QChar(lead));
            ++i;
            continue;
        }
        int extra = 0;
        uint cp = 0;
        uint minimum = 0;
        if ((lead & 0xE0) == 0xC0)
        {
            extra = 1;
            cp = lead & 0x1F;
            minimum = 0x80;
        }
        else if ((lead & 0xF0) == 0xE0)
        {
            extra = 2;
            cp = lead & 0x0F;
            minimum = 0x800;
        }
        else if ((lead & 0xF8) == 0xF0)
        {
            extra = 3;
            cp = lead & 0x07;
            minimum = 0x10000;
        }
        bool valid = extra > 0 && i + extra < n;
        for (int k = 1; valid && k <= extra; ++k)
        {
            if ((b[i + k] & 0xC0) != 0x80)
            {
                valid = false;
            }
            else
            {
                cp = (cp << 6) | (b[i + k] & 0x3F);
            }
        }
        if (valid && (cp < minimum || cp > 0x10FFFF))
        {
            valid = false;
        }
        if (!valid)
        {
            text.append(QChar(QChar::ReplacementCharacter));
            ++i;
            continue;
        }
        if (cp >= 0x10000)
        {
            text.append(QChar(QChar::highSurrogate(cp)));
            text.append(QChar(QChar::lowSurrogate(cp)));
        }
        else
        {
            text.append(QChar(ushort(cp)));
        }
        i += extra + 1;
    }
    return text;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f')
    {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    return -1;
}


} // namespace

QString DiffEngine::encodeText(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = toByteForm(text);
    QString encoded;
    encoded.reserve(bytes.size());
    for (const char byte : bytes)
    {
        const uchar c = uchar(byte);
        if (isUnreservedOrKept(c))
        {
            encoded += QLatin1Char(char(c));
        }
        else
        {
            encoded += QLatin1Char('%');
            encoded += QLatin1Char(hex[c >> 4]);
            encoded += QLatin1Char(hex[c & 0xF]);
        }
    }
    return encoded;
}

QString DiffEngine::decodeText(const QString& encoded)
{
    const QByteArray bytes = toByteForm(encoded);
    QByteArray decoded;
    decoded.reserve(bytes.size());
    const int n = bytes.size();
    for (int i = 0; i < n; ++i)
    {
        if (bytes[i] == '%' && i + 2 < n)
        {
            const int high = hexValue(bytes[i + 1]);
            const int low = hexValue(bytes[i + 2]);
            if (high >= 0 && low >= 0)
            {
                decoded.append(char((high << 4) | low));
                i += 2;
                continue;
            }
        }
        decoded.append(bytes[i]);
    }
    return fromByteForm(decoded);
}

QString DiffEngine::diff_toDelta(const QList<Diff>& diffs)
{
    QString text;
    for (const Diff& diff : diffs)
    {
        switch (diff.operation)
        {
        case INSERT:
            text += QLatin1Char('+') + encodeText(diff.text) + QLatin1Char('\t');
            break;
        case DELETE:
            text += QLatin1Char('-') + QString::number(diff.text.length()) + QLatin1Char('\t');
            break;
        case EQUAL:
            text += QLatin1Char('=') + QString::number(diff.text.length()) + QLatin1Char('\t');
            break;
        }
    }
    if (!text.isEmpty())
    {
        text.chop(1);
    }
    return text;
}

QList<Diff> DiffEngine::diff_fromDelta(const QString& text1, const QString& delta)
{
    QList<Diff> diffs;
    qint64 pointer = 0;
    const QStringList tokens = delta.split(QLatin1Char('\t'));
    for (const QString& token : tokens)
    {
        if (token.isEmpty())
        {
            continue;
        }
        const QString param = token.mid(1);
        const QChar sign = token[0];
        if (sign == QLatin1Char('+'))
        {
            appendDiff(diffs, INSERT, decodeText(param));
        }
        else if (sign == QLatin1Char('-') || sign == QLatin1Char('='))
        {
            bool ok = false;
            int n = param.toInt(&ok);
            if (!ok)
            {
                n = 0;
            }
            if (n < 0)
            {
                throw QString(QStringLiteral("Negative number in diff_fromDelta: %1")).arg(param);
            }
            const int from = int(std::min<qint64>(pointer, text1.length()));
            const QString text = text1.mid(from, n);
            pointer += n;
            appendDiff(diffs, sign == QLatin1Char('=') ? EQUAL : DELETE, text);
        }
        else
        {
            throw QString(QStringLiteral("Invalid diff operation in diff_fromDelta: %1")).arg(sign);
        }
    }
    if (pointer != text1.length())
    {
        throw QString(QStringLiteral("Delta length (%1) smaller than source text length (%2)"))
            .arg(pointer)
            .arg(text1.length());
    }
    return diffs;
}

} // namespace TextDiff
