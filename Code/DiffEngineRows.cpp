#include "DiffEngine.h"

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
// Rows of the patch table

QList<UnitPatch> DiffEngine::rows_make(const QString& left, const QString& right, Granularity granularity,
                                       bool perLine, const Restyled& restyled)
{
    QList<Diff> diffs = rows_diff(left, right, granularity, perLine);
    rows_cleanup(diffs, granularity, perLine);
    if (restyled)
    {
        rows_restyle(diffs, restyled);
    }
    return patch_make(left, diffs, perLine);
}

void DiffEngine::rows_restyle(QList<Diff>& diffs, const Restyled& restyled)
{
    QList<Diff> out;
    out.reserve(diffs.size());
    int start1 = 0;
    int start2 = 0;
    for (const Diff& diff : qAsConst(diffs))
    {
        const int length = diff.text.size();
        if (diff.operation != EQUAL)
        {
            out.append(diff);
            (diff.operation == DELETE ? start1 : start2) += length;
            continue;
        }
        int at = 0;
        for (const QPair<int, int>& stretch : restyled(start1, start2, length))
        {
            const int from = qBound(at, stretch.first, length);
            const int to = qBound(from, stretch.second, length);
            if (from == to)
            {
                continue;
            }
            if (from > at)
            {
                out.append(Diff(EQUAL, diff.text.mid(at, from - at), false));
            }
            Diff deleted(DELETE, diff.text.mid(from, to - from), false);
            deleted.isFormat = true;
            Diff inserted = deleted;
            inserted.operation = INSERT;
            out << deleted << inserted;
            at = to;
        }
        if (at == 0)
        {
            out.append(diff);
        }
        else if (at < length)
        {
            out.append(Diff(EQUAL, diff.text.mid(at), false));
        }
        start1 += length;
        start2 += length;
    }
    diffs.swap(out);
}

QList<Diff> DiffEngine::rows_diff(const QString& left, const QString& right, Granularity granularity,
                                  bool perLine)
{
    if (!perLine && granularity == Granularity::Words)
    {
        return diff_words(left, right);
    }
    return diff_main(left, right, false);
}

void DiffEngine::rows_cleanup(QList<Diff>& diffs, Granularity granularity, bool perLine)
{
    if (perLine)
    {
        diff_cleanupSplit(diffs);
    }
    else if (granularity == Granularity::Characters)
    {
        diff_cleanupEfficiency(diffs);
    }
}

namespace
{

// Reads a diff list in text order into rows: patches of changes with the short equalities between them,
// grouped into one row up to each paragraph end, and the unchanged paragraphs between changes as rows of
// their own.
class RowMaker
{
public:
    RowMaker(int margin, bool perLine) : mMargin2(2 * margin), mPerLine(perLine) {}

    void add(Diff diff);
    QList<UnitPatch> finish();

private:
    void addEdit(const Diff& diff);
    void addEquality(Diff& diff);
    void closeAt(const Diff& diff, bool split, bool appended);
    void appendEquality(const Diff& diff);
    void closePatch();
    void flushRow(bool isChange);
    void unchangedRow(const Diff& diff, int start1, int start2);

