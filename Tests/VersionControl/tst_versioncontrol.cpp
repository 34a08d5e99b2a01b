// Projects kept in git, with the drivers configured exactly as the README's
// "Version control" section says: branches edited apart and merged by git
// through corvane-merge, checked against a reference that holds both edit
// lists; conflicts; git diff through corvane-compare --textconv; git
// mergetool and git difftool opening the window (offscreen, driven through
// CORVANE_EXPLORER_ACTIONS); and the three-way merge's own options run as
// the program.

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace
{

struct Edit
{
    QByteArray mFrom;
    QByteArray mTo;
};
using Edits = QList<Edit>;

struct Run
{
    int mStatus = -1;
    QString mOut;
    QString mErr;
};

// The tools on the PATH, as the README's lines expect them, and a git of
// the test's own: no system or user configuration, a home in the test's
// folder.
QProcessEnvironment ToolEnvironment(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), QStringLiteral(TOOLS_DIR ":") + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("GIT_CONFIG_NOSYSTEM"), QStringLiteral("1"));
    environment.insert(QStringLiteral("GIT_AUTHOR_NAME"), QStringLiteral("Test"));
    environment.insert(QStringLiteral("GIT_AUTHOR_EMAIL"), QStringLiteral("test@example.org"));
    environment.insert(QStringLiteral("GIT_COMMITTER_NAME"), QStringLiteral("Test"));
    environment.insert(QStringLiteral("GIT_COMMITTER_EMAIL"), QStringLiteral("test@example.org"));
    environment.insert(QStringLiteral("GIT_PAGER"), QStringLiteral("cat"));
    return environment;
}

Run Execute(const QString& program, const QStringList& arguments, const QString& folder,
            const QProcessEnvironment& environment)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.mStatus = process.exitCode();
    run.mOut = QString::fromUtf8(process.readAllStandardOutput());
    run.mErr = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString Sample(const QString& name)
{
    return QDir(qEnvironmentVariable("CORVANE_SOURCE_DIR")).filePath(QStringLiteral("Samples/") + name);
}

// The README's "Version control" section: the lines of its indented blocks.
QStringList ReadmeLines()
{
    const QString readme = QString::fromUtf8(ReadFile(QDir(qEnvironmentVariable("CORVANE_SOURCE_DIR"))
                                                          .filePath(QStringLiteral("README.md"))));
    const int start = readme.indexOf(QStringLiteral("\n## Version control\n"));
    const int end = readme.indexOf(QStringLiteral("\n## "), start + 1);
    QStringList lines;
    if (start < 0)
        return lines;
    for (const QString& line : readme.mid(start, end < 0 ? -1 : end - start).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("    ")) && !line.trimmed().startsWith(QLatin1Char('#')))
            lines << line.mid(4);
    return lines;
}

QByteArray Applied(QByteArray text, const Edits& edits)
{
    for (const Edit& edit : edits)
    {
        if (text.count(edit.mFrom) != 1)
            qFatal("an edit's text is not once in the sample: %s", edit.mFrom.constData());
        text.replace(edit.mFrom, edit.mTo);
    }
    return text;
}

QByteArray Gzipped(const QByteArray& data)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-n"), QStringLiteral("-c")});
    gzip.write(data);
    gzip.closeWriteChannel();
    gzip.waitForFinished();
    return gzip.readAllStandardOutput();
}

// A repository configured as the README says, with one project file.
class Repo
{
public:
    Repo(const QString& fileName, bool gzip)
        : mEnvironment(ToolEnvironment(mFolder.path())), mFile(fileName), mGzip(gzip)
    {
        Git({QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("main")});
        QByteArray attributes;
        for (const QString& line : ReadmeLines())
        {
            if (line.startsWith(QLatin1String("*.")))
                attributes += line.toUtf8() + '\n';
            else if (line.startsWith(QLatin1String("git config")))
                mConfigured += Execute(QStringLiteral("sh"), {QStringLiteral("-c"), line}, mFolder.path(),
                                       mEnvironment).mStatus == 0 ? 1 : -1000;
        }
        WriteFile(mFolder.filePath(QStringLiteral(".gitattributes")), attributes);
    }

