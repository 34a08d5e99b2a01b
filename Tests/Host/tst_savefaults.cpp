// The host's save when the file system fails it: a small tmpfs filled to
// several levels, one without inodes, a read-only one, a folder the user may
// not write into, a file replaced by a folder; and every write, flush and
// commit of a save failed on purpose through the save's fault hook. In every
// case either the save succeeds and the file reads back as the host holds the
// project, or it fails with a message that names the file and the reason, the
// original keeps its bytes and no temporary file is left behind.
//
// The tmpfs cases need a mount namespace: the test runs them in a child of
// itself under unshare(1), as root or in a user namespace, and skips them with
// the reason when neither is allowed.

#include "HostTestSupport.h"
#include "TestFiles.h"

#include "Format/ProjectFormat.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace
{

using XTHost::ProjectFormat;

// Set in the child that runs one case inside its own mount namespace.
const char kInsideVariable[] = "CORVANE_SAVEFAULTS_INSIDE";
constexpr qint64 kTmpfsSize = 64 * 1024;
constexpr qint64 kPage = 4096;
// Copies of 400 characters of story 3 that make the saved file larger than
// the sample it was read from.
constexpr int kGrowth = 8;

// The 15,144-byte sample project.
QString samplePath()
{
    return qEnvironmentVariable("CORVANE_SOURCE_DIR") + QStringLiteral("/Samples/harbour-gazette-v1.xprj");
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

enum Case
{
    FreeSpace,     // a 64 KiB tmpfs with `value` bytes left after the sample
    NoInodes,      // a tmpfs with space but no inode left
    ReadOnlyMount, // a tmpfs remounted read-only after the sample was put on it
    NoPermission,  // a folder the saving user may not write into
    FolderInPlace, // the project file replaced by a folder after it was opened
    FolderRemoved, // the project's folder gone after it was opened
};

bool needsMount(int kind)
{
    return kind == FreeSpace || kind == NoInodes || kind == ReadOnlyMount;
}

// The sample project opened in a host, grown by `growth` edits, ready to be
// saved over the file it came from.
struct OpenSample
{
    std::unique_ptr<XTHost::HostSession> mSession = std::make_unique<XTHost::HostSession>();
    HostApi mApi;
    XTProjectId mProject = XT::kNoProject;
    bool mModified = false; // before the save

    bool open(const QString& path, int growth)
    {
        if (!mApi.acquire(mSession->setupRecord()))
            return false;
        mProject = mApi.open(path);
        if (mProject == XT::kNoProject)
            return false;
        XTTextRef story = mApi.storyNumbered(mProject, 3);
        for (int i = 0; i < growth; ++i)
            if (mApi.mText->CopyTextRange(story, 0, 400, story, 0) != XT::kNoErr)
                return false;
        mModified = mApi.mProject->IsProjectModified(mProject);
        return true;
    }

    // The bytes a successful save must leave.
    QByteArray expected() const
    {
        return XTHost::JsonProjectFormat().serialize(*mSession->project(mProject));
    }
};

// What every save case checks once the save has been tried: success with the
// file as the host holds the project, or a failure that names the file and
// the reason and leaves the original and the folder as they were.
void checkOutcome(XTError result, const OpenSample& sample, const QString& path, const QByteArray& original,
                  const QStringList& folderBefore, const QString& reason)
{
    const QString folder = QFileInfo(path).path();
    const QString message = sample.mSession->lastError();
    if (result == XT::kNoErr)
    {
        QCOMPARE(ReadFile(path), sample.expected());
        QVERIFY(!sample.mApi.mProject->IsProjectModified(sample.mProject));
        XTHost::Project reread;
        QString error;
        QVERIFY2(XTHost::JsonProjectFormat().load(path, reread, &error), qPrintable(error));
        return;
    }
    QVERIFY2(message.startsWith(path + QLatin1Char(':')), qPrintable(message));
    QVERIFY2(!reason.isEmpty() && message.contains(reason),
             qPrintable(QStringLiteral("\"%1\" does not give the reason \"%2\"").arg(message, reason)));
    QVERIFY2(!message.contains(QLatin1String("Unknown error")), qPrintable(message));
    if (original.isNull()) // there was no file to keep
        QVERIFY(!QFileInfo(path).isFile());
    else
        QCOMPARE(ReadFile(path), original);
    QCOMPARE(sample.mApi.mProject->IsProjectModified(sample.mProject), sample.mModified);
    if (QFileInfo(folder).isDir())
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 folderBefore);
}

// Fills a file system until `free` bytes are left, in a file of its own.
bool fillTo(const QString& folder, qint64 free)
{
    struct statvfs info
    {
    };
    if (statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    const qint64 available = qint64(info.f_bavail) * qint64(info.f_frsize);
    if (available <= free)
        return available == free || free >= kTmpfsSize;
    return WriteFile(QDir(folder).filePath(QStringLiteral("filler")), QByteArray(int(available - free), 'x'));
}

// Uses up every inode of a file system.
bool exhaustInodes(const QString& folder)
{
    for (int i = 0; i < 10000; ++i)
    {
        QFile file(QDir(folder).filePath(QStringLiteral("inode-%1").arg(i)));
        if (!file.open(QIODevice::WriteOnly))
            return file.error() != QFileDevice::NoError && i > 0;
    }
    return false;
}

QString faultName(int error)
{
    switch (error)
    {
    case ENOSPC:
        return QStringLiteral("ENOSPC");
    case EDQUOT:
        return QStringLiteral("EDQUOT");
    case EIO:
        return QStringLiteral("EIO");
    case EROFS:
        return QStringLiteral("EROFS");
    default:
        return QString::number(error);
    }
}

QString stepName(ProjectFormat::SaveStep step)
{
    switch (step)
    {
    case ProjectFormat::SaveStep::Open:
        return QStringLiteral("open");
    case ProjectFormat::SaveStep::Write:
        return QStringLiteral("write");
    case ProjectFormat::SaveStep::Flush:
        return QStringLiteral("flush");
    case ProjectFormat::SaveStep::Commit:
        return QStringLiteral("commit");
    }
    return QString();
}

// A tmpfs mounted for one case, gone when the case ends however it ends.
struct Mount
{
    QByteArray mPoint;
    ~Mount()
    {
        if (!mPoint.isEmpty())
            ::umount2(mPoint.constData(), MNT_DETACH);
    }
};

// Clears the fault hook whatever way a test ends.
struct HookGuard
{
    ~HookGuard() { ProjectFormat::setSaveFaultHook(nullptr); }
};

} // namespace

class tst_SaveFaults : public QObject
{
    Q_OBJECT

private slots:
    void saveOnFailingFileSystem_data();
    void saveOnFailingFileSystem();
    void injectedFaults_data();
    void injectedFaults();

private:
    void runCase(int kind, qint64 value, int growth, const QString& reason);
    void runInChild(const QString& tag, bool mount);
};

void tst_SaveFaults::saveOnFailingFileSystem_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("growth");
    QTest::addColumn<QString>("reason"); // what a failure's message must say

    const QString full = errnoText(ENOSPC);
    for (int growth : {0, kGrowth})
        for (qint64 free :
             {qint64(0), kPage, 2 * kPage, 3 * kPage, 4 * kPage, 5 * kPage, 6 * kPage, 8 * kPage, kTmpfsSize})
            QTest::addRow("64 KiB tmpfs, %lld KiB free, %s", free / 1024,
                          growth ? "grown project" : "unchanged project")
                << int(FreeSpace) << free << growth << full;
    QTest::newRow("no inodes left") << int(NoInodes) << qint64(0) << kGrowth << full;
    QTest::newRow("read-only mount") << int(ReadOnlyMount) << qint64(0) << kGrowth << errnoText(EROFS);
    QTest::newRow("folder without write permission")
        << int(NoPermission) << qint64(0) << kGrowth << errnoText(EACCES);
    QTest::newRow("file replaced by a folder")
        << int(FolderInPlace) << qint64(0) << kGrowth << QStringLiteral("directory");
    QTest::newRow("folder removed") << int(FolderRemoved) << qint64(0) << kGrowth << errnoText(ENOENT);
}

