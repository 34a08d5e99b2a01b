// Project files through the host's function tables: re-saving an unmodified
// project byte for byte; file types at a glance; the open-project list; and
// every kind of malformed file, refused with a message that names the file
// and the place, leaving the host as it was. Edits saved, reopened and
// compared are tst_mergeroundtrip's; saves that fail are tst_savefaults'.

#include "HostTestSupport.h"
#include "TestFiles.h"

#include "Format/JsonTree.h"
#include "ProjectGenerator.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

class tst_HostFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void unmodifiedProjectResavesByteForByte_data();
    void unmodifiedProjectResavesByteForByte();
    void otherSpellingsReadAsTheSameProject_data();
    void otherSpellingsReadAsTheSameProject();
    void aLeadingZeroWidthNoBreakSpaceIsKept();
    void aTemplateStaysATemplate();
    void fileTypesAtAGlance_data();
    void fileTypesAtAGlance();
    void openProjectList();
    void malformedFilesAreRefused_data();
    void malformedFilesAreRefused();
    void overLargeFileIsRefused();
    void aFileReadAheadIsOpenedAsItIsThen();

private:
    void expectRefused(const QString& path, const QString& fragment);

    std::unique_ptr<XTHost::HostSession> mSession;
    std::unique_ptr<QTemporaryDir> mDir;
    HostApi mApi;
    XTProjectId mProject = XT::kNoProject;
    QString mPath;
};

void tst_HostFiles::init()
{
    mSession = std::make_unique<XTHost::HostSession>();
    QVERIFY(mApi.acquire(mSession->setupRecord()));
    mDir = std::make_unique<QTemporaryDir>();
    mPath = writeProject(*mDir, QStringLiteral("small.xprj"), smallProject());
    mProject = mApi.open(mPath);
    QVERIFY(mProject != XT::kNoProject);
}

void tst_HostFiles::cleanup()
{
    mSession.reset();
    mDir.reset();
}

void tst_HostFiles::unmodifiedProjectResavesByteForByte_data()
{
    QTest::addColumn<QString>("source");
    const QString samples = qEnvironmentVariable("CORVANE_SOURCE_DIR") + QStringLiteral("/Samples/");
    QTest::newRow("small project, saved once by the host") << QString();
    QTest::newRow("sample, first version") << samples + QStringLiteral("harbour-gazette-v1.xprj");
    QTest::newRow("sample, second version") << samples + QStringLiteral("harbour-gazette-v2.xprj");
    QTest::newRow("generated project") << QStringLiteral("generated-left");
    QTest::newRow("its generated twin") << QStringLiteral("generated-right");
}

void tst_HostFiles::unmodifiedProjectResavesByteForByte()
{
    QFETCH(QString, source);
    QString path = mPath;
    if (source.startsWith(QLatin1String("generated")))
    {
        XTHost::GeneratorOptions options;
        options.mSeed = 7;
        options.mEditRate = 0.3;
        QString error;
        QVERIFY2(
            XTHost::ProjectGenerator::writePair(options, mDir->filePath(QStringLiteral("generated-left")),
                                                mDir->filePath(QStringLiteral("generated-right")), &error),
            qPrintable(error));
        path = mDir->filePath(source);
    }
    else if (!source.isEmpty())
    {
        path = mDir->filePath(QStringLiteral("sample.xprj"));
        QVERIFY(QFile::copy(source, path));
    }
    if (path == mPath)
    {
        // Written in code with its layouts out of order; the host's own file
        // lists them in order.
        QCOMPARE(mApi.mProject->SaveProject(mProject, 0, 71), XT::kNoErr);
        QCOMPARE(mApi.mProject->CloseProject(mProject, 1), XT::kNoErr);
    }
    const QByteArray original = ReadFile(path);
    QVERIFY(!original.isEmpty());
    XTProjectId project = mApi.open(path);
    QVERIFY2(project != XT::kNoProject, qPrintable(mSession->lastError()));
    QCOMPARE(mApi.mProject->SaveProject(project, 0, 71), XT::kNoErr);
    QCOMPARE(ReadFile(path), original);
}

