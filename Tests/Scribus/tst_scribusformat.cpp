// The Scribus format on real documents: every Debian template read, saved
// unedited and compared on its XML content and, by Scribus itself, on what
// it shows; damaged and unsupported documents refused; edits written where
// they belong and nowhere else.

#include "ScribusTestSupport.h"
#include "TestFiles.h"

#include "Format/JsonProjectFormat.h"
#include "Format/ProjectFormats.h"
#include "Format/ScribusProjectFormat.h"
#include "Model/BoxProperties.h"
#include "Model/Project.h"

#include <QDir>
#include <QSet>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <set>
#include <cmath>

using namespace XTHost;

namespace
{

const ProjectFormat& formatOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return ProjectFormats::forHead(file.read(ProjectFormat::sHeadSize));
}

// gzip of `head`, `unit` `count` times, then `tail`, made piece by piece:
// a document that inflates to far more than the test holds at once.
QByteArray gzipRepeated(const QByteArray& head, const QByteArray& unit, qint64 count, const QByteArray& tail)
{
    z_stream stream{};
    deflateInit2(&stream, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out;
    char buffer[65536];
    auto feed = [&](const QByteArray& data, int flush)
    {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
        stream.avail_in = uInt(data.size());
        do
        {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.append(buffer, int(sizeof buffer - stream.avail_out));
        } while (stream.avail_out == 0);
    };
    feed(head, Z_NO_FLUSH);
    const qint64 perPiece = std::max<qint64>(1, (1 << 20) / unit.size());
    const QByteArray piece = unit.repeated(int(perPiece));
    for (qint64 done = 0; done < count; done += perPiece)
        feed(done + perPiece <= count ? piece : unit.repeated(int(count - done)), Z_NO_FLUSH);
    feed(tail, Z_FINISH);
    deflateEnd(&stream);
    return out;
}

// The smallest document the host reads, with `objects` on its one page.
QByteArray smallDocument(const QByteArray& objects, const QByteArray& version = "1.5.8")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SCRIBUSUTF8NEW Version=\"" + version +
           "\">\n<DOCUMENT ANZPAGES=\"1\" PAGEWIDTH=\"595\" PAGEHEIGHT=\"842\" BOOK=\"0\">\n"
           "<PAGE PAGEXPOS=\"100\" PAGEYPOS=\"20\" PAGEWIDTH=\"595\" PAGEHEIGHT=\"842\" NUM=\"0\"/>\n" +
           objects + "\n</DOCUMENT>\n</SCRIBUSUTF8NEW>\n";
}

} // namespace