void tst_SaveFaults::saveOnFailingFileSystem()
{
    QFETCH(int, kind);
    QFETCH(qint64, value);
    QFETCH(int, growth);
    QFETCH(QString, reason);

    const bool inside = qEnvironmentVariableIsSet(kInsideVariable);
    // Root ignores permission bits: that case runs in a child that gives up
    // root first.
    const bool dropsRoot = kind == NoPermission && geteuid() == 0;
    if (!inside && (needsMount(kind) || dropsRoot))
        runInChild(QString::fromLatin1(QTest::currentDataTag()), needsMount(kind));
    else
        runCase(kind, value, growth, reason);
}

void tst_SaveFaults::runInChild(const QString& tag, bool mount)
{
    QStringList arguments{QCoreApplication::applicationFilePath(),
                          QStringLiteral("saveOnFailingFileSystem:") + tag};
    QString program = arguments.takeFirst();
    if (mount)
    {
        // Root makes a mount namespace of its own; anyone else may be allowed
        // one inside a user namespace.
        QStringList unshare;
        QString refusals;
        for (const QStringList& options :
             {QStringList{QStringLiteral("-m")}, QStringList{QStringLiteral("-rm")}})
        {
            QProcess probe;
            probe.start(QStringLiteral("unshare"), options + QStringList{QStringLiteral("true")});
            if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
                probe.exitCode() == 0)
            {
                unshare = options;
                break;
            }
            refusals += QStringLiteral(" unshare %1: %2;")
                            .arg(options.join(QLatin1Char(' ')),
                                 probe.error() == QProcess::FailedToStart
                                     ? QStringLiteral("not found")
                                     : QString::fromLocal8Bit(probe.readAllStandardError()).trimmed());
        }
        if (unshare.isEmpty())
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs: no mount namespace as root or in a user "
                                            "namespace (%1)")
                                 .arg(refusals.trimmed())));
        arguments = unshare +
                    QStringList{QStringLiteral("--propagation"), QStringLiteral("private"), program} +
                    arguments;
        program = QStringLiteral("unshare");
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kInsideVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(program, arguments);
    QVERIFY2(child.waitForFinished(60000), qPrintable(child.errorString()));
    const QString output = QString::fromLocal8Bit(child.readAll());
    const QRegularExpressionMatch skipped =
        QRegularExpression(QStringLiteral("^SKIP\\s*:.*\\n\\s*(.*)$"), QRegularExpression::MultilineOption)
            .match(output);
    if (skipped.hasMatch())
        QSKIP(qPrintable(skipped.captured(1).trimmed()));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(output));
    const QRegularExpressionMatch outcome =
        QRegularExpression(QStringLiteral("^QDEBUG\\s*:[^)]*\\) (.*)$"), QRegularExpression::MultilineOption)
            .match(output);
    if (outcome.hasMatch())
        qDebug("%s", qPrintable(outcome.captured(1)));
    QVERIFY2(output.contains(QLatin1String("PASS   : tst_SaveFaults::saveOnFailingFileSystem(")),
             qPrintable(output));
}

