// Layouts, spreads, pages and boxes through the host's function tables: the
// orders the plug-in's cursors rely on, the none values, and every edit of a
// box's geometry and properties. (Layouts in ascending number and boxes in
// stacking order, with their names and kinds, are tst_iterators' and
// tst_entities'.)

#include "HostTestSupport.h"

#include "Model/Layout.h"

#include <QtTest>

#include <cstring>
#include <set>

class tst_HostStructure : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void spreadsPagesAndMasters();
    void noneValuesForUnknownReferences_data();
    void noneValuesForUnknownReferences();
    void referencesOfAClosedProjectAreNone();
    void documentNumbersAreUniqueAcrossProjects();
    void moveAndResizeShowInGeometry();
    void refusedGeometryChangesChangeNothing_data();
    void refusedGeometryChangesChangeNothing();
    void copyBoxToSpreadCopiesItsStory();
    void findBoxFollowsEditsInPlace();
    void removalsKeepEveryOtherReference();
    void copiedLayoutJoinsItsStoryAndSaves();

private:
    DocRef layoutNumbered(int32_t number) const;

    std::unique_ptr<XTHost::HostSession> mSession;
    std::unique_ptr<QTemporaryDir> mDir;
    HostApi mApi;
    XTProjectId mProject = XT::kNoProject;
};

void tst_HostStructure::init()
{
    mSession = std::make_unique<XTHost::HostSession>();
    QVERIFY(mApi.acquire(mSession->setupRecord()));
    mDir = std::make_unique<QTemporaryDir>();
    mProject = mApi.open(writeProject(*mDir, QStringLiteral("small.xprj"), smallProject()));
    QVERIFY2(mProject != XT::kNoProject, qPrintable(mSession->lastError()));
}

void tst_HostStructure::cleanup()
{
    mSession.reset();
    mDir.reset();
}

DocRef tst_HostStructure::layoutNumbered(int32_t number) const
{
    for (int32_t i = 0; i < mApi.mProject->GetLayoutCount(mProject); ++i)
        if (mApi.mProject->GetLayoutIndex(mApi.mProject->GetLayout(mProject, i)) == number)
            return mApi.mProject->GetLayout(mProject, i);
    return XT::kNoDoc;
}

void tst_HostStructure::spreadsPagesAndMasters()
{
    const DocRef doc = layoutNumbered(1);
    QCOMPARE(mApi.mSpread->GetSpreadCount(doc, 0), int16_t(2));
    QCOMPARE(mApi.mSpread->GetMasterSpreadCount(doc), int16_t(2));
    const int16_t masters = mApi.mSpread->GetMasterPageCount(doc);
    QCOMPARE(masters, int16_t(3));
    for (int16_t i = 1; i <= 2; ++i)
        QCOMPARE(mApi.mSpread->GetSpreadNumber(mApi.mSpread->GetSpreadBox(doc, i)) -
                     mApi.mSpread->GetMasterSpreadCount(doc),
                 int(i));
    QCOMPARE(mApi.mSpread->GetSpreadBox(doc, 0), XT::kNoBox);
    QCOMPARE(mApi.mSpread->GetSpreadBox(doc, 3), XT::kNoBox);

    // Page lists: 16-bit numbers of normal pages, counted across the layout.
    auto pages = [&](int16_t spread)
    {
        XTHandle handle = mApi.mSpread->GetSpreadPages(doc, spread);
        QList<int16_t> numbers;
        for (int64_t i = 0; i < mApi.mPlatform->GetHandleSize(handle) / 2; ++i)
        {
            int16_t number = 0;
            std::memcpy(&number, *handle + 2 * i, 2);
            numbers << number;
        }
        mApi.mPlatform->DisposeHandle(handle);
        return numbers;
    };
    QCOMPARE(pages(1), (QList<int16_t>{1, 2}));
    QCOMPARE(pages(2), (QList<int16_t>{3}));
    QVERIFY(!mApi.mSpread->GetSpreadPages(doc, 3));

    const QStringList labels{QStringLiteral("i"), QStringLiteral("ii"), QStringLiteral("1")};
    for (int16_t p = 1; p <= 3; ++p)
        QCOMPARE(mApi.take(mApi.mSpread->GetPageLabel(doc, int16_t(masters + p))), labels.at(p - 1));
    QCOMPARE(mApi.take(mApi.mSpread->GetPageLabel(doc, 1)), QStringLiteral("A-Master"));
    QVERIFY(!mApi.mSpread->GetPageLabel(doc, int16_t(masters + 4)));
    QVERIFY(!mApi.mSpread->GetPageLabel(doc, 0));
}

