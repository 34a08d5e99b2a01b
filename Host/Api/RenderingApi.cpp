#include "ApiTables.h"
#include "GifWriter.h"
#include "HostState.h"

#include <QFont>
#include <QPainter>
#include <QTextLayout>

#include <cstring>

namespace XTHost
{
namespace Api
{

namespace
{

// The largest picture the host renders, in points.
constexpr int32_t sMaxSide = 4096;

XTRenderContext NewRenderContext()
{
    HostState* state = HostState::current();
    return state ? state->mPlugin.mRenderContexts.add(RenderContext()) : nullptr;
}

XTError SetRenderSize(XTRenderContext context, int32_t width, int32_t height)
{
    HostState* state = HostState::current();
    RenderContext* render = state ? state->mPlugin.mRenderContexts.find(context) : nullptr;
    if (!render || width <= 0 || height <= 0 || width > sMaxSide || height > sMaxSide)
        return XT::kErrParam;
    render->mWidth = width;
    render->mHeight = height;
    return XT::kNoErr;
}

// The list holds 8-byte entries: a box and its flags.
XTError SetRenderBoxes(XTRenderContext context, XTHandle boxList)
{
    HostState* state = HostState::current();
    RenderContext* render = state ? state->mPlugin.mRenderContexts.find(context) : nullptr;
    if (!render || !state->isHandle(boxList))
        return XT::kErrParam;
    const int64_t count = state->handleSize(boxList) / 8;
    render->mBoxes.clear();
    for (int64_t i = 0; i < count; ++i)
    {
        XTBoxRef box = XT::kNoBox;
        std::memcpy(&box, *boxList + i * 8, sizeof box);
        if (box != XT::kNoBox)
            render->mBoxes.push_back(box);
    }
    return XT::kNoErr;
}

// The text of the story a text box shows, as the reader sees it: without its
// hidden runs.
QString VisibleStoryText(HostState& state, const BoxLocation& location)
{
    const Box* box = location.box();
    if (!box || !box->isText())
        return QString();
    const int32_t layout = location.layout().mNumber;
    for (const Story& story : location.mProject->mModel.mStories)
        for (const BoxLink& link : story.mBoxes)
            if (link.mLayout == layout && link.mBox == box->mNumber)
            {
                QString text;
                int from = 0;
                for (const HiddenRun& run : story.mRuns)
                {
                    text += story.mText.mid(from, run.mOffset - from);
                    from = run.end();
                }
                text += story.mText.mid(from);
                return text;
            }
    return QString();
}

// Draws the first box: its frame, and the story it shows wrapped to its
// width inside its text insets, paragraph by paragraph. Reads the document
// only, so it may run on a worker thread while the main thread waits.
XTError RenderBoxesToImage(XTRenderContext context, XTImage* image)
{
    HostState* state = HostState::current();
    RenderContext* render = state ? state->mPlugin.mRenderContexts.find(context) : nullptr;
    if (!render || !image || render->mWidth <= 0 || render->mHeight <= 0 || render->mBoxes.empty())
        return XT::kErrParam;
    const BoxLocation* location = state->findBox(render->mBoxes.front());
    if (!location || !location->box())
        return XT::kErrNotFound;

    QImage picture(render->mWidth, render->mHeight, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(0, 0, render->mWidth - 1, render->mHeight - 1);

    const Box& box = *location->box();
    const auto toPoints = [](Fixed value) { return qreal(value) / XT::kFixedOne; };
    const QRectF area = QRectF(0, 0, render->mWidth, render->mHeight)
                            .adjusted(toPoints(box.mInsets[1]) + 2, toPoints(box.mInsets[0]) + 2,
                                      -toPoints(box.mInsets[3]) - 2, -toPoints(box.mInsets[2]) - 2);
    QFont font(QStringLiteral("Serif"));
    font.setPixelSize(11);
    painter.setPen(Qt::black);
    qreal y = area.top();
    const QStringList paragraphs = VisibleStoryText(*state, *location).split(QLatin1Char('\r'));
    for (const QString& paragraph : paragraphs)
    {
        QTextLayout layout(paragraph, font);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
        {
            line.setLineWidth(qMax<qreal>(1, area.width()));
            line.setPosition(QPointF(0, y - area.top()));
            y += line.height();
        }
        layout.endLayout();
        layout.draw(&painter, area.topLeft());
        if (y > area.bottom())
            break;
    }
    painter.end();
    *image = state->mPlugin.mImages.add(picture);
    return XT::kNoErr;
}

void DisposeRenderContext(XTRenderContext context)
{
    if (HostState* state = HostState::current())
        state->mPlugin.mRenderContexts.remove(context);
}

void DisposeImage(XTImage image)
{
    if (HostState* state = HostState::current())
        state->mPlugin.mImages.remove(image);
}

XTError WriteGifFile(XTImage image, XTFileSpec file)
{
    HostState* state = HostState::current();
    const QImage* picture = state ? state->mPlugin.mImages.find(image) : nullptr;
    const FileSpecData* spec = state ? state->mFiles.find(file) : nullptr;
    if (!picture || !spec || spec->mPath.isEmpty())
        return XT::kErrParam;
    QString error;
    if (!WriteGif(*picture, spec->mPath, &error))
    {
        state->mLastError = error;
        return XT::kErrRefused;
    }
    return XT::kNoErr;
}

const XTRenderingTable sTable = {NewRenderContext,   SetRenderSize,        SetRenderBoxes,
                                 RenderBoxesToImage, DisposeRenderContext, DisposeImage};
const XTGifFilterTable sGifTable = {WriteGifFile};

} // namespace

const XTRenderingTable& renderingTable()
{
    return sTable;
}

const XTGifFilterTable& gifFilterTable()
{
    return sGifTable;
}

} // namespace Api
} // namespace XTHost