void tst_SaveFaults::runCase(int kind, qint64 value, int growth, const QString& reason)
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    // Another user must reach the project's folder through this one.
    QVERIFY(QFile::setPermissions(scratch.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                      QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                      QFileDevice::ExeGroup));
    const QString folder = scratch.filePath(QStringLiteral("projects"));
    QVERIFY(QDir().mkpath(folder));
    Mount mount;
    if (needsMount(kind))
    {
        const QByteArray options = kind == NoInodes ? QByteArray("size=64k,nr_inodes=8,mode=0755")
                                                    : QByteArray("size=64k,mode=0755");
        QVERIFY2(::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) ==
                     0,
                 qPrintable(QStringLiteral("mount: ") + errnoText(errno)));
        mount.mPoint = QFile::encodeName(folder);
    }
    const QString path = QDir(folder).filePath(QStringLiteral("harbour-gazette-v1.xprj"));
    const QByteArray sample = ReadFile(samplePath());
    QVERIFY(WriteFile(path, sample));

    OpenSample open;
    QVERIFY(open.open(path, growth));

    bool mustFail = false;
    bool mustSucceed = false;
    switch (kind)
    {
    case FreeSpace:
    {
        QVERIFY(fillTo(folder, value));
        // The new file is written beside the old one before it replaces it.
        const qint64 needed = (open.expected().size() + kPage - 1) / kPage * kPage;
        mustFail = value < needed;
        mustSucceed = value >= needed + kPage;
        break;
    }
    case NoInodes:
        QVERIFY(exhaustInodes(folder));
        mustFail = true;
        break;
    case ReadOnlyMount:
        QVERIFY2(::mount(nullptr, QFile::encodeName(folder).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                         nullptr) == 0,
                 qPrintable(QStringLiteral("remount: ") + errnoText(errno)));
        mustFail = true;
        break;
    case NoPermission:
        if (geteuid() == 0)
        {
            // The save runs as "nobody" from here on; this process does
            // nothing else. Nobody owns the folders and the file: only the
            // folder's permission refuses the save, and its owner can put it
            // back for the clean-up.
            const QByteArray scratchName = QFile::encodeName(scratch.path());
            const QByteArray folderName = QFile::encodeName(folder);
            QVERIFY(chown(scratchName.constData(), 65534, 65534) == 0 &&
                    chown(folderName.constData(), 65534, 65534) == 0 &&
                    chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                QSKIP(
                    qPrintable(QStringLiteral("runs as root, who ignores permission bits, and cannot become "
                                              "another user to test them (%1)")
                                   .arg(errnoText(errno))));
        }
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                  QFileDevice::ReadOther | QFileDevice::ExeOther |
                                                  QFileDevice::ReadGroup | QFileDevice::ExeGroup));
        mustFail = true;
        break;
    case FolderInPlace:
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        mustFail = true;
        break;
    case FolderRemoved:
        QVERIFY(QDir(folder).removeRecursively());
        mustFail = true;
        break;
    }

    const QByteArray original = QFileInfo(path).isFile() ? ReadFile(path) : QByteArray();
    QVERIFY(!original.isEmpty() || kind == FolderInPlace || kind == FolderRemoved);
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const XTError result = open.mApi.mProject->SaveProject(open.mProject, 0, 71);
    checkOutcome(result, open, path, original, before, reason);
    if (QTest::currentTestFailed())
        return;
    if (mustFail)
        QVERIFY2(result != XT::kNoErr, "the save cannot have succeeded");
    if (mustSucceed)
        QVERIFY2(result == XT::kNoErr, qPrintable(open.mSession->lastError()));
    qDebug("%s",
           qPrintable(result == XT::kNoErr ? QStringLiteral("saved, %1 bytes").arg(ReadFile(path).size())
                                           : QStringLiteral("refused: ") + open.mSession->lastError()));
    if (kind == NoPermission)
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void tst_SaveFaults::injectedFaults_data()
{
    QTest::addColumn<int>("growth");
    QTest::addColumn<int>("step");  // the step that fails, from 1
    QTest::addColumn<int>("fault"); // the errno value it fails with, 0 for none

    // The steps of each save, counted on one that runs without a fault.
    for (int growth : {0, kGrowth})
    {
        QTemporaryDir scratch;
        const QString path = scratch.filePath(QStringLiteral("sample.xprj"));
        QVERIFY(WriteFile(path, ReadFile(samplePath())));
        QVector<ProjectFormat::SaveStep> steps;
        {
            HookGuard guard;
            OpenSample open;
            QVERIFY(open.open(path, growth));
            ProjectFormat::setSaveFaultHook(
                [&steps](ProjectFormat::SaveStep step, int number)
                {
                    if (number == steps.size() + 1)
                        steps.append(step);
                    return 0;
                });
            QCOMPARE(open.mApi.mProject->SaveProject(open.mProject, 0, 71), XT::kNoErr);
        }
        QVERIFY(steps.size() >= 4);
        const char* project = growth ? "grown sample" : "unchanged sample";
        for (int fault : {ENOSPC, EDQUOT, EIO, EROFS})
            for (int step = 1; step <= steps.size(); ++step)
                QTest::addRow("%s, %s at step %d (%s)", project, qPrintable(faultName(fault)), step,
                              qPrintable(stepName(steps.at(step - 1))))
                    << growth << step << fault;
        QTest::addRow("%s, no fault", project) << growth << steps.size() + 1 << 0;
    }
}