void tst_HostStructure::noneValuesForUnknownReferences_data()
{
    QTest::addColumn<XTBoxRef>("box");
    QTest::addColumn<DocRef>("doc");
    QTest::newRow("none values") << XT::kNoBox << XT::kNoDoc;
    QTest::newRow("never handed out") << XTBoxRef(987654) << DocRef(987654);
}

void tst_HostStructure::noneValuesForUnknownReferences()
{
    QFETCH(XTBoxRef, box);
    QFETCH(DocRef, doc);
    QVERIFY(!mApi.mBox->GetBoxName(box));
    QCOMPARE(mApi.mBox->GetBoxNumber(box, 0), 0);
    QCOMPARE(mApi.mBox->GetFirstBox(box, 1), XT::kNoBox);
    QCOMPARE(mApi.mBox->GetNextBox(box, 1), XT::kNoBox);
    QCOMPARE(mApi.mBox->GetBoxDocument(box), XT::kNoDoc);
    QCOMPARE(mApi.mBox->GetBoxContentType(box), int16_t(-1));
    QVERIFY(!mApi.mBox->GetBoxRecord(0, box, 0));
    QCOMPARE(mApi.mSpread->GetSpreadNumber(box), int16_t(-1));
    QVERIFY(!mApi.mPicture->GetBoxPicture(box));
    QVERIFY(!mApi.mText->GetTextSelection(box, nullptr, nullptr));
    XTBoxGeometry geometry;
    QVERIFY(mApi.mGeometry(box, &geometry) != XT::kNoErr);
    QVERIFY(!mApi.mProject->GetLayoutName(doc));
    QCOMPARE(mApi.mProject->GetLayoutIndex(doc), -1);
    QCOMPARE(mApi.mSpread->GetSpreadCount(doc, 0), int16_t(0));
    QCOMPARE(mApi.mSpread->GetSpreadBox(doc, 1), XT::kNoBox);
    QCOMPARE(mApi.mDoc->DocumentNumberFromRef(doc), XT::kNoDocNumber);
    Fixed bounds[4];
    QVERIFY(mApi.mDoc->GetSpreadBounds(doc, 1, bounds) != XT::kNoErr);
    QCOMPARE(mApi.mProject->GetLayoutCount(XTProjectId(4242)), 0);
    QVERIFY(!mApi.mProject->GetProjectPath(XTProjectId(4242)));
}

void tst_HostStructure::referencesOfAClosedProjectAreNone()
{
    const DocRef doc = layoutNumbered(1);
    const XTBoxRef spreadBox = mApi.mSpread->GetSpreadBox(doc, 1);
    const XTBoxRef box = mApi.mBox->GetFirstBox(spreadBox, 1);
    XTTextRef text = mApi.mText->GetTextSelection(box, nullptr, nullptr);
    const XTDocNumber number = mApi.mDoc->DocumentNumberFromRef(doc);
    QVERIFY(text);
    QCOMPARE(mApi.mProject->CloseProject(mProject, 1), XT::kNoErr);

    QCOMPARE(mApi.mProject->GetLayoutIndex(doc), -1);
    QCOMPARE(mApi.mBox->GetBoxNumber(box, 0), 0);
    QCOMPARE(mApi.mBox->GetFirstBox(spreadBox, 1), XT::kNoBox);
    QCOMPARE(mApi.mText->CountTextChars(text, 0, 0), 0);
    QCOMPARE(mApi.mText->GetStoryNumber(text), -1);
    QCOMPARE(mApi.mDoc->DocumentRefFromNumber(number), XT::kNoDoc);
    QCOMPARE(mApi.mText->DeleteTextRange(text, 0, 1, 0, 1), XT::kErrParam);
    QCOMPARE(mApi.mProject->CloseProject(mProject, 1), XT::kErrNotFound);
    QCOMPARE(mApi.mProject->GetOpenProjectCount(), 0);
}

