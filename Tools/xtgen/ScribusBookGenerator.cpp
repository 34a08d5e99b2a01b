#include "ScribusBookGenerator.h"

#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

namespace XTHost
{

namespace
{

// The parts of a document that Scribus 1.5.8 writes the same for every book
// (its defaults for a new document), as it writes them.
// clang-format off
const char* const sDocumentHead =
    "    " R"(<DOCUMENT ANZPAGES="@PAGES@" PAGEWIDTH="595" PAGEHEIGHT="842" BORDERLEFT="40")"
    R"( BORDERRIGHT="40" BORDERTOP="50" BORDERBOTTOM="50" PRESET="0" BleedTop="0" BleedLeft="0")"
    R"( BleedRight="0" BleedBottom="0" ORIENTATION="0" PAGESIZE="Custom" FIRSTNUM="1" BOOK="1")"
    R"( AUTOSPALTEN="1" ABSTSPALTEN="0" UNITS="0" DFONT="DejaVu Serif Book" DSIZE="12" DCOL="1")"
    R"( DGAP="0" TabFill="" TabWidth="36" TextDistLeft="0" TextDistRight="0" TextDistBottom="0")"
    R"( TextDistTop="0" FirstLineOffset="1" AUTHOR="@AUTHOR@" COMMENTS="@COMMENTS@" KEYWORDS="")"
    R"( PUBLISHER="" DOCDATE="" DOCTYPE="" DOCFORMAT="" DOCIDENT="" DOCSOURCE="" DOCLANGINFO="")"
    R"( DOCRELATION="" DOCCOVER="" DOCRIGHTS="" DOCCONTRIB="" TITLE="@TITLE@" SUBJECT="")"
    R"( VHOCH="33" VHOCHSC="66" VTIEF="33" VTIEFSC="66" VKAPIT="75" BASEGRID="14.4" BASEO="0")"
    R"( AUTOL="100" UnderlinePos="-1" UnderlineWidth="-1" StrikeThruPos="-1")"
    R"( StrikeThruWidth="-1" GROUPC="1" HCMS="0" DPSo="0" DPSFo="0" DPuse="0" DPgam="0")"
    R"x( DPbla="1" DPPr="ISO Coated v2 300% (basICColor)" DPIn="sRGB display profile (ICC v2.2)")x"
    R"x( DPInCMYK="ISO Coated v2 300% (basICColor)" DPIn2="sRGB display profile (ICC v2.2)")x"
    R"x( DPIn3="ISO Coated v2 300% (basICColor)" DISc="1" DIIm="0" ALAYER="0" LANGUAGE="en_GB")x"
    R"( AUTOMATIC="1" AUTOCHECK="0" GUIDELOCK="0" SnapToGuides="0" SnapToGrid="0")"
    R"( SnapToElement="0" MINGRID="20" MAJGRID="100" SHOWGRID="0" SHOWGUIDES="1")"
    R"( showcolborders="1" SHOWFRAME="1" SHOWControl="0" SHOWLAYERM="0" SHOWMARGIN="1")"
    R"( SHOWBASE="0" SHOWPICT="1" SHOWLINK="0" rulerMode="1" showrulers="1" showBleed="1")"
    R"( rulerXoffset="0" rulerYoffset="0" GuideRad="10" GRAB="4" POLYC="4" POLYF="0.5")"
    R"( POLYR="0" POLYIR="0" POLYCUR="0" POLYOCUR="0" POLYS="0" arcStartAngle="30")"
    R"( arcSweepAngle="300" spiralStartAngle="0" spiralEndAngle="1080" spiralFactor="1.2")"
    R"( AutoSave="1" AutoSaveTime="600000" AutoSaveCount="1" AutoSaveKeep="0")"
    R"( AUtoSaveInDocDir="1" AutoSaveDir="" ScratchBottom="20" ScratchLeft="100")"
    R"( ScratchRight="100" ScratchTop="20" GapHorizontal="0" GapVertical="40" StartArrow="0")"
    R"( EndArrow="0" PEN="Black" BRUSH="None" PENLINE="Black" PENTEXT="Black")"
    R"( StrokeText="Black" TextBackGround="None" TextLineColor="None" TextBackGroundShade="100")"
    R"( TextLineShade="100" TextPenShade="100" TextStrokeShade="100" STIL="1" STILLINE="1")"
    R"( WIDTH="1" WIDTHLINE="1" PENSHADE="100" LINESHADE="100" BRUSHSHADE="100" CPICT="None")"
    R"( PICTSHADE="100" CSPICT="None" PICTSSHADE="100" PICTSCX="1" PICTSCY="1" PSCALE="1")"
    R"( PASPECT="1" EmbeddedPath="0" HalfRes="1" dispX="10" dispY="10" constrain="15")"
    R"( MINORC="#00ff00" MAJORC="#00ff00" GuideC="#000080" BaseC="#c0c0c0")"
    R"( renderStack="2 0 4 1 3" GridType="0" PAGEC="#ffffff" MARGC="#0000ff" RANDF="0")"
    R"( currentProfile="PDF 1.4" calligraphicPenFillColor="Black")"
    R"( calligraphicPenLineColor="Black" calligraphicPenFillColorShade="100")"
    R"( calligraphicPenLineColorShade="100" calligraphicPenLineWidth="1")"
    R"( calligraphicPenAngle="0" calligraphicPenWidth="10" calligraphicPenStyle="1">)" "\n"
    "        " R"(<CheckProfile Name="PDF 1.3" ignoreErrors="0" autoCheck="1" checkGlyphs="1")"
    R"( checkOrphans="1" checkOverflow="1" checkPictures="1" checkPartFilledImageFrames="0")"
    R"( checkResolution="1" checkTransparency="1" minResolution="144" maxResolution="2400")"
    R"( checkAnnotations="0" checkRasterPDF="1" checkForGIF="1" ignoreOffLayers="0")"
    R"( checkNotCMYKOrSpot="0" checkDeviceColorsAndOutputIntent="0" checkFontNotEmbedded="1")"
    R"( checkFontIsOpenType="1" checkAppliedMasterDifferentSide="1" checkEmptyTextFrames="1"/>)" "\n"
    "        " R"(<CheckProfile Name="PDF 1.4" ignoreErrors="0" autoCheck="1" checkGlyphs="1")"
    R"( checkOrphans="1" checkOverflow="1" checkPictures="1" checkPartFilledImageFrames="0")"
    R"( checkResolution="1" checkTransparency="0" minResolution="144" maxResolution="2400")"
    R"( checkAnnotations="0" checkRasterPDF="1" checkForGIF="1" ignoreOffLayers="0")"
    R"( checkNotCMYKOrSpot="0" checkDeviceColorsAndOutputIntent="0" checkFontNotEmbedded="1")"
    R"( checkFontIsOpenType="1" checkAppliedMasterDifferentSide="1" checkEmptyTextFrames="1"/>)" "\n"
    "        " R"(<CheckProfile Name="PDF 1.5" ignoreErrors="0" autoCheck="1" checkGlyphs="1")"
    R"( checkOrphans="1" checkOverflow="1" checkPictures="1" checkPartFilledImageFrames="0")"
    R"( checkResolution="1" checkTransparency="0" minResolution="144" maxResolution="2400")"
    R"( checkAnnotations="0" checkRasterPDF="1" checkForGIF="1" ignoreOffLayers="0")"
    R"( checkNotCMYKOrSpot="0" checkDeviceColorsAndOutputIntent="0" checkFontNotEmbedded="1")"
    R"( checkFontIsOpenType="1" checkAppliedMasterDifferentSide="1" checkEmptyTextFrames="1"/>)" "\n"
    "        " R"(<CheckProfile Name="PDF 1.6" ignoreErrors="0" autoCheck="1" checkGlyphs="1")"
    R"( checkOrphans="1" checkOverflow="1" checkPictures="1" checkPartFilledImageFrames="0")"
    R"( checkResolution="1" checkTransparency="0" minResolution="144" maxResolution="2400")"
    R"( checkAnnotations="0" checkRasterPDF="1" checkForGIF="1" ignoreOffLayers="0")"
    R"( checkNotCMYKOrSpot="0" checkDeviceColorsAndOutputIntent="0" checkFontNotEmbedded="1")"
    R"( checkFontIsOpenType="0" checkAppliedMasterDifferentSide="1" checkEmptyTextFrames="1"/>)" "\n"
    "        " R"(<CheckProfile Name="PDF/X-1a" ignoreErrors="0" autoCheck="1" checkGlyphs="1")"
    R"( checkOrphans="1" checkOverflow="1" checkPictures="1" checkPartFilledImageFrames="0")"
    R"( checkResolution="1" checkTransparency="1" minResolution="144" maxResolution="2400")"
    R"( checkAnnotations="1" checkRasterPDF="1" checkForGIF="1" ignoreOffLayers="0")"
    R"( checkNotCMYKOrSpot="1" checkDeviceColorsAndOutputIntent="0" checkFontNotEmbedded="1")"
    R"( checkFontIsOpenType="1" checkAppliedMasterDifferentSide="1" checkEmptyTextFrames="1"/>)" "\n"
    "        " R"(<CheckProfile Name="PDF/X-3" ignoreErrors="0" autoCheck="1" checkGlyphs="1")"
    R"( checkOrphans="1" checkOverflow="1" checkPictures="1" checkPartFilledImageFrames="0")"
    R"( checkResolution="1" checkTransparency="1" minResolution="144" maxResolution="2400")"
    R"( checkAnnotations="1" checkRasterPDF="1" checkForGIF="1" ignoreOffLayers="0")"
    R"( checkNotCMYKOrSpot="0" checkDeviceColorsAndOutputIntent="1" checkFontNotEmbedded="1")"
    R"( checkFontIsOpenType="1" checkAppliedMasterDifferentSide="1" checkEmptyTextFrames="1"/>)" "\n"
    "        " R"(<CheckProfile Name="PDF/X-4" ignoreErrors="0" autoCheck="1" checkGlyphs="1")"
    R"( checkOrphans="1" checkOverflow="1" checkPictures="1" checkPartFilledImageFrames="0")"
    R"( checkResolution="1" checkTransparency="0" minResolution="144" maxResolution="2400")"
    R"( checkAnnotations="1" checkRasterPDF="1" checkForGIF="1" ignoreOffLayers="0")"
    R"( checkNotCMYKOrSpot="0" checkDeviceColorsAndOutputIntent="1" checkFontNotEmbedded="1")"
    R"( checkFontIsOpenType="0" checkAppliedMasterDifferentSide="1" checkEmptyTextFrames="1"/>)" "\n"
    "        " R"(<CheckProfile Name="PostScript" ignoreErrors="0" autoCheck="1" checkGlyphs="1")"
    R"( checkOrphans="1" checkOverflow="1" checkPictures="1" checkPartFilledImageFrames="0")"
    R"( checkResolution="1" checkTransparency="1" minResolution="144" maxResolution="2400")"
    R"( checkAnnotations="0" checkRasterPDF="1" checkForGIF="1" ignoreOffLayers="0")"
    R"( checkNotCMYKOrSpot="0" checkDeviceColorsAndOutputIntent="0" checkFontNotEmbedded="0")"
    R"( checkFontIsOpenType="0" checkAppliedMasterDifferentSide="1" checkEmptyTextFrames="1"/>)" "\n";

const char* const sDefaultCharStyle =
    "        " R"(<CHARSTYLE CNAME="Default Character Style" DefaultStyle="1" FONT="DejaVu Serif Book")"
    R"( FONTSIZE="10" FONTFEATURES="" FEATURES="inherit" FCOLOR="Black" FSHADE="100")"
    R"( HyphenWordMin="3" SCOLOR="Black" BGCOLOR="None" BGSHADE="100" SSHADE="100" TXTSHX="5")"
    R"( TXTSHY="-5" TXTOUT="1" TXTULP="-0.1" TXTULW="-0.1" TXTSTP="-0.1" TXTSTW="-0.1")"
    R"( SCALEH="100" SCALEV="100" BASEO="0" KERN="0" LANGUAGE="en_GB"/>)" "\n";

const char* const sDefaultParagraphStyle =
    "        " R"(<STYLE NAME="Default Paragraph Style" DefaultStyle="1" ALIGN="0" DIRECTION="0")"
    R"( LINESPMode="0" LINESP="15" INDENT="0" RMARGIN="0" FIRST="0" VOR="0" NACH="0")"
    R"( ParagraphEffectOffset="0" DROP="0" DROPLIN="2" Bullet="0" Numeration="0")"
    R"( HyphenConsecutiveLines="2" BCOLOR="None" BSHADE="100"/>)" "\n";

const char* const sTableStyles =
    "        " R"(<TableStyle NAME="Default Table Style" DefaultStyle="1" FillColor="None")"
    R"( FillShade="100">)" "\n"
    "            " R"(<TableBorderLeft>)" "\n"
    "                " R"(<TableBorderLine Width="1" PenStyle="1" Color="Black" Shade="100"/>)" "\n"
    "            " R"(</TableBorderLeft>)" "\n"
    "            " R"(<TableBorderRight>)" "\n"
    "                " R"(<TableBorderLine Width="1" PenStyle="1" Color="Black" Shade="100"/>)" "\n"
    "            " R"(</TableBorderRight>)" "\n"
    "            " R"(<TableBorderTop>)" "\n"
    "                " R"(<TableBorderLine Width="1" PenStyle="1" Color="Black" Shade="100"/>)" "\n"
    "            " R"(</TableBorderTop>)" "\n"
    "            " R"(<TableBorderBottom>)" "\n"
    "                " R"(<TableBorderLine Width="1" PenStyle="1" Color="Black" Shade="100"/>)" "\n"
    "            " R"(</TableBorderBottom>)" "\n"
    "        " R"(</TableStyle>)" "\n"
    "        " R"(<CellStyle NAME="Default Cell Style" DefaultStyle="1" FillColor="None" FillShade="100")"
    R"( LeftPadding="1" RightPadding="1" TopPadding="1" BottomPadding="1">)" "\n"
    "            " R"(<TableBorderLeft>)" "\n"
    "                " R"(<TableBorderLine Width="1" PenStyle="1" Color="Black" Shade="100"/>)" "\n"
    "            " R"(</TableBorderLeft>)" "\n"
    "            " R"(<TableBorderRight>)" "\n"
    "                " R"(<TableBorderLine Width="1" PenStyle="1" Color="Black" Shade="100"/>)" "\n"
    "            " R"(</TableBorderRight>)" "\n"
    "            " R"(<TableBorderTop>)" "\n"
    "                " R"(<TableBorderLine Width="1" PenStyle="1" Color="Black" Shade="100"/>)" "\n"
    "            " R"(</TableBorderTop>)" "\n"
    "            " R"(<TableBorderBottom>)" "\n"
    "                " R"(<TableBorderLine Width="1" PenStyle="1" Color="Black" Shade="100"/>)" "\n"
    "            " R"(</TableBorderBottom>)" "\n"
    "        " R"(</CellStyle>)" "\n";

const char* const sOutputSettings =
    "        " R"(<Printer firstUse="1" toFile="0" useAltPrintCommand="0" outputSeparations="0")"
    R"( useSpotColors="1" useColor="1" mirrorH="0" mirrorV="0" useICC="0" doGCR="0" doClip="0")"
    R"( setDevParam="0" useDocBleeds="1" cropMarks="0" bleedMarks="0" registrationMarks="0")"
    R"( colorMarks="0" includePDFMarks="1" PSLevel="3" PrintEngine="3" markLength="20")"
    R"( markOffset="0" BleedTop="0" BleedLeft="0" BleedRight="0" BleedBottom="0" printer="")"
    R"( filename="" separationName="All" printerCommand=""/>)" "\n"
    "        " R"(<PDF firstUse="1" Thumbnails="0" Articles="0" Bookmarks="0" Compress="1" CMethod="0")"
    R"( Quality="0" EmbedPDF="0" MirrorH="0" MirrorV="0" Clip="0" rangeSel="0" rangeTxt="")"
    R"( RotateDeg="0" PresentMode="0" RecalcPic="0" FontEmbedding="0" Grayscale="0" RGBMode="1")"
    R"( UseProfiles="0" UseProfiles2="0" Binding="0" PicRes="300" Resolution="300" Version="14")"
    R"x( Intent="1" Intent2="0" SolidP="sRGB display profile (ICC v2.2)")x"
    R"x( ImageP="sRGB display profile (ICC v2.2)" PrintP="ISO Coated v2 300% (basICColor)")x"
    R"( InfoString="" BTop="0" BLeft="0" BRight="0" BBottom="0" useDocBleeds="1" cropMarks="0")"
    R"( bleedMarks="0" registrationMarks="0" colorMarks="0" docInfoMarks="0" markLength="20")"
    R"( markOffset="0" ImagePr="0" PassOwner="" PassUser="" Permissions="-4" Encrypt="0")"
    R"( UseLayers="0" UseLpi="0" UseSpotColors="1" doMultiFile="0" displayBookmarks="0")"
    R"( displayFullscreen="0" displayLayers="0" displayThumbs="0" hideMenuBar="0")"
    R"( hideToolBar="0" fitWindow="0" openAfterExport="0" PageLayout="0" openAction="">)" "\n"
    "            " R"(<LPI Color="Black" Frequency="133" Angle="45" SpotFunction="3"/>)" "\n"
    "            " R"(<LPI Color="Cyan" Frequency="133" Angle="105" SpotFunction="3"/>)" "\n"
    "            " R"(<LPI Color="Magenta" Frequency="133" Angle="75" SpotFunction="3"/>)" "\n"
    "            " R"(<LPI Color="Yellow" Frequency="133" Angle="90" SpotFunction="3"/>)" "\n"
    "        " R"(</PDF>)" "\n"
    "        " R"(<DocItemAttributes/>)" "\n"
    "        " R"(<TablesOfContents/>)" "\n"
    "        " R"(<NotesStyles>)" "\n"
    "            " R"(<notesStyle Name="Default" Start="1" Endnotes="0" Type="Type_1_2_3" Range="0" Prefix="")"
    R"x( Suffix=")" AutoHeight="1" AutoWidth="1" AutoRemove="1" AutoWeld="1" SuperNote="1")x"
    R"( SuperMaster="1" MarksStyle="" NotesStyle=""/>)" "\n"
    "        " R"(</NotesStyles>)" "\n"
    "        " R"(<PageSets>)" "\n"
    "            " R"(<Set Name="Single Page" FirstPage="0" Rows="1" Columns="1"/>)" "\n"
    "            " R"(<Set Name="Facing Pages" FirstPage="1" Rows="1" Columns="2">)" "\n"
    "                " R"(<PageNames Name="Left Page"/>)" "\n"
    "                " R"(<PageNames Name="Right Page"/>)" "\n"
    "            " R"(</Set>)" "\n"
    "            " R"(<Set Name="3-Fold" FirstPage="0" Rows="1" Columns="3">)" "\n"
    "                " R"(<PageNames Name="Left Page"/>)" "\n"
    "                " R"(<PageNames Name="Middle"/>)" "\n"
    "                " R"(<PageNames Name="Right Page"/>)" "\n"
    "            " R"(</Set>)" "\n"
    "            " R"(<Set Name="4-Fold" FirstPage="0" Rows="1" Columns="4">)" "\n"
    "                " R"(<PageNames Name="Left Page"/>)" "\n"
    "                " R"(<PageNames Name="Middle Left"/>)" "\n"
    "                " R"(<PageNames Name="Middle Right"/>)" "\n"
    "                " R"(<PageNames Name="Right Page"/>)" "\n"
    "            " R"(</Set>)" "\n"
    "        " R"(</PageSets>)" "\n";

// clang-format on

// Words of the body text, a book about a coast: mostly plain English, a few
// with letters beyond ASCII.
const char* const sWords[] = {
    "harbour", "tide",    "quay",   "ferry",   "lantern",    "morning", "evening",  "salt",       "rope",
    "island",  "north",   "south",  "wind",    "rain",       "stone",   "wall",     "boat",       "net",
    "fisher",  "market",  "road",   "light",   "house",      "keeper",  "letter",   "winter",     "summer",
    "river",   "mouth",   "shore",  "cliff",   "gull",       "sail",    "mast",     "deck",       "crew",
    "village", "chapel",  "bell",   "clock",   "window",     "door",    "table",    "bread",      "coffee",
    "ledger",  "map",     "chart",  "compass", "weather",    "storm",   "calm",     "grey",       "green",
    "old",     "new",     "long",   "short",   "slow",       "quiet",   "bright",   "cold",       "warm",
    "walked",  "watched", "waited", "carried", "remembered", "said",    "wrote",    "found",      "kept",
    "opened",  "closed",  "turned", "heard",   "followed",   "left",    "came",     "went",       "knew",
    "the",     "the",     "the",    "a",       "a",          "of",      "of",       "and",        "and",
    "to",      "in",      "on",     "at",      "with",       "from",    "over",     "under",      "along",
    "beside",  "before",  "after",  "while",   "because",    "that",    "which",    "when",       "where",
    "she",     "he",      "they",   "we",      "it",         "her",     "his",      "their",      "our",
    "was",     "were",    "had",    "would",   "could",      "never",   "always",   "again",      "still",
    "Maren",   "Tobias",  "Ilse",   "Jonah",   "Kerrow",     "Aldous",  "Brannock", "Saint Ives", "café",
    "naïve",   "façade",  "rôle",   "Zürich",  "Ørsund",     "didn’t",  "it’s",     "wasn’t"};
constexpr int sWordCount = int(sizeof(sWords) / sizeof(sWords[0]));

// Every page has these five objects, in this order.
enum Slot
{
    BodySlot,
    NoteSlot,
    RuleSlot,
    FigureSlot,
    ShapeSlot,
    SlotCount
};

enum class Kind
{
    Text,
    Image,
    Rectangle,
    Polygon,
    Line
};

enum class Format
{
    Plain,
    Emphasis, // the Emphasis character style
    Bold,     // a font set on the run
    Accent    // a colour set on the run
};

struct Run
{
    QString mText;
    Format mFormat = Format::Plain;
};

struct Paragraph
{
    QByteArray mStyle;
    std::vector<Run> mRuns;
};

struct Story
{
    QByteArray mDefaultStyle;
    std::vector<Paragraph> mParagraphs;
    // A page number after the text (a folio on a master page), which Scribus
    // writes as a "var" element.
    bool mPageNumber = false;
};

struct Item
{
    Kind mKind = Kind::Text;
    QString mName;
    int mPage = 0; // the page, or the master page for a master item
    // On its page, in points.
    double mX = 0, mY = 0, mWidth = 0, mHeight = 0;
    QByteArray mFill; // empty: none
    QByteArray mLine; // empty: the kind's default
    double mLineWidth = 1;
    int mLayer = 0;
    QByteArray mStyle; // a text frame's paragraph style
    double mInset = 0;
    int mStory = -1; // the story a text frame starts
    int mNext = -1;  // linked text frames, by index
    int mBack = -1;
    QString mPicture;
    std::vector<std::pair<double, double>> mOutline; // a polygon's corners, 0 to 1 of its size
    bool mDeleted = false;
};

struct Colour
{
    QByteArray mName;
    bool mCmyk = false;
    std::array<double, 4> mValues{};
    bool mSpot = false;
    bool mRegistration = false;
};

struct MasterPage
{
    QByteArray mName;
    bool mLeft = false;
};

struct Book
{
    int mPages = 0;
    std::vector<MasterPage> mMasters;
    std::vector<int> mMasterOfPage;
    std::vector<Item> mMasterItems;
    std::vector<Item> mItems; // SlotCount a page, in page order, then any added
    std::vector<Story> mStories;
    std::vector<Colour> mColours;
};

constexpr double sPageWidth = 595;
constexpr double sPageHeight = 842;

// Where Scribus lays a page out on its canvas: facing pages, the first one
// a right page alone, the pasteboard 100 pt to the left and 20 pt above, 40 pt
// between rows.
std::pair<double, double> pageOrigin(int page)
{
    const int row = (page + 1) / 2;
    const int column = (page + 1) % 2;
    return {100 + column * sPageWidth, 20 + row * (sPageHeight + 40)};
}

// Numbers as Scribus writes them (QString::number's shortest form of up to
// 15 digits).
QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 15);
}

