// Merges saved through the host and read back: every applicable change row
// of every pair copied to the left, saved, reopened and compared again; and
// rows of the same story pairs copied both ways.

#include "ModelTestSupport.h"

#include "ApplyCommand.h"
#include "DiffModel.h"
#include "NodeDifferVisitor.h"
#include "ProjectGenerator.h"
#include "ProjectTree.h"

#include <QFile>
#include <QTest>
#include <QUndoStack>

#include <functional>
#include <map>

namespace
{

// A pair node of the kinds whose rows may be applied, with a key that stays
// the same when the left side is created by the merge.
struct PairNode
{
    QString mKey;
    ProjectTreeNodeBase* mNode;
    bool mBothSides;
};

template <typename T> bool Take(ProjectTreeNodeBase* node, const QString& path, std::vector<PairNode>& pairs)
{
    auto* pair = dynamic_cast<ProjectTreeNode<T>*>(node);
    if (!pair)
        return false;
    const QString name = pair->mRight.IsValid() ? pair->mRight.Name() : pair->mLeft.Name();
    pairs.push_back({path + QLatin1Char('/') + name, node, pair->mLeft.IsValid() && pair->mRight.IsValid()});
    return true;
}

std::vector<PairNode> ApplicablePairs(ProjectTree& tree)
{
    std::vector<PairNode> pairs;
    std::function<void(ProjectTreeNodeBase*, const QString&)> walk =
        [&](ProjectTreeNodeBase* node, const QString& path)
    {
        for (int i = 0; i < node->ChildCount(); ++i)
        {
            ProjectTreeNodeBase* child = node->Child(i);
            if (!Take<Box>(child, path, pairs) && !Take<Story>(child, path, pairs) &&
                !Take<Asset>(child, path, pairs))
                walk(child, path + QLatin1Char('/') +
                                (dynamic_cast<PlaceholderNode*>(child) ? child->Data(0).toString()
                                                                       : QString::number(i)));
        }
    };
    walk(tree.Root(), QString());
    return pairs;
}

// Every node of the tree as "path/text" (the text names both sides) with its
// status.
std::map<QString, int> Statuses(ProjectTree& tree)
{
    std::map<QString, int> statuses;
    std::function<void(ProjectTreeNodeBase*, const QString&)> walk =
        [&](ProjectTreeNodeBase* node, const QString& path)
    {
        for (int i = 0; i < node->ChildCount(); ++i)
        {
            ProjectTreeNodeBase* child = node->Child(i);
            const QString key = path + QLatin1Char('/') + child->Data(0).toString();
            statuses[key] = child->NodeType();
            walk(child, key);
        }
    };
    walk(tree.Root(), QString());
    return statuses;
}

struct Files
{
    QString mLeft;
    QString mRight;
};

} // namespace

class TestMergeRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mSession = std::make_unique<ModelSession>();
        QVERIFY(mSession->IsReady());
    }
    void cleanup() { mSession.reset(); }

    void copyEverything_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<int>("direction");
        for (int direction : {int(Left), int(Right)})
        {
            const char* to = direction == Left ? "to the left" : "to the right";
            QTest::newRow(qPrintable(QStringLiteral("samples, %1").arg(to)))
                << SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj"))
                << SourcePath(QStringLiteral("Samples/harbour-gazette-v2.xprj")) << direction;
            QTest::newRow(qPrintable(QStringLiteral("structure, %1").arg(to)))
                << QStringLiteral("structure") << QString() << direction;
            for (uint32_t seed : {3u, 4u, 5u})
                QTest::newRow(qPrintable(QStringLiteral("generated, seed %1, %2").arg(seed).arg(to)))
                    << QStringLiteral("gen:%1").arg(seed) << QString() << direction;
        }
    }
    // Given every copyable change row of every differing pair copied one way
    // (items only one side has made or removed whole) and written in the
    // tree's order, when the destination is saved, read again and compared,
    // then the two projects are identical and the source is untouched.
    void copyEverything()
    {
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(int, direction);
        const Files files = Copies(left, right);
        const HostApi& api = mSession->Api();
        XTProjectId projects[2] = {mSession->Session().Open(files.mLeft),
                                   mSession->Session().Open(files.mRight)};
        QVERIFY(projects[0] != XT::kNoProject && projects[1] != XT::kNoProject);
        const int destination = direction == Left ? 0 : 1;
        const QString sourceBytes = Bytes(destination == 0 ? files.mRight : files.mLeft);

        int marked = 0;
        {
            ProjectTree tree(projects[0], projects[1]);
            QVERIFY(tree.RollupOf(tree.Root()->Child(0)).Total() > 0);
            std::vector<std::unique_ptr<DiffModel>> models =
                MarkEverything(tree, ApplyDirection(direction), &marked);
            QStringList refused;
            for (const auto& model : models)
                refused << model->Save();
            QVERIFY2(refused.isEmpty(), qPrintable(refused.join(QLatin1Char('\n'))));
        }
        QVERIFY(marked > 0);
        QVERIFY(api.mProject->IsProjectModified(projects[destination]));
        QVERIFY(!api.mProject->IsProjectModified(projects[1 - destination]));
        QCOMPARE(api.mProject->SaveProject(projects[destination], 0, 0), XT::kNoErr);
        QCOMPARE(api.mProject->CloseProject(projects[destination], 1), XT::kNoErr);
        projects[destination] = mSession->Session().Open(destination == 0 ? files.mLeft : files.mRight);
        QVERIFY2(projects[destination] != XT::kNoProject, "the merged project does not load again");

        ProjectTree reread(projects[0], projects[1]);
        QStringList differing;
        for (const auto& entry : Statuses(reread))
            if (entry.second != Identical && entry.second != Folder &&
                entry.first.count(QLatin1Char('/')) > 1)
                differing << entry.first;
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join(QLatin1Char('\n'))));
        QCOMPARE(Bytes(destination == 0 ? files.mRight : files.mLeft), sourceBytes);
    }

    // Given a copy of a missing layout that the host refuses, when the
    // merge is written, then the layout is reported once with the reason,
    // the items on it as having nowhere to go, the other pairs are written,
    // and the refused layout is still missing.
    void refusedStructureCopyIsReported()
    {
        const Files files = Copies(QStringLiteral("structure"), QString());
        const XTProjectId lhs = mSession->Session().Open(files.mLeft);
        const XTProjectId rhs = mSession->Session().Open(files.mRight);
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);
        mSession->Host().refuseEdit(QStringLiteral("CopyLayout"));
        QStringList refused;
        {
            ProjectTree tree(lhs, rhs);
            int marked = 0;
            for (const auto& model : MarkEverything(tree, Right, &marked))
                refused << model->Save();
        }
        // One line for the layout, and one for each item on it (its spread,
        // the spread's page, its box, the story in the box), which has
        // nowhere to go.
        QCOMPARE(refused.value(0),
                 QStringLiteral("Web to the RHS: the host refused to copy the layout"));
        QVERIFY2(refused.size() == 5, qPrintable(refused.join(QLatin1Char('\n'))));
        for (const QString& line : refused.mid(1))
            QVERIFY2(line.contains(QStringLiteral("this side has no ")) &&
                         line.contains(QStringLiteral("layout 2")) && line.endsWith(QStringLiteral(" first")),
                     qPrintable(line));
        QCOMPARE(mSession->LayoutNumbered(rhs, 2), XT::kNoDoc);
        // Everything else went in: the spread of layout 1 did.
        QCOMPARE(mSession->Api().mSpread->GetSpreadCount(mSession->LayoutNumbered(rhs, 1), 0), int16_t(2));
    }

    // Given the stories that only the right side has, copied to the left and
    // saved, when the projects are compared again, then a story whose box
    // has its layout and spread on the left is identical, and its box pairs
    // with its original (it went to the same layout and spread under the
    // same number, replacing the box of another kind that had it); a story
    // whose box has nowhere to go is refused with what to copy first; and
    // no pair that was identical before has become different.
    void missingStoriesLandWhereTheyStand()
    {
        const Files files = Copies(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj")),
                                   SourcePath(QStringLiteral("Samples/harbour-gazette-v2.xprj")));
        XTProjectId lhs = mSession->Session().Open(files.mLeft);
        const XTProjectId rhs = mSession->Session().Open(files.mRight);
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);

        std::map<QString, int> before;
        QStringList copied, refusals;
        {
            ProjectTree tree(lhs, rhs);
            before = Statuses(tree);
            std::vector<std::unique_ptr<DiffModel>> models;
            for (const PairNode& pair : ApplicablePairs(tree))
            {
                auto* story = dynamic_cast<ProjectTreeNode<Story>*>(pair.mNode);
                if (!story || story->mLeft.IsValid())
                    continue;
                std::unique_ptr<DiffModel> model(NodeDifferVisitor(Complete).Diff(*pair.mNode));
                QVERIFY(model->rowCount() > 0);
                model->UndoStack()->push(new ApplyCommand(model.get(), model->index(0, 0), Left));
                const QStringList refused = model->Save();
                if (refused.isEmpty())
                    copied << story->mRight.Name();
                else
                    refusals << refused;
            }
        }
        QCOMPARE(copied, QStringList({"Story 6"}));
        QCOMPARE(refusals,
                 QStringList({"Story 7, row 1 to the LHS: this side's layout has no spread 4: copy the spread first",
                              "Story 8, row 1 to the LHS: this side has no layout 3: copy the layout first"}));
        QCOMPARE(mSession->Api().mProject->SaveProject(lhs, 0, 0), XT::kNoErr);
        QCOMPARE(mSession->Api().mProject->CloseProject(lhs, 1), XT::kNoErr);
        lhs = mSession->Session().Open(files.mLeft);
        QVERIFY(lhs != XT::kNoProject);

        ProjectTree reread(lhs, rhs);
        const std::map<QString, int> after = Statuses(reread);
        QStringList wrong;
        auto find = [&](const QString& end) -> int
        {
            for (const auto& entry : after)
                if (entry.first.endsWith(end))
                    return entry.second;
            return -1;
        };
        for (const QString& name : copied)
            if (find(QStringLiteral("/Stories/%1 | %1").arg(name)) != Identical)
                wrong << name + QStringLiteral(" is not identical");
        // Story 6's box takes number 6, the picture's on the left.
        if (find(QStringLiteral("Print edition | Print edition/Boxes/Portrait caption(Text) | Portrait caption(Text)")) !=
            Identical)
            wrong << QStringLiteral("the box of story 6 does not pair with its original");
        for (const auto& entry : before)
            if (entry.second == Identical &&
                (after.count(entry.first) == 0 || after.at(entry.first) != Identical))
                wrong << entry.first + QStringLiteral(" became different");
        // No item pairs with another item than its original: a pair of two
        // names is one that was there before.
        for (const auto& entry : after)
        {
            const QString text = entry.first.section(QLatin1Char('/'), -1);
            const QStringList sides = text.split(QStringLiteral(" | "));
            if (sides.size() == 2 && sides[0] != sides[1] && !text.contains(QStringLiteral("Missing")) &&
                before.count(entry.first) == 0)
                wrong << entry.first + QStringLiteral(" pairs two items");
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("\n"))));
    }

    void bothDirections_data() { Inputs(); }
    // Rows of the same story pairs applied some to the left, some to the
    // right: after Save both documents read as the rows say.
    void bothDirections()
    {
        QFETCH(QString, left);
        QFETCH(QString, right);
        const Files files = Copies(left, right);
        const XTProjectId lhs = mSession->Session().Open(files.mLeft);
        const XTProjectId rhs = mSession->Session().Open(files.mRight);
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);
        ProjectTree tree(lhs, rhs);
        std::mt19937 random(7);
        int mixed = 0;
        QStringList wrong;
        for (const PairNode& pair : ApplicablePairs(tree))
        {
            auto* story = dynamic_cast<ProjectTreeNode<Story>*>(pair.mNode);
            if (!story || !pair.mBothSides)
                continue;
            std::unique_ptr<DiffModel> model(NodeDifferVisitor(Complete).Diff(*pair.mNode));
            int covered = 0;
            int covered2 = 0;
            bool toLeft = false, toRight = false;
            for (int row = 0; row < model->rowCount(); ++row)
            {
                covered += model->index(row, 0).data().toString().size();
                covered2 += model->index(row, 1).data().toString().size();
                const QModelIndex index = model->index(row, 0);
                if (model->IsEquality(index))
                    continue;
                const ApplyDirection direction = random() % 2 ? Left : Right;
                (direction == Left ? toLeft : toRight) = true;
                model->UndoStack()->push(new ApplyCommand(model.get(), index, direction));
            }
            mixed += toLeft && toRight ? 1 : 0;
            // The rows as they now show, then the unchanged rest.
            QString expectedLeft, expectedRight;
            for (int row = 0; row < model->rowCount(); ++row)
            {
                expectedLeft += model->index(row, 0).data().toString();
                expectedRight += model->index(row, 1).data().toString();
            }
            expectedLeft += model->LeftText().mid(covered);
            expectedRight += model->RightText().mid(covered2);
            QCOMPARE(model->Save(), QStringList());
            if (story->mLeft.ToString() != expectedLeft || story->mRight.ToString() != expectedRight)
                wrong << story->mLeft.Name();
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
        QVERIFY(mixed > 0);
    }