void tst_HostStructure::documentNumbersAreUniqueAcrossProjects()
{
    const XTProjectId other = mApi.open(writeProject(*mDir, QStringLiteral("other.xprj"), smallProject()));
    QVERIFY(other != XT::kNoProject);
    std::set<XTDocNumber> numbers;
    std::set<DocRef> docs;
    for (XTProjectId project : {mProject, other})
        for (int32_t i = 0; i < mApi.mProject->GetLayoutCount(project); ++i)
        {
            const DocRef doc = mApi.mProject->GetLayout(project, i);
            const XTDocNumber number = mApi.mDoc->DocumentNumberFromRef(doc);
            QVERIFY(number > 0);
            QVERIFY(numbers.insert(number).second);
            QVERIFY(docs.insert(doc).second);
            QCOMPARE(mApi.mDoc->DocumentRefFromNumber(number), doc);
        }
    QCOMPARE(numbers.size(), size_t(4));
}

void tst_HostStructure::moveAndResizeShowInGeometry()
{
    const XTBoxRef box = mApi.boxNumbered(mProject, 1, 10);
    XTBoxGeometry geometry;
    QCOMPARE(mApi.mGeometry(box, &geometry), XT::kNoErr);
    QCOMPARE(geometry.bounds.left, pt(36));
    QCOMPARE(geometry.bounds.top, pt(36));
    QCOMPARE(geometry.bounds.right, pt(576));
    QCOMPARE(geometry.bounds.bottom, pt(108));
    QCOMPARE(geometry.origin.h, pt(36));
    QCOMPARE(geometry.origin.v, pt(36));
    QVERIFY(!mApi.mProject->IsProjectModified(mProject));

    QCOMPARE(mApi.mBox->MoveBox(box, pt(10), pt(-6.5), 1), XT::kNoErr);
    QCOMPARE(mApi.mGeometry(box, &geometry), XT::kNoErr);
    QCOMPARE(geometry.origin.v, pt(46));
    QCOMPARE(geometry.origin.h, pt(29.5));
    QCOMPARE(geometry.bounds.right, pt(569.5));
    QCOMPARE(geometry.bounds.bottom, pt(118));
    QVERIFY(mApi.mProject->IsProjectModified(mProject));

    // Resize the way the plug-in does: through the record's bytes 154 and 158.
    XTBoxRecord* record = mApi.mBox->GetBoxRecord(0, box, 0);
    QVERIFY(record);
    char* bytes = reinterpret_cast<char*>(record);
    int32_t width = 0;
    int32_t height = 0;
    std::memcpy(&width, bytes + 154, 4);
    std::memcpy(&height, bytes + 158, 4);
    QCOMPARE(width, pt(540));
    QCOMPARE(height, pt(72));
    width += pt(20);
    height -= pt(2.25);
    std::memcpy(bytes + 154, &width, 4);
    std::memcpy(bytes + 158, &height, 4);
    QCOMPARE(mApi.mBox->SetBoxRecord(record, box, 0, 0), XT::kNoErr);
    mApi.mBox->DisposeBoxRecord(record, 1);
    QCOMPARE(mApi.mGeometry(box, &geometry), XT::kNoErr);
    QCOMPARE(geometry.origin.h, pt(29.5));
    QCOMPARE(geometry.origin.v, pt(46));
    QCOMPARE(geometry.bounds.right - geometry.bounds.left, pt(560));
    QCOMPARE(geometry.bounds.bottom - geometry.bounds.top, pt(69.75));
}

void tst_HostStructure::refusedGeometryChangesChangeNothing_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("move past the largest measure") << 0;
    QTest::newRow("move the spread box") << 1;
    QTest::newRow("negative width") << 2;
    QTest::newRow("record of another box") << 3;
    QTest::newRow("record with a wrong size") << 4;
}