void tst_HostFiles::otherSpellingsReadAsTheSameProject_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<bool>("fastReader");
    QTest::newRow("as the host writes it") << QByteArray() << QByteArray() << true;
    QTest::newRow("escaped letter") << QByteArray("\"The Harbour") << QByteArray("\"The \\u0048arbour")
                                    << true;
    QTest::newRow("byte order mark") << QByteArray("{") << QByteArray("\xEF\xBB\xBF{") << false;
    QTest::newRow("exponent") << QByteArray("\"version\": 1,") << QByteArray("\"version\": 10e-1,") << false;
    QTest::newRow("escaped key") << QByteArray("\"format\"") << QByteArray("\"\\u0066ormat\"") << false;
    QTest::newRow("surrogate pair escape")
        << QByteArray("Gazette \xF0\x9F\x8C\x8A") << QByteArray("Gazette \\ud83c\\udf0a") << false;
}

void tst_HostFiles::otherSpellingsReadAsTheSameProject()
{
    // Given the sample as the host writes it, and the same JSON spelled
    // another way
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(bool, fastReader);
    const QString samples = qEnvironmentVariable("CORVANE_SOURCE_DIR") + QStringLiteral("/Samples/");
    QByteArray canonical = ReadFile(samples + QStringLiteral("harbour-gazette-v1.xprj"));
    canonical.replace("\"The Harbour Gazette\"", "\"The Harbour Gazette \xF0\x9F\x8C\x8A\"");
    QByteArray spelled = canonical;
    if (!from.isEmpty())
    {
        const int at = spelled.indexOf(from);
        QVERIFY(at >= 0);
        spelled.replace(at, from.size(), to);
    }
    const QString canonicalPath = mDir->filePath(QStringLiteral("canonical.xprj"));
    const QString spelledPath = mDir->filePath(QStringLiteral("spelled.xprj"));
    QVERIFY(WriteFile(canonicalPath, canonical) && WriteFile(spelledPath, spelled));

    // Then the fast reader takes only what it reads exactly as QJsonDocument
    // does, the rest is left to QJsonDocument
    XTHost::JsonTree tree;
    QCOMPARE(tree.read(spelled), fastReader);

    // and either way the file opens as the same project, and saves as the
    // host writes it
    const XTProjectId expected = mApi.open(canonicalPath);
    const XTProjectId project = mApi.open(spelledPath);
    QVERIFY2(expected != XT::kNoProject && project != XT::kNoProject, qPrintable(mSession->lastError()));
    QVERIFY(*mSession->project(project) == *mSession->project(expected));
    QCOMPARE(mApi.mProject->SaveProject(project, 0, 71), XT::kNoErr);
    QCOMPARE(ReadFile(spelledPath), canonical);
}

void tst_HostFiles::aLeadingZeroWidthNoBreakSpaceIsKept()
{
    // Given texts that begin with U+FEFF, which JSON readers take for a byte
    // order mark, in a story (visible and hidden), a box name and an asset
    const QString mark(QChar(0xFEFF));
    XTHost::Project model = smallProject();
    XTHost::Story& nine = model.mStories[1];
    QCOMPARE(nine.mNumber, 9);
    nine.mText.clear();
    nine.appendVisible(mark + QStringLiteral("Welcome"));
    nine.appendHidden(mark + QStringLiteral("aside"));
    model.mLayouts[1].mSpreads[1].mBoxes[0].mName = mark + QStringLiteral("Body");
    model.mAssets[16][0].mDescription = mark + mark + QStringLiteral("visible");
    const QString path = writeProject(*mDir, QStringLiteral("marks.xprj"), model);

    // When the host reads the file, and saves and reads it again
    for (int round = 0; round < 2; ++round)
    {
        const XTProjectId project = mApi.open(path);
        QVERIFY2(project != XT::kNoProject, qPrintable(mSession->lastError()));
        const XTHost::Project& read = *mSession->project(project);

        // Then every text is the one written, unit for unit
        QCOMPARE(read.mStories.size(), size_t(3));
        QVERIFY(read.mStories[1] == nine);
        QCOMPARE(read.mLayouts.front().mNumber, 1); // the reader lists layouts by number
        QCOMPARE(read.mLayouts.front().mSpreads[1].mBoxes[0].mName, mark + QStringLiteral("Body"));
        QCOMPARE(read.mAssets[16][0].mDescription, mark + mark + QStringLiteral("visible"));
        // and the host's strings, which the plug-in reads and writes texts
        // through, keep such a mark, and a swapped one, as characters
        for (const QString& text : {mark + QStringLiteral("Body"), QChar(0xFFFE) + QStringLiteral("Body")})
            QCOMPARE(mApi.take(mApi.string(text)), text);
        QCOMPARE(mApi.mProject->SaveProject(project, 0, 71), XT::kNoErr);
        QCOMPARE(mApi.mProject->CloseProject(project, 1), XT::kNoErr);
    }
}