    // `variables` ("NAME=value") added to the environment.
    Run Git(const QStringList& arguments, const QStringList& variables = {}) const
    {
        QProcessEnvironment environment = mEnvironment;
        for (const QString& variable : variables)
            environment.insert(variable.section(QLatin1Char('='), 0, 0),
                               variable.section(QLatin1Char('='), 1));
        return Execute(QStringLiteral("git"), arguments, mFolder.path(), environment);
    }
    Run Tool(const QString& tool, const QStringList& arguments) const
    {
        return Execute(QStringLiteral(TOOLS_DIR "/") + tool, arguments, mFolder.path(), mEnvironment);
    }
    // Writes the project (compressed for a .gz name) and commits it.
    void Commit(const QByteArray& content, const QString& message) const
    {
        WriteFile(Path(), mGzip ? Gzipped(content) : content);
        Git({QStringLiteral("add"), QStringLiteral(".")});
        Git({QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"), message});
    }
    QString Path() const { return mFolder.filePath(mFile); }
    // A file beside the repository with this content, as a project of the
    // same format.
    QString Outside(const QString& name, const QByteArray& content) const
    {
        const QString path = mOutside.filePath(name + QLatin1Char('.') + mFile.section(QLatin1Char('.'), 1));
        WriteFile(path, mGzip ? Gzipped(content) : content);
        return path;
    }
    int Configured() const { return mConfigured; }

private:
    QTemporaryDir mFolder;
    QTemporaryDir mOutside;
    QProcessEnvironment mEnvironment;
    QString mFile;
    bool mGzip;
    int mConfigured = 0;
};

// Whether two project files hold the same project: corvane-compare's verdict.
bool SameProject(const Repo& repo, const QString& left, const QString& right, QString* report)
{
    const Run run = repo.Tool(QStringLiteral("corvane-compare"), {QStringLiteral("--rows"), left, right});
    *report = run.mOut + run.mErr;
    return run.mStatus == 0;
}

// The base committed on main, RIGHT's edits on a branch, LEFT's on main,
// and git's merge of the branch into main.
Run Diverge(const Repo& repo, const QByteArray& base, const Edits& left, const Edits& right)
{
    repo.Commit(base, QStringLiteral("base"));
    repo.Git(
        {QStringLiteral("checkout"), QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("theirs")});
    repo.Commit(Applied(base, right), QStringLiteral("theirs"));
    repo.Git({QStringLiteral("checkout"), QStringLiteral("-q"), QStringLiteral("main")});
    repo.Commit(Applied(base, left), QStringLiteral("ours"));
    return repo.Git({QStringLiteral("merge"), QStringLiteral("--no-edit"), QStringLiteral("theirs")});
}

} // namespace

Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(Edits)

class tst_VersionControl : public QObject
{
    Q_OBJECT

private slots:
    void readmeConfiguresGit();
    void gitMerges_data();
    void gitMerges();
    void gitDiffShowsChangedWords_data();
    void gitDiffShowsChangedWords();
    void mergeOptions();
    void emptySides();
    void randomEditsMergeAsTheReference();
    void oneSidedStoryEditsHoldInGeneratedTriples();
    void boxesAddedRemovedInConflict();
    void mergetoolAndDifftoolOpenTheWindow();
};

void tst_VersionControl::readmeConfiguresGit()
{
    const QStringList lines = ReadmeLines();
    QVERIFY2(lines.filter(QRegularExpression(QStringLiteral("^\\*\\.(xprj|sla|sla\\.gz) "))).size() == 3,
             qPrintable(lines.join(QLatin1Char('\n'))));
    const Repo repo(QStringLiteral("a.xprj"), false);
    QVERIFY(repo.Configured() >= 3);
    QCOMPARE(repo.Git({QStringLiteral("config"), QStringLiteral("merge.corvane.driver")}).mOut.trimmed(),
             QStringLiteral("corvane-merge --base %O %A %B"));
    QCOMPARE(repo.Git({QStringLiteral("check-attr"), QStringLiteral("merge"), QStringLiteral("a.xprj")}).mOut.trimmed(),
             QStringLiteral("a.xprj: merge: corvane"));
}

void tst_VersionControl::gitMerges_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("file");
    QTest::addColumn<Edits>("left");
    QTest::addColumn<Edits>("right");
    QTest::addColumn<bool>("clean");