void tst_HostStructure::refusedGeometryChangesChangeNothing()
{
    QFETCH(int, change);
    const XTBoxRef box = mApi.boxNumbered(mProject, 1, 10);
    XTBoxGeometry before;
    QCOMPARE(mApi.mGeometry(box, &before), XT::kNoErr);
    XTBoxRecord* record = mApi.mBox->GetBoxRecord(0, box, 0);
    XTError error = XT::kNoErr;
    switch (change)
    {
    case 0:
        error = mApi.mBox->MoveBox(box, 0, 0x7FFF0000, 1);
        break;
    case 1:
        error = mApi.mBox->MoveBox(mApi.mSpread->GetSpreadBox(layoutNumbered(1), 1), pt(1), pt(1), 1);
        break;
    case 2:
        record->width = -pt(1);
        error = mApi.mBox->SetBoxRecord(record, box, 0, 0);
        break;
    case 3:
        record->width += pt(5);
        error = mApi.mBox->SetBoxRecord(record, mApi.boxNumbered(mProject, 1, 5), 0, 0);
        break;
    case 4:
        record->header.size = 12;
        record->width += pt(5);
        error = mApi.mBox->SetBoxRecord(record, box, 0, 0);
        break;
    }
    mApi.mBox->DisposeBoxRecord(record, 1);
    QVERIFY(error != XT::kNoErr);
    XTBoxGeometry after;
    QCOMPARE(mApi.mGeometry(box, &after), XT::kNoErr);
    QCOMPARE(std::memcmp(&before, &after, sizeof(before)), 0);
    QVERIFY(!mApi.mProject->IsProjectModified(mProject));
}

void tst_HostStructure::copyBoxToSpreadCopiesItsStory()
{
    const XTProjectId other = mApi.open(writeProject(*mDir, QStringLiteral("other.xprj"), smallProject()));
    const DocRef source = layoutNumbered(1);
    DocRef destination = XT::kNoDoc;
    for (int32_t i = 0; i < 2; ++i)
        if (mApi.mProject->GetLayoutIndex(mApi.mProject->GetLayout(other, i)) == 2)
            destination = mApi.mProject->GetLayout(other, i);
    const XTBoxRef spreadBox = mApi.mSpread->GetSpreadBox(destination, 1);
    const XTBoxRef box = mApi.boxNumbered(mProject, 1, 10);
    XTTextRef sourceText = mApi.mText->GetTextSelection(box, nullptr, nullptr);

    // A box of the wrong layout, or a target that is no spread box, is refused.
    QCOMPARE(mApi.mSpread->CopyBoxToSpread(destination, box, destination, spreadBox), XT::kNoBox);
    QCOMPARE(mApi.mSpread->CopyBoxToSpread(source, box, destination, box), XT::kNoBox);

    const XTBoxRef copy = mApi.mSpread->CopyBoxToSpread(source, box, destination, spreadBox);
    QVERIFY(copy != XT::kNoBox);
    QCOMPARE(mApi.boxesOn(spreadBox).back(), copy);
    QCOMPARE(mApi.mBox->GetBoxNumber(copy, 0), 10); // free in that layout, so kept
    QCOMPARE(mApi.take(mApi.mBox->GetBoxName(copy)), QStringLiteral("Headline"));
    XTTextRef text = mApi.mText->GetTextSelection(copy, nullptr, nullptr);
    QVERIFY(text && text != sourceText);
    QCOMPARE(mApi.storyText(text), mApi.storyText(sourceText));
    int32_t run = 0;
    bool found = false;
    QCOMPARE(mApi.mText->FindHiddenRun(text, &run, 1000, 0, 0, 1, 0, &found), XT::kNoErr);
    QVERIFY(found);
    QCOMPARE(run, 19);
    QCOMPARE(mApi.mText->GetHiddenRunLength(text, run), 6);
    QCOMPARE(mApi.mText->GetStoryNumber(text), 10); // 4 is taken there
    QCOMPARE(mApi.storyBoxes(text), std::vector<XTBoxRef>{copy});
    QVERIFY(mApi.mProject->IsProjectModified(other));
    QVERIFY(!mApi.mProject->IsProjectModified(mProject));

    // The copy is a consistent part of its project: it saves and loads.
    QCOMPARE(mApi.mProject->SaveProject(other, 0, 71), XT::kNoErr);
    XTHost::Project reloaded;
    QString error;
    QVERIFY2(XTHost::JsonProjectFormat().load(mDir->filePath(QStringLiteral("other.xprj")), reloaded, &error),
             qPrintable(error));
    QCOMPARE(reloaded.mStories.size(), size_t(4));
    QCOMPARE(reloaded.mStories.back().mBoxes.front().mBox, 10);
}

