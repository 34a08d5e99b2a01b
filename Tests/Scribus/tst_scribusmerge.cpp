// Second versions made by Scribus itself (edit-documents.py: a story's text,
// a frame moved and resized, a colour changed, an object added and one
// deleted), compared through the plug-in's comparison tree in an in-process
// host, then merged into the original through the plug-in's models, saved by
// the host, and read back by Scribus.
//
// The regular run uses every eighth template; CORVANE_SCRIBUS_ALL=1 uses
// every template (about ten minutes).

#include "ModelTestSupport.h"
#include "ScribusTestSupport.h"

#include "ApplyCommand.h"
#include "DiffModel.h"
#include "Format/ScribusProjectFormat.h"
#include "NodeDifferVisitor.h"
#include "ProjectTree.h"

#include <QRegularExpression>
#include <QTest>
#include <QUndoStack>

#include <functional>

namespace
{

// What edit-documents.py reports it did to one document.
struct Edits
{
    QString mError;
    QString mStory;
    QString mMoved;
    QString mColour;
    QString mAdded;
    QString mDeleted;
    int mDeletedKind = 0;
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
        if (word == QLatin1String("error"))
            edits.mError = rest;
        else if (word == QLatin1String("story"))
            edits.mStory = rest;
        else if (word == QLatin1String("moved"))
            edits.mMoved = rest;
        else if (word == QLatin1String("colour"))
            edits.mColour = rest;
        else if (word == QLatin1String("added"))
            edits.mAdded = rest;
        else if (word == QLatin1String("deleted"))
        {
            edits.mDeletedKind = rest.section(QLatin1Char(' '), 0, 0).toInt();
            edits.mDeleted = rest.mid(rest.indexOf(QLatin1Char(' ')) + 1);
        }
    }
    return edits;
}

// The plug-in names a box by its name and content kind: "Name(Text)".
QString boxName(const QString& shown)
{
    return shown.left(shown.lastIndexOf(QLatin1Char('(')));
}

QString storyName(const QString& firstFrame)
{
    return QStringLiteral("Story %1").arg(XTHost::ScribusProjectFormat::numberForName(firstFrame));
}

// Every box, story and asset pair of a comparison tree.
void forEachPair(ProjectTree& tree,
                 const std::function<void(const QString&, ProjectTreeNodeBase*, bool, bool)>& visit)
{
    std::function<void(ProjectTreeNodeBase*)> walk = [&](ProjectTreeNodeBase* node)
    {
        for (int i = 0; i < node->ChildCount(); ++i)
        {
            ProjectTreeNodeBase* child = node->Child(i);
            if (auto* box = dynamic_cast<ProjectTreeNode<Box>*>(child))
                visit(QStringLiteral("box ") +
                          boxName(box->mLeft.IsValid() ? box->mLeft.Name() : box->mRight.Name()),
                      child, box->mLeft.IsValid(), box->mRight.IsValid());
            else if (auto* story = dynamic_cast<ProjectTreeNode<Story>*>(child))
                visit(story->mLeft.IsValid() ? story->mLeft.Name() : story->mRight.Name(), child,
                      story->mLeft.IsValid(), story->mRight.IsValid());
            else if (auto* asset = dynamic_cast<ProjectTreeNode<Asset>*>(child))
                visit(QStringLiteral("asset ") +
                          (asset->mLeft.IsValid() ? asset->mLeft.Name() : asset->mRight.Name()),
                      child, asset->mLeft.IsValid(), asset->mRight.IsValid());
            else
                walk(child);
        }
    };
    walk(tree.Root());
}

// The layout, spread and page pairs of a comparison tree that are not the
// same on both sides.
QStringList differingStructure(ProjectTree& tree)
{
    QStringList differing;
    std::function<void(ProjectTreeNodeBase*)> walk = [&](ProjectTreeNodeBase* node)
    {
        for (int i = 0; i < node->ChildCount(); ++i)
        {
            ProjectTreeNodeBase* child = node->Child(i);
            const bool structure = dynamic_cast<ProjectTreeNode<Layout>*>(child) ||
                                   dynamic_cast<ProjectTreeNode<Spread>*>(child) ||
                                   dynamic_cast<ProjectTreeNode<Page>*>(child);
            if (structure && child->NodeType() != Identical)
                differing << child->Data(0).toString() + QLatin1String(": changed");
            walk(child);
        }
    };
    walk(tree.Root());
    return differing;
}