void tst_HostFiles::aTemplateStaysATemplate()
{
    XTHost::Project model = smallProject();
    model.mFileType = XT::kFileTemplate;
    const QString path = writeProject(*mDir, QStringLiteral("small.xprt"), model);
    const XTProjectId project = mApi.open(path);
    QCOMPARE(mApi.mBox->MoveBox(mApi.boxNumbered(project, 2, 1), pt(1), 0, 1), XT::kNoErr);
    QCOMPARE(mApi.mProject->SaveProject(project, 0, 71), XT::kNoErr);
    XTFileInfo info{};
    XTFileSpec spec = mApi.file(path);
    QCOMPARE(mApi.mFiles->GetFileInfo(spec, &info), XT::kNoErr);
    mApi.mFiles->DisposeFile(spec);
    QCOMPARE(info.fileType, XT::kFileTemplate);
}

void tst_HostFiles::fileTypesAtAGlance_data()
{
    QTest::addColumn<QByteArray>("content"); // "dir" for a folder, "missing" for no file
    QTest::addColumn<int>("status");
    QTest::addColumn<uint32_t>("type");
    QTest::addColumn<bool>("isDirectory");
    QTest::addColumn<bool>("projectFile");
    const QByteArray head = "{\n  \"format\": \"corvane-project\",\n  \"version\": 1,\n  \"fileType\": ";
    QTest::newRow("project") << head + "\"XPRJ\",\n" << 0 << XT::kFileProject << false << true;
    QTest::newRow("template") << head + "\"XPRT\",\n" << 0 << XT::kFileTemplate << false << true;
    QTest::newRow("compact, on one line")
        << QByteArray("{\"format\":\"corvane-project\",\"version\":1,\"fileType\":\"XPRJ\"}") << 0
        << XT::kFileProject << false << true;
    QTest::newRow("another file type") << head + "\"XDOC\",\n" << 0 << 0u << false << false;
    QTest::newRow("marker not first")
        << QByteArray("{\"version\": 1, \"format\": \"corvane-project\"}") << 0 << 0u << false << false;
    QTest::newRow("plain text") << QByteArray("hello") << 0 << 0u << false << false;
    QTest::newRow("empty") << QByteArray() << 0 << 0u << false << false;
    QTest::newRow("folder") << QByteArray("dir") << 0 << 0u << true << false;
    QTest::newRow("missing") << QByteArray("missing") << int(XT::kErrNotFound) << 0u << false << false;
}

void tst_HostFiles::fileTypesAtAGlance()
{
    QFETCH(QByteArray, content);
    QFETCH(int, status);
    QFETCH(uint32_t, type);
    QFETCH(bool, isDirectory);
    QFETCH(bool, projectFile);
    const QString path = mDir->filePath(QStringLiteral("probe"));
    if (content == "dir")
        QVERIFY(QDir(mDir->path()).mkdir(QStringLiteral("probe")));
    else if (content != "missing")
        QVERIFY(WriteFile(path, content));
    XTFileSpec spec = mApi.file(path);
    XTFileInfo info{};
    QCOMPARE(int(mApi.mFiles->GetFileInfo(spec, &info)), status);
    mApi.mFiles->DisposeFile(spec);
    if (status != 0)
        return;
    QCOMPARE(info.fileType, type);
    QCOMPARE(info.isDirectory, isDirectory);
    QCOMPARE(info.size, int64_t(isDirectory ? 0 : content.size()));
    const XTFourCC types[2] = {XT::kFileProject, XT::kFileTemplate};
    bool result = !projectFile;
    QCOMPARE(mApi.mFiles->IsFileOfType(&info, types, 2, &result), XT::kNoErr);
    QCOMPARE(result, projectFile);
    QCOMPARE(mApi.mFiles->IsFileOfType(&info, types, 1, &result), XT::kNoErr);
    QCOMPARE(result, type == XT::kFileProject);
}