// A layout finds its boxes by number through an index of where they are; the
// spreads and boxes are edited in place, and each lookup must still be right.
void tst_HostStructure::findBoxFollowsEditsInPlace()
{
    auto box = [](int32_t number)
    {
        XTHost::Box b;
        b.mNumber = number;
        return b;
    };
    XTHost::Layout layout;
    layout.mSpreads.resize(2);
    layout.mSpreads[0].mBoxes = {box(3), box(1), box(7)};
    layout.mSpreads[1].mBoxes = {box(2)};
    auto numberAt = [&](int32_t number)
    { return layout.findBox(number) ? layout.findBox(number)->mNumber : -1; };
    QCOMPARE(numberAt(7), 7);
    QCOMPARE(numberAt(2), 2);
    QCOMPARE(numberAt(5), -1);

    // One box removed before another, one added in front, one moved to the
    // other spread, a copy of the layout looked up on its own.
    layout.mSpreads[0].mBoxes.erase(layout.mSpreads[0].mBoxes.begin());
    QCOMPARE(numberAt(3), -1);
    QCOMPARE(numberAt(7), 7);
    layout.mSpreads[1].mBoxes.insert(layout.mSpreads[1].mBoxes.begin(), box(9));
    QCOMPARE(numberAt(9), 9);
    QCOMPARE(numberAt(2), 2);
    layout.mSpreads[1].mBoxes.push_back(layout.mSpreads[0].mBoxes.front());
    layout.mSpreads[0].mBoxes.erase(layout.mSpreads[0].mBoxes.begin());
    QCOMPARE(layout.findBox(1), &layout.mSpreads[1].mBoxes.back());
    const XTHost::Layout copy = layout;
    QCOMPARE(copy.findBox(9), &copy.mSpreads[1].mBoxes.front());
    QCOMPARE(layout.findBox(9), &layout.mSpreads[1].mBoxes.front());
}

// Removing a box, a spread and a layout forgets their references and keeps
// every other one naming the same part, wherever it now stands; a story
// that loses its boxes stays.
void tst_HostStructure::removalsKeepEveryOtherReference()
{
    const XTBoxRef headline = mApi.boxNumbered(mProject, 1, 10);
    const XTBoxRef photo = mApi.boxNumbered(mProject, 1, 3);
    const XTBoxRef body = mApi.boxNumbered(mProject, 1, 5);
    const XTBoxRef banner = mApi.boxNumbered(mProject, 2, 1);
    const DocRef print = layoutNumbered(1);
    const DocRef web = layoutNumbered(2);
    const XTBoxRef first = mApi.mSpread->GetSpreadBox(print, 1);
    const XTBoxRef second = mApi.mSpread->GetSpreadBox(print, 2);
    const XTTextRef four = mApi.storyNumbered(mProject, 4);
    QVERIFY(headline && photo && body && banner && first && second && four);

    QCOMPARE(mApi.mBox->DeleteBox(first), XT::kErrParam); // a spread's own box
    QCOMPARE(mApi.mBox->DeleteBox(headline), XT::kNoErr);
    QVERIFY(mApi.mProject->IsProjectModified(mProject));
    QCOMPARE(mApi.mBox->GetBoxNumber(headline, 0), 0);
    QCOMPARE(mApi.mBox->GetBoxDocument(headline), XT::kNoDoc);
    QCOMPARE(mApi.mBox->DeleteBox(headline), XT::kErrParam);
    QCOMPARE(mApi.mBox->GetBoxNumber(photo, 0), 3);
    QCOMPARE(mApi.mBox->GetFirstBox(first, 0), photo);
    QCOMPARE(mApi.mText->GetStoryNumber(four), 4);

    QCOMPARE(mApi.mSpread->DeleteSpread(first), XT::kNoErr);
    QCOMPARE(mApi.mBox->GetBoxDocument(photo), XT::kNoDoc);
    QCOMPARE(mApi.mSpread->GetSpreadCount(print, 0), int16_t(1));
    QCOMPARE(mApi.mSpread->GetSpreadBox(print, 1), second);
    QCOMPARE(mApi.mBox->GetFirstBox(second, 0), body);
    QCOMPARE(mApi.mBox->GetBoxNumber(body, 0), 5);

    QCOMPARE(mApi.mProject->DeleteLayout(print), XT::kNoErr);
    QCOMPARE(mApi.mBox->GetBoxDocument(body), XT::kNoDoc);
    QCOMPARE(mApi.mProject->GetLayoutIndex(web), 2);
    QCOMPARE(mApi.mBox->GetBoxDocument(banner), web);
    QCOMPARE(mApi.mBox->GetBoxNumber(banner, 0), 1);
    QCOMPARE(mApi.mText->GetStoryNumber(four), 4); // in no box now
    QCOMPARE(mApi.mText->DeleteStory(four), XT::kNoErr);
    QCOMPARE(mApi.mText->GetStoryNumber(four), -1);
    QVERIFY(mApi.storyNumbered(mProject, 9));
}