class TestScribusFormat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(mDir.isValid()); }

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
        if (ScribusTest::templates().isEmpty())
            QSKIP("the scribus-template and scribus-data packages are not installed (scripts/setup installs "
                  "them)");
        QFETCH(QString, path);
        const ProjectFormat& format = formatOf(path);
        QVERIFY(dynamic_cast<const ScribusProjectFormat*>(&format));
        QCOMPARE(ProjectFormats::fileTypeOf(path), XTFourCC(XT::kFileProject));
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
    }

    // Given every template saved unedited by the host, when Scribus opens
    // each original and each saved copy, then it shows the same pages, items
    // (geometry, fill, text) and colours in both.
    void scribusReadsWhatWasSaved()
    {
        if (ScribusTest::scribusProgram().isEmpty() || ScribusTest::templates().isEmpty())
            QSKIP("scribus, scribus-template or scribus-data is not installed (scripts/setup installs them)");
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

    void refused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("reason");
        const QByteArray xml = ScribusTest::readBytes(SamplePath());
        const QByteArray compressed = ScribusTest::gzipBytes(xml);
        QByteArray broken = xml;
        broken.replace("</DOCUMENT>", "</DOCUMENTS>");
        QByteArray newer = xml;
        newer.replace("Version=\"1.5.8\"", "Version=\"1.7.0\"");
        QTest::newRow("broken XML") << "broken.sla" << broken << "line ";
        QTest::newRow("truncated") << "truncated.sla" << xml.left(xml.size() / 2) << "line ";
        QTest::newRow("truncated, compressed")
            << "truncated.sla.gz" << compressed.left(compressed.size() / 2) << "ends early";
        QTest::newRow("newer format version") << "newer.sla" << newer << "\"1.7.0\" is newer";
        QTest::newRow("no document") << "empty.sla"
                                     << QByteArray(
                                            "<?xml version=\"1.0\"?>\n<SCRIBUSUTF8NEW Version=\"1.5.8\"/>\n")
                                     << "no DOCUMENT";
        // Damaged documents: each refused with its reason, none read to the
        // end of the memory or the stack.
        QTest::newRow("a version past 32 bits") << "huge-version.sla" << smallDocument("", "4294967296.0")
                                                << "\"4294967296.0\" is newer";
        QTest::newRow("groups nested 100,000 deep")
            << "nested.sla"
            << smallDocument(QByteArray("<PAGEOBJECT PTYPE=\"12\">").repeated(100000) +
                             QByteArray("</PAGEOBJECT>").repeated(100000))
            << "nested deeper than 256";
        QTest::newRow("an attribute name that is no XML name")
            << "bad-name.sla" << smallDocument("<PAGEOBJECT PTYPE=\"6\" 9LIVES=\"1\"/>") << "not an XML name";
        QTest::newRow("a repeated attribute")
            << "repeated.sla" << smallDocument("<PAGEOBJECT PTYPE=\"6\" XPOS=\"1\" XPOS=\"2\"/>")
            << "XPOS is repeated";
        QTest::newRow("invalid UTF-8 on line 5")
            << "utf8.sla" << smallDocument("<PAGEOBJECT PTYPE=\"6\" ANNAME=\"caf\xe9\"/>") << "line 5, column";
        QTest::newRow("an unknown entity")
            << "entity.sla" << smallDocument("<PAGEOBJECT PTYPE=\"6\" ANNAME=\"&nbsp;\"/>") << "&nbsp;";
        QTest::newRow("text frames linked in a circle")
            << "circle.sla"
            << smallDocument("<PAGEOBJECT ItemID=\"1\" PTYPE=\"4\" ANNAME=\"Body 1\" NEXTITEM=\"2\"/>\n"
                             "<PAGEOBJECT ItemID=\"2\" PTYPE=\"4\" ANNAME=\"Body 2\" NEXTITEM=\"1\"/>")
            << "\"Body 1\" and \"Body 2\" link to each other in a circle";
        const QString text = QString::fromUtf8(smallDocument(""));
        QTest::newRow("UTF-16") << "utf16.sla"
                                << QByteArray("\xff\xfe") +
                                       QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2)
                                << "UTF-16";
        QTest::newRow("compressed, cut after 5 bytes") << "short.sla.gz" << compressed.left(5) << "ends early";
        QTest::newRow("a second compressed document")
            << "two.sla.gz" << compressed + compressed << "a second compressed document follows";
        QTest::newRow("bytes after the compressed document")
            << "trailing.sla.gz" << compressed + "junk" << "4 bytes follow the compressed document";
        QTest::newRow("300 MiB of spaces in 300 KiB")
            << "spaces.sla.gz" << gzipRepeated(smallDocument("").left(200), " ", qint64(300) << 20, "")
            << "larger than 256 MiB uncompressed";
        QTest::newRow("2,100,000 empty elements")
            << "elements.sla.gz"
            << gzipRepeated(smallDocument("").left(smallDocument("").indexOf("</DOCUMENT>")), "<a/>", 2100000,
                            "</DOCUMENT></SCRIBUSUTF8NEW>")
            << "more than 2000000 elements";
    }
    // Given a damaged or unsupported document, when the host opens it, then
    // it is refused with a message naming the file and the place, and the
    // model it would have filled is left as it was.
    void refused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(QString, reason);
        const QString path = mDir.filePath(name);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(data);
        }
        const ProjectFormat& format = formatOf(path);
        QVERIFY(dynamic_cast<const ScribusProjectFormat*>(&format));
        Project project;
        project.mFileType = XT::kFileTemplate;
        QString error;
        QVERIFY(!format.load(path, project, &error));
        QVERIFY2(error.startsWith(path + QLatin1String(": ")), qPrintable(error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY(project ==
                []
                {
                    Project untouched;
                    untouched.mFileType = XT::kFileTemplate;
                    return untouched;
                }());
    }

    void otherSpellingsRead_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray xml = ScribusTest::readBytes(SamplePath());
        const int root = xml.indexOf("<SCRIBUSUTF8NEW");
        QTest::newRow("a byte order mark") << QByteArray("\xEF\xBB\xBF") + xml;
        QTest::newRow("a document type and a comment")
            << xml.left(root) + "<!DOCTYPE SCRIBUSUTF8NEW [ <!ELEMENT x ANY> ]>\n<!-- a note -->\n" + xml.mid(root);
        QTest::newRow("Windows line ends") << QByteArray(xml).replace("\n", "\r\n");
    }
    // Given the sample spelled another way that XML allows, when the host
    // reads it, then it reads the same model, and saves it unedited byte
    // for byte.
    void otherSpellingsRead()
    {
        QFETCH(QByteArray, data);
        const QString path = mDir.filePath(QStringLiteral("spelled.sla"));
        QVERIFY(WriteFile(path, data));
        Project plain, spelled;
        QString error;
        QVERIFY2(formatOf(SamplePath()).load(SamplePath(), plain, &error), qPrintable(error));
        QVERIFY2(formatOf(path).load(path, spelled, &error), qPrintable(error));
        QVERIFY(spelled == plain);
        QVERIFY2(formatOf(path).save(spelled, path, &error), qPrintable(error));
        QCOMPARE(ScribusTest::readBytes(path), data);
    }

    void nothingLost_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<QStringList>("changed"); // the lines of XML content the edit may change
        for (bool compressed : {false, true})
        {
            const char* suffix = compressed ? ", compressed" : "";
            QTest::newRow(qPrintable(QStringLiteral("title%1").arg(QLatin1String(suffix))))
                << "title" << compressed << QStringList{"<DOCUMENT "};
            QTest::newRow(qPrintable(QStringLiteral("last layer renamed%1").arg(QLatin1String(suffix))))
                << "layer" << compressed << QStringList{"<LAYERS ", "</LAYERS"};
            QTest::newRow(qPrintable(QStringLiteral("last paragraph style renamed%1").arg(QLatin1String(suffix))))
                << "style" << compressed << QStringList{"<STYLE ", "</STYLE"};
        }
        QTest::newRow("private-use characters beside a colour edit")
            << "private use" << false << QStringList{"<COLOR NAME=\"Harbour Blue\""};
        QTest::newRow("last layer renamed, format 1.2") << "layer 1.2" << true << QStringList{"<LAYERS ", "</LAYERS"};
    }
    // Given the sample with one thing of its model changed (its title, the
    // name of its last layer or paragraph style, a colour where an attribute
    // holds the private-use characters U+F705 and U+F725), when it is saved,
    // then only the XML that holds that thing changes, a compressed document
    // stays compressed, and the document reads back with the change.
    void nothingLost()
    {
        QFETCH(QString, edit);
        QFETCH(bool, compressed);
        QFETCH(QStringList, changed);
        QString source = SamplePath();
        if (edit == QLatin1String("layer 1.2"))
        {
            // A template of the 1.2 format with a layer.
            source.clear();
            for (const QString& path : ScribusTest::templates())
            {
                const QByteArray head = ScribusTest::readBytes(path).left(4000);
                if (head.contains("<SCRIBUSUTF8 ") && head.contains("<LAYERS "))
                {
                    source = path;
                    break;
                }
            }
            if (source.isEmpty())
                QSKIP("no template of the 1.2 format (scripts/setup installs scribus-template)");
            edit = QStringLiteral("layer");
        }
        QByteArray xml = ScribusTest::readBytes(source);
        if (edit == QLatin1String("private use"))
            xml.replace(" COMMENTS=\"", " COMMENTS=\"\xEF\x9C\x85 and \xEF\x9C\xA5 ");
        const QString path = mDir.filePath(compressed ? QStringLiteral("kept.sla.gz") : QStringLiteral("kept.sla"));
        QVERIFY(WriteFile(path, compressed ? ScribusTest::gzipBytes(xml) : xml));
        Project project;
        QString error;
        QVERIFY2(formatOf(path).load(path, project, &error), qPrintable(error));
        Layout& layout = project.mLayouts[0];
        auto renameLast = [&](int32_t kind)
        {
            std::vector<Asset>& assets = project.mAssets[size_t(kind - 1)];
            if (assets.empty())
                return QString();
            assets.back().mName += QStringLiteral(" (renamed)");
            return assets.back().mName;
        };
        QString renamed;
        const bool renaming = edit == QLatin1String("layer") || edit == QLatin1String("style");
        if (edit == QLatin1String("title"))
            layout.mName = renamed = QStringLiteral("Harbour notice, summer");
        else if (edit == QLatin1String("layer"))
            renamed = renameLast(17);
        else if (edit == QLatin1String("style"))
            renamed = renameLast(1);
        else
        {
            for (Asset& colour : project.mAssets[XT::kColorAssetKind - 1])
                if (colour.mName == QLatin1String("Harbour Blue"))
                    colour.mColor.mValues = {1, 2, 3, 0};
        }
        QVERIFY(!renaming || !renamed.isEmpty());
        const QStringList before = ScribusTest::xmlContent(path);
        QVERIFY2(formatOf(path).save(project, path, &error), qPrintable(error));
        QCOMPARE(ScribusTest::isGzipFile(path), compressed);
        QString readError;
        const QStringList after = ScribusTest::xmlContent(path, &readError);
        QVERIFY2(readError.isEmpty(), qPrintable(readError));
        auto touched = [&](const QString& line)
        { return std::any_of(changed.begin(), changed.end(), [&](const QString& c) { return line.startsWith(c); }); };
        QStringList lost = before, added = after;
        for (const QString& line : before)
            if (added.removeOne(line))
                lost.removeOne(line);
        for (const QString& line : lost + added)
            QVERIFY2(touched(line), qPrintable(line));
        QVERIFY(!added.isEmpty());
        Project reread;
        QVERIFY2(formatOf(path).load(path, reread, &error), qPrintable(error));
        QVERIFY(reread == project);
        if (!renamed.isEmpty())
            QVERIFY(after.join(QLatin1Char('\n')).contains(renamed));
    }

    // Given a document with a shape (an outline of its own, a line colour)
    // and a text frame (runs in another font, a page number, a character
    // style) that the sample lacks, when both are copied into the sample's
    // model and saved, then the sample holds the source's elements (the
    // outline, the line colour, the runs, the page number), with a fresh
    // ItemID each, and the colour and style they name; Scribus shows them so.
    void copiesAreTheSourceObjects()
    {
        const QByteArray source = smallDocument(
            "<COLOR NAME=\"Deep Sea\" SPACE=\"RGB\" R=\"0\" G=\"40\" B=\"80\"/>\n"
            "<CHARSTYLE CNAME=\"Emphasis\" FONT=\"DejaVu Sans Bold\"/>\n"
            "<PAGEOBJECT ItemID=\"7\" PTYPE=\"6\" ANNAME=\"Wave\" XPOS=\"150\" YPOS=\"100\" WIDTH=\"100\" "
            "HEIGHT=\"50\" OwnPage=\"0\" PCOLOR=\"None\" PCOLOR2=\"Deep Sea\" PWIDTH=\"3\" "
            "path=\"M0 50 C25 0 75 0 100 50 Z\" copath=\"M0 50 C25 0 75 0 100 50 Z\"/>\n"
            "<PAGEOBJECT ItemID=\"8\" PTYPE=\"4\" ANNAME=\"Notice\" XPOS=\"150\" YPOS=\"200\" WIDTH=\"200\" "
            "HEIGHT=\"80\" OwnPage=\"0\" NEXTITEM=\"-1\" BACKITEM=\"-1\"><StoryText><DefaultStyle/>"
            "<ITEXT FONT=\"DejaVu Serif Book\" CH=\"Tides on page \"/><var name=\"pgno\"/>"
            "<ITEXT CPARENT=\"Emphasis\" CH=\" today\"/><trail/></StoryText></PAGEOBJECT>");
        const QString sourcePath = mDir.filePath(QStringLiteral("source.sla"));
        const QString path = mDir.filePath(QStringLiteral("copied.sla"));
        QVERIFY(WriteFile(sourcePath, source));
        Project from, project;
        QVERIFY(LoadCopy(path, project));
        QString error;
        QVERIFY2(formatOf(sourcePath).load(sourcePath, from, &error), qPrintable(error));
        Layout& layout = project.mLayouts[0];
        for (const Box& box : from.mLayouts[0].mSpreads[0].mBoxes)
            layout.mSpreads[0].mBoxes.push_back(box);
        Story story = from.mStories.front();
        story.mBoxes = {{layout.mNumber, story.mBoxes.front().mBox}};
        project.mStories.push_back(story);
        QVERIFY2(formatOf(path).save(project, path, &error), qPrintable(error));

        const QString xml = QString::fromUtf8(ScribusTest::readBytes(path));
        QVERIFY(xml.contains(QLatin1String("path=\"M0 50 C25 0 75 0 100 50 Z\"")));
        QVERIFY(xml.contains(QLatin1String("PCOLOR2=\"Deep Sea\"")));
        QVERIFY(xml.contains(QLatin1String("<COLOR NAME=\"Deep Sea\"")));
        QVERIFY(xml.contains(QLatin1String("<CHARSTYLE CNAME=\"Emphasis\"")));
        QVERIFY(xml.contains(QLatin1String("<ITEXT FONT=\"DejaVu Serif Book\" CH=\"Tides on page \"/><var name=\"pgno\"/>")));
        const QRegularExpression itemId(QStringLiteral("ItemID=\"(\\d+)\""));
        QStringList ids;
        for (auto match = itemId.globalMatch(xml); match.hasNext();)
            ids << match.next().captured(1);
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), ids.size());
        Project reread;
        QVERIFY2(formatOf(path).load(path, reread, &error), qPrintable(error));
        QCOMPARE(reread.findStory(story.mNumber)->mText, story.mText);

        if (ScribusTest::scribusProgram().isEmpty())
            QSKIP("scribus is not installed (scripts/setup installs it)");
        const QStringList shown = Shown(path);
        QVERIFY(!shown.isEmpty());
        const QString all = shown.join(QLatin1Char('\n'));
        QVERIFY2(all.contains(QLatin1String("Wave type=6")) && all.contains(QLatin1String("line='Deep Sea' linewidth=3.00")),
                 qPrintable(all));
        QVERIFY2(all.contains(QLatin1String("'DejaVu Serif Book'")) && all.contains(QLatin1String("'DejaVu Sans Bold'")),
                 qPrintable(all));
    }

    // Given the sample with a frame whose transparency is -100 (an opacity
    // of 10100%) and a colour named "black ", when the host reads it, then
    // the opacity is the most a box has, and the host's own format refuses
    // the colour with its reason, as it refuses a copy of it.
    void valuesAnotherFormatRefuses()
    {
        QByteArray xml = ScribusTest::readBytes(SamplePath());
        xml.replace("<COLOR NAME=\"Blue\"", "<COLOR NAME=\"black \"");
        const int frame = xml.indexOf("<PAGEOBJECT ");
        xml.insert(frame + 12, "TransValue=\"-100\" ");
        const QString path = mDir.filePath(QStringLiteral("values.sla"));
        QVERIFY(WriteFile(path, xml));
        Project project;
        QString error;
        QVERIFY2(formatOf(path).load(path, project, &error), qPrintable(error));
        for (const Spread& spread : project.mLayouts[0].mSpreads)
            for (const Box& box : spread.mBoxes)
                QVERIFY(box.mProperties.find(55)->second <= 100 * XT::kFixedOne);
        const Asset* black = project.findAsset(XT::kColorAssetKind, QStringLiteral("black "));
        QVERIFY(black);
        const QString reason = JsonProjectFormat().cannotHold(*black);
        QVERIFY2(reason.contains(QLatin1String("\"black \"")), qPrintable(reason));
        QVERIFY(JsonProjectFormat().cannotHold(project.mAssets[XT::kColorAssetKind - 1].front()).isEmpty() ||
                project.mAssets[XT::kColorAssetKind - 1].front().mName == QLatin1String("black "));
    }

    // Given the sample with character formatting inside its
    // paragraphs, when its model is edited (text inserted inside a bold run
    // and a red run, a shape moved and resized, a colour redefined, a frame
    // removed) and saved, then only the touched elements and attributes
    // change, the new text carries its run's formatting, and Scribus reads
    // the edits.
    void editsTouchOnlyWhatChanged()
    {
        const QString path = mDir.filePath(QStringLiteral("edited-sample.sla"));
        Project project;
        QVERIFY(LoadCopy(path, project));
        const ProjectFormat& format = formatOf(path);
        QString error;
        Layout& layout = project.mLayouts[0];
        auto boxNamed = [&](const QString& name) -> Box*
        {
            for (Spread& spread : layout.mSpreads)
                for (Box& box : spread.mBoxes)
                    if (box.mName == name)
                        return &box;
            return nullptr;
        };
        QVERIFY(boxNamed(QStringLiteral("Body 1")) && boxNamed(QStringLiteral("Buoy")));
        Story* story = nullptr;
        for (Story& candidate : project.mStories)
            if (candidate.mNumber == boxNamed(QStringLiteral("Body 1"))->mNumber)
                story = &candidate;
        QVERIFY(story);
        const int bold = story->mText.indexOf(QLatin1String(" board first"));
        story->insert(bold, {QStringLiteral(" always"), {}, {}});
        const int red = story->mText.indexOf(QLatin1String("winter")) + 6;
        story->insert(red, {QStringLiteral("s"), {}, {}});
        const QString expectedText = story->mText;

        Box& buoy = *boxNamed(QStringLiteral("Buoy"));
        const Box buoyBefore = buoy;
        buoy.mBounds.left += 10 * XT::kFixedOne;
        buoy.mBounds.right += 15 * XT::kFixedOne;
        for (Asset& asset : project.mAssets[XT::kColorAssetKind - 1])
            if (asset.mName == QLatin1String("Sand"))
                asset.mColor = {ColorValue::Rgb, {1, 2, 3, 0}, false};
        for (Spread& spread : layout.mSpreads)
            spread.mBoxes.erase(std::remove_if(spread.mBoxes.begin(), spread.mBoxes.end(),
                                               [](const Box& box)
                                               { return box.mName == QLatin1String("Notice board"); }),
                                spread.mBoxes.end());

        const QStringList before = ScribusTest::xmlContent(path);
        QVERIFY2(format.save(project, path, &error), qPrintable(error));
        const QStringList after = ScribusTest::xmlContent(path);
        QStringList removed = before, added = after;
        for (const QString& line : after)
            removed.removeOne(line);
        for (const QString& line : before)
            added.removeOne(line);
        const QStringList expectedAdded = {
            QStringLiteral("<ITEXT FONT=\"DejaVu Sans Bold\" FONTSIZE=\"11\" CH=\"Passengers with bicycles "
                           "always board first\""),
            QStringLiteral(
                "<ITEXT FONT=\"DejaVu Sans Book\" FONTSIZE=\"11\" FCOLOR=\"Buoy Red\" CH=\"winters\""),
            QStringLiteral("<COLOR NAME=\"Sand\" SPACE=\"RGB\" R=\"1\" G=\"2\" B=\"3\"")};
        for (const QString& line : expectedAdded)
            QVERIFY2(added.removeOne(line),
                     qPrintable(QStringLiteral("missing: %1\nadded: %2").arg(line, added.join('\n'))));
        // What is left is the shape's element: only its position and width.
        QCOMPARE(added.size(), 1);
        const QString oldBuoy = [&]
        {
            for (const QString& line : removed)
                if (line.contains(QLatin1String("ANNAME=\"Buoy\"")))
                    return line;
            return QString();
        }();
        QVERIFY(!oldBuoy.isEmpty());
        QVERIFY(added[0].contains(QLatin1String("ANNAME=\"Buoy\"")));
        auto attributes = [](const QString& line)
        {
            QMap<QString, QString> map;
            QXmlStreamReader reader(line + QLatin1String("/>"));
            reader.readNextStartElement();
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                map.insert(attribute.name().toString(), attribute.value().toString());
            return map;
        };
        QMap<QString, QString> oldAttributes = attributes(oldBuoy), newAttributes = attributes(added[0]);
        QCOMPARE(newAttributes.value("XPOS").toDouble(), oldAttributes.value("XPOS").toDouble() + 10);
        QCOMPARE(newAttributes.value("WIDTH").toDouble(), oldAttributes.value("WIDTH").toDouble() + 5);
        QCOMPARE(newAttributes.value("gXpos"), newAttributes.value("XPOS"));
        // The outline is 5/80 wider: every x scaled, every y kept (the
        // ellipse's path has only pairs of coordinates).
        for (const char* name : {"path", "copath"})
        {
            static const QRegularExpression sNumber(QStringLiteral("-?[0-9.]+"));
            QList<double> oldNumbers, newNumbers;
            for (auto it = sNumber.globalMatch(oldAttributes.value(name)); it.hasNext();)
                oldNumbers << it.next().captured().toDouble();
            for (auto it = sNumber.globalMatch(newAttributes.value(name)); it.hasNext();)
                newNumbers << it.next().captured().toDouble();
            QCOMPARE(newNumbers.size(), oldNumbers.size());
            QVERIFY(oldNumbers.size() >= 10);
            for (int i = 0; i < oldNumbers.size(); ++i)
                QVERIFY2(qAbs(newNumbers[i] - oldNumbers[i] * (i % 2 ? 1.0 : 85.0 / 80.0)) < 1e-4,
                         qPrintable(newAttributes.value(name)));
        }
        for (const char* name : {"XPOS", "WIDTH", "gXpos", "path", "copath"})
            oldAttributes.remove(name), newAttributes.remove(name);
        QCOMPARE(newAttributes, oldAttributes);
        QCOMPARE(QStringList(newAttributes.keys()), QStringList(oldAttributes.keys()));
        // Removed: the four old lines and the removed frame's element.
        QVERIFY(std::any_of(removed.begin(), removed.end(),
                            [](const QString& line)
                            { return line.contains(QLatin1String("ANNAME=\"Notice board\"")); }));
        QVERIFY(std::none_of(after.begin(), after.end(),
                             [](const QString& line)
                             { return line.contains(QLatin1String("ANNAME=\"Notice board\"")); }));

        Project reread;
        QVERIFY2(format.load(path, reread, &error), qPrintable(error));
        QCOMPARE(reread.findStory(story->mNumber)->mText, expectedText);

        if (ScribusTest::scribusProgram().isEmpty())
            QSKIP("scribus is not installed (scripts/setup installs it)");
        const QStringList shown = Shown(path);
        QVERIFY(!shown.isEmpty());
        const QString all = shown.join('\n');
        QVERIFY2(all.contains(QLatin1String("Passengers with bicycles always board first")), qPrintable(all));
        QVERIFY(all.contains(QLatin1String("In winters it closes")));
        QVERIFY(!all.contains(QLatin1String("Notice board")));
        QVERIFY2(all.contains(QLatin1String("colour Sand (1, 2, 3)")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("  Buoy type=6 pos=%1,")
                                  .arg(fromFixedText(buoyBefore.mBounds.left + 10 * XT::kFixedOne))),
                 qPrintable(all));
    }

    // Given the sample document with boxes added to its model that no element
    // of it describes (two text frames on different spreads sharing a new
    // story, a picture frame, a shape, and the text frame "Tide table"
    // replaced by a shape of that name), when it is saved, then the saved
    // document reads back with those boxes, their values, the story's text
    // and chain, everything it had before is still there, and Scribus shows
    // the new objects on their pages.
    void newBoxesWritten()
    {
        const QString path = mDir.filePath(QStringLiteral("new-boxes.sla"));
        Project project;
        QVERIFY(LoadCopy(path, project));
        const ProjectFormat& format = formatOf(path);
        QString error;
        Layout& layout = project.mLayouts[0];
        QCOMPARE(int(layout.mSpreads.size()), 2);
        auto fixed = [](double points) { return Fixed(std::lround(points * XT::kFixedOne)); };
        auto make =
            [&](const QString& name, int16_t kind, double left, double top, double width, double height)
        {
            Box box;
            box.mNumber = ScribusProjectFormat::numberForName(name);
            box.mName = name;
            box.mKind = kind;
            applyDefaultProperties(box);
            box.mBounds = {fixed(left), fixed(top), fixed(left + width), fixed(top + height)};
            return box;
        };
        // Positions count from the corner of their spread's left page; the
        // second spread's right page lies 595 pt right of it.
        Box first = make(QStringLiteral("Notice A"), XT::kContentText, 40, 600, 200, 100.5);
        first.mInsets = {fixed(3), fixed(4), fixed(5), fixed(6)};
        first.mProperties[59] = 2;
        first.mProperties[60] = fixed(12);
        Box second = make(QStringLiteral("Notice B"), XT::kContentText, 595 + 60, 400, 300, 80);
        second.mColor = QStringLiteral("Sand");
        Box picture = make(QStringLiteral("Chart"), XT::kContentPicture, 300, 600, 120, 90);
        picture.mPicturePath = QStringLiteral("chart.png");
        picture.mProperties[51] = fixed(15);
        Box shape = make(QStringLiteral("Marker"), XT::kContentNone, 400, 700, 50, 25.25);
        shape.mColor = QStringLiteral("Buoy Red");
        shape.mProperties[55] = fixed(40);
        shape.mProperties[56] = fixed(80);
        shape.mProperties[81] = 1;
        layout.mSpreads[0].mBoxes.push_back(first);
        layout.mSpreads[0].mBoxes.push_back(picture);
        layout.mSpreads[0].mBoxes.push_back(shape);
        layout.mSpreads[1].mBoxes.push_back(second);
        Story story;
        story.mNumber = first.mNumber;
        story.appendVisible(
            QStringLiteral("Boats moor at the east quay.\rTickets\tat the kiosk & office <3>"));
        story.mBoxes = {{layout.mNumber, first.mNumber}, {layout.mNumber, second.mNumber}};
        project.mStories.push_back(story);
        // A box whose kind changed: the text frame gives way to a shape.
        Box* tide = nullptr;
        for (Box& box : layout.mSpreads[1].mBoxes)
            if (box.mName == QLatin1String("Tide table"))
                tide = &box;
        QVERIFY(tide);
        tide->mKind = XT::kContentNone;
        tide->mColor = QStringLiteral("Harbour Blue");
        tide->mProperties.clear();
        tide->mInsets = {0, 0, 0, 0};
        applyDefaultProperties(*tide);
        const Box tideNow = *tide;
        project.mStories.erase(std::remove_if(project.mStories.begin(), project.mStories.end(),
                                              [&](const Story& s) { return s.mNumber == tideNow.mNumber; }),
                               project.mStories.end());

        const QStringList before = ScribusTest::xmlContent(path);
        QVERIFY2(format.save(project, path, &error), qPrintable(error));
        const QStringList after = ScribusTest::xmlContent(path);
        // Everything but the replaced frame's element (with its text) is
        // still there.
        QStringList kept = after;
        bool inReplaced = false;
        int depth = 0, replacedLines = 0;
        for (const QString& line : before)
        {
            if (!inReplaced && line.startsWith(QLatin1String("<PAGEOBJECT")) &&
                line.contains(QLatin1String("ANNAME=\"Tide table\"")))
                inReplaced = true;
            if (inReplaced)
            {
                ++replacedLines;
                depth += line.startsWith(QLatin1String("</")) ? -1 : line.startsWith('<') ? 1 : 0;
                inReplaced = depth > 0;
                continue;
            }
            QVERIFY2(kept.removeOne(line), qPrintable(line));
        }
        QVERIFY(replacedLines > 3);
        QVERIFY(!after.join('\n').contains(QLatin1String("ANNAME=\"Tide table\" LOCALSCX")));
        Project reread;
        QVERIFY2(format.load(path, reread, &error), qPrintable(error));
        const Layout& read = reread.mLayouts[0];
        auto spreadOf = [&](const QString& name)
        {
            for (size_t s = 0; s < read.mSpreads.size(); ++s)
                for (const Box& box : read.mSpreads[s].mBoxes)
                    if (box.mName == name)
                        return int(s);
            return -1;
        };
        for (const Box& box : {first, second, picture, shape, tideNow})
        {
            const Box* found = read.findBox(box.mNumber);
            QVERIFY2(found, qPrintable(box.mName));
            QCOMPARE(found->mName, box.mName);
            QCOMPARE(found->mKind, box.mKind);
            QCOMPARE(found->mBounds.left, box.mBounds.left);
            QCOMPARE(found->mBounds.top, box.mBounds.top);
            QCOMPARE(found->mBounds.right, box.mBounds.right);
            QCOMPARE(found->mBounds.bottom, box.mBounds.bottom);
            QCOMPARE(found->mColor, box.mColor);
            QCOMPARE(found->mProperties, box.mProperties);
            QCOMPARE(found->mInsets, box.mInsets);
            QCOMPARE(found->mPicturePath, box.mPicturePath);
        }
        QCOMPARE(spreadOf(first.mName), 0);
        QCOMPARE(spreadOf(second.mName), 1);
        QCOMPARE(spreadOf(tideNow.mName), 1);
        const Story* readStory = reread.findStory(first.mNumber);
        QVERIFY(readStory);
        QCOMPARE(readStory->mText, story.mText);
        QCOMPARE(int(readStory->mBoxes.size()), 2);
        QCOMPARE(readStory->mBoxes[1].mBox, second.mNumber);
        QVERIFY(!reread.findStory(tideNow.mNumber));
        // What was there before is as it was.
        for (const Story& old : project.mStories)
            if (old.mNumber != story.mNumber)
                QCOMPARE(reread.findStory(old.mNumber)->mText, old.mText);
        // Saved again unedited, the document stays as it is.
        const QString again = mDir.filePath(QStringLiteral("new-boxes-again.sla"));
        QVERIFY2(format.save(reread, again, &error), qPrintable(error));
        QCOMPARE(ScribusTest::xmlContent(again), after);

        if (ScribusTest::scribusProgram().isEmpty())
            QSKIP("scribus is not installed (scripts/setup installs it)");
        const QStringList shown = Shown(path);
        QVERIFY(!shown.isEmpty());
        // Each object on its page, at its place on that page: the first
        // page's corner lies at (695, 20), the third page's at (695, 902).
        QString page;
        QMap<QString, QString> seen;
        for (const QString& line : shown)
        {
            if (line.startsWith(QLatin1String("page ")))
                page = line.section(QLatin1Char(' '), 1, 1);
            else if (line.startsWith(QLatin1String("  ")))
                seen[line.mid(2).section(QLatin1String(" type="), 0, 0)] = page + QLatin1Char(' ') + line;
        }
        QStringList newObjects;
        for (const char* name : {"Notice A", "Notice B", "Chart", "Marker", "Tide table"})
            newObjects << seen.value(QLatin1String(name));
        const QString all = newObjects.join(QLatin1Char('\n'));
        const QStringList expected = {
            "1   Notice A type=4 pos=40.00,600.00 size=200.00,100.50",
            "3   Notice B type=4 pos=60.00,400.00 size=300.00,80.00 rot=-0.00 fill=Sand",
            "1   Chart type=2 pos=300.00,600.00 size=120.00,90.00 rot=-15.00 ",
            "1   Marker type=6 pos=400.00,700.00 size=50.00,25.25 rot=-0.00 fill=Buoy Red",
            "3   Tide table type=6 pos=40.00,60.00 size=515.00,120.00 rot=-0.00 fill=Harbour Blue"};
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(newObjects[i].startsWith(expected[i]), qPrintable(all));
        QVERIFY2(shown.join('\n').contains(QLatin1String("Boats moor at the east quay.")), qPrintable(all));
    }

    void spreadsAtTheEnd_data()
    {
        QTest::addColumn<bool>("add");
        QTest::newRow("spread added") << true;
        QTest::newRow("spread removed") << false;
    }
    // Given the sample document (a right-hand first page, then a spread of
    // two) with a spread added at the end holding a new frame, or its last
    // spread removed with its boxes, when it is saved, then it reads back
    // with those spreads, and Scribus shows the pages and the new frame on
    // its page.
    void spreadsAtTheEnd()
    {
        QFETCH(bool, add);
        const QString path = mDir.filePath(QStringLiteral("spreads.sla"));
        Project project;
        QVERIFY(LoadCopy(path, project));
        const ProjectFormat& format = formatOf(path);
        QString error;
        Layout& layout = project.mLayouts[0];
        QCOMPARE(layout.pageCount(), 3);
        const QString late = QStringLiteral("Late notice");
        if (add)
        {
            Spread spread = layout.mSpreads[1];
            spread.mPages = QStringList{QStringLiteral("4"), QStringLiteral("5")};
            spread.mBoxes.clear();
            Box box;
            box.mNumber = ScribusProjectFormat::numberForName(late);
            box.mName = late;
            box.mKind = XT::kContentText;
            applyDefaultProperties(box);
            // On the right page of the new spread, 595 pt right of its
            // left page's corner.
            box.mBounds = {(595 + 40) * XT::kFixedOne, 100 * XT::kFixedOne, (595 + 240) * XT::kFixedOne,
                           150 * XT::kFixedOne};
            spread.mBoxes.push_back(box);
            layout.mSpreads.push_back(spread);
            Story story;
            story.mNumber = box.mNumber;
            story.appendVisible(QStringLiteral("The last ferry leaves at nine."));
            story.mBoxes = {{layout.mNumber, box.mNumber}};
            project.mStories.push_back(story);
        }
        else
        {
            std::set<int32_t> gone;
            for (const Box& box : layout.mSpreads.back().mBoxes)
                gone.insert(box.mNumber);
            layout.mSpreads.pop_back();
            // Stories lose those frames; a story left without one goes.
            for (Story& story : project.mStories)
                story.mBoxes.erase(std::remove_if(story.mBoxes.begin(), story.mBoxes.end(),
                                                  [&](const BoxLink& link)
                                                  { return gone.count(link.mBox) > 0; }),
                                   story.mBoxes.end());
            project.mStories.erase(std::remove_if(project.mStories.begin(), project.mStories.end(),
                                                  [](const Story& story) { return story.mBoxes.empty(); }),
                                   project.mStories.end());
        }
        QVERIFY2(format.save(project, path, &error), qPrintable(error));
        Project reread;
        QVERIFY2(format.load(path, reread, &error), qPrintable(error));
        QCOMPARE(reread.mLayouts[0].pageCount(), add ? 5 : 1);
        QCOMPARE(int(reread.mLayouts[0].mSpreads.size()), add ? 3 : 1);
        if (add)
        {
            const Box* box = reread.mLayouts[0].findBox(ScribusProjectFormat::numberForName(late));
            QVERIFY(box);
            QCOMPARE(reread.mLayouts[0].mSpreads[2].mBoxes.size(), size_t(1));
            QCOMPARE(box->mBounds.top, 100 * XT::kFixedOne);
        }

        if (ScribusTest::scribusProgram().isEmpty())
            QSKIP("scribus is not installed (scripts/setup installs it)");
        const QStringList shown = Shown(path);
        QVERIFY(!shown.isEmpty());
        const QString all = shown.join(QLatin1Char('\n'));
        QVERIFY2(shown.contains(add ? QStringLiteral("pages 5") : QStringLiteral("pages 1")),
                 qPrintable(all));
        if (add)
        {
            const int at = shown.indexOf(QStringLiteral("page 5 items 1"));
            QVERIFY2(at >= 0, qPrintable(all));
            QVERIFY2(shown.value(at + 1).startsWith(QLatin1String("  Late notice type=4 pos=40.00,100.00 "
                                                                  "size=200.00,50.00")),
                     qPrintable(all));
            QVERIFY2(all.contains(QLatin1String("The last ferry leaves at nine.")), qPrintable(all));
        }
        else
        {
            QVERIFY2(shown.contains(QStringLiteral("page 1 items 5")), qPrintable(all));
            // The story that ran on into the removed spread is whole in its
            // first frame.
            QVERIFY2(all.contains(QLatin1String("The fish market opens at five.")), qPrintable(all));
        }
    }

    void refusedSave_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QStringList>("reasons");
        QTest::newRow("second layout") << "second layout" << QStringList{"one layout", "\"Web edition\""};
        QTest::newRow("master page added") << "master page" << QStringList{"master pages"};
        QTest::newRow("group added") << "group" << QStringList{"group", "\"Bundle\""};
        QTest::newRow("story in no frame") << "frameless story" << QStringList{"no text frame", "\"High water"};
        QTest::newRow("spread inserted before the others")
            << "spread first" << QStringList{"4 pages in 3 spreads", "at the end"};
    }
    // Given the sample document with an edit that a Scribus document cannot
    // hold, when it is saved, then the save is refused with a message naming
    // the file and what cannot be written, and the file keeps its bytes.
    void refusedSave()
    {
        QFETCH(QString, edit);
        QFETCH(QStringList, reasons);
        const QString path = mDir.filePath(QStringLiteral("refused-save.sla"));
        Project project;
        QVERIFY(LoadCopy(path, project));
        const QByteArray bytes = ScribusTest::readBytes(path);
        const ProjectFormat& format = formatOf(path);
        QString error;
        if (edit == QLatin1String("second layout"))
        {
            Layout web = project.mLayouts[0];
            web.mNumber = 2;
            web.mName = QStringLiteral("Web edition");
            web.mType = XT::kLayoutWeb;
            project.mLayouts.push_back(web);
        }
        else if (edit == QLatin1String("master page"))
        {
            project.mLayouts[0].mMasterPages << QStringLiteral("Extra");
            project.mLayouts[0].mMasterSpreads += 1;
        }
        else if (edit == QLatin1String("group"))
        {
            Box group;
            group.mNumber = ScribusProjectFormat::numberForName(QStringLiteral("Bundle"));
            group.mName = QStringLiteral("Bundle");
            group.mKind = XT::kContentGroup;
            group.mBounds = {0, 0, 10 * XT::kFixedOne, 10 * XT::kFixedOne};
            project.mLayouts[0].mSpreads[0].mBoxes.push_back(group);
        }
        else if (edit == QLatin1String("spread first"))
        {
            Spread spread = project.mLayouts[0].mSpreads[0];
            spread.mBoxes.clear();
            project.mLayouts[0].mSpreads.insert(project.mLayouts[0].mSpreads.begin(), spread);
        }
        else if (edit == QLatin1String("frameless story"))
        {
            // The frame goes, its story stays.
            for (Spread& spread : project.mLayouts[0].mSpreads)
                spread.mBoxes.erase(std::remove_if(spread.mBoxes.begin(), spread.mBoxes.end(),
                                                   [](const Box& box)
                                                   { return box.mName == QLatin1String("Tide table"); }),
                                    spread.mBoxes.end());
        }
        QVERIFY(!format.save(project, path, &error));
        QVERIFY2(error.startsWith(path + QLatin1String(": ")), qPrintable(error));
        for (const QString& reason : reasons)
            QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(ScribusTest::readBytes(path), bytes);
        QCOMPARE(QDir(mDir.path()).entryList({QStringLiteral("refused-save*")}, QDir::Files),
                 QStringList{QStringLiteral("refused-save.sla")});
    }

    // Given a model that no Scribus document was read into (the JSON sample),
    // when it is saved in the Scribus format, then it reads back with the same
    // pages, boxes, visible story text and colours of its first layout.
    void newDocumentFromModel()
    {
        const QString source = QString::fromLocal8Bit(qgetenv("CORVANE_SOURCE_DIR")) +
                               QStringLiteral("/Samples/harbour-gazette-v1.xprj");
        Project project;
        QString error;
        QVERIFY2(formatOf(source).load(source, project, &error), qPrintable(error));
        const QString path = mDir.filePath(QStringLiteral("from-model.sla"));
        QVERIFY2(ScribusProjectFormat().save(project, path, &error), qPrintable(error));
        Project reread;
        QVERIFY2(formatOf(path).load(path, reread, &error), qPrintable(error));
        QCOMPARE(reread.mLayouts[0].pageCount(), project.mLayouts[0].pageCount());
        QStringList names, rereadNames;
        for (const Spread& spread : project.mLayouts[0].mSpreads)
            for (const Box& box : spread.mBoxes)
                names << box.mName + QLatin1Char('/') + QString::number(box.mKind);
        for (const Spread& spread : reread.mLayouts[0].mSpreads)
            for (const Box& box : spread.mBoxes)
                rereadNames << box.mName + QLatin1Char('/') + QString::number(box.mKind);
        names.sort();
        rereadNames.sort();
        QCOMPARE(rereadNames, names);
        QStringList texts, rereadTexts;
        for (const Story& story : project.mStories)
            if (!story.mBoxes.empty() && story.mBoxes.front().mLayout == project.mLayouts[0].mNumber)
            {
                // A Scribus document holds one layout, and hidden text has no
                // element to be written as: the visible text of the first
                // layout's stories.
                QString visible = story.mText;
                for (auto run = story.mRuns.rbegin(); run != story.mRuns.rend(); ++run)
                    visible.remove(run->mOffset, run->end() - run->mOffset);
                texts << visible;
            }
        // Text boxes without a story read back with an empty one.
        for (const Story& story : reread.mStories)
            if (!story.mText.isEmpty())
                rereadTexts << story.mText;
        texts.sort();
        rereadTexts.sort();
        QCOMPARE(rereadTexts, texts);
        QCOMPARE(reread.mAssets[XT::kColorAssetKind - 1], project.mAssets[XT::kColorAssetKind - 1]);
    }