void tst_HostFiles::openProjectList()
{
    const QString otherPath = writeProject(*mDir, QStringLiteral("other.xprj"), smallProject());
    const XTProjectId other = mApi.open(otherPath);
    QVERIFY(other != XT::kNoProject && other != mProject);
    QCOMPARE(mApi.mProject->GetOpenProjectCount(), 2);
    QCOMPARE(mApi.mProject->GetOpenProject(0), mProject);
    QCOMPARE(mApi.mProject->GetOpenProject(1), other);
    QCOMPARE(mApi.mProject->GetOpenProject(2), XT::kNoProject);
    QCOMPARE(mApi.take(mApi.mProject->GetProjectPath(other)), otherPath);

    // The picker's check: is the chosen file one of the open projects?
    XTFileSpec chosen = mApi.file(mDir->path() + QStringLiteral("/./other.xprj"));
    QList<bool> same;
    for (int32_t i = 0; i < mApi.mProject->GetOpenProjectCount(); ++i)
    {
        XTFileSpec first = mApi.mFiles->NewFileSpec();
        XTFileSpec second = mApi.mFiles->NewFileSpec();
        bool useSecond = true;
        QCOMPARE(mApi.mProject->GetProjectFiles(mApi.mProject->GetOpenProject(i), first, second, &useSecond),
                 XT::kNoErr);
        QVERIFY(!useSecond);
        same << mApi.mFiles->SameFile(first, chosen);
        mApi.mFiles->DisposeFile(first);
        mApi.mFiles->DisposeFile(second);
    }
    mApi.mFiles->DisposeFile(chosen);
    QCOMPARE(same, (QList<bool>{false, true}));

    // The same file cannot be open twice.
    QCOMPARE(mApi.open(otherPath), XT::kNoProject);
    QVERIFY(mApi.take(mApi.mProject->GetOpenError()).contains(QStringLiteral("already open")));
    QCOMPARE(mApi.mProject->GetOpenProjectCount(), 2);

    QCOMPARE(mApi.mProject->CloseProject(mProject, 1), XT::kNoErr);
    QCOMPARE(mApi.mProject->GetOpenProjectCount(), 1);
    QCOMPARE(mApi.mProject->GetOpenProject(0), other);
    // Closing without saving leaves the file as it was.
    QCOMPARE(mApi.mBox->MoveBox(mApi.boxNumbered(other, 2, 1), pt(5), pt(5), 1), XT::kNoErr);
    const QByteArray before = ReadFile(otherPath);
    QCOMPARE(mApi.mProject->CloseProject(other, 1), XT::kNoErr);
    QCOMPARE(ReadFile(otherPath), before);
}

void tst_HostFiles::expectRefused(const QString& path, const QString& fragment)
{
    const int openBefore = mApi.mProject->GetOpenProjectCount();
    QCOMPARE(mApi.open(path), XT::kNoProject);
    const QString message = mApi.take(mApi.mProject->GetOpenError());
    QVERIFY2(message.startsWith(path + QStringLiteral(": ")), qPrintable(message));
    QVERIFY2(message.contains(fragment), qPrintable(message));
    // The message prints whole: a control character would cut or garble it.
    for (QChar c : message)
        QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7F, qPrintable(message));
    // The host is as it was.
    QCOMPARE(mApi.mProject->GetOpenProjectCount(), openBefore);
    QCOMPARE(mApi.mProject->GetLayoutCount(mProject), 2);
    QCOMPARE(mApi.storyText(mApi.storyNumbered(mProject, 9)), QStringLiteral("Welcome"));
}