    const QString gazette = QStringLiteral("harbour-gazette-v1.xprj");
    const QString notice = QStringLiteral("scribus/harbour-notice-v1.sla");
    const QString xprj = QStringLiteral("gazette.xprj");
    const QString sla = QStringLiteral("notice.sla");
    QTest::newRow("xprj: different stories") << gazette << xprj
        << Edits{{"boat jumble on the north quay", "boat sale on the north quay"}}
        << Edits{{"new ferries, old lanterns", "new ferries, brass lanterns"}} << true;
    QTest::newRow("xprj: one story in two places") << gazette << xprj
        << Edits{{"The first boats are back", "The first yachts are back"}}
        << Edits{{"adds two crossings", "adds three crossings"}} << true;
    QTest::newRow("xprj: one paragraph, two words") << gazette << xprj
        << Edits{{"boat jumble on the north quay", "boat sale on the north quay"}}
        << Edits{{"9 am to noon", "9 am to 1 pm"}} << true;
    QTest::newRow("xprj: a box moved, recoloured") << gazette << xprj
        << Edits{{"\"Masthead\",\n              \"kind\": \"text\",\n              \"bounds\": {\"left\": 36, \"top\": 36, \"right\": 576",
                  "\"Masthead\",\n              \"kind\": \"text\",\n              \"bounds\": {\"left\": 48, \"top\": 36, \"right\": 588"}}
        << Edits{{"\"bottom\": 120},\n              \"colour\": \"Harbour Blue\"",
                  "\"bottom\": 120},\n              \"colour\": \"Signal Red\""}} << true;
    QTest::newRow("xprj: a colour and a story") << gazette << xprj
        << Edits{{"\"values\": [18, 74, 128]", "\"values\": [18, 74, 150]"}}
        << Edits{{"9 am to noon", "9 am to 1 pm"}} << true;
    QTest::newRow("xprj: one sentence two ways") << gazette << xprj
        << Edits{{"boat jumble on the north quay", "boat sale on the north quay"}}
        << Edits{{"boat jumble on the north quay", "boat market on the north quay"}} << false;
    // The formatting of story 5, a paragraph in one run.
    auto size = [](const char* points)
    {
        return Edit{
            "week of events on the quay.\",\n      \"formatting\": {\n        \"characters\": [\n          "
            "{\"at\": 0, \"font\": \"DejaVu Serif\", \"size\": 10}",
            QByteArray("week of events on the quay.\",\n      \"formatting\": {\n        \"characters\": [\n "
                       "         "
                       "{\"at\": 0, \"font\": \"DejaVu Serif\", \"size\": ") +
                points + "}"};
    };
    QTest::newRow("xprj: a paragraph's size, a word elsewhere")
        << gazette << xprj << Edits{{"9 am to noon", "9 am to 1 pm"}} << Edits{size("12")} << true;
    QTest::newRow("xprj: a paragraph's size two ways")
        << gazette << xprj << Edits{size("12")} << Edits{size("14")} << false;
    // A word made bold where the story's one run of formatting follows its
    // text, in a paragraph RIGHT also rewords (keeping its length, so that no
    // run moves): RIGHT's bold holds, whether or not LEFT edited the story.
    auto bold = [](const QByteArray& textEnd, int at)
    {
        const QByteArray run = textEnd + "\n      \"formatting\": {\n        \"characters\": [\n          "
                                         "{\"at\": 0, \"font\": \"DejaVu Serif\", \"size\": 10}";
        return Edit{run, run + ",\n          {\"at\": " + QByteArray::number(at) +
                             ", \"font\": \"DejaVu Serif Bold\", \"size\": 10},\n          {\"at\": " +
                             QByteArray::number(at + 6) + ", \"font\": \"DejaVu Serif\", \"size\": 10}"};
    };
    QTest::newRow("xprj: a word bold, one reworded, the story alone") << gazette << xprj
        << Edits{{"9 am to noon", "9 am to 1 pm"}}
        << Edits{bold("week of events on the quay.\",", 14), {"old lanterns", "new lanterns"}} << true;
    QTest::newRow("xprj: a word bold, one reworded, another paragraph") << gazette << xprj
        << Edits{{"boat jumble on the north", "boat market on the north"}}
        << Edits{bold("old net loft.\"\n      ],", 55), {"guided walk", "guided tour"}} << true;
    const QByteArray kelp = "      },\n      {\n        \"name\": \"Kelp Green\",\n        \"model\": \"CMYK\",\n"
                            "        \"values\": [60, 0, 80, 30],\n        \"spot\": false\n      }\n    ],";
    const QByteArray last = "        \"spot\": false\n      }\n    ],\n    \"hyphenations\"";
    auto seaGreen = [&](const char* values)
    {
        return Edit{last, QByteArray("        \"spot\": false\n      },\n      {\"name\": \"Sea Green\", \"model\": "
                                     "\"RGB\", \"values\": ") + values +
                              ", \"spot\": false}\n    ],\n    \"hyphenations\""};
    };
    QTest::newRow("xprj: a colour removed") << gazette << xprj << Edits{{kelp, "      }\n    ],"}}
        << Edits{{"9 am to noon", "9 am to 1 pm"}} << true;
    QTest::newRow("xprj: a colour added") << gazette << xprj << Edits{{"9 am to noon", "9 am to 1 pm"}}
        << Edits{seaGreen("[10, 120, 90]")} << true;
    QTest::newRow("xprj: removed, changed") << gazette << xprj
        << Edits{{"\"values\": [60, 0, 80, 30]", "\"values\": [60, 0, 80, 40]"}}
        << Edits{{kelp, "      }\n    ],"}} << false;
    QTest::newRow("xprj: added on both, apart") << gazette << xprj << Edits{seaGreen("[10, 120, 90]")}
        << Edits{seaGreen("[10, 130, 90]")} << false;
    const QByteArray green = "        <COLOR NAME=\"Green\" SPACE=\"RGB\" R=\"0\" G=\"255\" B=\"0\"/>\n";
    const QByteArray sea = "        <COLOR NAME=\"Sea Green\" SPACE=\"RGB\" R=\"10\" G=\"120\" B=\"90\"/>\n";
    const QByteArray sea2 = "        <COLOR NAME=\"Sea Green\" SPACE=\"RGB\" R=\"10\" G=\"130\" B=\"90\"/>\n";
    QTest::newRow("sla: a colour removed") << notice << sla << Edits{{green, ""}}
        << Edits{{"opens at five", "opens at six"}} << true;
    QTest::newRow("sla: a colour added") << notice << sla << Edits{{"opens at five", "opens at six"}}
        << Edits{{green, green + sea}} << true;
    QTest::newRow("sla: removed, changed") << notice << sla << Edits{{"G=\"255\" B=\"0\"/>", "G=\"200\" B=\"0\"/>"}}
        << Edits{{green, ""}} << false;
    QTest::newRow("sla: added on both, apart") << notice << sla << Edits{{green, green + sea}}
        << Edits{{green, green + sea2}} << false;
    QTest::newRow("sla: different stories") << notice << sla
        << Edits{{"summer timetable", "autumn timetable"}}
        << Edits{{"High water 06:12", "High water 06:20"}} << true;
    QTest::newRow("sla: one story in two places") << notice << sla
        << Edits{{"every morning", "every day"}}
        << Edits{{"channel twelve", "channel sixteen"}} << true;
    QTest::newRow("sla: one paragraph, two words") << notice << sla
        << Edits{{"every morning", "every day"}}
        << Edits{{"bicycles board first", "bicycles board last"}} << true;
    QTest::newRow("sla: a box moved, recoloured") << notice << sla
        << Edits{{"XPOS=\"735\" YPOS=\"60\" OwnPage=\"0\" ItemID=\"467907305\"",
                  "XPOS=\"735\" YPOS=\"80\" OwnPage=\"0\" ItemID=\"467907305\""}}
        << Edits{{"PCOLOR=\"Harbour Blue\" PCOLOR2=\"Black\" PLINEART=\"1\" ANNAME=\"Banner\"",
                  "PCOLOR=\"Buoy Red\" PCOLOR2=\"Black\" PLINEART=\"1\" ANNAME=\"Banner\""}} << true;
    QTest::newRow("sla: a colour and a story") << notice << sla
        << Edits{{"R=\"20\" G=\"60\" B=\"120\"", "R=\"20\" G=\"60\" B=\"150\""}}
        << Edits{{"opens at five", "opens at six"}} << true;
    QTest::newRow("sla.gz: one story in two places") << notice << QStringLiteral("notice.sla.gz")
        << Edits{{"every morning", "every day"}}
        << Edits{{"channel twelve", "channel sixteen"}} << true;
    QTest::newRow("sla: one sentence two ways") << notice << sla
        << Edits{{"every morning", "every evening"}}
        << Edits{{"every morning", "every afternoon"}} << false;
}

// Two branches edit a committed project; git merges them through the driver.
// A clean merge holds both edit lists; a conflicting one leaves LEFT's
// version (the branch merged into) in the work tree, where it opens.
void tst_VersionControl::gitMerges()
{
    QFETCH(QString, sample);
    QFETCH(QString, file);
    QFETCH(Edits, left);
    QFETCH(Edits, right);
    QFETCH(bool, clean);
    const QByteArray base = ReadFile(Sample(sample));
    const Repo repo(file, file.endsWith(QLatin1String(".gz")));
    const Run merge = Diverge(repo, base, left, right);
    const QString said = merge.mOut + merge.mErr;
    QCOMPARE(merge.mStatus == 0, clean);
    const QString expected =
        repo.Outside(QStringLiteral("expected"), clean ? Applied(Applied(base, left), right) : Applied(base, left));
    QString report;
    QVERIFY2(SameProject(repo, expected, repo.Path(), &report), qPrintable(said + report));
    if (!clean)
    {
        QVERIFY2(said.contains(QLatin1String("CONFLICT")), qPrintable(said));
        QCOMPARE(repo.Tool(QStringLiteral("corvane-compare"), {QStringLiteral("--textconv"), repo.Path()}).mStatus, 0);
    }
}