    const int mMargin2;
    const bool mPerLine;
    QList<UnitPatch> mRows;
    Patch mPatch;
    QList<Patch> mGroup;
    int mGroup1 = 0;
    int mGroup2 = 0;
    int mChars1 = 0;
    int mChars2 = 0;
    std::unique_ptr<Diff> mTail;
};

void RowMaker::add(Diff diff)
{
    if (diff.operation == EQUAL && mTail)
    {
        // Two equalities in a row: read them as one, so that the pending tail is neither lost nor counted
        // twice.
        mChars1 -= mTail->text.length();
        mChars2 -= mTail->text.length();
        diff.text.prepend(mTail->text);
        mTail.reset();
    }
    if (mPatch.diffs.isEmpty() && (mPerLine || diff.operation != EQUAL))
    {
        mPatch.start1 = mChars1;
        mPatch.start2 = mChars2;
    }
    if (diff.operation != EQUAL)
    {
        addEdit(diff);
    }
    else
    {
        addEquality(diff);
    }
    if (diff.operation != INSERT)
    {
        mChars1 += diff.text.length();
    }
    if (diff.operation != DELETE)
    {
        mChars2 += diff.text.length();
    }
}

void RowMaker::addEdit(const Diff& diff)
{
    if (mTail)
    {
        const int length = mTail->text.length();
        mPatch.diffs.append(*mTail);
        mPatch.start1 -= length;
        mPatch.start2 -= length;
        mPatch.length1 += length;
        mPatch.length2 += length;
        mTail.reset();
    }
    mPatch.diffs.append(diff);
    if (diff.operation == INSERT)
    {
        mPatch.length2 += diff.text.length();
    }
    else
    {
        mPatch.length1 += diff.text.length();
    }
}

// The equality keeps what lies before its first paragraph end; whole paragraphs after that become rows of
// their own, and what follows its last paragraph end waits as the tail for the next diff.
void RowMaker::addEquality(Diff& diff)
{
    Diff* parts[2] = {nullptr, nullptr};
    const bool split = SplitDiff(diff, parts, mChars1 == 0 && mChars2 == 0);
    std::unique_ptr<Diff> block(parts[0]);
    mTail.reset(parts[1]);

    // A short equality joins the open patch, the text's last one too: the rest of a paragraph after its
    // last change ("." after a changed word) reads with that change, not as a row of its own.
    bool appended = false;
    if (!split && diff.text.length() <= mMargin2 && !mPatch.diffs.isEmpty())
    {
        appendEquality(diff);
        appended = true;
    }
    if (diff.text.length() >= mMargin2 || split)
    {
        closeAt(diff, split, appended);
    }
    if (block)
    {
        unchangedRow(*block, mChars1 + diff.text.length(), mChars2 + diff.text.length());
    }
    const int cut = (block ? block->text.length() : 0) + (mTail ? mTail->text.length() : 0);
    mChars1 += cut;
    mChars2 += cut;
}

// An equality of twice the margin or more closes the open patch, and one that ends a paragraph closes
// the row too.
void RowMaker::closeAt(const Diff& diff, bool split, bool appended)
{
    const bool emptyPatch = mPatch.diffs.isEmpty();
    // Per line, unchanged text ahead of a line's first change belongs to no patch: nothing to close.
    if (emptyPatch && mPerLine && !split)
    {
        return;
    }
    if (!emptyPatch || mPerLine)
    {
        if (!appended && !diff.text.isEmpty())
        {
            appendEquality(diff);
        }
        if (!mPatch.diffs.isEmpty())
        {
            closePatch();
        }
    }
    if (split && !mGroup.isEmpty())
    {
        const bool onlyEquality = mPerLine && mGroup.size() == 1 && mGroup[0].diffs.size() == 1 &&
                                  mGroup[0].diffs[0].operation == EQUAL;
        flushRow(!onlyEquality);
    }
}

void RowMaker::appendEquality(const Diff& diff)
{
    mPatch.diffs.append(diff);
    mPatch.length1 += diff.text.length();
    mPatch.length2 += diff.text.length();
}

void RowMaker::closePatch()
{
    mGroup.append(mPatch);
    mGroup1 += mPatch.length1;
    mGroup2 += mPatch.length2;
    mPatch = Patch();
}

void RowMaker::flushRow(bool isChange)
{
    UnitPatch row(isChange, false, false);
    row.patches = mGroup;
    row.length1 = mGroup1;
    row.length2 = mGroup2;
    mRows.append(row);
    mGroup.clear();
    mGroup1 = 0;
    mGroup2 = 0;
}

void RowMaker::unchangedRow(const Diff& diff, int start1, int start2)
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
    mRows.append(row);
}

QList<UnitPatch> RowMaker::finish()
{
    if (!mPatch.diffs.isEmpty())
    {
        closePatch();
    }
    if (!mGroup.isEmpty())
    {
        flushRow(true);
    }
    if (mTail)
    {
        const int length = mTail->text.length();
        unchangedRow(*mTail, mChars1 - length, mChars2 - length);
    }
    return mRows;
}

} // namespace

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
    if (diffs.isEmpty())
    {
        return QList<UnitPatch>();
    }
    RowMaker rows(Patch_Margin, perLine);
    for (const Diff& diff : diffs)
    {
        rows.add(diff);
    }
    return rows.finish();
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

// Reads a patch's header line into its numbers; reach1 and reach2 add up the lengths of the patches read so
// far. Throws the message for a header that is malformed or whose numbers no text can reach.
void readHeader(const QString& line, Patch& patch, qint64& reach1, qint64& reach2)
{
    static const QRegularExpression header(
        QStringLiteral("\\A@@ -([0-9]+),?([0-9]*) \\+([0-9]+),?([0-9]*) @@\\z"));
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
}

// Reads the diffs of a patch's body from lines[index] up to the next header; returns the index of that
// header, or the number of lines.
int readBody(const QStringList& lines, int index, Patch& patch)
{
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
        const QString decoded = DiffEngine::decodeText(rest);
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
    return index;
}

} // namespace

QList<Patch> DiffEngine::patch_fromText(const QString& text)
{
    QList<Patch> patches;
    if (text.isEmpty())
    {
        return patches;
    }
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    qint64 reach1 = 0;
    qint64 reach2 = 0;
    int index = 0;
    while (index < lines.size())
    {
        Patch patch;
        readHeader(lines[index], patch, reach1, reach2);
        index = readBody(lines, index + 1, patch);
        patches.append(patch);
    }
    return patches;
}

} // namespace TextDiff
