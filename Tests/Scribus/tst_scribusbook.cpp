// The generated Scribus book (xtgen --scribus-book, the input of
// bench_scribus): the same options give the same bytes, both versions are
// well-formed XML, and the host reads them as the book they describe, with
// the second version's deleted and added frames.

#include "Format/ScribusProjectFormat.h"
#include "Model/Project.h"
#include "ScribusBookGenerator.h"

#include <QTest>
#include <QXmlStreamReader>

namespace
{

QString wellFormed(const QByteArray& document)
{
    QXmlStreamReader reader(document);
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        return QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
    return QString();
}

QStringList boxNames(const XTHost::Project& project)
{
    QStringList names;
    for (const XTHost::Layout& layout : project.mLayouts)
        for (const XTHost::Spread& spread : layout.mSpreads)
            for (const XTHost::Box& box : spread.mBoxes)
                names << box.mName;
    return names;
}

} // namespace

class tst_ScribusBook : public QObject
{
    Q_OBJECT

private slots:
    void sameOptionsSameBytes();
    void hostReadsBothVersions();
};

void tst_ScribusBook::sameOptionsSameBytes()
{
    const XTHost::ScribusBook first = XTHost::ScribusBookGenerator::generate({12, 3});
    const XTHost::ScribusBook second = XTHost::ScribusBookGenerator::generate({12, 3});
    QVERIFY(first.mLeft == second.mLeft);
    QVERIFY(first.mRight == second.mRight);
    QCOMPARE(first.mEdits, second.mEdits);
    QVERIFY(first.mLeft != XTHost::ScribusBookGenerator::generate({12, 4}).mLeft);
}

void tst_ScribusBook::hostReadsBothVersions()
{
    const int pages = 12;
    const XTHost::ScribusBook book = XTHost::ScribusBookGenerator::generate({pages, 1});
    QCOMPARE(wellFormed(book.mLeft), QString());
    QCOMPARE(wellFormed(book.mRight), QString());

    const XTHost::ScribusProjectFormat format;
    XTHost::Project left, right;
    QString error;
    QVERIFY2(format.parse(book.mLeft, QStringLiteral("left"), left, &error), qPrintable(error));
    QVERIFY2(format.parse(book.mRight, QStringLiteral("right"), right, &error), qPrintable(error));
    QCOMPARE(int(left.mLayouts.size()), 1);
    QCOMPARE(left.mLayouts[0].pageCount(), pages);
    QCOMPARE(left.mLayouts[0].mMasterPages.size(), 3);
    // The first page alone, then pairs.
    QCOMPARE(int(left.mLayouts[0].mSpreads.size()), pages / 2 + 1);

    // Five objects a page; the second version lost one and gained one.
    const QStringList leftBoxes = boxNames(left);
    const QStringList rightBoxes = boxNames(right);
    QCOMPARE(leftBoxes.size(), 5 * pages);
    QCOMPARE(rightBoxes.size(), 5 * pages);
    QStringList gone, added;
    for (const QString& name : leftBoxes)
        if (!rightBoxes.contains(name))
            gone << name;
    for (const QString& name : rightBoxes)
        if (!leftBoxes.contains(name))
            added << name;
    QCOMPARE(gone.size(), 1);
    QVERIFY2(gone[0].startsWith(QLatin1String("Figure ")), qPrintable(gone[0]));
    QCOMPARE(added.size(), 1);
    QVERIFY2(added[0].startsWith(QLatin1String("Erratum ")), qPrintable(added[0]));
    // One story per note frame and per chain of body frames; the added frame
    // has a story of its own.
    QVERIFY(left.mStories.size() > size_t(pages));
    QCOMPARE(right.mStories.size(), left.mStories.size() + 1);
}

QTEST_GUILESS_MAIN(tst_ScribusBook)
#include "tst_scribusbook.moc"
