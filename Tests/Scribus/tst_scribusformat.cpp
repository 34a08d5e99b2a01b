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

#include <algorithm>

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
            QSKIP("the scribus-template and scribus-data packages are not installed (scripts/setup installs "
                  "them)");
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

    // Given every template saved unedited by the host, when Scribus opens
    // each original and each saved copy, then it shows the same pages, items
    // (geometry, fill, text) and colours in both.
    void scribusReadsWhatWasSaved()
    {
        if (ScribusTest::scribusProgram().isEmpty())
            QSKIP("scribus is not installed (scripts/setup installs it)");
        QTemporaryDir dir;
        QStringList inputs;
        const QStringList paths = ScribusTest::templates();
        for (int i = 0; i < paths.size(); ++i)
        {
            const QString suffix =
                paths[i].endsWith(QLatin1String(".gz")) ? QStringLiteral(".sla.gz") : QStringLiteral(".sla");
            const QString original = dir.filePath(QStringLiteral("original-%1").arg(i) + suffix);
            const QString saved = dir.filePath(QStringLiteral("saved-%1").arg(i) + suffix);
            QVERIFY(QFile::copy(paths[i], original));
            Project project;
            QString error;
            QVERIFY2(formatOf(original).load(original, project, &error), qPrintable(error));
            QVERIFY2(formatOf(original).save(project, saved, &error), qPrintable(error));
            inputs << original << saved;
        }
        QString log;
        const QMap<QString, QStringList> shown =
            ScribusTest::printDocuments(inputs, dir.filePath(QStringLiteral("printed.txt")), &log);
        QVERIFY2(!shown.isEmpty(), qPrintable(log));
        QStringList differing;
        int items = 0;
        for (int i = 0; i < paths.size(); ++i)
        {
            const QStringList original = shown.value(QFileInfo(inputs[2 * i]).fileName());
            const QStringList saved = shown.value(QFileInfo(inputs[2 * i + 1]).fileName());
            if (original.isEmpty() || original != saved)
                differing << ScribusTest::rowName(paths[i]) + QLatin1String(": ") +
                                 ScribusTest::firstDifference(original, saved);
            items +=
                int(std::count_if(original.begin(), original.end(),
                                  [](const QString& line) { return line.startsWith(QLatin1String("  ")); }));
        }
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join(QLatin1Char('\n'))));
        qInfo("Scribus showed the same %d items in %d templates and their saved copies", items,
              int(paths.size()));
    }

private:
    QTemporaryDir mDir;
};

QTEST_MAIN(TestScribusFormat)
#include "tst_scribusformat.moc"