void tst_HostFiles::malformedFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("fragment");

    const QByteArray base = XTHost::JsonProjectFormat().serialize(smallProject());
    auto edit = [&base](const char* from, const char* to)
    {
        if (!base.contains(from))
            qFatal("the base project has no \"%s\"", from);
        return QByteArray(base).replace(from, to);
    };
    // For values the writer puts on lines of their own.
    auto editPattern = [&base](const char* pattern, const char* to)
    {
        const QString text = QString::fromUtf8(base);
        const QRegularExpression expression(QString::fromUtf8(pattern));
        if (!text.contains(expression))
            qFatal("the base project has nothing that matches %s", pattern);
        return QString(text).replace(expression, QString::fromUtf8(to)).toUtf8();
    };
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary += char(255 - i);

    QTest::newRow("empty") << QByteArray() << "byte offset 0";
    QTest::newRow("truncated") << base.left(base.size() / 2) << "byte offset";
    QTest::newRow("not JSON") << QByteArray("hello") << "byte offset 1";
    QTest::newRow("binary") << binary << "byte offset";
    QTest::newRow("nested too deep") << QByteArray(100000, '[') << "byte offset";
    QTest::newRow("an array at the top") << QByteArray("[]") << "a project file is a JSON object";
    QTest::newRow("another format") << edit("\"corvane-project\"", "\"other\"")
                                    << "format: not a project file";
    QTest::newRow("newer version") << edit("\"version\": 1,", "\"version\": 2,")
                                   << "version: version 2 is newer";
    QTest::newRow("unknown file type") << edit("\"fileType\": \"XPRJ\"", "\"fileType\": \"XDOC\"")
                                       << "fileType: \"XDOC\" is no project file type";
    QTest::newRow("layout number of the wrong type")
        << edit("\"number\": 2,\n      \"name\": \"Web\"", "\"number\": \"2\",\n      \"name\": \"Web\"")
        << "layouts[0].number: expected a whole number, found a string";
    QTest::newRow("fractional box number")
        << edit("\"number\": 10,", "\"number\": 10.5,")
        << "layouts[1].spreads[0].boxes[0].number: expected a whole number";
    QTest::newRow("duplicate layout numbers")
        << edit("\"number\": 2,\n      \"name\": \"Web\"", "\"number\": 1,\n      \"name\": \"Web\"")
        << "layouts[1].number: layout number 1 is already used";
    QTest::newRow("duplicate box numbers")
        << edit("\"number\": 5,", "\"number\": 3,")
        << "layouts[1].spreads[1].boxes[0].number: box number 3 is already used";
    QTest::newRow("story in a missing box")
        << edit("\"box\": 5}", "\"box\": 99}") << "stories[0].boxes[1]: layout 1 has no box 99";
    QTest::newRow("story in a picture box")
        << edit("\"box\": 5}", "\"box\": 3}") << "box 3 of layout 1 is no text box";
    QTest::newRow("two stories in one box")
        << edit("{\"layout\": 2, \"box\": 1}", "{\"layout\": 1, \"box\": 10}")
        << "stories[1].boxes[0]: box 10 of layout 1 already shows a story";
    QTest::newRow("unknown key") << edit("\"masterSpreads\": 2,", "\"masterSpread\": 2,")
                                 << "layouts[1]: unknown key \"masterSpread\"";
    QTest::newRow("missing key") << edit("\"kind\": \"picture\",", "")
                                 << "boxes[1]: the key \"kind\" is missing";
    QTest::newRow("inverted bounds") << edit("{\"left\": 400, \"top\": 400, \"right\": 500",
                                             "{\"left\": 400, \"top\": 400, \"right\": 300")
                                     << "layouts[1].spreads[0].boxes[2].bounds: the right and bottom edges";
    QTest::newRow("measure out of range")
        << edit("\"right\": 576,", "\"right\": 40000,") << "boxes[0].bounds.right: 40000 is out of range";
    QTest::newRow("picture settings on an empty box")
        << edit("\"name\": \"Photo\",\n              \"kind\": \"picture\"",
                "\"name\": \"Photo\",\n              \"kind\": \"none\"")
        << "boxes[1].picture: only a picture box has a picture";
    QTest::newRow("hidden text of the wrong type")
        << edit("{\"hidden\": \"secret\"}", "{\"hidden\": 5}")
        << "stories[0].text[1].hidden: expected a string, found a number";
    QTest::newRow("colour value out of range")
        << edit("[0, 128, 255]", "[0, 128, 256]") << "assets.colours[0].values[2]: 256 is out of range";
    QTest::newRow("unknown asset kind")
        << edit("\"layers\":", "\"sheets\":") << "assets: \"sheets\" is no asset kind";
    QTest::newRow("a built-in colour's name") << edit("\"name\": \"Sky\",", "\"name\": \"Black\",")
                                              << "assets.colours[0].name: \"Black\" is a built-in colour";

    // A repeated key is refused, wherever it is: the parser would keep only one of the values.
    QTest::newRow("a story's text twice")
        << edit("\"text\": \"Welcome\"", "\"text\": \"Welcome\", \"text\": \"Hi\"")
        << "stories[1]: the key \"text\" is repeated (byte offset";
    QTest::newRow("layouts twice") << edit("\"layouts\": [", "\"layouts\": [], \"layouts\": [")
                                   << "xprj: the key \"layouts\" is repeated";
    QTest::newRow("a repeated key written with an escape")
        << edit("\"fileType\": \"XPRJ\"", "\"fileType\": \"XPRJ\", \"file\\u0054ype\": \"XPRJ\"")
        << "the key \"fileType\" is repeated";
    // QJsonDocument reads "\x" as "x" and skips a byte order mark: the scan must too.
    QTest::newRow("a repeated key written with an unknown escape")
        << edit("\"text\": \"Welcome\"", "\"te\\xt\": \"Welcome\", \"text\": \"Hi\"")
        << "stories[1]: the key \"text\" is repeated";
    // The scan finds a string's end by its quote: an escaped quote inside does not end it, a quote after an
    // escaped backslash does.
    QTest::newRow("a repeated key after escaped quotes and backslashes")
        << edit("\"text\": \"Welcome\"", "\"text\": \"We\\\"l\\\\\\\"co\\\\\", \"text\": \"Hi\"")
        << "stories[1]: the key \"text\" is repeated";
    // QJsonDocument also reads ".4e3" and "400." as numbers.
    QTest::newRow("a repeated key after numbers without a whole or a fraction part")
        << edit("{\"left\": 400, \"top\": 400,", "{\"left\": 400., \"top\": .4e3, \"top\": 400,")
        << "the key \"top\" is repeated";
    // QJsonDocument takes raw control characters, and can lose one of two keys that hold NUL bytes.
    QTest::newRow("a key with a raw NUL byte")
        << edit("\"text\": \"Welcome\"", "\"text\": \"Welcome\", \"te@xt\": \"Hi\"").replace('@', '\0')
        << "stories[1]: the key \"te\\u0000xt\" holds a control character that is not escaped";
    // QJsonDocument drops a byte order mark that begins a key without escapes, and keeps one after an escape.
    QTest::newRow("a repeated key, once with a byte order mark before it")
        << edit("\"text\": \"Welcome\"", "\"\xEF\xBB\xBFtext\": \"Welcome\", \"text\": \"Hi\"")
        << "stories[1]: the key \"text\" is repeated";
    QTest::newRow("a repeated key with a byte order mark after an escape")
        << edit("\"text\": \"Welcome\"", "\"\\u0074\xEF\xBB\xBF"
                                         "ext\": \"Welcome\", \"t\\ufeffext\": \"Hi\"")
        << "stories[1]: the key \"t\xEF\xBB\xBF"
           "ext\" is repeated";
    QTest::newRow("a repeated key after a byte order mark")
        << "\xEF\xBB\xBF" + edit("\"layouts\": [", "\"layouts\": [], \"layouts\": [")
        << "xprj: the key \"layouts\" is repeated";
    QTest::newRow("bounds wider than a measure")
        << edit("{\"left\": 400, \"top\": 400, \"right\": 500",
                "{\"left\": -32768, \"top\": 400, \"right\": 32767.99998")
        << "layouts[1].spreads[0].boxes[2].bounds: the box is wider than 32767.99998 pt";
    QTest::newRow("bounds taller than a measure")
        << edit("\"top\": 400, \"right\": 500, \"bottom\": 500",
                "\"top\": -20000, \"right\": 500, \"bottom\": 20000")
        << "layouts[1].spreads[0].boxes[2].bounds: the box is taller than 32767.99998 pt";
    QTest::newRow("NUL characters in a layout type")
        << edit("\"type\": \"XWEB\"", "\"type\": \"\\u0000\\u0000\\u0000\\u0000\"")
        << "layouts[0].type: \"\\u0000\\u0000\\u0000\\u0000\" is not a four-character code";
    QTest::newRow("a control character in an unknown key")
        << edit("\"masterSpreads\": 2,", "\"master\\u0007\": 2,") << "unknown key \"master\\u0007\"";

    // Values the host cannot hold or that mean nothing.
    QTest::newRow("a control character in a name")
        << edit("\"name\": \"Web\"", "\"name\": \"W\\u0001eb\"")
        << "layouts[0].name: a name cannot hold the control character U+0001";
    QTest::newRow("NUL in a description")
        << edit("\"description\": \"visible\"", "\"description\": \"vis\\u0000ible\"")
        << "assets.layers[0].description: text cannot hold the control character U+0000";
    QTest::newRow("a lone surrogate in story text")
        << edit("\"Welcome\"", "\"Wel\\ud800come\"")
        << "stories[1].text: text cannot hold an unpaired surrogate (U+D800)";
    QTest::newRow("the hidden-text marker in story text")
        << edit("\"Welcome\"", "\"Wel\\ufffccome\"") << "stories[1].text: text cannot hold U+FFFC";
    QTest::newRow("a colour that is not in the project")
        << edit("\"colour\": \"Sky\"", "\"colour\": \"Sea\"")
        << "layouts[1].spreads[0].boxes[0].colour: the project has no colour \"Sea\"";
    QTest::newRow("a built-in colour's name in other case")
        << edit("\"name\": \"Sky\",", "\"name\": \"black\",")
        << "assets.colours[0].name: \"black\" differs from the built-in colour \"Black\" only in case";
    QTest::newRow("a built-in colour's name with a trailing space")
        << edit("\"name\": \"Sky\",", "\"name\": \"Black \",")
        << "assets.colours[0].name: an asset name cannot begin or end with white space";
    QTest::newRow("inverted spread bounds") << edit("\"right\": 1224,", "\"right\": -10,")
                                            << "layouts[1].spreads[0].bounds: the right and bottom edges";
    QTest::newRow("no text columns")
        << editPattern("\"columns\": 1,(\\s*\"gutterWidth\")", "\"columns\": 0,\\1")
        << "layouts[0].spreads[0].boxes[0].properties.columns: 0 is out of range (1 to 30)";
    QTest::newRow("negative text columns")
        << editPattern("\"columns\": 1,(\\s*\"gutterWidth\")", "\"columns\": -3,\\1")
        << "properties.columns: -3 is out of range (1 to 30)";
    QTest::newRow("negative spread columns") << edit("\"columns\": 2,", "\"columns\": -3,")
                                             << "layouts[1].spreads[0].columns: -3 is out of range (1 to 30)";
    QTest::newRow("negative opacity")
        << edit("\"opacity\": 100,", "\"opacity\": -50,")
        << "layouts[0].spreads[0].boxes[0].properties.opacity: -50 is out of range (0 to 100)";
    QTest::newRow("a layout type of spaces") << edit("\"type\": \"XWEB\"", "\"type\": \"    \"")
                                             << "layouts[0].type: \"    \" is not a four-character code";
}

