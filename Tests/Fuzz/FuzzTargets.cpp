#include "FuzzTargets.h"

#include "DiffEngine.h"
#include "Format/JsonKeyScan.h"
#include "Format/JsonProjectFormat.h"
#include "Format/JsonTree.h"
#include "Format/ScribusProjectFormat.h"
#include "Model/Project.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstring>
#include <limits>

namespace Fuzz
{

namespace
{

using namespace TextDiff;

// A message must print whole: no NUL or other control character may cut or
// garble it.
QString unprintable(const QString& message)
{
    for (const QChar c : message)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("the message holds the control character %1: %2")
                .arg(c.unicode())
                .arg(QString(message).replace(c, QLatin1Char('?')));
    return QString();
}

QString describe(const QList<Patch>& patches)
{
    QString text;
    for (const Patch& patch : patches)
        text += QStringLiteral("[%1,%2 %3,%4 %5 diffs]")
                    .arg(patch.start1)
                    .arg(patch.length1)
                    .arg(patch.start2)
                    .arg(patch.length2)
                    .arg(patch.diffs.size());
    return text;
}

bool samePatches(const QList<Patch>& a, const QList<Patch>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].start1 != b[i].start1 || a[i].start2 != b[i].start2 || a[i].length1 != b[i].length1 ||
            a[i].length2 != b[i].length2 || a[i].diffs != b[i].diffs)
            return false;
    return true;
}

// Copies every changed row from `source` into `target`, last row first so
// that the earlier rows' offsets stay valid; `leftTakesRight` as the left
// side's apply does.
QString applyRows(const QList<UnitPatch>& rows, QString target, const QString& source, bool leftTakesRight,
                  QString* failure)
{
    for (int i = rows.size() - 1; i >= 0; --i)
    {
        const UnitPatch& row = rows[i];
        if (!row.isChange)
            continue;
        if (row.patches.isEmpty())
        {
            *failure = QStringLiteral("change row %1 has no patches").arg(i);
            return QString();
        }
        const Patch& first = row.patches.first();
        const int targetStart = leftTakesRight ? first.start1 : first.start2;
        const int targetLength = leftTakesRight ? row.length1 : row.length2;
        const int sourceStart = leftTakesRight ? first.start2 : first.start1;
        const int sourceLength = leftTakesRight ? row.length2 : row.length1;
        if (targetStart < 0 || targetLength < 0 || targetStart + targetLength > target.size() ||
            sourceStart < 0 || sourceLength < 0 || sourceStart + sourceLength > source.size())
        {
            *failure = QStringLiteral("row %1 lies outside the texts").arg(i);
            return QString();
        }
        target.replace(targetStart, targetLength, source.mid(sourceStart, sourceLength));
    }
    return target;
}

QString checkRows(DiffEngine& engine, const QString& a, const QString& b, const QList<Diff>& diffs,
                  bool perLine)
{
    const QList<UnitPatch> rows = engine.patch_make(a, diffs, perLine);
    int end1 = 0;
    int end2 = 0;
    for (int i = 0; i < rows.size(); ++i)
    {
        if (rows[i].patches.isEmpty())
            return QStringLiteral("row %1 has no patches").arg(i);
        const Patch& first = rows[i].patches.first();
        if (first.start1 < end1 || first.start2 < end2)
            return QStringLiteral("row %1 overlaps the row before it").arg(i);
        end1 = first.start1 + rows[i].length1;
        end2 = first.start2 + rows[i].length2;
    }
    QString failure;
    if (applyRows(rows, a, b, true, &failure) != b || !failure.isEmpty())
        return QStringLiteral("the rows copied left do not give the right text %1").arg(failure);
    if (applyRows(rows, b, a, false, &failure) != a || !failure.isEmpty())
        return QStringLiteral("the rows copied right do not give the left text %1").arg(failure);

    // patch_apply pads the text's ends and takes a first patch that does not
    // begin with an equality for one at the very start (the last likewise at
    // the end): it expects patches with context, as patch_addContext gives.
    // Rows have none, so the unchanged text before the first patch and after
    // the last one, which belongs to no row, becomes their context.
    QList<Patch> patches;
    for (const UnitPatch& row : rows)
        patches += row.patches;
    if (!patches.isEmpty())
    {
        Patch& first = patches.first();
        if (first.start1 > 0)
        {
            const QString head = a.left(first.start1);
            first.diffs.prepend(Diff(EQUAL, head, true));
            first.length1 += head.size();
            first.length2 += head.size();
            first.start1 = 0;
            first.start2 = 0;
        }
        Patch& last = patches.last();
        const QString tail = a.mid(last.start1 + last.length1);
        if (!tail.isEmpty())
        {
            last.diffs.append(Diff(EQUAL, tail, true));
            last.length1 += tail.size();
            last.length2 += tail.size();
        }
    }
    const QPair<QString, QVector<bool>> applied = engine.patch_apply(patches, a);
    if (applied.first != b)
        return QStringLiteral("patch_apply of the rows' patches does not give the right text");
    for (int i = 0; i < applied.second.size(); ++i)
        if (!applied.second[i])
            return QStringLiteral("patch %1 of the rows did not apply").arg(i);
    return QString();
}

