// The comparable entities of one side, built from projects opened in the host
// with the plug-in activated: names, compared texts, validity, which rows may
// be applied, and applying rows of the other side's entity.

// The host's model names clash with the entities': its test project is
// defined before the entities are declared.
#include "ModelTestSupport.h"

#include "Asset.h"
#include "Box.h"
#include "Layout.h"
#include "Page.h"
#include "PluginString.h"
#include "Project.h"
#include "Spread.h"
#include "Story.h"

#include <QTest>

namespace
{

const QChar kCR(13);
const QChar kZW(0x200B);

QString Lines(const QStringList& values)
{
    QString text;
    for (const QString& value : values)
        text += value + kCR;
    return text;
}

// The row labels of a box of each kind: its name first, its spread and
// stacking after its colour, a picture's file and content last.
const QList<int> kTextLabels = {89, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59,
                                60, 61, 62, 63, 64, 65, 66, 67, 80, 81, 108, 114, 110};
const QList<int> kPictureLabels = {89, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 68,  69,  70,  71,
                                   72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 108, 114, 110, 105, 109};
const QList<int> kOtherLabels = {89, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 80, 81, 108, 114, 110};

// Left: smallProject with layouts of every type, a picture box with a value
// per property, and a nameless user box.
XTHost::Project LeftProject()
{
    XTHost::Project project = smallProject();
    XTHost::Layout& print = project.mLayouts[1];
    XTHost::Box& photo = print.mSpreads[0].mBoxes[1];
    int32_t value = 1;
    for (int32_t label : {68, 69, 70, 72, 73, 75, 76, 78, 79})
        photo.mPictureProperties[label] = pt(value++);
    photo.mPictureProperties[74] = 7;
    photo.mPictureProperties[77] = 150;
    photo.mProperties[54] = -3;
    print.mSpreads[1].mBoxes.push_back(makeBox(11, QString(), XT::kContentUser, 10, 10, 20, 20));
    print.mSpreads[0].mName = QString();
    int32_t number = 3;
    for (XTFourCC type : {XT::kLayoutEps, XT::kLayoutApp, XTFourCC(0x41424344)})
    {
        XTHost::Layout layout = makeLayout(number, QStringLiteral("L%1").arg(number + 1));
        ++number;
        layout.mType = type;
        project.mLayouts.push_back(layout);
    }
    XTHost::Story nul;
    nul.mNumber = 12;
    nul.appendVisible(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    project.mStories.push_back(nul);
    return project;
}

// Right: every box and spread value of the left changed, for the apply tests.
XTHost::Project RightProject()
{
    XTHost::Project project = LeftProject();
    XTHost::Layout& print = project.mLayouts[1];
    XTHost::Spread& spread = print.mSpreads[0];
    spread.mBounds = {pt(-10), pt(1000), pt(5), pt(700)};
    spread.mColumns = 4;
    spread.mGutter = pt(9.5);
    for (XTHost::Spread& s : print.mSpreads)
        for (XTHost::Box& box : s.mBoxes)
        {
            box.mBounds = {box.mBounds.left + pt(3), box.mBounds.top + pt(4), box.mBounds.right + pt(13),
                           box.mBounds.bottom + pt(24)};
            for (auto& [label, v] : box.mProperties)
            {
                const XTHost::PropertyInfo* info = XTHost::findBoxProperty(label);
                switch (info->mKind)
                {
                case XTHost::PropertyInfo::Boolean:
                    v = !v;
                    break;
                case XTHost::PropertyInfo::ByteCode:
                    v = (v + 2) % 4;
                    break;
                case XTHost::PropertyInfo::Measure:
                    // Within the host's range: opacity and shade end at 100 %.
                    v += v + pt(2.5) <= info->mMax ? pt(2.5) : -pt(2.5);
                    break;
                default:
                    v += 2;
                }
            }
            for (auto& [label, v] : box.mPictureProperties)
                v += label == 74 || label == 77 ? 5 : pt(1.25);
            box.mInsets = {pt(5), pt(6), pt(7), pt(8)};
            box.mInsetSetting = 1;
        }
    return project;
}

} // namespace

class TestEntities : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mSession = std::make_unique<ModelSession>();
        QVERIFY(mSession->IsReady());
        mLeft = mSession->OpenBuilt(LeftProject(), QStringLiteral("left.xprj"));
        mRight = mSession->OpenBuilt(RightProject(), QStringLiteral("right.xprj"));
        QVERIFY(mLeft != XT::kNoProject && mRight != XT::kNoProject);
    }
    void cleanup() { mSession.reset(); }

    void project()
    {
        const Project project(mLeft);
        QCOMPARE(project.Name(), QStringLiteral("left.xprj"));
        // Its file's path names it; what is compared is what it holds.
        QCOMPARE(project.Path(), mSession->TempPath(QStringLiteral("left.xprj")));
        QCOMPARE(project.ToString(), Lines({"5"}));
        QVERIFY(project.IsValid());
        QVERIFY(!project.CanApply(1));
        QVERIFY(!Project(XT::kNoProject).IsValid());
    }

    void layouts_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("layoutName");
        QTest::addColumn<int>("typeLabel");
        QTest::newRow("print") << 1 << "Layout 1"
                               << "Print" << 91;
        QTest::newRow("web") << 2 << "Layout 2"
                             << "Web" << 92;
        QTest::newRow("eps") << 3 << "Layout 3"
                             << "L4" << 106;
        QTest::newRow("interactive") << 4 << "Layout 4"
                                     << "L5" << 107;
        QTest::newRow("unknown type") << 5 << "Layout 5"
                                      << "L6" << 93;
        QTest::newRow("missing") << -1 << QString() << QString() << 0;
    }
    void layouts()
    {
        QFETCH(int, number);
        QFETCH(QString, name);
        QFETCH(QString, layoutName);
        QFETCH(int, typeLabel);
        const Layout layout(number < 0 ? XT::kNoDoc : mSession->LayoutNumbered(mLeft, number), mLeft);
        // A layout shows its name.
        QCOMPARE(layout.Name(), number < 0 ? PluginString(94) : layoutName);
        QCOMPARE(layout.ToString(), number < 0 ? QString() : Lines({layoutName, PluginString(typeLabel)}));
        QCOMPARE(layout.IsValid(), number >= 0);
        QCOMPARE(layout.Count(), size_t(number < 0 ? 0 : 2));
        if (number > 0)
            QCOMPARE(layout.Name(1), PluginString(90));
        // The name can be copied, the type cannot.
        QCOMPARE(layout.CanApply(0), number >= 0);
        QVERIFY(!layout.CanApply(1));
    }

    void spreads()
    {
        const HostApi& api = mSession->Api();
        const DocRef print = mSession->LayoutNumbered(mLeft, 1);
        const Spread first(api.mSpread->GetSpreadBox(print, 1), 1);
        // The first spread has no name: the label stands in.
        QCOMPARE(first.Name(), PluginString(25) + QStringLiteral(" 1"));
        QCOMPARE(first.ToString(), Lines({Measure(0, 116), Measure(pt(1224), 116), Measure(0, 115),
                                          Measure(pt(792), 115), "2", Measure(pt(12.5), 115)}));
        QCOMPARE(first.Name(0), PluginString(96));
        QCOMPARE(first.Name(5), PluginString(60));
        QVERIFY(first.IsValid());
        QVERIFY(first.CanApply(5));
        QVERIFY(!first.CanApply(6));

        const DocRef web = mSession->LayoutNumbered(mLeft, 2);
        QCOMPARE(Spread(api.mSpread->GetSpreadBox(web, 1), 1).Name(), QStringLiteral("Home spread 1"));

        // Not on this side: it still asks the host, and shows six empty lines.
        const Spread missing(XT::kNoBox, 3);
        QCOMPARE(missing.Name(), PluginString(103));
        QCOMPARE(missing.ToString(), QString(6, kCR));
        QVERIFY(!missing.IsValid());
    }

    void pages()
    {
        const DocRef print = mSession->LayoutNumbered(mLeft, 1);
        const Page second(print, 2);
        QCOMPARE(second.Name(), PluginString(24) + QStringLiteral(" 2"));
        QCOMPARE(second.ToString(), Lines({"ii"}));
        QVERIFY(second.IsValid());
        QVERIFY(!second.CanApply(0));
        for (const Page& missing : {Page(XT::kNoDoc, -1), Page(print, -1), Page(XT::kNoDoc, 1)})
        {
            QCOMPARE(missing.Name(), PluginString(100));
            QCOMPARE(missing.ToString(), QString(kCR));
            QVERIFY(!missing.IsValid());
        }
    }

    void assets()
    {
        const AssetSpaceRef space = mSession->Api().mAssets->GetAssetSpace(mLeft);
        const Asset body(space, 1, mSession->AssetNamed(mLeft, 1, QStringLiteral("Body")));
        QCOMPARE(body.Name(), QStringLiteral("Body"));
        // One property line per asset: the description's own line breaks are
        // kept as line feeds, which do not end it.
        QCOMPARE(body.ToString(), Lines({"Serif 10 pt\nleading 12 pt"}));
        QVERIFY(body.IsValid());
        QVERIFY(body.CanApply(0));

        const Asset sky(space, 3, mSession->AssetNamed(mLeft, 3, QStringLiteral("Sky")));
        const Asset ink(space, 3, mSession->AssetNamed(mLeft, 3, QStringLiteral("Ink")));
        QVERIFY(ink < sky);
        QVERIFY(!(sky < ink));
        QVERIFY(!(sky < sky));
        QVERIFY(sky <= sky);
        QVERIFY(ink <= sky);
        QVERIFY(!(sky <= ink));

        for (const Asset& missing :
             {Asset(nullptr, 3, XT::kNoAsset), Asset(space, 3, XT::kNoAsset), Asset(nullptr, 3, sky.Uid())})
        {
            QCOMPARE(missing.Name(), PluginString(46));
            QCOMPARE(missing.ToString(), QString());
            QVERIFY(!missing.IsValid());
        }
    }

    void stories()
    {
        const HostApi& api = mSession->Api();
        const Story four(api.storyNumbered(mLeft, 4));
        QCOMPARE(four.Name(), PluginString(19) + QStringLiteral(" 4"));
        // A hidden run shows as zero-width spaces over its marker and content.
        QCOMPARE(four.ToString(),
                 QStringLiteral("Hello world\rSecond ") + QString(7, kZW) + QStringLiteral(" paragraph"));
        QVERIFY(four.IsValid());
        QVERIFY(four.CanApply(0));
        QCOMPARE(Story(api.storyNumbered(mLeft, 12)).ToString(), QStringLiteral("a\uFFFDb"));

        const Story missing{long(mLeft)};
        QCOMPARE(missing.Name(), PluginString(104));
        QCOMPARE(missing.ToString(), QString());
        QVERIFY(!missing.IsValid());
        QVERIFY(missing.CanApply(3));
    }

    void storyUsage()
    {
        const HostApi& api = mSession->Api();
        long box = -5;
        QCOMPARE(Story(api.storyNumbered(mLeft, 4)).GetUsage(&box),
                 api.mDoc->DocumentNumberFromRef(mSession->LayoutNumbered(mLeft, 1)));
        QCOMPARE(box, long(api.boxNumbered(mLeft, 1, 10)));
        QCOMPARE(Story(api.storyNumbered(mLeft, 2)).GetUsage(&box), XT::kNoDocNumber);
        QCOMPARE(box, long(XT::kNoBox));
        QCOMPARE(Story(long(mLeft)).GetUsage(nullptr), XT::kNoDocNumber);
    }

    void boxRows_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("number");
        QTest::addColumn<QList<int>>("labels");
        QTest::addColumn<QString>("name");
        // A name starting with a space follows the label that stands in for none.
        QTest::newRow("text box") << 1 << 10 << kTextLabels << "Headline(Text)";
        QTest::newRow("picture box") << 1 << 3 << kPictureLabels << "Photo(Picture)";
        QTest::newRow("other box, no name") << 1 << 7 << kOtherLabels << " 7(None)";
        QTest::newRow("user box, no name") << 1 << 11 << kOtherLabels << " 11(User)";
    }
    void boxRows()
    {
        QFETCH(int, layout);
        QFETCH(int, number);
        QFETCH(QList<int>, labels);
        QFETCH(QString, name);
        const Box box(mSession->Api().boxNumbered(mLeft, layout, number));
        QVERIFY(box.IsValid());
        QCOMPARE(box.Name(), name.startsWith(QLatin1Char(' ')) ? PluginString(23) + name : name);
        QCOMPARE(int(box.Count()), labels.size());
        for (int row = 0; row < labels.size(); ++row)
            QCOMPARE(box.Name(size_t(row)), PluginString(labels[row]));
        for (int row = 0; row < labels.size(); ++row)
            QVERIFY(box.CanApply(row));
        QVERIFY(!box.CanApply(labels.size()));
        QCOMPARE(box.ToString().count(kCR), labels.size());
    }

    void textBoxValues()
    {
        const Box box(mSession->Api().boxNumbered(mLeft, 1, 10));
        const QString yes = PluginString(82), no = PluginString(83);
        QCOMPARE(box.ToString(), Lines({"Headline",
                                        Measure(pt(36), 115),
                                        Measure(pt(36), 116),
                                        Measure(pt(72), 115),
                                        Measure(pt(540), 116),
                                        Measure(0, 105),
                                        Measure(0, 105),
                                        Measure(0, 115),
                                        "0",
                                        Measure(pt(100), 101),
                                        Measure(pt(100), 101),
                                        Measure(0, 105),
                                        Measure(0, 105),
                                        "1",
                                        Measure(pt(12), 115),
                                        Measure(pt(1), 113),
                                        Measure(pt(2), 113),
                                        Measure(pt(3), 113),
                                        Measure(pt(4), 113),
                                        Measure(0, 116),
                                        PluginString(85),
                                        no,
                                        no,
                                        no,
                                        "Sky",
                                        // Spread and stacking are filled in by the comparison.
                                        "",
                                        ""}));
        QCOMPARE(box.Value(8), QStringLiteral("0"));
        QVERIFY(box.Value(15).endsWith(QStringLiteral(" pt")));
    }

    void pictureBoxValues()
    {
        const Box box(mSession->Api().boxNumbered(mLeft, 1, 3));
        const QString no = PluginString(83);
        QCOMPARE(box.Value(0), QStringLiteral("Photo"));
        // The picture as the project refers to it, and its file's content:
        // there is no such file.
        QCOMPARE(box.Value(28), QStringLiteral("images/photo.png"));
        QCOMPARE(box.Value(29), PluginString(113));
        // Row 14 is the down scale, property 71, which the project leaves at 100%.
        QCOMPARE(box.ToString().section(kCR, 8, 24) + kCR,
                 Lines({"-3", Measure(pt(100), 101), Measure(pt(100), 101), Measure(pt(1), 115),
                        Measure(pt(2), 116), Measure(pt(3), 101), Measure(pt(100), 101), Measure(pt(4), 105),
                        Measure(pt(5), 105), "7", Measure(pt(6), 101), Measure(pt(7), 101), "150",
                        Measure(pt(8), 101), Measure(pt(9), 101), no, no}));
    }

    void missingBox()
    {
        const Box missing(XT::kNoBox);
        QCOMPARE(missing.Name(), PluginString(84));
        QCOMPARE(missing.ToString(), QString(30, kCR));
        QVERIFY(!missing.IsValid());
        QVERIFY(!missing.CanApply(1));
        QCOMPARE(missing.Count(), size_t(0));
    }

    // Every kind of spread row takes the other side's value, in the host and
    // on display; other keys change nothing.
    void applySpread_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::newRow("left bound") << QList<int>{0};
        QTest::newRow("right bound") << QList<int>{1};
        QTest::newRow("top and bottom") << QList<int>{2, 3};
        QTest::newRow("columns") << QList<int>{4};
        QTest::newRow("gutter") << QList<int>{5};
        QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("keys 6 and above") << QList<int>{6, 7, 100};
    }
    void applySpread()
    {
        QFETCH(QList<int>, keys);
        const HostApi& api = mSession->Api();
        const DocRef lhs = mSession->LayoutNumbered(mLeft, 1), rhs = mSession->LayoutNumbered(mRight, 1);
        Spread left(api.mSpread->GetSpreadBox(lhs, 1), 1);
        Spread right(api.mSpread->GetSpreadBox(rhs, 1), 1);
        const QString before = left.ToString();
        std::map<int, TextDiff::UnitPatch*> rows;
        for (int key : keys)
            rows[key] = nullptr; // spreads read only the keys
        // Keys past the spread's rows are refused, each of them.
        const RefusedRows refused = left.ApplyPatches(right, rows);
        QList<int> refusedKeys;
        for (const auto& entry : refused)
            refusedKeys << entry.first;
        QList<int> pastTheRows;
        for (int key : keys)
            if (key >= 6)
                pastTheRows << key;
        QCOMPARE(refusedKeys, pastTheRows);
        QStringList expected = before.split(kCR);
        for (int key : keys)
            if (key < 6)
                expected[key] = right.Value(size_t(key));
        QCOMPARE(left.ToString(), expected.join(kCR));
        QCOMPARE(Spread(left.SpreadBox(), 1).ToString(), left.ToString());
        QCOMPARE(api.mProject->IsProjectModified(mLeft), keys.first() < 6);
    }

    void applyBoxRows_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("rows");
        // The rows that are copied: all but a picture's file.
        QTest::newRow("text box") << 10 << 24;
        QTest::newRow("picture box") << 3 << 25;
        QTest::newRow("other box") << 7 << 13;
    }
    // Applying one row k makes the box's row k the other's, in the host (a
    // box built afresh shows it) and on display, and leaves the other rows.
    void applyBoxRows()
    {
        QFETCH(int, number);
        QFETCH(int, rows);
        for (int key = 0; key < rows; ++key)
        {
            const HostApi& api = mSession->Api();
            Box left(api.boxNumbered(mLeft, 1, number));
            Box right(api.boxNumbered(mRight, 1, number));
            const QStringList before = left.ToString().split(kCR);
            std::map<int, TextDiff::UnitPatch*> patches{{key, nullptr}};
            QVERIFY(left.ApplyPatches(right, patches).empty());
            QStringList expected = before;
            expected[key] = right.Value(size_t(key));
            const QString reread = Box(left.BoxRef()).ToString();
            QVERIFY2(reread == expected.join(kCR), qPrintable(QStringLiteral("row %1").arg(key)));
            QCOMPARE(left.Value(size_t(key)), right.Value(size_t(key)));
            if (rows == 24 && key >= 15 && key <= 18)
                QCOMPARE(api.mFields->GetInsetSetting(left.BoxRef()), 1);
            // The next row starts from the documents as they were.
            cleanup();
            init();
        }
    }

    void applyBoxNothing_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::newRow("past the last row") << QList<int>{27, 28, 1000};
        QTest::newRow("negative") << QList<int>{-1};
    }
    void applyBoxNothing()
    {
        QFETCH(QList<int>, keys);
        const HostApi& api = mSession->Api();
        Box left(api.boxNumbered(mLeft, 1, 10));
        Box right(api.boxNumbered(mRight, 1, 10));
        const QString before = left.ToString();
        std::map<int, TextDiff::UnitPatch*> patches;
        for (int key : keys)
            patches[key] = nullptr;
        QCOMPARE(int(left.ApplyPatches(right, patches).size()), keys.size());
        QCOMPARE(left.ToString(), before);
        QCOMPARE(Box(left.BoxRef()).ToString(), before);
        QVERIFY(!api.mProject->IsProjectModified(mLeft));
    }

    // What the host refuses leaves the box as it was, and its displayed value.
    void applyBoxRefused_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("value");    // the other side's displayed value, when set
        QTest::addColumn<QList<double>>("at"); // the other box's bounds, when set
        QTest::newRow("unreadable measure") << 5 << "twelve degrees" << QList<double>{};
        QTest::newRow("unreadable text angle") << 11 << "1 furlong" << QList<double>{};
        QTest::newRow("unreadable columns") << 13 << "many" << QList<double>{};
        QTest::newRow("columns past a byte") << 13 << "300" << QList<double>{};
        QTest::newRow("frame style past 16 bits") << 8 << "70000" << QList<double>{};
        QTest::newRow("move past the host's range") << 1 << QString() << QList<double>{36, 32000, 576, 32100};
        QTest::newRow("width past the host's range") << 4 << QString() << QList<double>{36, 36, 32600, 108};
    }
    void applyBoxRefused()
    {
        QFETCH(int, key);
        QFETCH(QString, value);
        QFETCH(QList<double>, at);
        XTHost::Project right = RightProject();
        if (!at.isEmpty())
        {
            XTHost::Box& headline = right.mLayouts[1].mSpreads[0].mBoxes[0];
            headline.mBounds = {pt(at[0]), pt(at[1]), pt(at[2]), pt(at[3])};
        }
        const XTProjectId other = mSession->OpenBuilt(right, QStringLiteral("refusing.xprj"));
        const HostApi& api = mSession->Api();
        if (key == 1 || key == 4)
        {
            // Make the left box sit where the other's value overflows the host's range.
            XTHost::Project left = LeftProject();
            left.mLayouts[1].mSpreads[0].mBoxes[0].mBounds = {pt(at[0]), 0, pt(at[0] + 100), pt(800)};
            if (key == 4)
                left.mLayouts[1].mSpreads[0].mBoxes[0].mBounds = {pt(1000), 0, pt(1100), pt(800)};
            mLeft = mSession->OpenBuilt(left, QStringLiteral("left-at.xprj"));
        }
        Box left(api.boxNumbered(mLeft, 1, 10));
        Box source(api.boxNumbered(other, 1, 10));
        if (!value.isNull())
            source.Update(size_t(key), value);
        const QString before = left.ToString();
        std::map<int, TextDiff::UnitPatch*> patches{{key, nullptr}};
        const RefusedRows refused = left.ApplyPatches(source, patches);
        QCOMPARE(int(refused.size()), 1);
        QCOMPARE(refused.begin()->first, key);
        QCOMPARE(left.ToString(), before);
        QCOMPARE(Box(left.BoxRef()).ToString(), before);
        QVERIFY(!api.mProject->IsProjectModified(mLeft));
    }

    void applyAsset_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("onLeft");
        QTest::newRow("present on both") << "Body" << true;
        QTest::newRow("missing on the left") << "Fresh" << false;
    }
    void applyAsset()
    {
        QFETCH(QString, name);
        QFETCH(bool, onLeft);
        XTHost::Project right = RightProject();
        right.mAssets[0] = {makeAsset(1, QStringLiteral("Body"), QStringLiteral("Sans 9 pt")),
                            makeAsset(1, QStringLiteral("Fresh"), QStringLiteral("new"))};
        const XTProjectId other = mSession->OpenBuilt(right, QStringLiteral("assets.xprj"));
        const HostApi& api = mSession->Api();
        const AssetSpaceRef leftSpace = api.mAssets->GetAssetSpace(mLeft);
        const AssetUID leftUid = mSession->AssetNamed(mLeft, 1, name);
        QCOMPARE(leftUid != XT::kNoAsset, onLeft);
        Asset left(leftSpace, 1, leftUid);
        Asset source(api.mAssets->GetAssetSpace(other), 1, mSession->AssetNamed(other, 1, name));
        std::map<int, TextDiff::UnitPatch*> patches{{0, nullptr}};
        QVERIFY(left.ApplyPatches(source, patches).empty());
        QVERIFY(left.IsValid());
        QCOMPARE(left.Uid(), mSession->AssetNamed(mLeft, 1, name));
        if (onLeft)
            QCOMPARE(left.Uid(), leftUid);
        QCOMPARE(Asset(leftSpace, 1, left.Uid()).ToString(), source.ToString());
        QCOMPARE(left.ToString(), source.ToString());
        QCOMPARE(left.Name(), name);
    }

    void applyAssetRefused_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("sourceUid");
        QTest::newRow("no such asset") << 1 << 9999;
        QTest::newRow("a built-in colour") << 3 << 0;
    }
    void applyAssetRefused()
    {
        QFETCH(int, kind);
        QFETCH(int, sourceUid);
        const HostApi& api = mSession->Api();
        const AssetUID body = mSession->AssetNamed(mLeft, 1, QStringLiteral("Body"));
        Asset left(api.mAssets->GetAssetSpace(mLeft), kind, kind == 1 ? body : XT::kNoAsset);
        const QString before = left.ToString();
        Asset source(api.mAssets->GetAssetSpace(mRight), kind, sourceUid);
        std::map<int, TextDiff::UnitPatch*> patches{{0, nullptr}};
        const RefusedRows refused = left.ApplyPatches(source, patches);
        QCOMPARE(int(refused.size()), 1);
        QVERIFY2(refused.at(0).startsWith(QStringLiteral("the host ")), qPrintable(refused.at(0)));
        QCOMPARE(left.Uid(), kind == 1 ? body : XT::kNoAsset);
        QCOMPARE(left.ToString(), before);
        QVERIFY(!api.mProject->IsProjectModified(mLeft));
    }

private:
    QString Measure(Fixed value, int32_t format) const
    {
        return mSession->Api().take(mSession->Api().mNumbers->FixedToText(value, format));
    }

    std::unique_ptr<ModelSession> mSession;
    XTProjectId mLeft = XT::kNoProject;
    XTProjectId mRight = XT::kNoProject;
};

QTEST_GUILESS_MAIN(TestEntities)
#include "tst_entities.moc"
