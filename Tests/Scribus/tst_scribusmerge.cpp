// Second versions made by Scribus itself from Debian's templates
// (edit-documents.py: a story's text, an unnamed object deleted from the
// middle of the document so that Scribus renames those after it, a shape
// duplicated, a frame moved and resized, a colour and a picture changed, an
// object added), and formatting-only versions (a few characters' size,
// font or colour, or a paragraph's style): the comparison shows exactly
// those edits, a deletion as one; corvane-merge --take right then leaves the
// pair identical, and Scribus shows the merged document as it shows the
// second version, character by character.
//
// The regular run uses every eighth template; CORVANE_SCRIBUS_ALL=1 uses
// every template.

#include "ModelTestSupport.h"
#include "ScribusTestSupport.h"

#include "DiffModel.h"
#include "NodeDifferVisitor.h"
#include "ProjectTree.h"

#include "../Tools/ToolRun.h"

#include <QRegularExpression>
#include <QTest>

#include <functional>

namespace
{

// What edit-documents.py reports it did to one document, as the pairs the
// comparison must show: "box NAME", "story FIRST-FRAME", "asset NAME" with
// their difference.
struct Edits
{
    QString mError;
    QString mStory;
    QStringList mExpected;
    // The formatting-only version: its story, and what changed in it.
    QString mRestyleError;
    QString mRestyled;
    QString mRestyledWhat;
};

Edits readReport(const QString& path)
{
    Edits edits;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        edits.mError = QStringLiteral("no report");
        return edits;
    }
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    {
        const QString word = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.mid(word.size() + 1);
        const QString first = rest.section(QLatin1String(" -> "), 0, 0);
        const QString second = rest.section(QLatin1String(" -> "), 1);
        if (word == QLatin1String("error"))
            edits.mError = rest;
        else if (word == QLatin1String("restyle-error"))
            edits.mRestyleError = rest;
        else if (word == QLatin1String("restyled"))
        {
            edits.mRestyledWhat = rest.section(QLatin1Char(' '), -1);
            edits.mRestyled = rest.left(rest.size() - edits.mRestyledWhat.size() - 1);
        }
        else if (word == QLatin1String("story"))
        {
            edits.mStory = rest;
            edits.mExpected << QStringLiteral("story %1: changed").arg(rest);
        }
        else if (word == QLatin1String("moved") || word == QLatin1String("picture"))
            edits.mExpected << QStringLiteral("box %1: changed").arg(first);
        else if (word == QLatin1String("colour"))
            edits.mExpected << QStringLiteral("asset %1: changed").arg(rest);
        else if (word == QLatin1String("added"))
            edits.mExpected << QStringLiteral("box %1: only right").arg(rest);
        else if (word == QLatin1String("duplicated"))
            edits.mExpected << QStringLiteral("box %1: only right").arg(second);
        else if (word == QLatin1String("deleted"))
        {
            const QString name = rest.mid(rest.indexOf(QLatin1Char(' ')) + 1);
            edits.mExpected << QStringLiteral("box %1: only left").arg(name);
            if (rest.section(QLatin1Char(' '), 0, 0) == QLatin1String("4"))
                edits.mExpected << QStringLiteral("story %1: only left").arg(name);
        }
        // "renamed": Scribus's names for the objects after a deleted one;
        // the comparison shows nothing for them.
    }
    return edits;
}

// The plug-in names a box by its name and content kind: "Name(Text)".
QString boxName(const QString& shown)
{
    return shown.left(shown.lastIndexOf(QLatin1Char('(')));
}

QString storyKey(const Story& story)
{
    long box = XT::kNoBox;
    story.GetUsage(&box);
    return QStringLiteral("story ") + (box == XT::kNoBox ? story.Name() : boxName(Box(box).Name()));
}