void tst_HostFiles::malformedFilesAreRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, fragment);
    const QString path = mDir->filePath(QStringLiteral("bad.xprj"));
    QVERIFY(WriteFile(path, content));
    expectRefused(path, fragment);
    // Read ahead on a thread of its own, it is refused alike.
    mSession->readAhead(path);
    expectRefused(path, fragment);
}

void tst_HostFiles::overLargeFileIsRefused()
{
    const QString path = mDir->filePath(QStringLiteral("large.xprj"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(XTHost::JsonProjectFormat().serialize(smallProject())) > 0);
    QVERIFY(file.resize(XTHost::ProjectFormat::sMaxFileSize + 1)); // sparse: no disk used
    file.close();
    expectRefused(path, QStringLiteral("more than the %1 bytes").arg(XTHost::ProjectFormat::sMaxFileSize));
}

// A file read ahead opens with what it holds when it is opened: one written
// over meanwhile is read again.
void tst_HostFiles::aFileReadAheadIsOpenedAsItIsThen()
{
    const QByteArray welcome = XTHost::JsonProjectFormat().serialize(smallProject());
    QByteArray hello = welcome;
    hello.replace("\"Welcome\"", "\"Hello there\"");
    for (const QByteArray& later : {welcome, hello})
    {
        const QString path = mDir->filePath(QStringLiteral("ahead.xprj"));
        QVERIFY(WriteFile(path, welcome));
        mSession->readAhead(path);
        // Time for the small file to be read before it is written over.
        QThread::msleep(100);
        QVERIFY(WriteFile(path, later));
        const XTProjectId ahead = mApi.open(path);
        QVERIFY(ahead != XT::kNoProject);
        QCOMPARE(mApi.storyText(mApi.storyNumbered(ahead, 9)),
                 later == hello ? QStringLiteral("Hello there") : QStringLiteral("Welcome"));
        QCOMPARE(mApi.mProject->CloseProject(ahead, 1), XT::kNoErr);
    }
}

QTEST_GUILESS_MAIN(tst_HostFiles)
#include "tst_hostfiles.moc"
