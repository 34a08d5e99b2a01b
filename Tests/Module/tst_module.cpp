// The built plug-in module as a host sees it: it exports its entry point and
// the call that names a comparison's files, nothing else, so that plug-ins loaded side by side cannot clash over the
// text engine's functions or the Qt templates compiled into each of them.
// (That the entry point resolves and activates, tst_mergesession and
// tst_mergewindow show, loading the module as xthost does.)

#include <QProcess>
#include <QtTest>

namespace
{

// What the module exports on purpose (its entry point, and the calls by
// which a host names the files of the next comparison or merge), and what the
// toolchain may add to every shared object.
const QStringList kAllowed{QStringLiteral("XTActivateCallback"),
                           QStringLiteral("CorvaneSetNextPair"),
                           QStringLiteral("CorvaneSetNextMerge"),
                           QStringLiteral("_init"),
                           QStringLiteral("_fini"),
                           QStringLiteral("_edata"),
                           QStringLiteral("_end"),
                           QStringLiteral("__bss_start")};

} // namespace

class tst_Module : public QObject
{
    Q_OBJECT

private slots:
    void exportsOnlyTheEntryPoint();
};

void tst_Module::exportsOnlyTheEntryPoint()
{
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"),
                                    QStringLiteral("--format=posix"), QStringLiteral(CORVANE_MODULE)});
    if (!nm.waitForStarted(10000))
        QSKIP("nm (binutils) cannot be run, and it is what lists the module's exports");
    QVERIFY(nm.waitForFinished(30000));
    QCOMPARE(nm.exitCode(), 0);

    QStringList exported;
    for (const QByteArray& line : nm.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            exported << QString::fromLatin1(line.split(' ').first());
    QVERIFY(exported.contains(QStringLiteral("XTActivateCallback")));

    QStringList unexpected;
    for (const QString& name : exported)
        if (!kAllowed.contains(name))
            unexpected << name;
    // A few names are enough to tell what leaked.
    QCOMPARE(QStringLiteral("%1 more: ").arg(unexpected.size()) + unexpected.mid(0, 5).join(QLatin1Char(' ')),
             QStringLiteral("0 more: "));
}

QTEST_GUILESS_MAIN(tst_Module)
#include "tst_module.moc"