// A pair's difference as the comparison shows it: "changed", "only left",
// "only right", or empty when the two sides are the same.
QString differenceOf(ProjectTreeNodeBase* node, bool left, bool right)
{
    if (!left)
        return QStringLiteral("only right");
    if (!right)
        return QStringLiteral("only left");
    return node->NodeType() == Identical ? QString() : QStringLiteral("changed");
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
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("SCRIBUS_INPUTS"), mTemplates.join(QLatin1Char(':')));
        environment.insert(QStringLiteral("SCRIBUS_OUTDIR"), mDir.path());
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

    void secondVersion_data() { Rows(); }
    // Given a document and its second version made by Scribus, when the
    // plug-in compares them, then it shows exactly the edits the script
    // made: the story, the moved frame and the colour changed, the added
    // object only on the right, the deleted one (and its story) only on the
    // left, and nothing else: no other box, story or asset, no layout, spread
    // or page.
    void secondVersion()
    {
        QFETCH(int, index);
        const Edits edits = readReport(mDir.filePath(QStringLiteral("report-%1.txt").arg(index)));
        QVERIFY2(edits.mError.isEmpty(), qPrintable(edits.mError));
        const XTProjectId lhs =
            mSession->Session().Open(mDir.filePath(QStringLiteral("original-%1.sla").arg(index)));
        const XTProjectId rhs =
            mSession->Session().Open(mDir.filePath(QStringLiteral("edited-%1.sla").arg(index)));
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);

        QStringList expected;
        if (!edits.mStory.isEmpty())
            expected << storyName(edits.mStory) + QLatin1String(": changed");
        if (!edits.mMoved.isEmpty())
            expected << QLatin1String("box ") + edits.mMoved + QLatin1String(": changed");
        if (!edits.mColour.isEmpty())
            expected << QLatin1String("asset ") + edits.mColour + QLatin1String(": changed");
        expected << QLatin1String("box ") + edits.mAdded + QLatin1String(": only right");
        if (!edits.mDeleted.isEmpty())
        {
            expected << QLatin1String("box ") + edits.mDeleted + QLatin1String(": only left");
            if (edits.mDeletedKind == 4)
                expected << storyName(edits.mDeleted) + QLatin1String(": only left");
        }
        QStringList shown;
        int pairs = 0;
        ProjectTree tree(lhs, rhs);
        forEachPair(tree,
                    [&](const QString& key, ProjectTreeNodeBase* node, bool left, bool right)
                    {
                        ++pairs;
                        const QString difference = differenceOf(node, left, right);
                        if (!difference.isEmpty())
                            shown << key + QLatin1String(": ") + difference;
                    });
        shown << differingStructure(tree);
        expected.sort();
        shown.sort();
        QVERIFY2(shown == expected, qPrintable(QStringLiteral("shown:\n  %1\nexpected:\n  %2")
                                                   .arg(shown.join(QLatin1String("\n  ")),
                                                        expected.join(QLatin1String("\n  ")))));
        QVERIFY(pairs > expected.size());
    }

    // Given the committed sample pair (made by scripts/make-scribus-sample),
    // when the plug-in compares it, then it shows the edits the sample
    // script made and nothing else.
    void samplePair()
    {
        const QString dir =
            QString::fromLocal8Bit(qgetenv("CORVANE_SOURCE_DIR")) + QStringLiteral("/Samples/scribus/");
        const XTProjectId lhs = mSession->Session().Open(dir + QStringLiteral("harbour-notice-v1.sla"));
        const XTProjectId rhs = mSession->Session().Open(dir + QStringLiteral("harbour-notice-v2.sla"));
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);
        ProjectTree tree(lhs, rhs);
        QStringList shown = differingStructure(tree);
        forEachPair(tree,
                    [&](const QString& key, ProjectTreeNodeBase* node, bool left, bool right)
                    {
                        const QString difference = differenceOf(node, left, right);
                        if (!difference.isEmpty())
                            shown << key + QLatin1String(": ") + difference;
                    });
        QStringList expected = {storyName(QStringLiteral("Body 1")) + QLatin1String(": changed"),
                                storyName(QStringLiteral("Footer")) + QLatin1String(": changed"),
                                storyName(QStringLiteral("Tide table")) + QLatin1String(": only left"),
                                storyName(QStringLiteral("Ferry times")) + QLatin1String(": only right"),
                                QStringLiteral("box Buoy: changed"),
                                QStringLiteral("box Tide table: only left"),
                                QStringLiteral("box Ferry times: only right"),
                                QStringLiteral("asset Harbour Blue: changed")};
        expected.sort();
        shown.sort();
        QCOMPARE(shown, expected);
    }

    void merge_data() { Rows(); }
    // Given every difference copied from the second version into the
    // original through the plug-in's models (the added object copied whole,
    // the deleted one removed) and saved by the host, when Scribus reads the
    // merged document, then it shows the same pages, objects, text and
    // colours as the second version: the added object where Scribus put it,
    // and no deleted one.
    void merge()
    {
        QFETCH(int, index);
        const Edits edits = readReport(mDir.filePath(QStringLiteral("report-%1.txt").arg(index)));
        QVERIFY2(edits.mError.isEmpty(), qPrintable(edits.mError));
        const QString left = mSession->TempPath(QStringLiteral("merged-%1.sla").arg(index));
        const QString right = mSession->TempPath(QStringLiteral("edited-%1.sla").arg(index));
        QVERIFY(QFile::copy(mDir.filePath(QStringLiteral("original-%1.sla").arg(index)), left));
        QVERIFY(QFile::copy(mDir.filePath(QStringLiteral("edited-%1.sla").arg(index)), right));
        const HostApi& api = mSession->Api();
        const XTProjectId lhs = mSession->Session().Open(left);
        const XTProjectId rhs = mSession->Session().Open(right);
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);
        int applied = 0;
        {
            ProjectTree tree(lhs, rhs);
            std::vector<std::unique_ptr<DiffModel>> models;
            forEachPair(tree,
                        [&](const QString&, ProjectTreeNodeBase* node, bool, bool)
                        {
                            std::unique_ptr<DiffModel> model(NodeDifferVisitor(Complete).Diff(*node));
                            for (int row = 0; row < model->rowCount(); ++row)
                            {
                                const QModelIndex cell = model->index(row, 0);
                                if (model->IsEquality(cell) || !model->CanApply(cell))
                                    continue;
                                model->UndoStack()->push(new ApplyCommand(model.get(), cell, Left));
                                ++applied;
                            }
                            models.push_back(std::move(model));
                        });
            for (const auto& model : models)
            {
                const QStringList refused = model->Save();
                QVERIFY2(refused.isEmpty(), qPrintable(refused.join(QLatin1Char('\n'))));
            }
        }
        QVERIFY(applied > 0);
        QCOMPARE(api.mProject->SaveProject(lhs, 0, 0), XT::kNoErr);
        QCOMPARE(api.mProject->CloseProject(lhs, 1), XT::kNoErr);

        QString log;
        const QMap<QString, QStringList> shown = ScribusTest::printDocuments(
            {left, right}, mSession->TempPath(QStringLiteral("printed.txt")), &log);
        const QStringList merged = shown.value(QFileInfo(left).fileName());
        const QStringList edited = shown.value(QFileInfo(right).fileName());
        QVERIFY2(!merged.isEmpty() && !edited.isEmpty(), qPrintable(log));
        auto hasItem = [](const QStringList& lines, const QString& name)
        {
            return std::any_of(
                lines.begin(), lines.end(),
                [&](const QString& line)
                { return line.startsWith(QLatin1String("  ") + name + QLatin1String(" type=")); });
        };
        QVERIFY(hasItem(edited, edits.mAdded));
        QVERIFY2(hasItem(merged, edits.mAdded), qPrintable(merged.join(QLatin1Char('\n'))));
        if (!edits.mDeleted.isEmpty())
            QVERIFY(!hasItem(merged, edits.mDeleted));
        QString difference;
        QVERIFY2(samePrint(merged, edited, 0.011, &difference), qPrintable(difference));
    }

private:
    void Rows()
    {
        if (mTemplates.isEmpty())
            QSKIP("scribus, scribus-template or scribus-data is not installed (scripts/setup installs them)");
        QTest::addColumn<int>("index");
        for (int i = 0; i < mTemplates.size(); ++i)
            QTest::newRow(qPrintable(ScribusTest::rowName(mTemplates[i]))) << i;
    }

    QTemporaryDir mDir;
    QStringList mTemplates;
    std::unique_ptr<ModelSession> mSession;
};

QTEST_MAIN(TestScribusMerge)
#include "tst_scribusmerge.moc"