// Every difference the comparison shows, as readReport spells them, and the
// layout, spread and page pairs that differ.
QStringList shownDifferences(ProjectTree& tree, int* pairs)
{
    QStringList shown;
    std::function<void(ProjectTreeNodeBase*)> walk = [&](ProjectTreeNodeBase* node)
    {
        for (int i = 0; i < node->ChildCount(); ++i)
        {
            ProjectTreeNodeBase* child = node->Child(i);
            walk(child);
            QString key;
            bool left = true, right = true;
            if (auto* box = dynamic_cast<ProjectTreeNode<Box>*>(child))
            {
                left = box->mLeft.IsValid(), right = box->mRight.IsValid();
                key = QLatin1String("box ") + boxName(left ? box->mLeft.Name() : box->mRight.Name());
            }
            else if (auto* story = dynamic_cast<ProjectTreeNode<Story>*>(child))
            {
                left = story->mLeft.IsValid(), right = story->mRight.IsValid();
                key = storyKey(left ? story->mLeft : story->mRight);
            }
            else if (auto* asset = dynamic_cast<ProjectTreeNode<Asset>*>(child))
            {
                left = asset->mLeft.IsValid(), right = asset->mRight.IsValid();
                key = QLatin1String("asset ") + (left ? asset->mLeft.Name() : asset->mRight.Name());
            }
            else if (dynamic_cast<ProjectTreeNode<Layout>*>(child) || dynamic_cast<ProjectTreeNode<Spread>*>(child) ||
                     dynamic_cast<ProjectTreeNode<Page>*>(child))
                key = child->Data(0).toString();
            else
                continue;
            ++*pairs;
            if (!left || !right)
                shown << key + (left ? QLatin1String(": only left") : QLatin1String(": only right"));
            else if (child->NodeType() != Identical)
                shown << key + QLatin1String(": changed");
        }
    };
    walk(tree.Root());
    shown.sort();
    return shown;
}

// Whether two Scribus prints say the same, numbers within `tolerance`: the
// host keeps measures in 16.16 fixed point, so a copied position or size can
// be 1/65536 pt off, which may tip the printed second decimal.
bool samePrint(const QStringList& left, const QStringList& right, double tolerance, QString* difference)
{
    static const QRegularExpression sNumber(QStringLiteral("-?\\d+\\.\\d+"));
    for (int i = 0; i < std::max(left.size(), right.size()); ++i)
    {
        const QString a = left.value(i), b = right.value(i);
        QString textA = a, textB = b;
        textA.replace(sNumber, QStringLiteral("#"));
        textB.replace(sNumber, QStringLiteral("#"));
        bool same = textA == textB;
        auto numbersA = sNumber.globalMatch(a), numbersB = sNumber.globalMatch(b);
        while (same && numbersA.hasNext() && numbersB.hasNext())
            same = std::abs(numbersA.next().captured().toDouble() - numbersB.next().captured().toDouble()) <=
                   tolerance;
        if (!same)
        {
            *difference = QStringLiteral("line %1:\n  %2\n  %3").arg(i).arg(a, b);
            return false;
        }
    }
    return true;
}

// A small PNG of one colour, written without a picture library.
QByteArray png(uchar red)
{
    auto chunk = [](const QByteArray& type, const QByteArray& data)
    {
        QByteArray out;
        QDataStream(&out, QIODevice::WriteOnly) << quint32(data.size());
        out += type + data;
        const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(out.constData() + 4),
                                uInt(out.size() - 4));
        QByteArray tail;
        QDataStream(&tail, QIODevice::WriteOnly) << quint32(crc);
        return out + tail;
    };
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly) << quint32(8) << quint32(8) << quint8(8) << quint8(2) << quint8(0)
                                               << quint8(0) << quint8(0);
    QByteArray raw;
    for (int y = 0; y < 8; ++y)
    {
        raw += char(0); // no filter
        for (int x = 0; x < 8; ++x)
            raw.append(char(red)).append(char(30)).append(char(30));
    }
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray packed(int(size), Qt::Uninitialized);
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.constData()),
             uLong(raw.size()));
    packed.resize(int(size));
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", packed) + chunk("IEND", {});
}

} // namespace