// Text for an attribute value, escaped as QXmlStreamWriter escapes it.
QByteArray escaped(const QString& text)
{
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8)
    {
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void attribute(QByteArray& out, const char* name, const QByteArray& value)
{
    out += ' ';
    out += name;
    out += "=\"";
    out += value;
    out += '"';
}

void attribute(QByteArray& out, const char* name, double value)
{
    attribute(out, name, number(value));
}

class BookMaker
{
public:
    explicit BookMaker(const ScribusBookOptions& options)
        : mPages(std::max(1, options.mPages)), mRandom(options.mSeed)
    {
    }

    Book make();
    // Turns the book into its second version; what it did, one line each.
    QStringList edit(Book& book);

private:
    uint32_t next(uint32_t bound)
    {
        // mt19937's output is fixed by the standard; the library's
        // distributions are not, so the reduction is done here.
        return bound == 0 ? 0 : uint32_t(mRandom() % bound);
    }
    bool chance(double probability) { return double(mRandom() >> 8) / double(1 << 24) < probability; }
    QString word() { return QString::fromUtf8(sWords[next(sWordCount)]); }
    void sentence(std::vector<QString>& tokens);
    Paragraph paragraph(const QByteArray& style, int length, bool formatted);
    Paragraph heading(const QByteArray& style, const QString& text);
    QString title(int words);
    Item text(const QString& name, int page, double x, double y, double width, double height);

    // The steps of make.
    void addMasterPages(Book& book);
    void addRunningHead(Book& book, const QString& name, int master, double x, const QString& words);
    void addFolio(Book& book, const QString& name, int master, double x);
    std::vector<std::pair<int, int>> chapters();
    void addChapter(Book& book, int chapterNumber, int first, int length);
    void addPage(Book& book, int chapterNumber, int first, int story, int page);
    void addNote(Book& book, int page);

    // The edits of the second version, each a step of edit.
    QString replaceWord(Book& book);
    QString addSentence(Book& book);
    QString deleteWords(Book& book);
    QString splitParagraph(Book& book);
    QString replaceNoteWord(Book& book);
    QString retitleChapter(Book& book);
    QString deleteFigure(Book& book);
    QString moveShape(Book& book);
    QStringList redefineColour(Book& book);
    QString addErratum(Book& book);

    // The page of an edit at a share of the book.
    int pageAt(double share) const { return std::min(mPages - 1, int(share * mPages)); }
    // The story a page's body frame belongs to, and the index of that frame's
    // first paragraph in it.
    std::pair<int, int> bodyText(const Book& book, int page) const;

    int mPages;
    std::mt19937 mRandom;
};

void BookMaker::sentence(std::vector<QString>& tokens)
{
    const size_t first = tokens.size();
    const int count = 5 + int(next(18));
    for (int i = 0; i < count; ++i)
    {
        if (i > 0 && i < count - 1 && chance(0.03))
        {
            tokens.push_back(QStringLiteral("—"));
            continue;
        }
        QString token = word();
        if (i == 0)
            token[0] = token[0].toUpper();
        else if (i < count - 1 && chance(0.1))
            token += QLatin1Char(',');
        tokens.push_back(token);
    }
    const uint32_t end = next(100);
    tokens.back() += end < 88 ? QLatin1Char('.') : end < 96 ? QLatin1Char('?') : QLatin1Char('!');
    if (chance(0.08))
    {
        tokens[first].prepend(QStringLiteral("“"));
        tokens.back() += QStringLiteral("”");
    }
}

Paragraph BookMaker::paragraph(const QByteArray& style, int length, bool formatted)
{
    std::vector<QString> tokens;
    int size = 0;
    while (size < length)
    {
        const size_t from = tokens.size();
        sentence(tokens);
        for (size_t i = from; i < tokens.size(); ++i)
            size += tokens[i].size() + 1;
    }
    std::vector<Format> formats(tokens.size(), Format::Plain);
    // A span of a few words in one format, where no other span is.
    auto span = [&](Format format, int words)
    {
        const int count = int(tokens.size());
        if (words >= count)
            return;
        const int start = int(next(uint32_t(count - words)));
        for (int i = start; i < start + words; ++i)
            if (formats[size_t(i)] != Format::Plain)
                return;
        for (int i = start; i < start + words; ++i)
            formats[size_t(i)] = format;
    };
    if (formatted)
    {
        if (chance(0.45))
            span(Format::Emphasis, 1 + int(next(3)));
        if (chance(0.18))
            span(Format::Bold, 1 + int(next(2)));
        if (chance(0.08))
            span(Format::Accent, 1 + int(next(4)));
    }
    // A run ends after the space that follows its last word, as a selection
    // of whole words leaves it.
    Paragraph result;
    result.mStyle = style;
    for (size_t i = 0; i < tokens.size(); ++i)
    {
        if (result.mRuns.empty() || result.mRuns.back().mFormat != formats[i])
            result.mRuns.push_back(Run{QString(), formats[i]});
        result.mRuns.back().mText += tokens[i];
        if (i + 1 < tokens.size())
            result.mRuns.back().mText += QLatin1Char(' ');
    }
    return result;
}

Paragraph BookMaker::heading(const QByteArray& style, const QString& text)
{
    Paragraph result;
    result.mStyle = style;
    result.mRuns.push_back(Run{text, Format::Plain});
    return result;
}

QString BookMaker::title(int words)
{
    QStringList parts;
    while (parts.size() < words)
    {
        QString w = word();
        if (w.size() < 4)
            continue;
        w[0] = w[0].toUpper();
        parts << w;
    }
    return parts.join(QLatin1Char(' '));
}

Item BookMaker::text(const QString& name, int page, double x, double y, double width, double height)
{
    Item item;
    item.mKind = Kind::Text;
    item.mName = name;
    item.mPage = page;
    item.mX = x;
    item.mY = y;
    item.mWidth = width;
    item.mHeight = height;
    return item;
}

// Scribus's own colours of a new document and the book's.
std::vector<Colour> bookColours()
{
    return {
        {"Black", true, {0, 0, 0, 100}},
        {"Blue", false, {0, 0, 255}},
        {"Cool Black", true, {60, 0, 0, 100}},
        {"Cyan", true, {100, 0, 0, 0}},
        {"Green", false, {0, 255, 0}},
        {"Magenta", true, {0, 100, 0, 0}},
        {"Red", false, {255, 0, 0}},
        {"Registration", true, {100, 100, 100, 100}, false, true},
        {"Rich Black", true, {60, 40, 40, 100}},
        {"Warm Black", true, {0, 60, 29.8039215686275, 100}},
        {"White", true, {0, 0, 0, 0}},
        {"Yellow", true, {0, 0, 100, 0}},
        {"Ink Blue", false, {28, 54, 92}},
        {"Paper Tint", false, {246, 241, 228}},
        {"Sea Green", false, {46, 125, 110}},
        {"Slate", false, {88, 96, 110}},
        {"Rust", true, {0, 65, 80, 20}},
        {"Ochre", true, {0, 25, 80, 10}},
        {"Plum", true, {45, 85, 20, 25}},
        {"Fog", true, {8, 4, 4, 0}},
        {"Harbour Teal", true, {90, 0, 40, 10}, true},
    };
}

// A line across a page or a master page.
Item ruleItem(const QString& name, int page, double x, double y, double width, const QByteArray& colour,
              double lineWidth)
{
    Item item;
    item.mKind = Kind::Line;
    item.mName = name;
    item.mPage = page;
    item.mX = x;
    item.mY = y;
    item.mWidth = width;
    item.mHeight = 1;
    item.mLine = colour;
    item.mLineWidth = lineWidth;
    return item;
}

// A picture frame, on the second layer, whose picture is named after its
// chapter and page.
Item figureItem(int chapterNumber, int page)
{
    Item item;
    item.mKind = Kind::Image;
    item.mName = QStringLiteral("Figure ") + QString::number(page + 1);
    item.mPage = page;
    item.mX = 385;
    item.mY = 424;
    item.mWidth = 170;
    item.mHeight = 246;
    item.mLayer = 1;
    item.mPicture = QStringLiteral("images/ch%1/figure-%2.png")
                        .arg(chapterNumber, 2, 10, QLatin1Char('0'))
                        .arg(page + 1, 4, 10, QLatin1Char('0'));
    return item;
}

// A panel across the foot of an odd page; on an even one a hexagon, or a
// diamond on every fourth page.
Item shapeItem(int page)
{
    Item item;
    item.mPage = page;
    item.mLine = "Black";
    const QString label = QString::number(page + 1);
    if (page % 2)
    {
        item.mKind = Kind::Rectangle;
        item.mName = QStringLiteral("Panel ") + label;
        item.mX = 40;
        item.mY = 690;
        item.mWidth = 515;
        item.mHeight = 96;
        item.mFill = "Fog";
    }
    else
    {
        item.mKind = Kind::Polygon;
        item.mName = QStringLiteral("Ornament ") + label;
        item.mX = 270;
        item.mY = 700;
        item.mWidth = 56;
        item.mHeight = 56;
        item.mFill = page % 4 ? "Harbour Teal" : "Ochre";
        if (page % 4)
            item.mOutline = {{0.25, 0}, {0.75, 0}, {1, 0.5}, {0.75, 1}, {0.25, 1}, {0, 0.5}};
        else
            item.mOutline = {{0.5, 0}, {1, 0.5}, {0.5, 1}, {0, 0.5}};
    }
    return item;
}

Book BookMaker::make()
{
    Book book;
    book.mPages = mPages;
    book.mColours = bookColours();
    addMasterPages(book);

    const std::vector<std::pair<int, int>> bookChapters = chapters();
    book.mMasterOfPage.assign(size_t(mPages), 0);
    for (int page = 0; page < mPages; ++page)
        book.mMasterOfPage[size_t(page)] = (page + 1) % 2 ? 1 : 0;
    for (const auto& chapter : bookChapters)
        book.mMasterOfPage[size_t(chapter.first)] = 2;

    int chapterNumber = 0;
    for (const auto& [first, length] : bookChapters)
        addChapter(book, ++chapterNumber, first, length);
    return book;
}

// Left and right master pages with a running head, a rule under it and a
// folio; the chapter opening has the folio alone.
void BookMaker::addMasterPages(Book& book)
{
    book.mMasters = {{"Normal Left", true}, {"Normal Right", false}, {"Chapter Opening", false}};
    const QString bookTitle = QStringLiteral("A Year on the Northern Coast");
    addRunningHead(book, QStringLiteral("Running Head Left"), 0, 40, bookTitle);
    book.mMasterItems.push_back(ruleItem(QStringLiteral("Head Rule Left"), 0, 40, 42, 515, "Slate", 0.5));
    addFolio(book, QStringLiteral("Folio Left"), 0, 40);
    addRunningHead(book, QStringLiteral("Running Head Right"), 1, 80, QStringLiteral("M. Kerrow"));
    book.mMasterItems.push_back(ruleItem(QStringLiteral("Head Rule Right"), 1, 40, 42, 515, "Slate", 0.5));
    addFolio(book, QStringLiteral("Folio Right"), 1, 495);
    addFolio(book, QStringLiteral("Folio Chapter"), 2, 495);
}

void BookMaker::addRunningHead(Book& book, const QString& name, int master, double x, const QString& words)
{
    Item head = text(name, master, x, 24, 515 - 40, 14);
    head.mStyle = "Running Head";
    head.mStory = int(book.mStories.size());
    book.mStories.push_back(Story{"Running Head", {heading("Running Head", words)}});
    book.mMasterItems.push_back(head);
}

void BookMaker::addFolio(Book& book, const QString& name, int master, double x)
{
    Item item = text(name, master, x, 804, 60, 14);
    item.mStyle = "Running Head";
    item.mStory = int(book.mStories.size());
    Story story{"Running Head", {}};
    story.mPageNumber = true;
    book.mStories.push_back(story);
    book.mMasterItems.push_back(item);
}

// Chapters of an even number of pages, so that each opens on a right page;
// the last one ends with the book. Each is its first page and page count.
std::vector<std::pair<int, int>> BookMaker::chapters()
{
    std::vector<std::pair<int, int>> result;
    for (int page = 0; page < mPages;)
    {
        const int length = std::min(mPages - page, 2 * (4 + int(next(9))));
        result.emplace_back(page, length);
        page += length;
    }
    return result;
}

void BookMaker::addChapter(Book& book, int chapterNumber, int first, int length)
{
    // The chapter's text: six paragraphs for each of its frames, in the
    // chain's first frame.
    const int story = int(book.mStories.size());
    book.mStories.push_back(Story{"Body Text", {}});
    std::vector<Paragraph> paragraphs;
    paragraphs.push_back(
        heading("Heading", QStringLiteral("%1. %2").arg(chapterNumber).arg(title(2 + int(next(3))))));
    paragraphs.push_back(paragraph("Body First", 150 + int(next(390)), true));
    while (int(paragraphs.size()) < 6 * length)
        paragraphs.push_back(paragraph("Body Text", 150 + int(next(390)), true));
    book.mStories[size_t(story)].mParagraphs = std::move(paragraphs);

    for (int page = first; page < first + length; ++page)
        addPage(book, chapterNumber, first, story, page);
}

// A page's five objects, in slot order: the body frame (the chapter's story
// starts in the first page's, the others continue the chain), the note, its
// rule, the figure and the shape.
void BookMaker::addPage(Book& book, int chapterNumber, int first, int story, int page)
{
    const QString label = QString::number(page + 1);
    const size_t at = book.mItems.size();

    Item body = text(QStringLiteral("Body ") + label, page, 40, 60, 330, 610);
    body.mStyle = "Body Text";
    if (page == first)
        body.mStory = story;
    else
    {
        body.mBack = int(at) - SlotCount;
        book.mItems[at - SlotCount].mNext = int(at);
    }
    book.mItems.push_back(body);

    addNote(book, page);
    book.mItems.push_back(ruleItem(QStringLiteral("Rule ") + label, page, 385, 412, 170, "Rust", 0.75));
    book.mItems.push_back(figureItem(chapterNumber, page));
    book.mItems.push_back(shapeItem(page));
}

void BookMaker::addNote(Book& book, int page)
{
    Item note = text(QStringLiteral("Note ") + QString::number(page + 1), page, 385, 60, 170, 340);
    note.mStyle = "Note";
    note.mFill = "Paper Tint";
    note.mInset = 6;
    note.mStory = int(book.mStories.size());
    Story notes{"Note", {heading("Note Heading", title(2 + int(next(2))))}};
    while (notes.mParagraphs.size() < 6)
    {
        const int length = 40 + int(next(100));
        const bool formatted = chance(0.5);
        notes.mParagraphs.push_back(paragraph("Note", length, formatted));
    }
    book.mStories.push_back(notes);
    book.mItems.push_back(note);
}

std::pair<int, int> BookMaker::bodyText(const Book& book, int page) const
{
    int index = page * SlotCount + BodySlot;
    int frames = 0;
    while (book.mItems[size_t(index)].mBack >= 0)
    {
        index = book.mItems[size_t(index)].mBack;
        ++frames;
    }
    return {book.mItems[size_t(index)].mStory, 6 * frames};
}

QString describe(const Book& book, int story)
{
    for (const Item& item : book.mItems)
        if (item.mStory == story)
            return QStringLiteral("the story of \"%1\"").arg(item.mName);
    return QString();
}

QStringList BookMaker::edit(Book& book)
{
    QStringList edits;
    edits << replaceWord(book);
    edits << addSentence(book);
    edits << deleteWords(book);
    edits << splitParagraph(book);
    edits << replaceNoteWord(book);
    edits << retitleChapter(book);
    edits << deleteFigure(book);
    edits << moveShape(book);
    edits << redefineColour(book);
    edits << addErratum(book);
    return edits;
}

Run& longestRun(Paragraph& paragraph)
{
    return *std::max_element(paragraph.mRuns.begin(), paragraph.mRuns.end(),
                             [](const Run& a, const Run& b) { return a.mText.size() < b.mText.size(); });
}

// A word replaced.
QString BookMaker::replaceWord(Book& book)
{
    const auto [story, first] = bodyText(book, pageAt(0.12));
    Paragraph& paragraph = book.mStories[size_t(story)].mParagraphs[size_t(first + 2)];
    Run& run = longestRun(paragraph);
    QStringList words = run.mText.split(QLatin1Char(' '));
    // The first word from the middle on that is all small letters.
    int at = words.size() / 2;
    while (at + 1 < words.size() && !(words[at].at(0).isLower() && words[at].back().isLetter()))
        ++at;
    const QString old = words[at];
    words[at] = old == QLatin1String("lighthouse") ? QStringLiteral("beacon") : QStringLiteral("lighthouse");
    run.mText = words.join(QLatin1Char(' '));
    return QStringLiteral("text: in %1, paragraph %2, \"%3\" replaced by \"%4\"")
        .arg(describe(book, story))
        .arg(first + 3)
        .arg(old, words[at]);
}

// A sentence added at the end of a paragraph.
QString BookMaker::addSentence(Book& book)
{
    const auto [story, first] = bodyText(book, pageAt(0.27));
    Paragraph& paragraph = book.mStories[size_t(story)].mParagraphs[size_t(first + 4)];
    std::vector<QString> tokens;
    sentence(tokens);
    QStringList words;
    for (const QString& token : tokens)
        words << token;
    if (paragraph.mRuns.back().mFormat != Format::Plain)
        paragraph.mRuns.push_back(Run{QString(), Format::Plain});
    paragraph.mRuns.back().mText += QLatin1Char(' ') + words.join(QLatin1Char(' '));
    return QStringLiteral("text: in %1, paragraph %2, a sentence added at its end: \"%3\"")
        .arg(describe(book, story))
        .arg(first + 5)
        .arg(words.join(QLatin1Char(' ')));
}

// Four words deleted from the middle of a paragraph's longest run.
QString BookMaker::deleteWords(Book& book)
{
    const auto [story, first] = bodyText(book, pageAt(0.41));
    Paragraph& paragraph = book.mStories[size_t(story)].mParagraphs[size_t(first + 1)];
    Run& run = longestRun(paragraph);
    QStringList words = run.mText.split(QLatin1Char(' '));
    const int at = std::max(0, words.size() / 2 - 2);
    const QStringList gone = words.mid(at, 4);
    words.erase(words.begin() + at, words.begin() + std::min(words.size(), at + 4));
    run.mText = words.join(QLatin1Char(' '));
    return QStringLiteral("text: in %1, paragraph %2, \"%3\" deleted")
        .arg(describe(book, story))
        .arg(first + 2)
        .arg(gone.join(QLatin1Char(' ')));
}

// A paragraph split in two after its first sentence (or in the middle of its
// longest run when it has one sentence).
QString BookMaker::splitParagraph(Book& book)
{
    const auto [story, first] = bodyText(book, pageAt(0.56));
    std::vector<Paragraph>& paragraphs = book.mStories[size_t(story)].mParagraphs;
    const size_t index = size_t(first + 3);
    Paragraph& paragraph = paragraphs[index];
    size_t run = 0;
    int at = -1;
    for (size_t r = 0; r < paragraph.mRuns.size() && at < 0; ++r)
    {
        const int end = paragraph.mRuns[r].mText.indexOf(QLatin1String(". "));
        if (end >= 0)
        {
            run = r;
            at = end + 2;
        }
    }
    if (at < 0)
    {
        at = paragraph.mRuns[0].mText.indexOf(QLatin1Char(' '), paragraph.mRuns[0].mText.size() / 2) + 1;
        run = 0;
    }
    Paragraph second;
    second.mStyle = "Body Text";
    second.mRuns.push_back(Run{paragraph.mRuns[run].mText.mid(at), paragraph.mRuns[run].mFormat});
    second.mRuns.insert(second.mRuns.end(), paragraph.mRuns.begin() + long(run) + 1, paragraph.mRuns.end());
    paragraph.mRuns.erase(paragraph.mRuns.begin() + long(run) + 1, paragraph.mRuns.end());
    paragraph.mRuns[run].mText.truncate(at - 1);
    if (second.mRuns.front().mText.isEmpty())
        second.mRuns.erase(second.mRuns.begin());
    const QString start = second.mRuns.front().mText.section(QLatin1Char(' '), 0, 3);
    paragraphs.insert(paragraphs.begin() + long(index) + 1, second);
    return QStringLiteral("text: in %1, paragraph %2 split in two before \"%3\"")
        .arg(describe(book, story))
        .arg(first + 4)
        .arg(start);
}

// A word replaced in a note.
QString BookMaker::replaceNoteWord(Book& book)
{
    const int page = pageAt(0.72);
    const int story = book.mItems[size_t(page * SlotCount + NoteSlot)].mStory;
    Paragraph& paragraph = book.mStories[size_t(story)].mParagraphs[2];
    Run& run = paragraph.mRuns.front();
    QStringList words = run.mText.split(QLatin1Char(' '));
    const QString old = words[0];
    words[0] = old == QLatin1String("Meanwhile") ? QStringLiteral("Later") : QStringLiteral("Meanwhile");
    run.mText = words.join(QLatin1Char(' '));
    return QStringLiteral("text: in %1, paragraph 3, \"%2\" replaced by \"%3\"")
        .arg(describe(book, story), old, words[0]);
}

// A chapter retitled.
QString BookMaker::retitleChapter(Book& book)
{
    const int story = bodyText(book, pageAt(0.88)).first;
    Run& run = book.mStories[size_t(story)].mParagraphs[0].mRuns.front();
    const QString old = run.mText;
    run.mText = run.mText.section(QLatin1Char(' '), 0, 0) + QStringLiteral(" The Last Ferry");
    return QStringLiteral("text: in %1, the heading \"%2\" now reads \"%3\"")
        .arg(describe(book, story), old, run.mText);
}

// A picture frame deleted.
QString BookMaker::deleteFigure(Book& book)
{
    Item& figure = book.mItems[size_t(pageAt(0.35) * SlotCount + FigureSlot)];
    figure.mDeleted = true;
    return QStringLiteral("deleted: image frame \"%1\" on page %2").arg(figure.mName).arg(figure.mPage + 1);
}

// A shape moved and made smaller.
QString BookMaker::moveShape(Book& book)
{
    Item& shape = book.mItems[size_t(pageAt(0.63) * SlotCount + ShapeSlot)];
    shape.mX += 18;
    shape.mY -= 12;
    shape.mWidth = std::round(shape.mWidth * 0.8);
    shape.mHeight = std::round(shape.mHeight * 0.8);
    return QStringLiteral("moved and resized: \"%1\" on page %2, now at %3,%4 pt on its page, %5 x %6 pt")
        .arg(shape.mName)
        .arg(shape.mPage + 1)
        .arg(shape.mX)
        .arg(shape.mY)
        .arg(shape.mWidth)
        .arg(shape.mHeight);
}

// A colour redefined.
QStringList BookMaker::redefineColour(Book& book)
{
    QStringList edits;
    for (Colour& colour : book.mColours)
    {
        if (colour.mName != "Ochre")
            continue;
        colour.mValues = {0, 35, 90, 15};
        edits << QStringLiteral("colour: \"Ochre\" now CMYK 0, 35, 90, 15 (was 0, 25, 80, 10)");
    }
    return edits;
}

// A text frame added, last in the document as Scribus adds one.
QString BookMaker::addErratum(Book& book)
{
    const int page = pageAt(0.8);
    Item erratum = text(QStringLiteral("Erratum %1").arg(page + 1), page, 40, 672, 330, 16);
    erratum.mStyle = "Note";
    erratum.mStory = int(book.mStories.size());
    Story story{"Note",
                {heading("Note", QStringLiteral("Erratum: on page %1, for “south quay” read “north quay”.")
                                     .arg(std::max(1, page - 2)))}};
    book.mStories.push_back(story);
    book.mItems.push_back(erratum);
    return QStringLiteral("added: text frame \"%1\" on page %2").arg(erratum.mName).arg(page + 1);
}

// Writes a book as Scribus 1.5.8 does.
class BookWriter
{
public:
    BookWriter(const Book& book, uint32_t idSeed) : mBook(book), mRandom(idSeed) {}
    QByteArray write();

private:
    void colours();
    void styles();
    void pages();
    void object(const Item& item, bool master, long id);
    void storyText(const Story& story);
    void run(const Run& run);
    QByteArray path(const Item& item) const;

    const Book& mBook;
    std::mt19937 mRandom;
    QByteArray mOut;
    std::vector<long> mIds, mMasterIds;
};

QByteArray BookWriter::write()
{
    mOut.reserve(int(mBook.mPages) * 8400 + 65536);
    // Scribus numbers its items anew on every save, with large numbers that
    // grow in document order; they stay within an int, as Scribus reads them,
    // however many items there are.
    const size_t items = mBook.mMasterItems.size() + mBook.mItems.size();
    const uint32_t step = uint32_t(std::max<size_t>(1, std::min<size_t>(4096, 700000000 / (16 * items))));
    long id = 1200000000L + long(mRandom() % 200000000U);
    for (size_t i = 0; i < mBook.mMasterItems.size(); ++i)
    {
        id += 16 * long(1 + mRandom() % step);
        mMasterIds.push_back(id);
    }
    for (const Item& item : mBook.mItems)
    {
        id += 16 * long(1 + mRandom() % step);
        mIds.push_back(item.mDeleted ? -1 : id);
    }

    mOut += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SCRIBUSUTF8NEW Version=\"1.5.8\">\n";
    QByteArray head(sDocumentHead);
    head.replace("@PAGES@", QByteArray::number(mBook.mPages));
    head.replace("@AUTHOR@", "M. Kerrow");
    head.replace("@COMMENTS@", "Proofs of the second printing");
    head.replace("@TITLE@", "A Year on the Northern Coast");
    mOut += head;
    colours();
    styles();
    for (int layer = 0; layer < 2; ++layer)
    {
        mOut += "        <LAYERS";
        attribute(mOut, "NUMMER", layer);
        attribute(mOut, "LEVEL", layer);
        attribute(mOut, "NAME", layer ? "Figures" : "Background");
        mOut += R"( SICHTBAR="1" DRUCKEN="1" EDIT="1" SELECT="0" FLOW="1" TRANS="1" BLEND="0" OUTL="0")";
        attribute(mOut, "LAYERC", layer ? "#ff0000" : "#000000");
        mOut += "/>\n";
    }
    mOut += sOutputSettings;
    mOut += "        <Sections>\n            <Section Number=\"0\" Name=\"0\" From=\"0\" To=\"" +
            QByteArray::number(mBook.mPages - 1) +
            "\" Type=\"Type_1_2_3\" Start=\"1\" Reversed=\"0\" Active=\"1\" FillChar=\"0\" "
            "FieldWidth=\"0\"/>\n        </Sections>\n";
    pages();
    for (size_t i = 0; i < mBook.mMasterItems.size(); ++i)
        object(mBook.mMasterItems[i], true, mMasterIds[i]);
    for (size_t i = 0; i < mBook.mItems.size(); ++i)
        if (!mBook.mItems[i].mDeleted)
            object(mBook.mItems[i], false, mIds[i]);
    mOut += "    </DOCUMENT>\n</SCRIBUSUTF8NEW>\n";
    return mOut;
}

void BookWriter::colours()
{
    // Scribus keeps its colours in a map by name and writes them in its order.
    std::vector<const Colour*> sorted;
    for (const Colour& colour : mBook.mColours)
        sorted.push_back(&colour);
    std::sort(sorted.begin(), sorted.end(),
              [](const Colour* a, const Colour* b)
              { return QString::fromUtf8(a->mName) < QString::fromUtf8(b->mName); });
    for (const Colour* colour : sorted)
    {
        mOut += "        <COLOR";
        attribute(mOut, "NAME", colour->mName);
        if (colour->mCmyk)
        {
            attribute(mOut, "SPACE", "CMYK");
            attribute(mOut, "C", colour->mValues[0]);
            attribute(mOut, "M", colour->mValues[1]);
            attribute(mOut, "Y", colour->mValues[2]);
            attribute(mOut, "K", colour->mValues[3]);
        }
        else
        {
            attribute(mOut, "SPACE", "RGB");
            attribute(mOut, "R", colour->mValues[0]);
            attribute(mOut, "G", colour->mValues[1]);
            attribute(mOut, "B", colour->mValues[2]);
        }
        if (colour->mSpot)
            attribute(mOut, "Spot", "1");
        if (colour->mRegistration)
            attribute(mOut, "Register", "1");
        mOut += "/>\n";
    }
}

void BookWriter::styles()
{
    mOut += "        <HYPHEN/>\n";
    mOut += sDefaultCharStyle;
    // clang-format off
    mOut +=
        R"(        <CHARSTYLE CNAME="Body Face" FONT="DejaVu Serif Book" FONTSIZE="11" SCOLOR="Black"/>)" "\n"
        R"(        <CHARSTYLE CNAME="Caption Label" FONT="DejaVu Sans Bold" FONTSIZE="8" FCOLOR="Rust")"
        R"( SCOLOR="Black"/>)" "\n"
        R"(        <CHARSTYLE CNAME="Emphasis" FONT="DejaVu Serif Italic" FEATURES="italic" SCOLOR="Black"/>)" "\n"
        R"(        <CHARSTYLE CNAME="Folio" FONT="DejaVu Sans Book" FONTSIZE="8" FCOLOR="Slate" SCOLOR="Black"/>)" "\n"
        R"(        <CHARSTYLE CNAME="Heading Face" FONT="DejaVu Sans Bold" FONTSIZE="18" FCOLOR="Ink Blue")"
        R"( SCOLOR="Black"/>)" "\n"
        R"(        <CHARSTYLE CNAME="Note Face" FONT="DejaVu Sans Book" FONTSIZE="8" SCOLOR="Black"/>)" "\n";
    // clang-format on
    mOut += sDefaultParagraphStyle;
    struct Style
    {
        const char* mName;
        int mAlign;
        double mLineSpacing, mFirst, mBefore, mAfter;
        const char* mCharacterStyle;
    };
    const Style styles[] = {
        {"Body Text", 3, 13, 12, 0, 0, "Body Face"},       {"Body First", 3, 13, 0, 0, 0, "Body Face"},
        {"Heading", 0, 22, 0, 0, 18, "Heading Face"},      {"Note", 0, 10, 0, 0, 3, "Note Face"},
        {"Note Heading", 0, 10, 0, 0, 4, "Caption Label"}, {"Running Head", 0, 10, 0, 0, 0, "Folio"},
    };
    for (const Style& style : styles)
    {
        mOut += "        <STYLE";
        attribute(mOut, "NAME", style.mName);
        attribute(mOut, "ALIGN", style.mAlign);
        attribute(mOut, "LINESPMode", "0");
        attribute(mOut, "LINESP", style.mLineSpacing);
        attribute(mOut, "INDENT", "0");
        attribute(mOut, "RMARGIN", "0");
        attribute(mOut, "FIRST", style.mFirst);
        attribute(mOut, "VOR", style.mBefore);
        attribute(mOut, "NACH", style.mAfter);
        attribute(mOut, "ParagraphEffectOffset", "0");
        attribute(mOut, "DROP", "0");
        attribute(mOut, "Bullet", "0");
        attribute(mOut, "CPARENT", style.mCharacterStyle);
        mOut += "/>\n";
    }
    mOut += sTableStyles;
}

void BookWriter::pages()
{
    auto page = [&](const char* element, double x, double y, int num, const QByteArray& name,
                    const QByteArray& master, bool left)
    {
        mOut += "        <";
        mOut += element;
        attribute(mOut, "PAGEXPOS", x);
        attribute(mOut, "PAGEYPOS", y);
        mOut += " PAGEWIDTH=\"595\" PAGEHEIGHT=\"842\" BORDERLEFT=\"40\" BORDERRIGHT=\"40\" BORDERTOP=\"50\" "
                "BORDERBOTTOM=\"50\"";
        attribute(mOut, "NUM", num);
        attribute(mOut, "NAM", name);
        attribute(mOut, "MNAM", master);
        mOut += " Size=\"Custom\" Orientation=\"0\"";
        attribute(mOut, "LEFT", left ? "1" : "0");
        mOut +=
            " PRESET=\"0\" VerticalGuides=\"\" HorizontalGuides=\"\" AGhorizontalAutoGap=\"0\" "
            "AGverticalAutoGap=\"0\" AGhorizontalAutoCount=\"0\" AGverticalAutoCount=\"0\" "
            "AGhorizontalAutoRefer=\"0\" AGverticalAutoRefer=\"0\" AGSelection=\"0 0 0 0\" "
            "pageEffectDuration=\"1\" pageViewDuration=\"1\" effectType=\"0\" Dm=\"0\" M=\"0\" Di=\"0\"/>\n";
    };
    for (size_t m = 0; m < mBook.mMasters.size(); ++m)
        page("MASTERPAGE", 100, 20, int(m), mBook.mMasters[m].mName, QByteArray(), mBook.mMasters[m].mLeft);
    for (int p = 0; p < mBook.mPages; ++p)
    {
        const auto [x, y] = pageOrigin(p);
        page("PAGE", x, y, p, QByteArray(), mBook.mMasters[size_t(mBook.mMasterOfPage[size_t(p)])].mName,
             false);
    }
}

QByteArray BookWriter::path(const Item& item) const
{
    if (item.mKind == Kind::Line)
        return QByteArray();
    if (item.mKind == Kind::Polygon)
    {
        QByteArray outline;
        for (size_t i = 0; i <= item.mOutline.size(); ++i)
        {
            const auto& [x, y] = item.mOutline[i % item.mOutline.size()];
            outline += (i ? " L" : "M") + number(x * item.mWidth) + ' ' + number(y * item.mHeight);
        }
        return outline + " Z";
    }
    const QByteArray w = number(item.mWidth), h = number(item.mHeight);
    return "M0 0 L" + w + " 0 L" + w + ' ' + h + " L0 " + h + " L0 0 Z";
}

void BookWriter::object(const Item& item, bool master, long id)
{
    // Positions are on the canvas: a master item's from the master page's
    // corner, every other from its page's.
    const auto [pageX, pageY] = master ? std::pair<double, double>(100, 20) : pageOrigin(item.mPage);
    const QByteArray x = number(pageX + item.mX), y = number(pageY + item.mY);
    const bool text = item.mKind == Kind::Text;
    const bool image = item.mKind == Kind::Image;
    const bool line = item.mKind == Kind::Line;
    const bool polygon = item.mKind == Kind::Polygon;
    const bool hasStory = text && item.mStory >= 0;

    mOut += master ? "        <MASTEROBJECT" : "        <PAGEOBJECT";
    attribute(mOut, "XPOS", x);
    attribute(mOut, "YPOS", y);
    attribute(mOut, "OwnPage", item.mPage);
    attribute(mOut, "ItemID", QByteArray::number(qint64(id)));
    attribute(mOut, "PTYPE", text ? "4" : image ? "2" : line ? "5" : "6");
    attribute(mOut, "WIDTH", item.mWidth);
    attribute(mOut, "HEIGHT", item.mHeight);
    attribute(mOut, "FRTYPE", polygon ? "3" : "0");
    attribute(mOut, "CLIPEDIT", polygon ? "1" : "0");
    attribute(mOut, "PWIDTH", item.mLineWidth);
    if (!item.mFill.isEmpty())
        attribute(mOut, "PCOLOR", item.mFill);
    if (line)
        attribute(mOut, "SHADE", "0");
    if (!item.mLine.isEmpty())
        attribute(mOut, "PCOLOR2", item.mLine);
    attribute(mOut, "PLINEART", "1");
    attribute(mOut, "ANNAME", escaped(item.mName));
    if (text || image)
    {
        attribute(mOut, "LOCALSCX", image ? "0.5" : "1");
        attribute(mOut, "LOCALSCY", image ? "0.5" : "1");
        mOut += " LOCALX=\"0\" LOCALY=\"0\" LOCALROT=\"0\" PICART=\"1\" SCALETYPE=\"1\" RATIO=\"1\"";
    }
    if (text)
    {
        const QByteArray inset = number(item.mInset);
        mOut += " COLUMNS=\"1\" COLGAP=\"0\" AUTOTEXT=\"0\"";
        attribute(mOut, "EXTRA", inset);
        attribute(mOut, "TEXTRA", inset);
        attribute(mOut, "BEXTRA", inset);
        attribute(mOut, "REXTRA", inset);
        mOut +=
            " VAlign=\"0\" FLOP=\"1\" PLTSHOW=\"0\" BASEOF=\"0\" textPathType=\"0\" textPathFlipped=\"0\"";
    }
    if (image)
    {
        mOut += " Pagenumber=\"0\"";
        attribute(mOut, "PFILE", escaped(item.mPicture));
        mOut += " IRENDER=\"0\" EMBEDDED=\"0\"";
    }
    const QByteArray outline = path(item);
    attribute(mOut, "path", outline);
    if (!line && !polygon)
        attribute(mOut, "copath", outline);
    if (master)
        attribute(mOut, "OnMasterPage", mBook.mMasters[size_t(item.mPage)].mName);
    attribute(mOut, "gXpos", x);
    attribute(mOut, "gYpos", y);
    mOut += " gWidth=\"0\" gHeight=\"0\"";
    if (!item.mStyle.isEmpty())
        attribute(mOut, "PSTYLE", item.mStyle);
    attribute(mOut, "LAYER", item.mLayer);
    if (text || image)
    {
        attribute(mOut, "NEXTITEM",
                  QByteArray::number(qint64(item.mNext >= 0 ? mIds[size_t(item.mNext)] : -1)));
        attribute(mOut, "BACKITEM",
                  QByteArray::number(qint64(item.mBack >= 0 ? mIds[size_t(item.mBack)] : -1)));
    }
    if (!hasStory)
    {
        mOut += "/>\n";
        return;
    }
    mOut += ">\n";
    storyText(mBook.mStories[size_t(item.mStory)]);
    mOut += master ? "        </MASTEROBJECT>\n" : "        </PAGEOBJECT>\n";
}

void BookWriter::storyText(const Story& story)
{
    mOut += "            <StoryText>\n                <DefaultStyle";
    attribute(mOut, "PARENT", story.mDefaultStyle);
    mOut += "/>\n";
    QByteArray last = story.mDefaultStyle;
    for (size_t p = 0; p < story.mParagraphs.size(); ++p)
    {
        const Paragraph& paragraph = story.mParagraphs[p];
        for (const Run& each : paragraph.mRuns)
            run(each);
        last = paragraph.mStyle;
        if (p + 1 < story.mParagraphs.size())
        {
            mOut += "                <para";
            attribute(mOut, "PARENT", paragraph.mStyle);
            mOut += "/>\n";
        }
    }
    if (story.mPageNumber)
        mOut += "                <var name=\"pgno\"/>\n";
    mOut += "                <trail";
    attribute(mOut, "PARENT", last);
    mOut += "/>\n            </StoryText>\n";
}

void BookWriter::run(const Run& run)
{
    mOut += "                <ITEXT";
    switch (run.mFormat)
    {
    case Format::Plain:
        break;
    case Format::Emphasis:
        attribute(mOut, "CPARENT", "Emphasis");
        break;
    case Format::Bold:
        attribute(mOut, "FONT", "DejaVu Serif Bold");
        break;
    case Format::Accent:
        attribute(mOut, "FCOLOR", "Rust");
        break;
    }
    attribute(mOut, "CH", escaped(run.mText));
    mOut += "/>\n";
}

bool writeFile(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
}

} // namespace

ScribusBook ScribusBookGenerator::generate(const ScribusBookOptions& options)
{
    BookMaker maker(options);
    Book book = maker.make();
    ScribusBook result;
    result.mLeft = BookWriter(book, options.mSeed * 2 + 1).write();
    result.mEdits = maker.edit(book);
    result.mRight = BookWriter(book, options.mSeed * 2 + 2).write();
    return result;
}

bool ScribusBookGenerator::writePair(const ScribusBookOptions& options, const QString& leftPath,
                                     const QString& rightPath, QStringList* edits, QString* error)
{
    const ScribusBook book = generate(options);
    if (edits)
        *edits = book.mEdits;
    return writeFile(leftPath, book.mLeft, error) && writeFile(rightPath, book.mRight, error);
}

} // namespace XTHost
