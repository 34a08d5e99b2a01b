// Every fuzz target over its corpus (Tests/Fuzz/corpus/<target>/): the seeds,
// and every input that ever crashed a target or failed its oracle. Runs in
// the normal suite without clang; the sanitizer build runs it under ASan and
// UBSan.

#include "FuzzTargets.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace
{

using Target = QString (*)(const QByteArray&);

struct Entry
{
    const char* mName;
    Target mTarget;
};

const Entry sTargets[] = {
    {"loader", &Fuzz::projectLoader},
    {"engine", &Fuzz::engineRoundTrip},
    {"patch", &Fuzz::patchText},
    {"delta", &Fuzz::deltaReader},
    {"jsontree", &Fuzz::jsonTree},
    {"scribus", &Fuzz::scribusLoader},
};

} // namespace

class tst_FuzzCorpus : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data();
    void corpus();
};

void tst_FuzzCorpus::corpus_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("path");
    const QDir root(QStringLiteral(CORVANE_FUZZ_CORPUS));
    for (int t = 0; t < int(std::size(sTargets)); ++t)
    {
        const QDir dir(root.filePath(QLatin1String(sTargets[t].mName)));
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        if (files.isEmpty())
            qFatal("no corpus in %s", qPrintable(dir.path()));
        for (const QString& file : files)
            QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(QLatin1String(sTargets[t].mName), file)))
                << t << dir.filePath(file);
    }
}

void tst_FuzzCorpus::corpus()
{
    QFETCH(int, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString failure = sTargets[target].mTarget(file.readAll());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_GUILESS_MAIN(tst_FuzzCorpus)
#include "tst_fuzzcorpus.moc"
