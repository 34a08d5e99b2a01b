#include "DiffEngine.h"
#include "DiffEngineSupport.h"

#include <QRegularExpression>

#include <algorithm>
#include <memory>

namespace TextDiff
{

namespace
{

const QChar sParagraphEnd(13);

} // namespace

bool SplitDiff(Diff& diff, Diff* (&parts)[2], bool atStart)
{
    int first = diff.text.indexOf(sParagraphEnd);
    if (first < 0)
    {
        if (atStart)
        {
            parts[1] = new Diff(EQUAL, diff.text, false);
            diff.text = QString();
        }
        return false;
    }
    const int last = diff.text.lastIndexOf(sParagraphEnd);
    if (last < diff.text.length() - 1)
    {
        parts[1] = new Diff(EQUAL, diff.text.mid(last + 1), false);
        diff.text.truncate(last + 1);
    }
    if (atStart)
    {
        first = -1;
    }
    if (first != last)
    {
        parts[0] = new Diff(EQUAL, diff.text.mid(first + 1), false);
        diff.text.truncate(first + 1);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Patches and rows

QList<UnitPatch> DiffEngine::patch_make(const QString& text1, const QString& text2)
{
    QList<Diff> diffs = diff_main(text1, text2, true);
    if (diffs.size() > 2)
    {
        diff_cleanupSemantic(diffs);
        diff_cleanupEfficiency(diffs);
    }
    return patch_make(text1, diffs, false);
}

QList<UnitPatch> DiffEngine::patch_make(const QList<Diff>& diffs)
{
    return patch_make(diff_text1(diffs), diffs, false);
}

QList<UnitPatch> DiffEngine::patch_make(const QString& text1, const QString& text2, const QList<Diff>& diffs)
{
    Q_UNUSED(text2)
    return patch_make(text1, diffs, false);
}

QList<UnitPatch> DiffEngine::patch_make(const QString& text1, const QList<Diff>& diffs, bool perLine)
{
    Q_UNUSED(text1)
    QList<UnitPatch> rows;
    if (diffs.isEmpty())
    {
        return rows;
    }
    const int margin2 = 2 * Patch_Margin;
    Patch patch;
    QList<Patch> group;
    int group1 = 0;
    int group2 = 0;
    int chars1 = 0;
    int chars2 = 0;
    std::unique_ptr<Diff> tail;

    auto flushRow = [&](bool isChange)
    {
        UnitPatch row(isChange, false, false);
        row.patches = group;
        row.length1 = group1;
        row.length2 = group2;
        rows.append(row);
        group.clear();
        group1 = 0;
        group2 = 0;
    };
    auto unchangedRow = [&](const Diff& diff, int start1, int start2)
    {
        Patch single;
        appendDiff(single.diffs, EQUAL, diff.text);
        single.start1 = start1;
        single.start2 = start2;
        single.length1 = diff.text.length();
        single.length2 = diff.text.length();
        UnitPatch row(false, false, false);
        row.patches.append(single);
        row.length1 = single.length1;
        row.length2 = single.length2;
        rows.append(row);
    };

    for (int index = 0; index < diffs.size(); ++index)
    {
        Diff diff = diffs[index];
        if (diff.operation == EQUAL && tail)
        {
            // Two equalities in a row: read them as one, so that the pending tail is neither lost nor
            // counted twice.
            chars1 -= tail->text.length();
            chars2 -= tail->text.length();
            diff.text.prepend(tail->text);
            tail.reset();
        }
        if (patch.diffs.isEmpty() && (perLine || diff.operation != EQUAL))
        {
            patch.start1 = chars1;
            patch.start2 = chars2;
        }

        if (diff.operation != EQUAL)
        {
            if (tail)
            {
                const int length = tail->text.length();
                patch.diffs.append(*tail);
                patch.start1 -= length;
                patch.start2 -= length;
                patch.length1 += length;
                patch.length2 += length;
                tail.reset();
            }
            patch.diffs.append(diff);
            if (diff.operation == INSERT)
            {
                patch.length2 += diff.text.length();
            }
            else
            {
                patch.length1 += diff.text.length();
            }
        }
        else
        {
            Diff* parts[2] = {nullptr, nullptr};
            const bool split = SplitDiff(diff, parts, chars1 == 0 && chars2 == 0);
            std::unique_ptr<Diff> block(parts[0]);
            tail.reset(parts[1]);

            // Only the very last diff may stay out of the patch: a short equality elsewhere whose text
            // happens to equal the last one is still part of the patch, or the patch would lose it.
            bool appended = false;
            if (!split && diff.text.length() <= margin2 && !patch.diffs.isEmpty() &&
                index != diffs.size() - 1)
            {
                patch.diffs.append(diff);
                patch.length1 += diff.text.length();
                patch.length2 += diff.text.length();
                appended = true;
            }
            if (diff.text.length() >= margin2 || split)
            {
                const bool emptyPatch = patch.diffs.isEmpty();
                // Per line, unchanged text ahead of a line's first change belongs to no patch: nothing to
                // close.
                if (!(emptyPatch && perLine && !split))
                {
                    if (!emptyPatch || perLine)
                    {
                        if (!appended && !diff.text.isEmpty())
                        {
                            patch.diffs.append(diff);
                            patch.length1 += diff.text.length();
                            patch.length2 += diff.text.length();
                        }
                        if (!patch.diffs.isEmpty())
                        {
                            group.append(patch);
                            group1 += patch.length1;
                            group2 += patch.length2;
                            patch = Patch();
                        }
                    }
                    if (split && !group.isEmpty())
                    {
                        const bool onlyEquality = perLine && group.size() == 1 &&
                                                  group[0].diffs.size() == 1 &&
                                                  group[0].diffs[0].operation == EQUAL;
                        flushRow(!onlyEquality);
                    }
                }
            }
            if (block)
            {
                unchangedRow(*block, chars1 + diff.text.length(), chars2 + diff.text.length());
            }
            const int cut = (block ? block->text.length() : 0) + (tail ? tail->text.length() : 0);
            chars1 += cut;
            chars2 += cut;
        }

        if (diff.operation != INSERT)
        {
            chars1 += diff.text.length();
        }
        if (diff.operation != DELETE)
        {
            chars2 += diff.text.length();
        }
    }

    if (!patch.diffs.isEmpty())
    {
        group.append(patch);
        group1 += patch.length1;
        group2 += patch.length2;
    }
    if (!group.isEmpty())
    {
        flushRow(true);
    }
    if (tail)
    {
        const int length = tail->text.length();
        unchangedRow(*tail, chars1 - length, chars2 - length);
    }
    return rows;
}

QString DiffEngine::patch_toText(const QList<Patch>& patches)
{
    QString text;
    for (const Patch& patch : patches)
    {
        text += patch.toString();
    }
    return text;
}

namespace
{

// Patch text may hold any character; a message shows control characters escaped, so that printing it
// whole is safe (a NUL would end it early).
QString printable(const QString& text)
{
    QString out;
    for (const QChar c : text)
    {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        {
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        }
        else
        {
            out += c;
        }
    }
    return out;
}

// No text reaches this far: a QString holds less than 2^30 units, and patch_apply adds margins and
// offsets to these numbers in int.
const qint64 sMaxPatchReach = qint64(1) << 29;

} // namespace

QList<Patch> DiffEngine::patch_fromText(const QString& text)
{
    QList<Patch> patches;
    if (text.isEmpty())
    {
        return patches;
    }
    static const QRegularExpression header(
        QStringLiteral("\\A@@ -([0-9]+),?([0-9]*) \\+([0-9]+),?([0-9]*) @@\\z"));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    qint64 reach1 = 0;
    qint64 reach2 = 0;
    int index = 0;
    while (index < lines.size())
    {
        const QString& line = lines[index];
        const QRegularExpressionMatch match = header.match(line);
        const QString invalid = QString(QStringLiteral("Invalid patch string: %1")).arg(printable(line));
        if (!match.hasMatch())
        {
            throw invalid;
        }
        // Numbers too large for the offsets make the header as invalid as a malformed one.
        auto number = [&](int group)
        {
            bool ok = false;
            const int value = match.captured(group).toInt(&ok);
            if (!ok || value > sMaxPatchReach)
            {
                throw invalid;
            }
            return value;
        };
        Patch patch;
        // Lengths are compared by value, so that leading zeros ("00") read as the number they write.
        // A side with text starts at 1 or later; start 0 stands only before an empty side.
        auto readSide = [&](int startGroup, int& start, int& length)
        {
            start = number(startGroup);
            const QString lengthText = match.captured(startGroup + 1);
            length = lengthText.isEmpty() ? 1 : number(startGroup + 1);
            if (length != 0)
            {
                --start;
            }
            if (start < 0 || qint64(start) + length > sMaxPatchReach)
            {
                throw invalid;
            }
        };
        readSide(1, patch.start1, patch.length1);
        readSide(3, patch.start2, patch.length2);
        // patch_apply shifts later patches by the length changes of earlier ones.
        reach1 += patch.length1;
        reach2 += patch.length2;
        if (reach1 > sMaxPatchReach || reach2 > sMaxPatchReach)
        {
            throw invalid;
        }
        ++index;

        while (index < lines.size())
        {
            const QString& body = lines[index];
            if (body.isEmpty())
            {
                ++index;
                continue;
            }
            const QChar sign = body[0];
            if (sign == QLatin1Char('@'))
            {
                break;
            }
            QString rest = body.mid(1);
            rest.replace(QLatin1Char('+'), QLatin1String("%2B"));
            const QString decoded = decodeText(rest);
            if (sign == QLatin1Char('-'))
            {
                appendDiff(patch.diffs, DELETE, decoded);
            }
            else if (sign == QLatin1Char('+'))
            {
                appendDiff(patch.diffs, INSERT, decoded);
            }
            else if (sign == QLatin1Char(' '))
            {
                appendDiff(patch.diffs, EQUAL, decoded);
            }
            else
            {
                throw QString(QStringLiteral("Invalid patch mode '%1' in: %2"))
                    .arg(printable(QString(sign)), printable(decoded));
            }
            ++index;
        }
        patches.append(patch);
    }
    return patches;
}

} // namespace TextDiff