void tst_VersionControl::gitDiffShowsChangedWords_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("file");
    QTest::addColumn<Edit>("edit");
    QTest::newRow("xprj") << QStringLiteral("harbour-gazette-v1.xprj") << QStringLiteral("g.xprj")
                          << Edit{"9 am to noon", "9 am to 1 pm"};
    QTest::newRow("sla.gz") << QStringLiteral("scribus/harbour-notice-v1.sla") << QStringLiteral("n.sla.gz")
                            << Edit{"channel twelve", "channel sixteen"};
}

// git diff and git log -p through the textconv driver: the changed
// paragraph, old and new, as lines of text.
void tst_VersionControl::gitDiffShowsChangedWords()
{
    QFETCH(QString, sample);
    QFETCH(QString, file);
    QFETCH(Edit, edit);
    const QByteArray base = ReadFile(Sample(sample));
    const Repo repo(file, file.endsWith(QLatin1String(".gz")));
    repo.Commit(base, QStringLiteral("base"));
    repo.Commit(Applied(base, {edit}), QStringLiteral("edit"));
    for (const QStringList& command : {QStringList{QStringLiteral("diff"), QStringLiteral("HEAD~1")},
                                       QStringList{QStringLiteral("log"), QStringLiteral("-p"), QStringLiteral("-1")}})
    {
        const Run diff = repo.Git(command);
        QCOMPARE(diff.mStatus, 0);
        QStringList changed;
        for (const QString& line : diff.mOut.split(QLatin1Char('\n')))
            if ((line.startsWith(QLatin1Char('-')) || line.startsWith(QLatin1Char('+'))) &&
                !line.startsWith(QLatin1String("---")) && !line.startsWith(QLatin1String("+++")))
                changed << line;
        QCOMPARE(changed.size(), 2);
        QVERIFY2(changed.at(0).startsWith(QLatin1Char('-')) && changed.at(0).contains(QString::fromUtf8(edit.mFrom)),
                 qPrintable(diff.mOut));
        QVERIFY2(changed.at(1).startsWith(QLatin1Char('+')) && changed.at(1).contains(QString::fromUtf8(edit.mTo)),
                 qPrintable(diff.mOut));
    }
}

// The options of a three-way merge run as the program: --dry-run and
// --output leave LEFT alone, --prefer right takes RIGHT's side of a
// conflict, the log holds the three versions and replays, and trouble
// writes nothing.
void tst_VersionControl::mergeOptions()
{
    const QByteArray base = ReadFile(Sample(QStringLiteral("harbour-gazette-v1.xprj")));
    const Edits left{{"boat jumble on the north quay", "boat sale on the north quay"},
                     {"The first boats are back", "The first yachts are back"}};
    // Paint and yachts: one paragraph both edited in different places.
    const Edits right{{"boat jumble on the north quay", "jumble market by the north quay"},
                      {"adds two crossings", "adds three crossings"},
                      {"tar and fresh paint", "tar and new paint"}};
    const Repo repo(QStringLiteral("x.xprj"), false);
    const QString basePath = repo.Outside(QStringLiteral("base"), base);
    const QString leftPath = repo.Outside(QStringLiteral("left"), Applied(base, left));
    const QString rightPath = repo.Outside(QStringLiteral("right"), Applied(base, right));
    const QByteArray leftBytes = ReadFile(leftPath);
    const QString merge = QStringLiteral("corvane-merge");
    QString report;

    const Run dry = repo.Tool(merge, {QStringLiteral("--base"), basePath, leftPath, rightPath, QStringLiteral("--dry-run")});
    QCOMPARE(dry.mStatus, 1);
    QVERIFY2(dry.mOut.contains(QLatin1String("! conflict: Stories/")), qPrintable(dry.mOut));
    QCOMPARE(ReadFile(leftPath), leftBytes);

    // RIGHT preferred, to another file: the conflict goes RIGHT's way, the
    // edits that do not collide are all there, LEFT is untouched.
    const QString output = repo.Outside(QStringLiteral("out"), QByteArray());
    const QString log = output + QStringLiteral(".log.json");
    const Run preferred = repo.Tool(merge, {QStringLiteral("--base"), basePath, QStringLiteral("--prefer"),
                                            QStringLiteral("right"), QStringLiteral("--output"), output,
                                            QStringLiteral("--log"), log, leftPath, rightPath});
    QCOMPARE(preferred.mStatus, 1);
    QCOMPARE(ReadFile(leftPath), leftBytes);
    const QString expected = repo.Outside(QStringLiteral("expected"), Applied(Applied(base, right), {left.at(1)}));
    QVERIFY2(SameProject(repo, expected, output, &report), qPrintable(preferred.mOut + report));

    const QJsonObject logged = QJsonDocument::fromJson(ReadFile(log)).object();
    QCOMPARE(logged.value(QStringLiteral("base")).toString(), QFileInfo(basePath).absoluteFilePath());
    const QJsonArray conflicts = logged.value(QStringLiteral("conflicts")).toArray();
    QCOMPARE(conflicts.size(), 1);
    const QJsonObject conflict = conflicts.at(0).toObject();
    QVERIFY(conflict.value(QStringLiteral("base")).toString().contains(QLatin1String("jumble on")));
    QVERIFY(conflict.value(QStringLiteral("left")).toString().contains(QLatin1String("sale")));
    QVERIFY(conflict.value(QStringLiteral("right")).toString().contains(QLatin1String("market")));
    QCOMPARE(logged.value(QStringLiteral("decisions")).toArray().size(), 2);
    QCOMPARE(logged.value(QStringLiteral("merged")).toArray().size(), 1);

    // The log replayed on the same pair makes the same project, the merge
    // within the paragraph included.
    const QString again = repo.Outside(QStringLiteral("again"), Applied(base, left));
    const Run replay = repo.Tool(merge, {QStringLiteral("--replay"), log, again, rightPath});
    QVERIFY2(replay.mStatus == 0, qPrintable(replay.mOut + replay.mErr));
    QVERIFY2(SameProject(repo, output, again, &report), qPrintable(replay.mOut + report));

    // Trouble: nothing written, no working file left behind.
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--base"), QStringLiteral("/nonexistent.xprj"), leftPath, rightPath},
          QStringList{QStringLiteral("--base"), basePath, QStringLiteral("--prefer"), QStringLiteral("both"), leftPath, rightPath},
          QStringList{QStringLiteral("--base"), basePath, QStringLiteral("--take"), QStringLiteral("left"), leftPath, rightPath},
          QStringList{QStringLiteral("--base"), Sample(QStringLiteral("text")), leftPath, rightPath}})
    {
        const Run refused = repo.Tool(merge, arguments);
        QVERIFY2(refused.mStatus == 2, qPrintable(arguments.join(QLatin1Char(' ')) + refused.mOut + refused.mErr));
        QCOMPARE(ReadFile(leftPath), leftBytes);
        QCOMPARE(QDir(QFileInfo(leftPath).absolutePath()).entryList({QStringLiteral(".corvane-merge-*")},
                                                                    QDir::AllEntries | QDir::Hidden).size(), 0);
    }
}

