#include "XImage.h"

#include "XTCalls.h"

#include <cstdlib>
#include <cstring>

namespace
{

// Entry flags of the first box in a rendering's box list.
constexpr int32_t kRenderEntryFlags = 14;

// Owns a platform handle for the length of a scope.
class HandleHolder
{
public:
    explicit HandleHolder(XTHandle handle) : mHandle(handle) {}
    ~HandleHolder()
    {
        if (mHandle)
            XT::gPlatform->DisposeHandle(mHandle);
    }
    HandleHolder(const HandleHolder&) = delete;
    HandleHolder& operator=(const HandleHolder&) = delete;

    XTHandle Get() const { return mHandle; }

private:
    XTHandle mHandle;
};

} // namespace

XImage::XImage(char** text)
{
    HandleHolder boxes(XT::gPlatform->NewHandle(0));
    if (!boxes.Get() || XT::gText->GetStoryBoxes(text, 0, boxes.Get()) != 0)
        return;
    const int64_t count = XT::gPlatform->GetHandleSize(boxes.Get()) / int64_t(sizeof(XTBoxRef));
    if (count <= 0)
        return;
    XTBoxRef first = XT::kNoBox;
    std::memcpy(&first, *boxes.Get(), sizeof first);

    // One 8-byte entry (box, flags) per box of the story; only the first box
    // is rendered.
    HandleHolder list(XT::gPlatform->NewHandleClear(count * 8));
    if (!list.Get())
        return;
    std::memcpy(*list.Get(), &first, sizeof first);
    std::memcpy(*list.Get() + sizeof first, &kRenderEntryFlags, sizeof kRenderEntryFlags);

    XTFixedRect bounds{};
    if (XT::gBox->GetBoxBounds(first, 1, 16, &bounds) != 0)
        return;
    const int32_t width = (bounds.right - bounds.left) / XT::kFixedOne;
    const int32_t height = (bounds.bottom - bounds.top) / XT::kFixedOne;

    XTRenderContext context = XT::gRendering->NewRenderContext();
    if (!context)
        return;
    XTImage image = nullptr;
    const bool rendered = XT::gRendering->SetRenderSize(context, width, height) == 0 &&
                          XT::gRendering->SetRenderBoxes(context, list.Get()) == 0 &&
                          XT::gRendering->RenderBoxesToImage(context, &image) == 0 && image;
    if (rendered)
    {
        XTFileSpec file = XT::gFiles->NewFileSpec();
        if (file)
        {
            const XT::HostStringHolder name(QString::number(std::rand()) + QStringLiteral(".gif"));
            if (XT::gFiles->GetTempFolder(file) == 0 && XT::gFiles->SetFileName(file, name.Get()) == 0)
            {
                if (XT::gGifFilter->WriteGifFile(image, file) == 0)
                    mFile = file;
                else
                    XT::gFiles->DeleteFile(file); // a partly written file
            }
            if (!mFile)
                XT::gFiles->DisposeFile(file);
        }
    }
    if (image)
        XT::gRendering->DisposeImage(image);
    XT::gRendering->DisposeRenderContext(context);
}

XImage::~XImage()
{
    if (!mFile)
        return;
    XT::gFiles->DeleteFile(mFile);
    XT::gFiles->DisposeFile(mFile);
}

QString XImage::FilePath() const
{
    if (!mFile)
        return QString();
    return XT::ToQString(XT::gFiles->GetFilePath(mFile));
}