// UTF-8, or UTF-16 (native order) so that unpaired surrogates occur too.
// Where the tree and Qt's reading of the same text part, as a path and the
// two sides; empty when they agree everywhere.
QString compare(const XTHost::JsonTree::Value& ours, const QJsonValue& qt, const QString& path)
{
    using Type = XTHost::JsonTree::Type;
    const auto differ = [&](const QString& what) { return path + QStringLiteral(": ") + what; };
    switch (qt.type())
    {
    case QJsonValue::Null:
        return ours.type() == Type::Null ? QString() : differ(QStringLiteral("not null"));
    case QJsonValue::Bool:
        return ours.type() == Type::Bool && ours.toBool() == qt.toBool() ? QString() : differ(QStringLiteral("boolean"));
    case QJsonValue::Double:
    {
        const double a = ours.toDouble();
        const double b = qt.toDouble();
        if (ours.type() != Type::Number || std::memcmp(&a, &b, sizeof a) != 0)
            return differ(QStringLiteral("number %1 against %2").arg(a, 0, 'g', 17).arg(b, 0, 'g', 17));
        return QString();
    }
    case QJsonValue::String:
        return ours.type() == Type::String && ours.toString() == qt.toString() ? QString() : differ(QStringLiteral("string"));
    case QJsonValue::Array:
    {
        const XTHost::JsonTree::Array array = ours.toArray();
        const QJsonArray theirs = qt.toArray();
        if (ours.type() != Type::Array || array.size() != theirs.size())
            return differ(QStringLiteral("array"));
        for (int i = 0; i < array.size(); ++i)
        {
            const QString inner = compare(array.at(i), theirs.at(i), path + QStringLiteral("[%1]").arg(i));
            if (!inner.isEmpty())
                return inner;
        }
        return QString();
    }
    case QJsonValue::Object:
    {
        const XTHost::JsonTree::Object object = ours.toObject();
        const QJsonObject theirs = qt.toObject();
        if (ours.type() != Type::Object || object.size() != theirs.size())
            return differ(QStringLiteral("object"));
        int i = 0;
        for (auto it = theirs.begin(); it != theirs.end(); ++it, ++i)
        {
            if (object.keyAt(i) != it.key())
                return differ(QStringLiteral("key %1 against %2").arg(object.keyAt(i), it.key()));
            // Lookup takes the ASCII names the format's readers ask for.
            const QByteArray name = it.key().toLatin1();
            const bool asciiName = std::all_of(name.begin(), name.end(), [](char c) { return c > 0 && c < 0x7F; });
            if (asciiName && QLatin1String(name) == it.key() && object.value(name.constData()).isUndefined())
                return differ(QStringLiteral("key %1 not found").arg(it.key()));
            const QString inner = compare(object.valueAt(i), it.value(), path + QLatin1Char('.') + it.key());
            if (!inner.isEmpty())
                return inner;
        }
        return QString();
    }
    case QJsonValue::Undefined:
        break;
    }
    return ours.isUndefined() ? QString() : differ(QStringLiteral("not undefined"));
}

QString decode(const QByteArray& bytes, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(bytes);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

} // namespace