// A file git names /dev/null (or an empty file: the base of a file both
// branches added) is an empty project to both tools.
void tst_VersionControl::emptySides()
{
    const QByteArray base = ReadFile(Sample(QStringLiteral("scribus/harbour-notice-v1.sla")));
    const Repo repo(QStringLiteral("n.sla"), false);
    const QString left = repo.Outside(QStringLiteral("left"), base);
    const QString right = repo.Outside(QStringLiteral("right"), Applied(base, {{"every morning", "every day"}}));
    const QString empty = repo.Outside(QStringLiteral("empty"), QByteArray());
    const QString compare = QStringLiteral("corvane-compare");
    QCOMPARE(repo.Tool(compare, {QStringLiteral("/dev/null"), QStringLiteral("/dev/null")}).mStatus, 0);
    const Run added = repo.Tool(compare, {QStringLiteral("/dev/null"), left});
    QCOMPARE(added.mStatus, 1);
    QVERIFY2(added.mOut.contains(QLatin1String("    > ")) && !added.mOut.contains(QLatin1String("    < ")),
             qPrintable(added.mOut));
    QCOMPARE(repo.Tool(compare, {left, empty}).mStatus, 1);

    // Both added the file: what they agree on merges, where they differ
    // conflicts, LEFT's version standing.
    const QByteArray leftBytes = ReadFile(left);
    const Run merged = repo.Tool(QStringLiteral("corvane-merge"), {QStringLiteral("--base"), QStringLiteral("/dev/null"), left, right});
    QVERIFY2(merged.mStatus == 1, qPrintable(merged.mOut + merged.mErr));
    QVERIFY2(merged.mOut.contains(QLatin1String("! conflict: ")), qPrintable(merged.mOut));
    QString report;
    QVERIFY2(SameProject(repo, repo.Outside(QStringLiteral("expected"), leftBytes), left, &report), qPrintable(report));
    const QString same = repo.Outside(QStringLiteral("same"), base);
    QCOMPARE(repo.Tool(QStringLiteral("corvane-merge"), {QStringLiteral("--base"), empty, left, same}).mStatus, 0);
}

namespace
{

// One side's random edits of a project: words of its plain stories replaced
// (story, word index -> new word) and colours' first values changed.
struct SideEdits
{
    QMap<QPair<int, int>, QString> mWords;
    QMap<int, int> mColours;
};

SideEdits RandomEdits(QRandomGenerator& random, const QJsonArray& stories, const QJsonArray& colours,
                      const QString& tag)
{
    SideEdits edits;
    for (int i = 0, count = 2 + int(random.bounded(6)); i < count; ++i)
    {
        const int story = int(random.bounded(stories.size()));
        const QJsonValue text = stories.at(story).toObject().value(QStringLiteral("text"));
        if (!text.isString())
            continue;
        const int words = text.toString().split(QLatin1Char(' ')).size();
        edits.mWords.insert({story, int(random.bounded(words))}, tag + QString::number(random.bounded(1000)));
    }
    if (random.bounded(2))
    {
        // A value the colour does not have already: an edit.
        const int colour = int(random.bounded(colours.size()));
        const int was = colours.at(colour).toObject().value(QStringLiteral("values")).toArray().at(0).toInt();
        const int value = int(random.bounded(101));
        edits.mColours.insert(colour, value == was ? (value + 1) % 101 : value);
    }
    return edits;
}

// The project with the edits of both sides; where both edited the same word
// or colour differently, the first side's edit stands. Counts those
// collisions.
QByteArray WithEdits(QJsonObject project, const SideEdits& first, const SideEdits& second, int* collisions)
{
    QJsonArray stories = project.value(QStringLiteral("stories")).toArray();
    QMap<QPair<int, int>, QString> words = second.mWords;
    for (auto it = first.mWords.begin(); it != first.mWords.end(); ++it)
    {
        *collisions += second.mWords.contains(it.key()) ? 1 : 0;
        words.insert(it.key(), it.value());
    }
    for (auto it = words.begin(); it != words.end(); ++it)
    {
        QJsonObject story = stories.at(it.key().first).toObject();
        QStringList text = story.value(QStringLiteral("text")).toString().split(QLatin1Char(' '));
        text[it.key().second] = it.value();
        story.insert(QStringLiteral("text"), text.join(QLatin1Char(' ')));
        stories.replace(it.key().first, story);
    }
    project.insert(QStringLiteral("stories"), stories);
    QJsonObject assets = project.value(QStringLiteral("assets")).toObject();
    QJsonArray colours = assets.value(QStringLiteral("colours")).toArray();
    QMap<int, int> values = second.mColours;
    for (auto it = first.mColours.begin(); it != first.mColours.end(); ++it)
    {
        *collisions += second.mColours.contains(it.key()) && second.mColours.value(it.key()) != it.value() ? 1 : 0;
        values.insert(it.key(), it.value());
    }
    for (auto it = values.begin(); it != values.end(); ++it)
    {
        QJsonObject colour = colours.at(it.key()).toObject();
        QJsonArray channels = colour.value(QStringLiteral("values")).toArray();
        channels.replace(0, it.value());
        colour.insert(QStringLiteral("values"), channels);
        colours.replace(it.key(), colour);
    }
    assets.insert(QStringLiteral("colours"), colours);
    project.insert(QStringLiteral("assets"), assets);
    return QJsonDocument(project).toJson();
}

} // namespace

