#pragma once

#include "XmlIndex.h"

#include "Model/Origin.h"
#include "Model/Project.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace XTHost
{

// A Scribus document as it was read: its bytes and element index, and what
// the reader learned of its pages, objects and stories. It is the model's
// source document (Project::mSource) and the origin of every box, story and
// asset read from it; the writer edits a copy of it and writes everything
// the model does not describe from it.
class ScribusDocument : public SourceDocument
{
public:
    // The newest format version read, as major * 100 + minor.
    static constexpr int sNewestVersion = 105;
    // The most a document may hold uncompressed.
    static constexpr qint64 sMaxSize = qint64(256) << 20;

    struct Page
    {
        uint32_t mElement = XmlIndex::sNone;
        double mX = 0, mY = 0, mWidth = 0, mHeight = 0;
        int mSpread = 0;
    };
    // A page object (PAGEOBJECT) as read.
    struct Object
    {
        uint32_t mElement = XmlIndex::sNone;
        int32_t mNumber = 0;
        int mSpread = -1;          // -1: on no page (the document has none)
        bool mTopLevel = true;     // not inside a group
    };

    // Reads a document (inflated already). False with *error naming the
    // place (line and column, or the element and attribute) when the
    // document is refused.
    // `file` is what the document was inflated from (empty when it was not
    // compressed): it is kept as the document's packed bytes.
    [[nodiscard]] static std::shared_ptr<ScribusDocument> read(QByteArray xml, QByteArray file, Project& project,
                                                               QString* error);

    // The document's index with its bytes, which are unpacked first where
    // they were packed away.
    const XmlIndex& xml() const;
    bool isCompressed() const { return mCompressed; }
    // Format 1.2 (SCRIBUSUTF8): objects inside their pages, links by position.
    bool isOldFormat() const { return mOldFormat; }
    int version() const { return mVersion; }
    // Whether links name frames by ItemID (1.5 on) rather than by position.
    bool linksByItemId() const { return mVersion >= 105; }
    uint32_t documentElement() const { return mDocument; }

    // The layout as read: name, master pages, spreads and their pages (the
    // boxes are not kept here).
    const Layout& layoutAsRead() const { return mLayout; }
    const std::vector<Page>& pages() const { return mPages; }
    int columns() const { return mColumns; }
    int firstColumn() const { return mFirstColumn; }
    // The canvas position of a spread's corner (its first page's top left).
    void spreadOrigin(int spread, double* x, double* y) const;

    // Every page object in the order the reader counts them (and the older
    // formats' links refer to them by): each top-level object, then the
    // objects inside it.
    const std::vector<Object>& objects() const { return mObjects; }
    const Object* objectAt(uint32_t element) const;
    // The frames of a story as read, first frame first, by its first frame.
    const std::vector<uint32_t>* storyFrames(uint32_t firstFrame) const;

    // The box an object element describes, as the reader reads it (without
    // number, names or origin).
    Box readBox(uint32_t element, int spread) const;
    // The element of a colour, style or layer by kind and name.
    uint32_t assetElement(int32_t kind, const QString& name) const;
    // An asset as the reader reads it from its element.
    Asset readAsset(int32_t kind, uint32_t element) const;
    // The layer numbers and names.
    QString layerName(int number) const;
    int layerNumber(const QString& name) const;

private:
    friend class ScribusReader;

    // Once read, a document's bytes are needed only to write it or copy from
    // it; they are kept packed (gzip) until then, since the model holds what
    // a comparison reads and the document's text is there twice otherwise.
    void pack(QByteArray file);

    mutable XmlIndex mXml;
    mutable QByteArray mPacked;
    mutable std::mutex mPackMutex;
    bool mCompressed = false;
    bool mOldFormat = false;
    int mVersion = 0;
    uint32_t mDocument = XmlIndex::sNone;
    Layout mLayout;
    std::vector<Page> mPages;
    int mColumns = 1;     // pages a spread has, as the facing-pages setting groups them
    int mFirstColumn = 0; // the column of the first page
    std::vector<Object> mObjects;
    std::unordered_map<uint32_t, size_t> mObjectIndex;
    std::unordered_map<uint32_t, std::vector<uint32_t>> mStories;
    std::vector<std::pair<std::pair<int32_t, QString>, uint32_t>> mAssets;
};

// The asset kinds a Scribus document holds, and their elements.
namespace ScribusAssets
{
constexpr int32_t sParagraphStyle = 1;
constexpr int32_t sCharacterStyle = 2;
constexpr int32_t sColour = 3;
constexpr int32_t sLayer = 17;
constexpr int32_t sKinds[] = {sParagraphStyle, sCharacterStyle, sColour, sLayer};
const char* elementOf(int32_t kind);
const char* nameAttributeOf(int32_t kind);
int32_t kindOf(const XmlIndex& xml, uint32_t element);
} // namespace ScribusAssets

// The centre of an object's bounding box on the canvas, turned by its
// rotation (degrees) about its corner (x, y): Scribus counts an object to the
// page that holds this point, whatever page its file names.
void rotatedCentre(double x, double y, double width, double height, double rotation, double* cx, double* cy);

// Numbers in the host's 16.16 fixed point and as Scribus writes them.
Fixed toFixed(double value);
double fromFixed(Fixed value);
QString numberText(double value);

} // namespace XTHost