private:
    static QString Bytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().toBase64()) : QString();
    }

    // The differing pairs of a tree in its order, each with every copyable
    // change row marked one way: what a merge of everything does.
    static std::vector<std::unique_ptr<DiffModel>> MarkEverything(ProjectTree& tree, ApplyDirection direction,
                                                                  int* marked)
    {
        std::vector<std::unique_ptr<DiffModel>> models;
        std::function<void(ProjectTreeNodeBase*)> walk = [&](ProjectTreeNodeBase* node)
        {
            const int type = node->NodeType();
            if (type == HasEdits || type == OnlyInLeft || type == OnlyInRight)
                if (std::unique_ptr<DiffModel> model{NodeDifferVisitor(Complete).Diff(*node)})
                {
                    for (int row = 0; row < model->rowCount(); ++row)
                    {
                        const QModelIndex index = model->index(row, 0);
                        if (model->IsEquality(index) || !model->CanApply(index))
                            continue;
                        model->UndoStack()->push(new ApplyCommand(model.get(), index, direction));
                        ++*marked;
                    }
                    models.push_back(std::move(model));
                }
            for (int i = 0; i < node->ChildCount(); ++i)
                walk(node->Child(i));
        };
        walk(tree.Root()->Child(0));
        return models;
    }

    // Two projects that differ in structure: a layout, a spread and pages
    // only one side has, a box number whose kind changed, a story that runs
    // through two boxes on one side and one on the other, a box whose colour
    // only its side has, a renamed layout.
    static std::pair<XTHost::Project, XTHost::Project> StructurePair()
    {
        using XTHost::BoxLink;
        XTHost::Project left;
        XTHost::Box tinted = makeBox(2, QStringLiteral("Photo"), XT::kContentPicture, 300, 40, 560, 300);
        tinted.mColor = QStringLiteral("Sea");
        tinted.mPicturePath = QStringLiteral("harbour.png");
        left.mLayouts.push_back(makeLayout(
            1, QStringLiteral("Print"),
            {makeSpread({QStringLiteral("1"), QStringLiteral("2")},
                        {makeBox(1, QStringLiteral("Lead"), XT::kContentText, 40, 40, 280, 300), tinted}),
             makeSpread({QStringLiteral("3")},
                        {makeBox(3, QStringLiteral("Lead, continued"), XT::kContentText, 40, 40, 280, 300),
                         makeBox(4, QStringLiteral("Notice"), XT::kContentText, 300, 40, 560, 300)})}));
        left.mLayouts.push_back(makeLayout(
            2, QStringLiteral("Web"),
            {makeSpread({QStringLiteral("Home")},
                        {makeBox(7, QStringLiteral("Teaser"), XT::kContentText, 10, 10, 300, 200)})}));
        XTHost::Story lead;
        lead.mNumber = 1;
        lead.appendVisible(QStringLiteral("The harbour opens at dawn.\rBoats leave at nine."));
        lead.mBoxes = {BoxLink{1, 1}, BoxLink{1, 3}};
        XTHost::Story notice;
        notice.mNumber = 2;
        notice.appendVisible(QStringLiteral("Notice to mariners."));
        notice.mBoxes = {BoxLink{1, 4}};
        XTHost::Story teaser;
        teaser.mNumber = 3;
        teaser.appendVisible(QStringLiteral("Read the gazette online."));
        teaser.mBoxes = {BoxLink{2, 7}};
        left.mStories = {lead, notice, teaser};
        left.mAssets[XT::kColorAssetKind - 1].push_back(makeColor(QStringLiteral("Sea"), 10, 80, 160));

        XTHost::Project right;
        right.mLayouts.push_back(makeLayout(
            1, QStringLiteral("Print edition"),
            {makeSpread(
                {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("2a")},
                {makeBox(1, QStringLiteral("Lead"), XT::kContentText, 40, 40, 280, 320),
                 makeBox(2, QStringLiteral("Photo caption"), XT::kContentText, 300, 40, 560, 300)})}));
        right.mLayouts.push_back(
            makeLayout(3, QStringLiteral("Tablet"), {makeSpread({QStringLiteral("T1")})}));
        XTHost::Story shortLead;
        shortLead.mNumber = 1;
        shortLead.appendVisible(QStringLiteral("The harbour opens at six."));
        shortLead.mBoxes = {BoxLink{1, 1}};
        XTHost::Story caption;
        caption.mNumber = 5;
        caption.appendVisible(QStringLiteral("The east pier."));
        caption.mBoxes = {BoxLink{1, 2}};
        right.mStories = {shortLead, caption};
        right.mAssets[XT::kColorAssetKind - 1].push_back(makeColor(QStringLiteral("Sand"), 200, 180, 120));
        return {left, right};
    }

    void Inputs()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::newRow("samples") << SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj"))
                                 << SourcePath(QStringLiteral("Samples/harbour-gazette-v2.xprj"));
        for (uint32_t seed : {3u, 4u, 5u})
            QTest::newRow(qPrintable(QStringLiteral("generated, seed %1").arg(seed)))
                << QStringLiteral("gen:%1").arg(seed) << QString();
    }

    // Private copies of the inputs, so that saving touches no repository file.
    Files Copies(const QString& left, const QString& right)
    {
        Files files{mSession->TempPath(QStringLiteral("left.xprj")),
                    mSession->TempPath(QStringLiteral("right.xprj"))};
        if (left == QLatin1String("structure"))
        {
            const auto pair = StructurePair();
            QString error;
            if (!XTHost::JsonProjectFormat().save(pair.first, files.mLeft, &error) ||
                !XTHost::JsonProjectFormat().save(pair.second, files.mRight, &error))
                qWarning("%s", qPrintable(error));
        }
        else if (left.startsWith(QLatin1String("gen:")))
        {
            XTHost::GeneratorOptions options;
            options.mSeed = left.mid(4).toUInt();
            options.mStories = 10;
            options.mStoryLength = 1200;
            options.mEditRate = 0.3;
            QString error;
            if (!XTHost::ProjectGenerator::writePair(options, files.mLeft, files.mRight, &error))
                qWarning("%s", qPrintable(error));
        }
        else
        {
            QFile::copy(left, files.mLeft);
            QFile::copy(right, files.mRight);
        }
        return files;
    }

    std::unique_ptr<ModelSession> mSession;
};

QTEST_MAIN(TestMergeRoundTrip)
#include "tst_mergeroundtrip.moc"