// Seeded random edits of two copies of a base (words of its stories, some
// next to each other or in one sentence, and colours), merged by
// corvane-merge and checked against a reference that applies both edit lists
// where they do not collide and LEFT's edit where they do.
// CORVANE_THREEWAY_SEQUENCES=N CORVANE_THREEWAY_SEED=S runs N from seed S.
void tst_VersionControl::randomEditsMergeAsTheReference()
{
    QJsonObject base = QJsonDocument::fromJson(ReadFile(Sample(QStringLiteral("harbour-gazette-v1.xprj")))).object();
    // Words are replaced in the file's text, where runs of formatting would
    // not move with them: the stories are taken without their formatting.
    QJsonArray stories = base.value(QStringLiteral("stories")).toArray();
    for (int i = 0; i < stories.size(); ++i)
    {
        QJsonObject story = stories.at(i).toObject();
        story.remove(QStringLiteral("formatting"));
        stories.replace(i, story);
    }
    base.insert(QStringLiteral("stories"), stories);
    const QJsonArray colours =
        base.value(QStringLiteral("assets")).toObject().value(QStringLiteral("colours")).toArray();
    const int sequences = qEnvironmentVariableIsSet("CORVANE_THREEWAY_SEQUENCES")
                              ? qEnvironmentVariableIntValue("CORVANE_THREEWAY_SEQUENCES")
                              : 24;
    const quint32 seed = quint32(qEnvironmentVariableIntValue("CORVANE_THREEWAY_SEED"));
    const Repo repo(QStringLiteral("r.xprj"), false);
    const QString basePath = repo.Outside(QStringLiteral("base"), QJsonDocument(base).toJson());
    const SideEdits none;
    int conflicting = 0;
    for (int sequence = 0; sequence < sequences; ++sequence)
    {
        QRandomGenerator random(seed + quint32(sequence));
        const SideEdits left = RandomEdits(random, stories, colours, QStringLiteral("Left"));
        const SideEdits right = RandomEdits(random, stories, colours, QStringLiteral("Right"));
        int collisions = 0;
        int unused = 0;
        const QString leftPath = repo.Outside(QStringLiteral("left"), WithEdits(base, left, none, &unused));
        const QString rightPath = repo.Outside(QStringLiteral("right"), WithEdits(base, right, none, &unused));
        const QString expected =
            repo.Outside(QStringLiteral("expected"), WithEdits(base, left, right, &collisions));
        const Run merge = repo.Tool(QStringLiteral("corvane-merge"),
                                    {QStringLiteral("--base"), basePath, leftPath, rightPath});
        const QString context = QStringLiteral("sequence %1 (seed %2): ").arg(sequence).arg(seed + sequence);
        QVERIFY2(merge.mStatus == (collisions > 0 ? 1 : 0), qPrintable(context + merge.mOut + merge.mErr));
        QString report;
        QVERIFY2(SameProject(repo, expected, leftPath, &report), qPrintable(context + merge.mOut + report));
        conflicting += collisions > 0 ? 1 : 0;
    }
    // The seeds make sequences with collisions and without.
    QVERIFY(sequences < 8 || (conflicting > 0 && conflicting < sequences));
}

// Generated triples, stories with formatting: a story only one side changed
// ends, text and formatting, as that side made it; one neither changed, as
// the base had it.
void tst_VersionControl::oneSidedStoryEditsHoldInGeneratedTriples()
{
    const Repo repo(QStringLiteral("t.xprj"), false);
    auto stories = [](const QString& path)
    {
        QMap<int, QJsonObject> byNumber;
        for (const QJsonValue& story :
             QJsonDocument::fromJson(ReadFile(path)).object().value(QStringLiteral("stories")).toArray())
        {
            QJsonObject kept = story.toObject();
            kept.remove(QStringLiteral("boxes")); // box numbers, which a merge may change
            byNumber.insert(kept.value(QStringLiteral("number")).toInt(), kept);
        }
        return byNumber;
    };
    int oneSided = 0;
    for (const char* seed : {"1", "2", "3", "4"})
    {
        const QString base = repo.Outside(QStringLiteral("base"), QByteArray());
        const QString left = repo.Outside(QStringLiteral("left"), QByteArray());
        const QString right = repo.Outside(QStringLiteral("right"), QByteArray());
        const Run generated =
            Execute(QStringLiteral(XTGEN), {QStringLiteral("--three-way"), QStringLiteral("--spreads"), QStringLiteral("2"),
                                           QStringLiteral("--stories"), QStringLiteral("150"), QStringLiteral("--seed"),
                                           QLatin1String(seed), base, left, right},
                    QDir::tempPath(), QProcessEnvironment::systemEnvironment());
        QVERIFY2(generated.mStatus == 0, qPrintable(generated.mErr));
        const auto before = stories(base), ours = stories(left), theirs = stories(right);
        const Run merge = repo.Tool(QStringLiteral("corvane-merge"), {QStringLiteral("--base"), base, left, right});
        QVERIFY2(merge.mStatus == 0 || merge.mStatus == 1, qPrintable(merge.mOut + merge.mErr));
        const auto merged = stories(left);
        for (auto story = before.begin(); story != before.end(); ++story)
        {
            const QJsonObject mine = ours.value(story.key()), other = theirs.value(story.key());
            if (mine != story.value() && other != story.value())
                continue;
            oneSided += mine != other ? 1 : 0;
            QVERIFY2(merged.value(story.key()) == (mine == story.value() ? other : mine),
                     qPrintable(QStringLiteral("seed %1, story %2:\n%3").arg(QLatin1String(seed)).arg(story.key()).arg(merge.mOut)));
        }
    }
    QVERIFY(oneSided >= 20);
}

