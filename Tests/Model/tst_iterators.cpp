// The document cursors over projects opened in the host, with the plug-in
// activated: what each level yields, in which order, and where it ends.

#include "ModelTestSupport.h"
#include "ProjectIterator.h"

#include <QTest>

#include <map>

using namespace QXPCursor;

namespace
{

// Counts the host's asset iterator disposals per handle by standing in for
// the plug-in's table entry.
std::map<AssetIteratorRef, int> sDisposed;
const XTAssetsTable* sRealAssets = nullptr;
bool sFailNewIterator = false;

void CountingDispose(AssetIteratorRef iterator)
{
    ++sDisposed[iterator];
    sRealAssets->DisposeAssetIterator(iterator);
}

XTError FailingNewIterator(AssetSpaceRef space, int32_t kind, AssetIteratorRef* iterator)
{
    if (sFailNewIterator)
        return XT::kErrRefused;
    return sRealAssets->NewAssetIterator(space, kind, iterator);
}

int sCalls = 0;
int sLast = 0;
void CountDispose(int handle)
{
    ++sCalls;
    sLast = handle;
}
typedef ReferenceCounted<int, &CountDispose> Shared;

class AssetTableSwap
{
public:
    AssetTableSwap()
    {
        sRealAssets = XT::gAssets;
        mTable = *XT::gAssets;
        mTable.DisposeAssetIterator = &CountingDispose;
        mTable.NewAssetIterator = &FailingNewIterator;
        XT::gAssets = &mTable;
        sDisposed.clear();
        sFailNewIterator = false;
    }
    ~AssetTableSwap() { XT::gAssets = sRealAssets; }

private:
    XTAssetsTable mTable;
};

// Walks a container the way every caller does and lists what `describe`
// makes of each element.
template <typename Container, typename Describe>
QStringList Walk(const Container& container, Describe describe)
{
    QStringList items;
    auto it = container.Begin();
    auto end = container.End();
    for (; *it != *end; ++*it)
        items << describe(**it);
    return items;
}

// Spread 1 has pages i and ii, spread 2 none, spread 3 page 1; layout 3 has
// no spreads; box order on spread 1 is the stacking order 10, 3, 7.
XTHost::Project IteratorProject()
{
    XTHost::Project project = smallProject();
    XTHost::Layout& print = project.mLayouts[1];
    print.mSpreads.insert(print.mSpreads.begin() + 1, makeSpread({}));
    project.mLayouts.push_back(makeLayout(3, QStringLiteral("Empty")));
    project.mAssets[5] = {makeAsset(6, QStringLiteral("Zeta"), QStringLiteral("z")),
                          makeAsset(6, QStringLiteral("Alpha"), QStringLiteral("a"))};
    return project;
}

} // namespace

