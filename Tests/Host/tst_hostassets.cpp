// Assets through the host's function tables: iteration of the 18 kinds,
// names and descriptions, colours as RGB, and asset copy between two
// projects. (Which colours are the host's own, the one colour query the
// plug-in makes, tst_projecttree shows: the tree leaves them out.)

#include "HostTestSupport.h"

#include "Model/BuiltInColors.h"

#include <QtTest>

class tst_HostAssets : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void iterationOfEveryKind();
    void descriptions_data();
    void descriptions();
    void colourRgb_data();
    void colourRgb();
    void copyCreatesOrUpdates();
    void refusedCopiesChangeNothing_data();
    void refusedCopiesChangeNothing();
    void handlesOfAClosedProjectAreNone();

private:
    QStringList names(XTProjectId project, int32_t kind) const;

    std::unique_ptr<XTHost::HostSession> mSession;
    std::unique_ptr<QTemporaryDir> mDir;
    HostApi mApi;
    XTProjectId mLeft = XT::kNoProject;
    XTProjectId mRight = XT::kNoProject;
};

void tst_HostAssets::init()
{
    mSession = std::make_unique<XTHost::HostSession>();
    QVERIFY(mApi.acquire(mSession->setupRecord()));
    mDir = std::make_unique<QTemporaryDir>();
    mLeft = mApi.open(writeProject(*mDir, QStringLiteral("left.xprj"), smallProject()));
    // The right side: Sky changed, Ink and the paragraph style missing.
    XTHost::Project right = smallProject();
    right.mAssets[XT::kColorAssetKind - 1].resize(1);
    right.mAssets[XT::kColorAssetKind - 1][0].mColor.mValues = {1, 2, 3, 0};
    right.mAssets[0].clear();
    mRight = mApi.open(writeProject(*mDir, QStringLiteral("right.xprj"), right));
    QVERIFY(mLeft != XT::kNoProject && mRight != XT::kNoProject);
}

void tst_HostAssets::cleanup()
{
    mSession.reset();
    mDir.reset();
}

QStringList tst_HostAssets::names(XTProjectId project, int32_t kind) const
{
    QStringList list;
    for (const auto& asset : mApi.assets(project, kind))
        list << asset.second;
    return list;
}

void tst_HostAssets::iterationOfEveryKind()
{
    const QStringList builtIns{QStringLiteral("None"),  QStringLiteral("Registration"),
                               QStringLiteral("White"), QStringLiteral("Black"),
                               QStringLiteral("Cyan"),  QStringLiteral("Magenta"),
                               QStringLiteral("Yellow")};
    for (int32_t kind = XT::kFirstAssetKind; kind <= XT::kLastAssetKind; ++kind)
    {
        QStringList expected;
        if (kind == 1)
            expected << QStringLiteral("Body");
        if (kind == XT::kColorAssetKind)
            expected = builtIns + QStringList{QStringLiteral("Sky"), QStringLiteral("Ink")};
        if (kind == 17)
            expected << QStringLiteral("Top");
        QCOMPARE(names(mLeft, kind), expected);
    }
    // Past the end the iterator stays there.
    AssetIteratorRef iterator = nullptr;
    QCOMPARE(mApi.mAssets->NewAssetIterator(mApi.mAssets->GetAssetSpace(mLeft), 17, &iterator), XT::kNoErr);
    QVERIFY(mApi.mAssets->NextAsset(iterator) != XT::kNoErr);
    QVERIFY(mApi.mAssets->NextAsset(iterator) != XT::kNoErr);
    QCOMPARE(mApi.mAssets->GetIteratorAsset(iterator), XT::kNoAsset);
    mApi.mAssets->DisposeAssetIterator(iterator);
    QCOMPARE(mApi.mAssets->GetIteratorAsset(iterator), XT::kNoAsset);
    QCOMPARE(mApi.mAssets->NewAssetIterator(mApi.mAssets->GetAssetSpace(mLeft), 19, &iterator),
             XT::kErrParam);
    QCOMPARE(mApi.mAssets->NewAssetIterator(mApi.mAssets->GetAssetSpace(mLeft), 0, &iterator), XT::kErrParam);
}

void tst_HostAssets::descriptions_data()
{
    QTest::addColumn<int32_t>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::newRow("RGB colour") << 3 << "Sky"
                                << "RGB 0, 128, 255";
    QTest::newRow("CMYK spot colour") << 3 << "Ink"
                                      << "CMYK 100%, 50%, 0%, 20%\rSpot colour";
    QTest::newRow("built-in process colour") << 3 << "Cyan"
                                             << "CMYK 100%, 0%, 0%, 0%";
    QTest::newRow("paragraph style, with a carriage return") << 1 << "Body"
                                                             << "Serif 10 pt\rleading 12 pt";
}