namespace
{

// The boxes of a project's first layout, edited as a designer would: a box
// copied under a new number onto a spread, removed, moved down.
struct Boxes
{
    QJsonObject mProject;

    QJsonArray Spreads() const
    {
        return mProject.value(QStringLiteral("layouts")).toArray().at(0).toObject().value(QStringLiteral("spreads")).toArray();
    }
    void SetSpreads(const QJsonArray& spreads)
    {
        QJsonArray layouts = mProject.value(QStringLiteral("layouts")).toArray();
        QJsonObject layout = layouts.at(0).toObject();
        layout.insert(QStringLiteral("spreads"), spreads);
        layouts.replace(0, layout);
        mProject.insert(QStringLiteral("layouts"), layouts);
    }
    // Calls `edit` with the box of that number, its spread's boxes and where
    // it is among them.
    Boxes& Edit(int number, const std::function<void(QJsonArray& boxes, int at, QJsonArray& spreads)>& edit)
    {
        QJsonArray spreads = Spreads();
        for (int s = 0; s < spreads.size(); ++s)
        {
            QJsonObject spread = spreads.at(s).toObject();
            QJsonArray boxes = spread.value(QStringLiteral("boxes")).toArray();
            for (int at = 0; at < boxes.size(); ++at)
                if (boxes.at(at).toObject().value(QStringLiteral("number")).toInt() == number)
                {
                    edit(boxes, at, spreads);
                    spread.insert(QStringLiteral("boxes"), boxes);
                    spreads.replace(s, spread);
                    SetSpreads(spreads);
                    return *this;
                }
        }
        qFatal("no box %d", number);
        return *this;
    }
    Boxes& Remove(int number)
    {
        return Edit(number, [](QJsonArray& boxes, int at, QJsonArray&) { boxes.removeAt(at); });
    }
    Boxes& MoveDown(int number)
    {
        return Edit(number, [](QJsonArray& boxes, int at, QJsonArray&) {
            QJsonObject box = boxes.at(at).toObject();
            QJsonObject bounds = box.value(QStringLiteral("bounds")).toObject();
            for (const char* edge : {"top", "bottom"})
                bounds.insert(QLatin1String(edge), bounds.value(QLatin1String(edge)).toInt() + 10);
            box.insert(QStringLiteral("bounds"), bounds);
            boxes.replace(at, box);
        });
    }
    // A copy of box `like` as box `number`, on top of spread `spread`.
    Boxes& Copy(int like, int number, const QString& name, int spread)
    {
        QJsonObject copy;
        Edit(like, [&](QJsonArray& boxes, int at, QJsonArray&) { copy = boxes.at(at).toObject(); });
        copy.insert(QStringLiteral("number"), number);
        copy.insert(QStringLiteral("name"), name);
        QJsonArray spreads = Spreads();
        QJsonObject onto = spreads.at(spread).toObject();
        QJsonArray boxes = onto.value(QStringLiteral("boxes")).toArray();
        boxes.append(copy);
        onto.insert(QStringLiteral("boxes"), boxes);
        spreads.replace(spread, onto);
        SetSpreads(spreads);
        return *this;
    }
    QByteArray Json() const { return QJsonDocument(mProject).toJson(); }
};

} // namespace