class TestIterators : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mSession = std::make_unique<ModelSession>();
        QVERIFY(mSession->IsReady());
        mProject = mSession->OpenBuilt(IteratorProject(), QStringLiteral("iterators.xprj"));
        QVERIFY(mProject != XT::kNoProject);
    }
    void cleanup() { mSession.reset(); }

    void layoutsInNumberOrder()
    {
        const HostApi& api = mSession->Api();
        Project<Layout<NullType>> layouts(mProject);
        const QStringList walked = Walk(
            layouts, [&](const Layout<NullType>& l)
            { return QStringLiteral("%1:%2").arg(l.Index()).arg(api.mProject->GetLayoutIndex(l.Doc())); });
        QCOMPARE(walked, QStringList({"0:1", "1:2", "2:3"}));
        QCOMPARE(layouts.End()->operator*().Doc(), XT::kNoDoc);
        QCOMPARE(layouts.End()->operator*().Index(), 3);
    }

    void spreadsFromOne()
    {
        const DocRef print = mSession->LayoutNumbered(mProject, 1);
        const HostApi& api = mSession->Api();
        Layout<Spread<NullType>> spreads(print, -1);
        // A spread whose box is not the host's for its index is marked "!".
        const QStringList walked = Walk(spreads,
                                        [&](const Spread<NullType>& s)
                                        {
                                            const bool same =
                                                s.SpreadBox() == api.mSpread->GetSpreadBox(print, s.Index());
                                            return QString::number(s.Index()) + (same ? "" : "!");
                                        });
        QCOMPARE(walked, QStringList({"1", "2", "3"}));
        QCOMPARE((*spreads.End())->SpreadBox(), XT::kNoBox);
        QCOMPARE((*spreads.End())->Index(), int16_t(4));
    }

    void layoutWithoutSpreadsIsEmpty()
    {
        Layout<Spread<NullType>> spreads(mSession->LayoutNumbered(mProject, 3), -1);
        QCOMPARE((*spreads.Begin())->SpreadBox(), XT::kNoBox);
        QCOMPARE((*spreads.Begin())->Index(), int16_t(1));
        QVERIFY(*spreads.Begin() == *spreads.End());
    }

    void pagesOfSpreads_data()
    {
        QTest::addColumn<int>("spread");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("labels");
        // Indices -1 and -2 are worked out from the spread box.
        QTest::newRow("two pages") << 1 << 1 << QStringList{"1:i", "2:ii"};
        QTest::newRow("two pages, index unset") << 1 << -1 << QStringList{"1:i", "2:ii"};
        QTest::newRow("no pages") << 2 << 2 << QStringList{};
        QTest::newRow("after an empty spread, index unset") << 3 << -2 << QStringList{"3:1"};
    }
    void pagesOfSpreads()
    {
        QFETCH(int, spread);
        QFETCH(int, index);
        QFETCH(QStringList, labels);
        const HostApi& api = mSession->Api();
        const DocRef print = mSession->LayoutNumbered(mProject, 1);
        Spread<Page<NullType>> pages(api.mSpread->GetSpreadBox(print, int16_t(spread)), int16_t(index));
        QCOMPARE(pages.Index(), int16_t(spread));
        const int16_t masters = api.mSpread->GetMasterPageCount(print);
        const QStringList walked =
            Walk(pages,
                 [&](const Page<NullType>& p)
                 {
                     return QStringLiteral("%1:%2")
                         .arg(p.Number())
                         .arg(api.take(api.mSpread->GetPageLabel(p.Doc(), int16_t(masters + p.Number()))));
                 });
        QCOMPARE(walked, labels);
        if (labels.isEmpty())
        {
            QCOMPARE((*pages.Begin())->Number(), int16_t(1));
            QCOMPARE((*pages.End())->Number(), int16_t(1));
        }
    }

    void boxesInStackingOrder()
    {
        const HostApi& api = mSession->Api();
        const DocRef print = mSession->LayoutNumbered(mProject, 1);
        auto numbers = [&](int16_t spread)
        {
            Spread<Box<NullType>> boxes(api.mSpread->GetSpreadBox(print, spread), spread);
            return Walk(boxes, [&](const Box<NullType>& b)
                        { return QString::number(api.mBox->GetBoxNumber(b.BoxRef(), 0)); });
        };
        QCOMPARE(numbers(1), QStringList({"10", "3", "7"}));
        QCOMPARE(numbers(2), QStringList());
        QCOMPARE(numbers(3), QStringList({"5"}));
    }

    void storiesInHostOrder()
    {
        const HostApi& api = mSession->Api();
        Project<Story<NullType>> stories(mProject);
        const QStringList walked = Walk(stories, [&](const Story<NullType>& s)
                                        { return QString::number(api.mText->GetStoryNumber(s.Text())); });
        QCOMPARE(walked, QStringList({"4", "9", "2"}));
    }

    void projectWithoutStoriesIsEmpty()
    {
        XTHost::Project bare;
        bare.mLayouts.push_back(makeLayout(1, QStringLiteral("Only")));
        const XTProjectId project = mSession->OpenBuilt(bare, QStringLiteral("bare.xprj"));
        Project<Story<NullType>> stories(project);
        QCOMPARE((*stories.Begin())->Text(), XTTextRef(nullptr));
        QVERIFY(*stories.Begin() == *stories.End());
    }

    void assetsOfAKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("names");
        // The host lists a kind in file order; the cursor keeps that order.
        QTest::newRow("two, file order") << 6 << QStringList{"Zeta", "Alpha"};
        QTest::newRow("one") << 17 << QStringList{"Top"};
        QTest::newRow("none") << 2 << QStringList{};
    }
    void assetsOfAKind()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, names);
        const HostApi& api = mSession->Api();
        const AssetSpaceRef space = api.mAssets->GetAssetSpace(mProject);
        AssetTableSwap swap;
        QStringList walked;
        AssetIteratorRef handle = nullptr;
        {
            auto walk = [&](auto container)
            {
                handle = (*container.Begin())->Iterator().Get();
                return Walk(container, [&](const auto& a)
                            { return api.take(api.mAssets->GetAssetName(space, kind, a.Uid())); });
            };
            switch (kind)
            {
            case 6:
                walked = walk(Project<Asset<Int2Type<6>>>(mProject));
                break;
            case 17:
                walked = walk(Project<Asset<Int2Type<17>>>(mProject));
                break;
            default:
                walked = walk(Project<Asset<Int2Type<2>>>(mProject));
                break;
            }
        }
        QCOMPARE(walked, names);
        // Whatever the kind held, the one host iterator went exactly once.
        QVERIFY(handle != nullptr);
        QCOMPARE(sDisposed.size(), size_t(1));
        QCOMPARE(sDisposed[handle], 1);
    }

    void assetIteratorLivesWhileACopyDoes()
    {
        AssetTableSwap swap;
        std::unique_ptr<Asset<Int2Type<6>>> survivor;
        AssetIteratorRef handle = nullptr;
        {
            Project<Asset<Int2Type<6>>> assets(mProject);
            auto it = assets.Begin();
            auto end = assets.End();
            handle = (*it)->Iterator().Get();
            ++*it;
            survivor = std::make_unique<Asset<Int2Type<6>>>(**it);
            ++*it;
            QVERIFY(*it == *end);
        }
        // Container, iterators and every element but one are gone.
        QVERIFY(sDisposed.empty());
        QCOMPARE(survivor->Iterator().Count(), 1);
        survivor.reset();
        QCOMPARE(sDisposed[handle], 1);
        QCOMPARE(sDisposed.size(), size_t(1));
    }

    void assetIteratorRefused()
    {
        AssetTableSwap swap;
        sFailNewIterator = true;
        {
            Project<Asset<Int2Type<6>>> assets(mProject);
            QCOMPARE((*assets.Begin())->Uid(), XT::kNoAsset);
            QVERIFY(*assets.Begin() == *assets.End());
        }
        // There was no host iterator to dispose of.
        QVERIFY(sDisposed.empty());
    }

    void sharedHandleAssignment()
    {
        sCalls = 0;
        sLast = 0;
        {
            Shared a(7);
            Shared b(9);
            Shared c(a);
            QCOMPARE(a.Count(), 2);
            c = b; // a's count drops to 1, b's rises to 2
            QCOMPARE(a.Count(), 1);
            QCOMPARE(b.Count(), 2);
            c = c;
            QCOMPARE(b.Count(), 2);
            a = b; // the last holder of 7 lets go
            QCOMPARE(sCalls, 1);
            QCOMPARE(sLast, 7);
            QCOMPARE(b.Count(), 3);
        }
        QCOMPARE(sCalls, 2);
        QCOMPARE(sLast, 9);
        {
            Shared none(0); // a null handle is never disposed of
        }
        QCOMPARE(sCalls, 2);
    }

private:
    std::unique_ptr<ModelSession> mSession;
    XTProjectId mProject = XT::kNoProject;
};

QTEST_GUILESS_MAIN(TestIterators)
#include "tst_iterators.moc"
