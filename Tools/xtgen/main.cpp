// xtgen: writes a pair of project files, a project and its changed twin, from
// sizes, a seed and an edit rate; or, with --scribus-book, a Scribus book and
// its second version. The same arguments give the same files.

#include "ProjectGenerator.h"
#include "ScribusBookGenerator.h"

#include "Format/JsonProjectFormat.h"
#include "Model/Project.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace
{

bool readInt(const QCommandLineParser& parser, const QString& name, int min, int max, int* value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || v < min || v > max)
    {
        std::fprintf(stderr, "xtgen: --%s wants a whole number from %d to %d\n", qPrintable(name), min, max);
        return false;
    }
    *value = v;
    return true;
}

void describeCommandLine(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Writes a project and its changed twin. With --scribus-book, writes a Scribus 1.5 book of that "
        "many pages and its second version instead (only --seed applies), and prints what the second "
        "version changed. With --canonical, rewrites one project file in the form the host saves it."));
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("layouts"), QStringLiteral("Layouts (2)."), QStringLiteral("n")},
        {QStringLiteral("spreads"), QStringLiteral("Spreads per layout (4)."), QStringLiteral("n")},
        {QStringLiteral("pages"), QStringLiteral("Pages per spread (2)."), QStringLiteral("n")},
        {QStringLiteral("boxes"), QStringLiteral("Boxes per spread (6)."), QStringLiteral("n")},
        {QStringLiteral("stories"), QStringLiteral("Stories (8)."), QStringLiteral("n")},
        {QStringLiteral("story-length"), QStringLiteral("Average story length in characters (1500)."),
         QStringLiteral("n")},
        {QStringLiteral("assets"), QStringLiteral("Assets per kind (4)."), QStringLiteral("n")},
        {QStringLiteral("seed"), QStringLiteral("Seed (1)."), QStringLiteral("n")},
        {QStringLiteral("edit-rate"), QStringLiteral("Share of items the twin changes, 0 to 1 (0.1)."),
         QStringLiteral("r")},
        {QStringLiteral("canonical"), QStringLiteral("Rewrite FILE in canonical form and stop."),
         QStringLiteral("file")},
        {QStringLiteral("three-way"),
         QStringLiteral("Write a base project and two versions edited apart (three files: BASE LEFT RIGHT).")},
        {QStringLiteral("scribus-book"),
         QStringLiteral("Write a Scribus book of n pages (1 to 100000) and its second version."),
         QStringLiteral("n")},
    };
    parser.addOptions(options);
    parser.addPositionalArgument(QStringLiteral("left"), QStringLiteral("Project file to write."));
    parser.addPositionalArgument(QStringLiteral("right"), QStringLiteral("Its changed twin to write."));
}

// The two files to write, from the positional arguments; false (and a
// message) unless there are two.
bool readFiles(const QCommandLineParser& parser, QStringList* files)
{
    *files = parser.positionalArguments();
    if (files->size() != 2)
    {
        std::fprintf(stderr, "xtgen: give the two files to write (see --help)\n");
        return false;
    }
    return true;
}

int fail(const QString& error)
{
    std::fprintf(stderr, "xtgen: %s\n", qPrintable(error));
    return 1;
}

// Loads a project file and saves it over itself.
int rewriteCanonical(const QString& path)
{
    const XTHost::JsonProjectFormat format;
    XTHost::Project project;
    QString error;
    if (!format.load(path, project, &error) || !format.save(project, path, &error))
        return fail(error);
    return 0;
}

int writeScribusBook(const QCommandLineParser& parser)
{
    XTHost::ScribusBookOptions book;
    int seed = 1;
    if (!readInt(parser, QStringLiteral("scribus-book"), 1, 100000, &book.mPages) ||
        !readInt(parser, QStringLiteral("seed"), 0, 2147483647, &seed))
        return 2;
    book.mSeed = uint32_t(seed);
    QStringList files;
    if (!readFiles(parser, &files))
        return 2;
    QStringList edits;
    QString error;
    if (!XTHost::ScribusBookGenerator::writePair(book, files[0], files[1], &edits, &error))
        return fail(error);
    for (const QString& edit : edits)
        std::printf("%s\n", qPrintable(edit));
    return 0;
}

bool readGeneratorOptions(const QCommandLineParser& parser, XTHost::GeneratorOptions* generator)
{
    int seed = 1;
    if (!readInt(parser, QStringLiteral("layouts"), 0, 1000, &generator->mLayouts) ||
        !readInt(parser, QStringLiteral("spreads"), 0, 10000, &generator->mSpreadsPerLayout) ||
        !readInt(parser, QStringLiteral("pages"), 1, 16, &generator->mPagesPerSpread) ||
        !readInt(parser, QStringLiteral("boxes"), 0, 10000, &generator->mBoxesPerSpread) ||
        !readInt(parser, QStringLiteral("stories"), 0, 1000000, &generator->mStories) ||
        !readInt(parser, QStringLiteral("story-length"), 1, 10000000, &generator->mStoryLength) ||
        !readInt(parser, QStringLiteral("assets"), 0, 1500, &generator->mAssetsPerKind) ||
        !readInt(parser, QStringLiteral("seed"), 0, 2147483647, &seed))
        return false;
    generator->mSeed = uint32_t(seed);
    if (parser.isSet(QStringLiteral("edit-rate")))
    {
        bool ok = false;
        generator->mEditRate = parser.value(QStringLiteral("edit-rate")).toDouble(&ok);
        if (!ok || generator->mEditRate < 0 || generator->mEditRate > 1)
        {
            std::fprintf(stderr, "xtgen: --edit-rate wants a number from 0 to 1\n");
            return false;
        }
    }
    return true;
}

int writeProjectTriple(const QCommandLineParser& parser)
{
    XTHost::GeneratorOptions generator;
    if (!readGeneratorOptions(parser, &generator))
        return 2;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 3)
    {
        std::fprintf(stderr, "xtgen: --three-way writes three files: BASE LEFT RIGHT\n");
        return 2;
    }
    QString error;
    if (!XTHost::ProjectGenerator::writeTriple(generator, files[0], files[1], files[2], &error))
        return fail(error);
    return 0;
}

int writeProjectPair(const QCommandLineParser& parser)
{
    XTHost::GeneratorOptions generator;
    QStringList files;
    if (!readGeneratorOptions(parser, &generator) || !readFiles(parser, &files))
        return 2;
    QString error;
    if (!XTHost::ProjectGenerator::writePair(generator, files[0], files[1], &error))
        return fail(error);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);

    if (parser.isSet(QStringLiteral("canonical")))
        return rewriteCanonical(parser.value(QStringLiteral("canonical")));
    if (parser.isSet(QStringLiteral("scribus-book")))
        return writeScribusBook(parser);
    if (parser.isSet(QStringLiteral("three-way")))
        return writeProjectTriple(parser);
    return writeProjectPair(parser);
}