// Boxes added on either side, one removed on one side and untouched on the
// other, one moved on one side and removed on the other (a conflict, which
// either side's --prefer settles its way).
void tst_VersionControl::boxesAddedRemovedInConflict()
{
    const QJsonObject sample =
        QJsonDocument::fromJson(ReadFile(Sample(QStringLiteral("harbour-gazette-v1.xprj")))).object();
    // Box 7 (Rule) and box 9 (Map) are on the second and third spreads, box 2
    // on the first.
    const Boxes base{sample};
    const QByteArray left = Boxes(base).Copy(7, 40, QStringLiteral("Extra"), 1).MoveDown(9).Json();
    const QByteArray right = Boxes(base).Remove(7).Copy(2, 41, QStringLiteral("Other"), 0).Remove(9).Json();
    const Boxes merged = Boxes(base).Copy(7, 40, QStringLiteral("Extra"), 1).Remove(7).Copy(2, 41, QStringLiteral("Other"), 0);
    const Repo repo(QStringLiteral("b.xprj"), false);
    const QString basePath = repo.Outside(QStringLiteral("base"), base.Json());
    for (const QString& prefer : {QStringLiteral("left"), QStringLiteral("right")})
    {
        const QString leftPath = repo.Outside(QStringLiteral("left"), left);
        const Run merge = repo.Tool(QStringLiteral("corvane-merge"),
                                    {QStringLiteral("--base"), basePath, QStringLiteral("--prefer"), prefer, leftPath,
                                     repo.Outside(QStringLiteral("right"), right)});
        QVERIFY2(merge.mStatus == 1, qPrintable(merge.mOut + merge.mErr));
        QVERIFY2(merge.mOut.contains(QLatin1String("! conflict: Layout/Print edition | Print edition/Boxes/Map(Picture)")),
                 qPrintable(merge.mOut));
        const QByteArray expected = prefer == QLatin1String("left") ? Boxes(merged).MoveDown(9).Json()
                                                                    : Boxes(merged).Remove(9).Json();
        QString report;
        QVERIFY2(SameProject(repo, repo.Outside(QStringLiteral("expected"), expected), leftPath, &report),
                 qPrintable(prefer + merge.mOut + report));
    }

    // A layout RIGHT removed goes where LEFT has it as the base had it, and
    // is a conflict where LEFT moved a box on it: what lies below an item
    // counts as its change.
    auto json = [](const QJsonObject& project) { return QJsonDocument(project).toJson(); };
    QJsonArray layouts = sample.value(QStringLiteral("layouts")).toArray();
    QJsonObject web = layouts.at(1).toObject();
    QJsonArray spreads = web.value(QStringLiteral("spreads")).toArray();
    QJsonObject spread = spreads.at(0).toObject();
    QJsonArray boxes = spread.value(QStringLiteral("boxes")).toArray();
    QJsonObject box = boxes.at(1).toObject(); // the Thumbnail picture
    QJsonObject bounds = box.value(QStringLiteral("bounds")).toObject();
    bounds.insert(QStringLiteral("top"), bounds.value(QStringLiteral("top")).toInt() + 10);
    box.insert(QStringLiteral("bounds"), bounds);
    boxes.replace(1, box);
    spread.insert(QStringLiteral("boxes"), boxes);
    spreads.replace(0, spread);
    web.insert(QStringLiteral("spreads"), spreads);
    QJsonArray movedLayouts = layouts;
    movedLayouts.replace(1, web);
    QJsonObject moved = sample;
    moved.insert(QStringLiteral("layouts"), movedLayouts);
    // With the layout goes story 5, which runs in it.
    QJsonObject removed = sample;
    layouts.removeAt(1);
    removed.insert(QStringLiteral("layouts"), layouts);
    QJsonArray stories = sample.value(QStringLiteral("stories")).toArray();
    stories.removeAt(4);
    removed.insert(QStringLiteral("stories"), stories);
    const QString layoutBase = repo.Outside(QStringLiteral("layout-base"), json(sample));
    for (const auto& [leftProject, clean] : {std::make_pair(sample, true), std::make_pair(moved, false)})
    {
        const QString leftPath = repo.Outside(QStringLiteral("left"), json(leftProject));
        const Run merge = repo.Tool(QStringLiteral("corvane-merge"),
                                    {QStringLiteral("--base"), layoutBase, leftPath,
                                     repo.Outside(QStringLiteral("right"), json(removed))});
        QVERIFY2(merge.mStatus == (clean ? 0 : 1), qPrintable(merge.mOut + merge.mErr));
        QCOMPARE(merge.mOut.contains(QLatin1String("removed on the right, changed on the left")), !clean);
        QString report;
        QVERIFY2(!clean || SameProject(repo, repo.Outside(QStringLiteral("expected"), json(removed)), leftPath, &report),
                 qPrintable(merge.mOut + report));
    }
}

// git mergetool and git difftool configured as the README says: the window
// opens offscreen and CORVANE_EXPLORER_ACTIONS drives it. Cancelled, the
// merge stays unresolved and the file as git left it; the conflict copied
// from REMOTE and saved resolves it with every edit held. difftool on the
// work tree's file copies its one change back and saves it.
void tst_VersionControl::mergetoolAndDifftoolOpenTheWindow()
{
    const QByteArray base = ReadFile(Sample(QStringLiteral("scribus/harbour-notice-v1.sla")));
    const Edits left{{"every morning", "every evening"}, {"channel twelve", "channel sixteen"}};
    const Edits right{{"every morning", "every afternoon"}, {"summer timetable", "autumn timetable"}};
    const Repo repo(QStringLiteral("n.sla"), false);
    QCOMPARE(Diverge(repo, base, left, right).mStatus, 1);
    const QByteArray conflicted = ReadFile(repo.Path());
    const QStringList mergetool{QStringLiteral("mergetool"), QStringLiteral("--tool=corvane"),
                                QStringLiteral("--no-prompt")};
    const QString offscreen = QStringLiteral("QT_QPA_PLATFORM=offscreen");
    const QStringList unmerged{QStringLiteral("diff"), QStringLiteral("--name-only"),
                               QStringLiteral("--diff-filter=U")};

    const Run cancelled = repo.Git(mergetool, {offscreen, QStringLiteral("CORVANE_EXPLORER_ACTIONS=Cancel")});
    QVERIFY2(cancelled.mStatus != 0, qPrintable(cancelled.mOut + cancelled.mErr));
    QCOMPARE(ReadFile(repo.Path()), conflicted);
    QCOMPARE(repo.Git(unmerged).mOut.trimmed(), QStringLiteral("n.sla"));

    const Run resolved =
        repo.Git(mergetool,
                 {offscreen, QStringLiteral("CORVANE_EXPLORER_ACTIONS=Next Conflict;Copy Left;Save;Cancel")});
    QVERIFY2(resolved.mStatus == 0, qPrintable(resolved.mOut + resolved.mErr));
    QCOMPARE(repo.Git(unmerged).mOut.trimmed(), QString());
    const QByteArray merged = Applied(Applied(base, right), {left.at(1)});
    QString report;
    QVERIFY2(SameProject(repo, repo.Outside(QStringLiteral("expected"), merged), repo.Path(), &report),
             qPrintable(resolved.mErr + report));
    repo.Git({QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("--no-edit")});

    WriteFile(repo.Path(), Applied(merged, {{"channel sixteen", "channel nine"}}));
    const Run difftool = repo.Git(
        {QStringLiteral("difftool"), QStringLiteral("--tool=corvane"), QStringLiteral("--no-prompt")},
        {offscreen, QStringLiteral("CORVANE_EXPLORER_ACTIONS=Next Diff;Copy Right;Save;Cancel")});
    QVERIFY2(difftool.mStatus == 0, qPrintable(difftool.mOut + difftool.mErr));
    QVERIFY2(SameProject(repo, repo.Outside(QStringLiteral("expected"), merged), repo.Path(), &report),
             qPrintable(difftool.mErr + report));
}

QTEST_GUILESS_MAIN(tst_VersionControl)
#include "tst_versioncontrol.moc"