QString projectLoader(const QByteArray& data)
{
    const XTHost::JsonProjectFormat format;
    XTHost::Project project;
    QString error;
    if (!format.parse(data, QStringLiteral("input.xprj"), project, &error))
    {
        if (!error.startsWith(QStringLiteral("input.xprj: ")) || error.size() <= 12)
            return QStringLiteral("the refusal does not name the file: ") + error;
        return unprintable(error);
    }
    for (const XTHost::Layout& layout : project.mLayouts)
        for (const XTHost::Spread& spread : layout.mSpreads)
            for (const XTHost::Box& box : spread.mBoxes)
                if (qint64(box.mBounds.right) - box.mBounds.left > std::numeric_limits<Fixed>::max() ||
                    qint64(box.mBounds.bottom) - box.mBounds.top > std::numeric_limits<Fixed>::max())
                    return QStringLiteral("box %1 of layout %2 is larger than a measure can say")
                        .arg(box.mNumber)
                        .arg(layout.mNumber);
    const QByteArray saved = format.serialize(project);
    XTHost::Project reloaded;
    if (!format.parse(saved, QStringLiteral("saved.xprj"), reloaded, &error))
        return QStringLiteral("the saved file does not load: ") + error;
    if (!(reloaded == project))
        return QStringLiteral("the saved file loads as another model");
    if (format.serialize(reloaded) != saved)
        return QStringLiteral("saving the reloaded model gives other bytes");
    return QString();
}

QString engineRoundTrip(const QByteArray& data)
{
    if (data.isEmpty())
        return QString();
    const int flags = uchar(data[0]);
    const bool lineMode = flags & 1;
    const bool perLine = flags & 2;
    const bool utf16 = flags & 4;
    const QString input = decode(data.mid(1), utf16);
    const int split = input.indexOf(QChar(0));
    const QString a = split < 0 ? input : input.left(split);
    const QString b = split < 0 ? QString() : input.mid(split + 1);

    DiffEngine engine;
    QList<Diff> diffs = engine.diff_main(a, b, lineMode);
    if (engine.diff_text1(diffs) != a || engine.diff_text2(diffs) != b)
        return QStringLiteral("diff_main's diffs do not rebuild both texts");
    if (perLine)
        engine.diff_cleanupSplit(diffs);
    else
        engine.diff_cleanupEfficiency(diffs);
    if (engine.diff_text1(diffs) != a || engine.diff_text2(diffs) != b)
        return QStringLiteral("the cleaned-up diffs do not rebuild both texts");
    QList<Diff> semantic = engine.diff_main(a, b, lineMode);
    engine.diff_cleanupSemantic(semantic);
    if (engine.diff_text1(semantic) != a || engine.diff_text2(semantic) != b)
        return QStringLiteral("the semantic clean-up's diffs do not rebuild both texts");
    return checkRows(engine, a, b, diffs, perLine);
}

QString patchText(const QByteArray& data)
{
    const QString text = QString::fromUtf8(data);
    DiffEngine engine;
    QList<Patch> patches;
    try
    {
        patches = engine.patch_fromText(text);
    }
    catch (const QString& message)
    {
        return unprintable(message);
    }
    const QString written = engine.patch_toText(patches);
    QList<Patch> again;
    try
    {
        again = engine.patch_fromText(written);
    }
    catch (const QString& message)
    {
        return QStringLiteral("the written patches do not read back: ") + message;
    }
    if (!samePatches(patches, again))
        return QStringLiteral("the patches read back as others: %1 then %2")
            .arg(describe(patches), describe(again));
    if (engine.patch_toText(again) != written)
        return QStringLiteral("the patches write as other text the second time");
    // What the reader accepts can be applied, to the text the patches were
    // made against as well as to another.
    QString source;
    for (const Patch& patch : patches)
        source += engine.diff_text1(patch.diffs);
    engine.patch_apply(patches, source);
    engine.patch_apply(patches, QStringLiteral("some other text"));
    return QString();
}