// A fault at any step of a save cancels it whole: the original keeps its
// bytes, the message names the file and the system's reason, and the same
// save goes through once the fault is gone.
void tst_SaveFaults::injectedFaults()
{
    QFETCH(int, growth);
    QFETCH(int, step);
    QFETCH(int, fault);

    HookGuard guard;
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("harbour-gazette-v1.xprj"));
    QVERIFY(WriteFile(path, ReadFile(samplePath())));
    const QByteArray original = ReadFile(path);
    OpenSample open;
    QVERIFY(open.open(path, growth));

    int steps = 0;
    ProjectFormat::setSaveFaultHook(
        [&](ProjectFormat::SaveStep, int number)
        {
            steps = number;
            return number == step ? fault : 0;
        });
    const XTError result = open.mApi.mProject->SaveProject(open.mProject, 0, 71);
    QCOMPARE(result == XT::kNoErr, fault == 0);
    checkOutcome(result, open, path, original, QStringList{QStringLiteral("harbour-gazette-v1.xprj")},
                 errnoText(fault));
    if (QTest::currentTestFailed())
        return;
    if (fault)
        QCOMPARE(steps, step); // nothing is tried after the failed step

    ProjectFormat::setSaveFaultHook(nullptr);
    QCOMPARE(open.mApi.mProject->SaveProject(open.mProject, 0, 71), XT::kNoErr);
    QCOMPARE(ReadFile(path), open.expected());
}

QTEST_GUILESS_MAIN(tst_SaveFaults)
#include "tst_savefaults.moc"
