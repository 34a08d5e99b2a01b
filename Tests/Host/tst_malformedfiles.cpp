// Damaged and mutated project files: every truncation of both samples, a
// seeded set of byte flips, and structural mutations of every value of a
// small project that has every kind of item (wrong types, missing and
// repeated keys, edge numbers, unprintable and unpaired characters, invalid
// UTF-8) plus a table of whole-
// file cases (deep nesting, huge strings, references to missing items). Each
// file is either refused with a message that names the file and the place, or
// it loads, saves, and loads again as the same model and the same bytes.

#include "HostTestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <functional>

namespace
{

const QString sName = QStringLiteral("mutant.xprj");

QByteArray sample(const char* name)
{
    QFile file(qEnvironmentVariable("CORVANE_SOURCE_DIR") + QStringLiteral("/Samples/") +
               QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the sample %s", name);
    return file.readAll();
}

struct Counts
{
    int mRefused = 0;
    int mLoaded = 0;
};

// Empty when the file is handled as it must be; otherwise what went wrong.
QString check(const QByteArray& data, Counts& counts)
{
    const XTHost::JsonProjectFormat format;
    XTHost::Project project;
    QString error;
    if (!format.parse(data, sName, project, &error))
    {
        ++counts.mRefused;
        // After the file: a byte offset, a path into the document, or what is
        // wrong with the document as a whole.
        static const QRegularExpression sPlace(
            QStringLiteral("^mutant\\.xprj: (byte offset \\d+ \\(line \\d+, column \\d+\\): .+|"
                           "[A-Za-z]+(\\[\\d+\\]|\\.[A-Za-z]+)*: .+|"
                           "(the key|unknown key|a project file is a JSON object).*)$"));
        if (!sPlace.match(error).hasMatch())
            return QStringLiteral("the refusal names no place: ") + error;
        for (const QChar c : error)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                return QStringLiteral("the refusal holds a control character: ") + error.toHtmlEscaped();
        return QString();
    }
    ++counts.mLoaded;
    const QByteArray saved = format.serialize(project);
    XTHost::Project reloaded;
    if (!format.parse(saved, sName, reloaded, &error))
        return QStringLiteral("loaded, but the saved file is refused: ") + error;
    if (!(reloaded == project))
        return QStringLiteral("loaded, but the saved file loads as another model");
    if (format.serialize(reloaded) != saved)
        return QStringLiteral("loaded, but saving again gives other bytes");
    return QString();
}

// Replaces the value at `path` (keys and indexes) in `value` by the result of
// `change`; a null result removes it from its object or array.
using Change = std::function<QJsonValue(const QJsonValue&)>;

QJsonValue replaced(const QJsonValue& value, const QVariantList& path, int depth, const Change& change)
{
    if (depth == path.size())
        return change(value);
    const QVariant step = path[depth];
    if (value.isObject())
    {
        QJsonObject object = value.toObject();
        const QString key = step.toString();
        const QJsonValue inner = replaced(object.value(key), path, depth + 1, change);
        if (inner.isUndefined())
            object.remove(key);
        else
            object.insert(key, inner);
        return object;
    }
    QJsonArray array = value.toArray();
    const int index = step.toInt();
    const QJsonValue inner = replaced(array.at(index), path, depth + 1, change);
    if (inner.isUndefined())
        array.removeAt(index);
    else
        array.replace(index, inner);
    return array;
}

void collectPaths(const QJsonValue& value, QVariantList path, QList<QVariantList>& paths)
{
    if (!path.isEmpty())
        paths << path;
    if (value.isObject())
    {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            collectPaths(it.value(), path + QVariantList{it.key()}, paths);
    }
    else if (value.isArray())
    {
        const QJsonArray array = value.toArray();
        for (int i = 0; i < array.size(); ++i)
            collectPaths(array.at(i), path + QVariantList{i}, paths);
    }
}

// A marker string that stands for raw text to splice into the document.
const QString sSplice = QStringLiteral("@@splice@@");

QByteArray withSplice(const QJsonObject& root, const QVariantList& path, const QByteArray& raw)
{
    const QJsonValue changed = replaced(root, path, 0, [](const QJsonValue&) { return QJsonValue(sSplice); });
    QByteArray text = QJsonDocument(changed.toObject()).toJson(QJsonDocument::Compact);
    return text.replace("\"" + sSplice.toUtf8() + "\"", raw);
}

QByteArray compact(const QJsonValue& value)
{
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    // A scalar: written as the only element of an array, without the brackets.
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

} // namespace

class tst_MalformedFiles : public QObject
{
    Q_OBJECT

private slots:
    void truncations_data();
    void truncations();
    void byteFlips();
    void structuralMutations();
    void wholeFileCases_data();
    void wholeFileCases();
};

void tst_MalformedFiles::truncations_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << QStringLiteral("harbour-gazette-v1.xprj");
    QTest::newRow("second") << QStringLiteral("harbour-gazette-v2.xprj");
}

void tst_MalformedFiles::truncations()
{
    QFETCH(QString, name);
    Counts counts;
    const QByteArray data = sample(qPrintable(name));
    for (int size = 0; size < data.size(); ++size)
    {
        const QString failure = check(data.left(size), counts);
        QVERIFY2(failure.isEmpty(),
                 qPrintable(QStringLiteral("%1 cut to %2 bytes: %3").arg(name).arg(size).arg(failure)));
    }
    qInfo("%d truncations: %d refused, %d loaded", counts.mRefused + counts.mLoaded, counts.mRefused,
          counts.mLoaded);
}

void tst_MalformedFiles::byteFlips()
{
    Counts counts;
    QRandomGenerator random(20261207);
    for (const char* name : {"harbour-gazette-v1.xprj", "harbour-gazette-v2.xprj"})
    {
        const QByteArray data = sample(name);
        for (int i = 0; i < 2000; ++i)
        {
            QByteArray mutant = data;
            const int at = int(random.bounded(data.size()));
            // Half flip one bit, half put any byte in its place.
            if (i % 2)
                mutant[at] = char(mutant[at] ^ (1 << random.bounded(8)));
            else
                mutant[at] = char(random.bounded(256));
            const QString failure = check(mutant, counts);
            QVERIFY2(failure.isEmpty(), qPrintable(QStringLiteral("%1, byte %2 made %3: %4")
                                                       .arg(name)
                                                       .arg(at)
                                                       .arg(uchar(mutant[at]))
                                                       .arg(failure)));
        }
    }
    qInfo("%d byte flips: %d refused, %d loaded", counts.mRefused + counts.mLoaded, counts.mRefused,
          counts.mLoaded);
}

void tst_MalformedFiles::structuralMutations()
{
    const QJsonObject root =
        QJsonDocument::fromJson(XTHost::JsonProjectFormat().serialize(smallProject())).object();
    QVERIFY(!root.isEmpty());
    QList<QVariantList> paths;
    collectPaths(root, {}, paths);

    // What every value is replaced with: each of the other types, and
    // nothing (a missing key or array element).
    const QList<QJsonValue> others = {QJsonValue(QJsonValue::Undefined),
                                      QJsonValue(QJsonValue::Null),
                                      QJsonValue(true),
                                      QJsonValue(0),
                                      QJsonValue(QStringLiteral("x")),
                                      QJsonArray(),
                                      QJsonObject()};
    const QList<double> edgeNumbers = {-1, 0.5, -32768.00001, 32768, 2147483648.0, -2147483649.0, 1e308};
    const QList<QByteArray> badStrings = {"\"\\u0000\"",  "\"a\\u001fb\"", "\"\\ud800\"",
                                          "\"\\udc00x\"", "\"\xff\xfe\"",  "\"\xed\xa0\x80\"",
                                          "\"  \"",       "\"\\ufffc\"",   "\"\xc0\xaf\""};
    Counts counts;
    auto run = [&](const QByteArray& mutant, const QVariantList& path, const char* what)
    {
        const QString failure = check(mutant, counts);
        if (!failure.isEmpty())
        {
            QStringList steps;
            for (const QVariant& step : path)
                steps << step.toString();
            QFAIL(qPrintable(
                QStringLiteral("%1 at %2: %3").arg(QLatin1String(what), steps.join('/'), failure)));
        }
    };
    for (const QVariantList& path : paths)
    {
        QJsonValue original;
        replaced(root, path, 0,
                 [&original](const QJsonValue& v)
                 {
                     original = v;
                     return v;
                 });
        for (const QJsonValue& other : others)
        {
            if (other.type() == original.type() && !other.isObject() && !other.isArray())
                continue;
            const QJsonValue changed = replaced(root, path, 0, [&other](const QJsonValue&) { return other; });
            run(QJsonDocument(changed.toObject()).toJson(), path, "another type");
            if (QTest::currentTestFailed())
                return;
        }
        if (original.isDouble())
            for (double number : edgeNumbers)
            {
                run(withSplice(root, path, QByteArray::number(number, 'g', 17)), path, "an edge number");
                if (QTest::currentTestFailed())
                    return;
            }
        if (original.isString())
            for (const QByteArray& bad : badStrings)
            {
                run(withSplice(root, path, bad), path, "a bad string");
                if (QTest::currentTestFailed())
                    return;
            }
        // A repeated key: the object holds the key a second time, first with
        // its own value and then with another.
        if (path.last().type() == QVariant::String)
        {
            const QVariantList parent = path.mid(0, path.size() - 1);
            const QByteArray key = compact(path.last().toString());
            for (const QByteArray& value : {compact(original), QByteArray("null")})
            {
                QJsonValue object;
                replaced(root, parent, 0,
                         [&object](const QJsonValue& v)
                         {
                             object = v;
                             return v;
                         });
                QByteArray text = compact(object);
                text.insert(1, key + ':' + value + ',');
                run(parent.isEmpty() ? text : withSplice(root, parent, text), path, "a repeated key");
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }
    qInfo("%d structural mutations of %d values: %d refused, %d loaded", counts.mRefused + counts.mLoaded,
          int(paths.size()), counts.mRefused, counts.mLoaded);
}

void tst_MalformedFiles::wholeFileCases_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // empty: the file loads

    const QByteArray head = "{\"format\": \"corvane-project\", \"version\": 1, \"fileType\": \"XPRJ\", ";
    const QByteArray layout =
        "{\"number\": 1, \"type\": \"XDOC\", \"spreads\": [{\"boxes\": [{\"number\": 1, "
        "\"kind\": \"text\", \"bounds\": {\"left\": 0, \"top\": 0, \"right\": 10, "
        "\"bottom\": 10}}]}]}";
    QTest::newRow("nested arrays 1000 deep")
        << head + "\"layouts\": " + QByteArray(1000, '[') + QByteArray(1000, ']') + "}"
        << "layouts[0]: expected an object, found an array";
    QTest::newRow("nested arrays 100000 deep")
        << head + "\"layouts\": " + QByteArray(100000, '[') << "byte offset";
    QTest::newRow("nested objects 5000 deep")
        << head + "\"layouts\": [], \"deep\": " + QByteArray("{\"a\": ").repeated(5000) + "1" +
               QByteArray(5000, '}') + "}"
        << "byte offset";
    QTest::newRow("a 10 MB story") << head + "\"layouts\": [], \"stories\": [{\"number\": 1, \"text\": \"" +
                                          QByteArray(10 << 20, 'a') + "\"}]}"
                                   << QString();
    QTest::newRow("a 1 MB key") << head + "\"layouts\": [], \"" + QByteArray(1 << 20, 'k') + "\": 1}"
                                << "unknown key \"kkkkkkkk";
    QTest::newRow("a 1 MB layout type") << head + "\"layouts\": [{\"number\": 1, \"type\": \"" +
                                               QByteArray(1 << 20, 'X') + "\", \"spreads\": []}]}"
                                        << "layouts[0].type: \"XXXX";
    QTest::newRow("a story in a missing layout")
        << head + "\"layouts\": [" + layout +
               "], \"stories\": [{\"number\": 1, \"boxes\": [{\"layout\": 2, "
               "\"box\": 1}], \"text\": \"\"}]}"
        << "stories[0].boxes[0]: layout 2 has no box 1";
    QTest::newRow("a box colour the project lacks")
        << head + "\"layouts\": [" +
               QByteArray(layout).replace("\"kind\"", "\"colour\": \"Teal\", \"kind\"") + "]}"
        << "layouts[0].spreads[0].boxes[0].colour: the project has no colour \"Teal\"";
    QTest::newRow("a built-in colour by name")
        << head + "\"layouts\": [" +
               QByteArray(layout).replace("\"kind\"", "\"colour\": \"Cyan\", \"kind\"") + "]}"
        << QString();
    QTest::newRow("invalid UTF-8 in a key") << head + "\"layouts\": [], \"\xff\": 1}"
                                            << "byte offset";
    QTest::newRow("invalid UTF-8 in a value")
        << head + "\"layouts\": [{\"number\": 1, \"type\": \"XD\xc3\", \"spreads\": []}]}"
        << "byte offset";
    QTest::newRow("story text holds any control character")
        << head + "\"layouts\": [], \"stories\": [{\"number\": 1, \"text\": \"a\\tb\\nc\\r\\u0000\\u001f\"}]}"
        << QString();
    QTest::newRow("a description holds tabs, line breaks and paragraph ends")
        << head + "\"layouts\": [], \"assets\": {\"layers\": [{\"name\": \"L\", \"description\": "
                  "\"a\\tb\\nc\\r\"}]}}"
        << QString();
    QTest::newRow("a description with another control character")
        << head + "\"layouts\": [], \"assets\": {\"layers\": [{\"name\": \"L\", \"description\": "
                  "\"a\\u0001\"}]}}"
        << "assets.layers[0].description: text cannot hold the control character U+0001";
    QTest::newRow("a layout type padded with spaces")
        << head + "\"layouts\": [" + QByteArray(layout).replace("XDOC", "ps  ") + "]}" << QString();
    QTest::newRow("a box exactly as wide as a measure")
        << head + "\"layouts\": [" + QByteArray(layout).replace("\"right\": 10", "\"right\": 32767.99998") +
               "]}"
        << QString();
    // A story's formatting: runs of character attributes from their
    // offsets, then the paragraphs' attributes in order.
    const QByteArray story = head + "\"layouts\": [], \"stories\": [{\"number\": 1, \"text\": \"ab\\rcd\", "
                                    "\"formatting\": ";
    const struct
    {
        const char* name;
        const char* formatting;
        const char* message;
    } formatting[] = {
        {"formatting", "{\"characters\": [{\"at\": 0, \"font\": \"Serif\", \"size\": 10.5}, {\"at\": 3, "
                       "\"bold\": true}], \"paragraphs\": [{\"align\": \"centre\"}, {\"paragraphStyle\": \"Body\"}]}",
         ""},
        {"runs out of order", "{\"characters\": [{\"at\": 2, \"size\": 9}, {\"at\": 1, \"size\": 8}]}",
         "stories[0].formatting.characters[1].at: runs must start at ascending offsets"},
        {"a run past the text", "{\"characters\": [{\"at\": 5, \"size\": 9}]}",
         "stories[0].formatting.characters[0].at"},
        {"a paragraph attribute on characters", "{\"characters\": [{\"at\": 0, \"align\": \"left\"}]}",
         "stories[0].formatting.characters[0]: unknown key \"align\""},
        {"an unknown attribute", "{\"paragraphs\": [{\"kerning\": 2}]}",
         "stories[0].formatting.paragraphs[0]: unknown key \"kerning\""},
        {"more paragraphs than the text", "{\"paragraphs\": [{}, {}, {}]}",
         "stories[0].formatting.paragraphs: the text has 2 paragraphs"},
        {"no such alignment", "{\"paragraphs\": [{\"align\": \"middle\"}]}",
         "stories[0].formatting.paragraphs[0].align: \"middle\" is no alignment"},
        {"a size that is text", "{\"characters\": [{\"at\": 0, \"size\": \"12\"}]}",
         "stories[0].formatting.characters[0].size: expected a number, found a string"},
    };
    for (const auto& entry : formatting)
        QTest::newRow(entry.name) << story + entry.formatting + "}]}" << QString::fromUtf8(entry.message);
    QTest::newRow("a box a step wider") << head + "\"layouts\": [" +
                                               QByteArray(layout)
                                                   .replace("\"left\": 0", "\"left\": -0.00002")
                                                   .replace("\"right\": 10", "\"right\": 32767.99998") +
                                               "]}"
                                        << "layouts[0].spreads[0].boxes[0].bounds: the box is wider";
}

void tst_MalformedFiles::wholeFileCases()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    Counts counts;
    QString failure = check(content, counts);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const XTHost::JsonProjectFormat format;
    XTHost::Project project;
    QString error;
    const bool loaded = format.parse(content, sName, project, &error);
    if (message.isEmpty())
        QVERIFY2(loaded, qPrintable(error));
    else
        QVERIFY2(!loaded && error.contains(message), qPrintable(error.left(300)));
}

QTEST_GUILESS_MAIN(tst_MalformedFiles)
#include "tst_malformedfiles.moc"