void tst_HostAssets::descriptions()
{
    QFETCH(int32_t, kind);
    QFETCH(QString, name);
    QFETCH(QString, description);
    const AssetUID uid = mApi.assetNamed(mLeft, kind, name);
    QVERIFY(uid != XT::kNoAsset);
    QCOMPARE(mApi.take(mApi.mAssets->GetAssetDescription(mApi.mAssets->GetAssetSpace(mLeft), kind, uid, 0)),
             description);
    QVERIFY(!mApi.mAssets->GetAssetDescription(mApi.mAssets->GetAssetSpace(mLeft), kind, 30000, 0));
}

void tst_HostAssets::colourRgb_data()
{
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QList<int>>("rgb");
    QTest::newRow("RGB scales to 16 bits") << "Sky" << QList<int>{0, 128 * 257, 65535};
    QTest::newRow("CMYK with black") << "Ink" << QList<int>{0, 26214, 52428};
    QTest::newRow("White") << "White" << QList<int>{65535, 65535, 65535};
    QTest::newRow("Black") << "Black" << QList<int>{0, 0, 0};
}

void tst_HostAssets::colourRgb()
{
    QFETCH(QString, colour);
    QFETCH(QList<int>, rgb);
    const XTColorList list = mApi.mAssets->GetColorList(mApi.mAssets->GetAssetSpace(mLeft));
    const XTColorId id = XTColorId(mApi.assetNamed(mLeft, XT::kColorAssetKind, colour));
    uint16_t r = 1, g = 1, b = 1;
    QCOMPARE(mApi.mColors->GetColorRGB(list, id, 0x10000, XT::kColorSpacePSDX, -4, &r, &g, &b), XT::kNoErr);
    QCOMPARE((QList<int>{r, g, b}), rgb);
    QCOMPARE(mApi.mColors->GetColorRGB(list, id, 0x10000, 0x52474220, -4, &r, &g, &b), XT::kErrParam);
    QCOMPARE(mApi.mColors->GetColorRGB(list, 30000, 0x10000, XT::kColorSpacePSDX, -4, &r, &g, &b),
             XT::kErrNotFound);
}

void tst_HostAssets::copyCreatesOrUpdates()
{
    const AssetSpaceRef left = mApi.mAssets->GetAssetSpace(mLeft);
    const AssetSpaceRef right = mApi.mAssets->GetAssetSpace(mRight);
    XTAssetCopyContext context = nullptr;
    QCOMPARE(mApi.mAssets->BeginAssetCopy(left, right, 4, &context), XT::kNoErr);

    // Missing on the right: created under its name with a new id.
    AssetUID uid = XT::kNoAsset;
    QCOMPARE(mApi.mAssets->CopyAsset(left, right, 3, mApi.assetNamed(mLeft, 3, QStringLiteral("Ink")), &uid,
                                     context),
             XT::kNoErr);
    QVERIFY(uid > 0 && uid <= 32767);
    QCOMPARE(mApi.take(mApi.mAssets->GetAssetName(right, 3, uid)), QStringLiteral("Ink"));
    QCOMPARE(mApi.take(mApi.mAssets->GetAssetDescription(right, 3, uid, 0)),
             QStringLiteral("CMYK 100%, 50%, 0%, 20%\rSpot colour"));
    QVERIFY(names(mRight, 3).endsWith(QStringLiteral("Ink")));
    QVERIFY(mApi.mProject->IsProjectModified(mRight));

    // Present on the right: takes the left's content, keeps its id.
    const AssetUID skyRight = mApi.assetNamed(mRight, 3, QStringLiteral("Sky"));
    uid = XT::kNoAsset;
    QCOMPARE(mApi.mAssets->CopyAsset(left, right, 3, mApi.assetNamed(mLeft, 3, QStringLiteral("Sky")), &uid,
                                     context),
             XT::kNoErr);
    QCOMPARE(uid, skyRight);
    QCOMPARE(mApi.take(mApi.mAssets->GetAssetDescription(right, 3, uid, 0)),
             QStringLiteral("RGB 0, 128, 255"));

    QCOMPARE(mApi.mAssets->CopyAsset(left, right, 1, mApi.assetNamed(mLeft, 1, QStringLiteral("Body")), &uid,
                                     context),
             XT::kNoErr);
    QCOMPARE(names(mRight, 1), QStringList{QStringLiteral("Body")});
    QVERIFY(!mApi.mProject->IsProjectModified(mLeft));

    // The copies are saved with the project.
    QCOMPARE(mApi.mProject->SaveProject(mRight, 0, 71), XT::kNoErr);
    QCOMPARE(mApi.mProject->CloseProject(mRight, 1), XT::kNoErr);
    mRight = mApi.open(mDir->filePath(QStringLiteral("right.xprj")));
    QCOMPARE(names(mRight, 3).mid(7), (QStringList{QStringLiteral("Sky"), QStringLiteral("Ink")}));
    QCOMPARE(
        mApi.take(mApi.mAssets->GetAssetDescription(mApi.mAssets->GetAssetSpace(mRight), 3,
                                                    mApi.assetNamed(mRight, 3, QStringLiteral("Sky")), 0)),
        QStringLiteral("RGB 0, 128, 255"));
}