QString deltaReader(const QByteArray& data)
{
    const int split = data.indexOf('\0');
    const QString text1 = split < 0 ? QString() : QString::fromUtf8(data.left(split));
    const QString delta = QString::fromUtf8(split < 0 ? data : data.mid(split + 1));
    DiffEngine engine;
    QList<Diff> diffs;
    try
    {
        diffs = engine.diff_fromDelta(text1, delta);
    }
    catch (const QString&)
    {
        return QString();
    }
    if (engine.diff_text1(diffs) != text1)
        return QStringLiteral("the delta's diffs do not rebuild the source text");
    const QString written = engine.diff_toDelta(diffs);
    QList<Diff> again;
    try
    {
        again = engine.diff_fromDelta(text1, written);
    }
    catch (const QString& message)
    {
        return QStringLiteral("the written delta does not read back: ") + message;
    }
    if (engine.diff_text1(again) != text1 || engine.diff_text2(again) != engine.diff_text2(diffs))
        return QStringLiteral("the written delta reads back as other texts");
    if (engine.diff_toDelta(again) != written)
        return QStringLiteral("the delta writes as other text the second time");
    return QString();
}

QString jsonTree(const QByteArray& data)
{
    // The tree refuses repeated keys and raw control characters in keys, and
    // the host never hands them to QJsonDocument, which loses and leaks
    // values of such keys.
    XTHost::RepeatedKey repeated;
    if (XTHost::findRepeatedKey(data, &repeated))
    {
        XTHost::JsonTree tree;
        return tree.read(data) ? QStringLiteral("the tree takes a key the scan refuses: ") + repeated.mKey
                               : QString();
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    XTHost::JsonTree tree;
    if (tree.read(data))
    {
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return QStringLiteral("the tree takes a text QJsonDocument refuses: ") + error.errorString();
        const QString difference = compare(tree.root(), document.object(), QStringLiteral("$"));
        if (!difference.isEmpty())
            return QStringLiteral("the tree reads the text otherwise: ") + difference;
    }
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return QString();
    XTHost::JsonTree copy;
    copy.fromDocument(document);
    const QString difference = compare(copy.root(), document.object(), QStringLiteral("$"));
    if (!difference.isEmpty())
        return QStringLiteral("the tree built from the document differs: ") + difference;
    return QString();
}

QString scribusLoader(const QByteArray& data)
{
    const XTHost::ScribusProjectFormat format;
    XTHost::Project project;
    QString error;
    if (!format.parse(data, QStringLiteral("input.sla"), project, &error))
    {
        if (!error.startsWith(QStringLiteral("input.sla: ")) || error.size() <= 11)
            return QStringLiteral("the refusal does not name the file: ") + error;
        return unprintable(error);
    }
    const bool compressed = data.size() >= 2 && uchar(data[0]) == 0x1f && uchar(data[1]) == 0x8b;
    const QByteArray saved = format.serialize(project);
    if (!compressed && saved != data)
        return QStringLiteral("saving the unedited document gives other bytes");
    XTHost::Project reloaded;
    if (!format.parse(saved, QStringLiteral("saved.sla"), reloaded, &error))
        return QStringLiteral("the saved document does not load: ") + error;
    if (!(reloaded == project))
        return QStringLiteral("the saved document loads as another model");
    // An edit writes a document that reads back with it: the title, and the
    // first box moved by a point.
    XTHost::Layout& layout = project.mLayouts.front();
    layout.mName += QStringLiteral(" (edited)");
    for (XTHost::Spread& spread : layout.mSpreads)
        if (!spread.mBoxes.empty())
        {
            XTHost::Box& box = spread.mBoxes.front();
            if (box.mBounds.right < std::numeric_limits<Fixed>::max() - XT::kFixedOne)
            {
                box.mBounds.left += XT::kFixedOne;
                box.mBounds.right += XT::kFixedOne;
            }
            break;
        }
    if (!format.unwritable(project).isEmpty())
        return QString();
    XTHost::Project edited;
    if (!format.parse(format.serialize(project), QStringLiteral("edited.sla"), edited, &error))
        return QStringLiteral("the edited document does not load: ") + error;
    if (edited.mLayouts.front().mName != layout.mName)
        return QStringLiteral("the edited title does not read back");
    return QString();
}

} // namespace Fuzz