private:
    static QString SamplePath()
    {
        return QString::fromLocal8Bit(qgetenv("CORVANE_SOURCE_DIR")) +
               QStringLiteral("/Samples/scribus/harbour-notice-v1.sla");
    }
    // Copies the sample to `path` and reads the copy into `project`.
    static bool LoadCopy(const QString& path, Project& project)
    {
        QFile::remove(path);
        QString error = QStringLiteral("cannot copy the sample");
        if (QFile::copy(SamplePath(), path) && formatOf(path).load(path, project, &error))
            return true;
        qWarning("%s: %s", qPrintable(path), qPrintable(error));
        return false;
    }
    // What Scribus shows of the document at `path` (print-documents.py);
    // empty, with Scribus's output as a warning, when it shows nothing.
    QStringList Shown(const QString& path)
    {
        QString log;
        const QStringList shown = ScribusTest::printDocuments({path}, mDir.filePath(QStringLiteral("printed.txt")), &log)
                                      .value(QFileInfo(path).fileName());
        if (shown.isEmpty())
            qWarning("%s", qPrintable(log));
        return shown;
    }
    static QString fromFixedText(Fixed value)
    {
        return QString::number(double(value) / XT::kFixedOne, 'f', 2);
    }

    QTemporaryDir mDir;
};

QTEST_MAIN(TestScribusFormat)
#include "tst_scribusformat.moc"