void tst_HostAssets::refusedCopiesChangeNothing_data()
{
    QTest::addColumn<int>("refusal");
    QTest::newRow("a built-in colour") << 0;
    QTest::newRow("an id the source does not have") << 1;
    QTest::newRow("no copy context") << 2;
    QTest::newRow("a context of other projects") << 3;
    QTest::newRow("a kind out of range") << 4;
}

void tst_HostAssets::refusedCopiesChangeNothing()
{
    QFETCH(int, refusal);
    const AssetSpaceRef left = mApi.mAssets->GetAssetSpace(mLeft);
    const AssetSpaceRef right = mApi.mAssets->GetAssetSpace(mRight);
    XTAssetCopyContext context = nullptr;
    QCOMPARE(mApi.mAssets->BeginAssetCopy(left, right, 4, &context), XT::kNoErr);
    int32_t kind = 3;
    AssetUID source = mApi.assetNamed(mLeft, 3, QStringLiteral("Ink"));
    switch (refusal)
    {
    case 0:
        source = mApi.assetNamed(mLeft, 3, QStringLiteral("Black"));
        break;
    case 1:
        source = 31000;
        break;
    case 2:
        context = nullptr;
        break;
    case 3:
        QCOMPARE(mApi.mAssets->BeginAssetCopy(right, left, 4, &context), XT::kNoErr);
        break;
    case 4:
        kind = 19;
        break;
    }
    const QStringList before = names(mRight, 3);
    AssetUID uid = 77;
    QVERIFY(mApi.mAssets->CopyAsset(left, right, kind, source, &uid, context) != XT::kNoErr);
    QCOMPARE(uid, 77);
    QCOMPARE(names(mRight, 3), before);
    QVERIFY(!mApi.mProject->IsProjectModified(mRight));
}

void tst_HostAssets::handlesOfAClosedProjectAreNone()
{
    const AssetSpaceRef space = mApi.mAssets->GetAssetSpace(mLeft);
    const XTColorList list = mApi.mAssets->GetColorList(space);
    AssetIteratorRef iterator = nullptr;
    QCOMPARE(mApi.mAssets->NewAssetIterator(space, 3, &iterator), XT::kNoErr);
    XTAssetCopyContext context = nullptr;
    QCOMPARE(mApi.mAssets->BeginAssetCopy(space, mApi.mAssets->GetAssetSpace(mRight), 4, &context),
             XT::kNoErr);
    QCOMPARE(mApi.mProject->CloseProject(mLeft, 1), XT::kNoErr);

    QVERIFY(!mApi.mAssets->GetAssetName(space, 3, 1));
    QCOMPARE(mApi.mAssets->GetIteratorAsset(iterator), XT::kNoAsset);
    QVERIFY(mApi.mAssets->NextAsset(iterator) != XT::kNoErr);
    QCOMPARE(mApi.mColors->QueryColor(list, 1, XT::kColorIsBuiltIn), 0);
    QVERIFY(!mApi.mAssets->GetColorList(space));
    AssetUID uid = XT::kNoAsset;
    QVERIFY(mApi.mAssets->CopyAsset(space, mApi.mAssets->GetAssetSpace(mRight), 3, 8, &uid, context) !=
            XT::kNoErr);
    QVERIFY(!mApi.mAssets->GetAssetSpace(mLeft));
}

QTEST_GUILESS_MAIN(tst_HostAssets)
#include "tst_hostassets.moc"