class TestScribusMerge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        // Without Scribus the sample pair is still compared.
        if (ScribusTest::scribusProgram().isEmpty() || ScribusTest::templates().isEmpty())
            return;
        const QStringList all = ScribusTest::templates();
        const bool everything = qEnvironmentVariableIntValue("CORVANE_SCRIBUS_ALL") != 0;
        for (int i = 0; i < all.size(); ++i)
            if (everything || i % 8 == 0)
                mTemplates << all[i];
        const QString picture = mDir.filePath(QStringLiteral("replacement.png"));
        QVERIFY(WriteFile(picture, png(200)));
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("SCRIBUS_INPUTS"), mTemplates.join(QLatin1Char(':')));
        environment.insert(QStringLiteral("SCRIBUS_OUTDIR"), mDir.path());
        environment.insert(QStringLiteral("SCRIBUS_PICTURE"), picture);
        QString log;
        QCOMPARE(ScribusTest::runScribus(ScribusTest::scriptPath(QStringLiteral("edit-documents.py")),
                                         environment, &log),
                 0);
    }

    void init()
    {
        mSession = std::make_unique<ModelSession>();
        QVERIFY(mSession->IsReady());
    }
    void cleanup() { mSession.reset(); }

    void secondVersion_data()
    {
        if (mTemplates.isEmpty())
            QSKIP("scribus, scribus-template or scribus-data is not installed (scripts/setup installs them)");
        QTest::addColumn<int>("index");
        for (int i = 0; i < mTemplates.size(); ++i)
            QTest::newRow(qPrintable(ScribusTest::rowName(mTemplates[i]))) << i;
    }
    // Given a document and its second version made by Scribus, when the
    // plug-in compares them, then it shows exactly the edits the script
    // made, and nothing for the objects Scribus renamed.
    void secondVersion()
    {
        QFETCH(int, index);
        const Edits edits = readReport(mDir.filePath(QStringLiteral("report-%1.txt").arg(index)));
        QVERIFY2(edits.mError.isEmpty(), qPrintable(edits.mError));
        const XTProjectId lhs = mSession->Session().Open(mDir.filePath(QStringLiteral("original-%1.sla").arg(index)));
        const XTProjectId rhs = mSession->Session().Open(mDir.filePath(QStringLiteral("edited-%1.sla").arg(index)));
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);
        ProjectTree tree(lhs, rhs);
        int pairs = 0;
        const QStringList shown = shownDifferences(tree, &pairs);
        QStringList expected = edits.mExpected;
        expected.sort();
        QVERIFY2(shown == expected, qPrintable(QStringLiteral("shown:\n  %1\nexpected:\n  %2")
                                                   .arg(shown.join(QLatin1String("\n  ")),
                                                        expected.join(QLatin1String("\n  ")))));
        QVERIFY(pairs > expected.size());
    }

    void restyledVersion_data() { secondVersion_data(); }
    // Given a document and a version that Scribus formatted otherwise and
    // did not edit, when the plug-in compares them, then the story is
    // edited (never identical), its rows say how, and a new style is new.
    void restyledVersion()
    {
        QFETCH(int, index);
        const Edits edits = readReport(mDir.filePath(QStringLiteral("report-%1.txt").arg(index)));
        QVERIFY2(edits.mRestyleError.isEmpty(), qPrintable(edits.mRestyleError));
        if (edits.mRestyled.isEmpty())
            QSKIP("the document has no story to format");
        const XTProjectId lhs = mSession->Session().Open(mDir.filePath(QStringLiteral("original-%1.sla").arg(index)));
        const XTProjectId rhs = mSession->Session().Open(mDir.filePath(QStringLiteral("restyled-%1.sla").arg(index)));
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);
        ProjectTree tree(lhs, rhs);
        int pairs = 0;
        QStringList expected = {QStringLiteral("story %1: changed").arg(edits.mRestyled)};
        if (edits.mRestyledWhat == QLatin1String("style"))
            expected << QStringLiteral("asset Restyled: only right") << QStringLiteral("asset Restyled characters: only right");
        expected.sort();
        QCOMPARE(shownDifferences(tree, &pairs), expected);
        const QMap<QString, QString> attribute{{QStringLiteral("size"), QStringLiteral("size ")},
                                               {QStringLiteral("font"), QStringLiteral("font ")},
                                               {QStringLiteral("colour"), QStringLiteral("colour ")},
                                               {QStringLiteral("style"), QStringLiteral("paragraph style ")}};
        QStringList said;
        std::function<void(ProjectTreeNodeBase*)> walk = [&](ProjectTreeNodeBase* node)
        {
            for (int i = 0; i < node->ChildCount(); ++i)
                walk(node->Child(i));
            if (dynamic_cast<ProjectTreeNode<Story>*>(node) && node->NodeType() == HasEdits)
            {
                const std::unique_ptr<DiffModel> model(NodeDifferVisitor(Complete).Diff(*node));
                for (int row = 0; row < model->rowCount(); ++row)
                    said << model->FormatChanges(row);
            }
        };
        walk(tree.Root());
        QVERIFY2(std::any_of(said.begin(), said.end(), [&](const QString& line)
                             { return line.startsWith(attribute.value(edits.mRestyledWhat)); }),
                 qPrintable(said.join(QLatin1Char('\n'))));
    }

    // Given each original and its second version (edited, or formatted
    // otherwise), when corvane-merge takes the second version's side, then
    // it saves the original, finds it identical when it reads it back, and
    // so does corvane-compare; and Scribus shows the merged document as it
    // shows the second version, to each character's font, size and colour.
    void mergeTakesTheSecondVersion()
    {
        if (mTemplates.isEmpty())
            QSKIP("scribus, scribus-template or scribus-data is not installed (scripts/setup installs them)");
        QStringList printed;
        QStringList failures;
        QStringList names;
        for (int pair = 0; pair < 2 * mTemplates.size(); ++pair)
        {
            const int i = pair / 2;
            const bool restyled = pair % 2 == 1;
            const Edits edits = readReport(mDir.filePath(QStringLiteral("report-%1.txt").arg(i)));
            if (restyled && edits.mRestyled.isEmpty())
                continue;
            const QString left = mDir.filePath(QStringLiteral("merged-%1-%2.sla").arg(i).arg(pair % 2));
            const QString right = mDir.filePath(QStringLiteral("second-%1-%2.sla").arg(i).arg(pair % 2));
            QVERIFY(QFile::copy(mDir.filePath(QStringLiteral("original-%1.sla").arg(i)), left));
            QVERIFY(QFile::copy(
                mDir.filePath(QString::fromLatin1(restyled ? "restyled-%1.sla" : "edited-%1.sla").arg(i)), right));
            names << ScribusTest::rowName(mTemplates[i]) + (restyled ? QLatin1String(" restyled") : QLatin1String(""));
            const Run merge = Execute(QStringLiteral(CORVANE_MERGE), {QStringLiteral("--take"), QStringLiteral("right"), left, right});
            const Run compare = Execute(QStringLiteral(CORVANE_COMPARE), {QStringLiteral("-q"), left, right});
            if (merge.status != 0 || compare.status != 0)
            {
                QStringList problems;
                for (const QString& line : merge.out.split(QLatin1Char('\n')))
                    if (line.startsWith(QLatin1Char('!')))
                        problems << line;
                failures << QStringLiteral("%1: merge %2, compare %3:\n%4%5\n%6")
                                .arg(names.last())
                                .arg(merge.status)
                                .arg(compare.status)
                                .arg(problems.join(QLatin1Char('\n')), merge.err, compare.out.right(600));
            }
            printed << left << right;
        }
        QString log;
        const QMap<QString, QStringList> shown =
            ScribusTest::printDocuments(printed, mDir.filePath(QStringLiteral("printed.txt")), &log);
        QVERIFY2(!shown.isEmpty(), qPrintable(log));
        for (int i = 0; i < names.size(); ++i)
        {
            const QStringList merged = shown.value(QFileInfo(printed[2 * i]).fileName());
            const QStringList second = shown.value(QFileInfo(printed[2 * i + 1]).fileName());
            QString difference;
            if (merged.isEmpty() || !samePrint(merged, second, 0.011, &difference))
                failures << names[i] + QLatin1String(": Scribus shows ") +
                                (merged.isEmpty() ? QStringLiteral("nothing") : difference);
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
    }

    // Given the committed sample pair (made by scripts/make-scribus-sample),
    // when the plug-in compares it, then it shows the edits the sample
    // script made and nothing else.
    void samplePair()
    {
        const XTProjectId lhs = mSession->Session().Open(Sample(QStringLiteral("scribus/harbour-notice-v1.sla")));
        const XTProjectId rhs = mSession->Session().Open(Sample(QStringLiteral("scribus/harbour-notice-v2.sla")));
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);
        ProjectTree tree(lhs, rhs);
        int pairs = 0;
        const QStringList shown = shownDifferences(tree, &pairs);
        QStringList expected = {QStringLiteral("story Body 1: changed"),      QStringLiteral("story Footer: changed"),
                                QStringLiteral("story Tide table: only left"), QStringLiteral("story Ferry times: only right"),
                                QStringLiteral("box Buoy: changed"),           QStringLiteral("box Tide table: only left"),
                                QStringLiteral("box Ferry times: only right"), QStringLiteral("asset Harbour Blue: changed")};
        expected.sort();
        QCOMPARE(shown, expected);
        // The layout goes by the document's title.
        QStringList layouts;
        std::function<void(ProjectTreeNodeBase*)> walk = [&](ProjectTreeNodeBase* node)
        {
            if (dynamic_cast<ProjectTreeNode<Layout>*>(node))
                layouts << node->Data(0).toString();
            for (int i = 0; i < node->ChildCount(); ++i)
                walk(node->Child(i));
        };
        walk(tree.Root());
        QCOMPARE(layouts, QStringList{QStringLiteral("Harbour notice | Harbour notice")});
    }

private:
    QTemporaryDir mDir;
    QStringList mTemplates;
    std::unique_ptr<ModelSession> mSession;
};

QTEST_MAIN(TestScribusMerge)
#include "tst_scribusmerge.moc"