// A layout copied into a project that lacks it keeps its number and its
// boxes' numbers, takes its place in layout order, and its text boxes join
// the story of the same number there; the project saves and loads again.
void tst_HostStructure::copiedLayoutJoinsItsStoryAndSaves()
{
    const QString path = writeProject(*mDir, QStringLiteral("other.xprj"), smallProject());
    const XTProjectId other = mApi.open(path);
    QVERIFY(other != XT::kNoProject);
    const DocRef print = layoutNumbered(1);
    const DocRef otherPrint = mApi.mProject->GetLayout(other, 0); // layouts come in ascending number
    QCOMPARE(mApi.mProject->GetLayoutIndex(otherPrint), 1);
    QCOMPARE(mApi.mProject->CopyLayout(print, other), XT::kNoDoc); // its number is taken there
    QCOMPARE(mApi.mProject->DeleteLayout(otherPrint), XT::kNoErr);

    const DocRef copy = mApi.mProject->CopyLayout(print, other);
    QVERIFY(copy != XT::kNoDoc);
    QCOMPARE(mApi.mProject->GetLayout(other, 0), copy);
    QCOMPARE(mApi.mProject->GetLayoutIndex(copy), 1);
    for (int32_t number : {10, 3, 7, 5})
        QVERIFY2(mApi.boxNumbered(other, 1, number), qPrintable(QString::number(number)));
    // Story 4 stayed in no box when its layout went; the copy's boxes 10 and
    // 5 take it again, in its chain's order.
    const XTTextRef four = mApi.storyNumbered(other, 4);
    QVERIFY(four);
    XTHandle boxes = mApi.mPlatform->NewHandle(0);
    QCOMPARE(mApi.mText->GetStoryBoxes(four, 0, boxes), XT::kNoErr);
    QCOMPARE(mApi.mPlatform->GetHandleSize(boxes), int64_t(8));
    XTBoxRef chain[2] = {XT::kNoBox, XT::kNoBox};
    std::memcpy(chain, *boxes, 8);
    mApi.mPlatform->DisposeHandle(boxes);
    QCOMPARE(chain[0], mApi.boxNumbered(other, 1, 10));
    QCOMPARE(chain[1], mApi.boxNumbered(other, 1, 5));

    QCOMPARE(mApi.mProject->SaveProject(other, 0, 0), XT::kNoErr);
    QCOMPARE(mApi.mProject->CloseProject(other, 1), XT::kNoErr);
    const XTProjectId reopened = mApi.open(path);
    QVERIFY2(reopened != XT::kNoProject, qPrintable(mSession->lastError()));
    QVERIFY(mApi.boxNumbered(reopened, 1, 5));
}

QTEST_GUILESS_MAIN(tst_HostStructure)
#include "tst_hoststructure.moc"
