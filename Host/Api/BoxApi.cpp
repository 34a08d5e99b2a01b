#include "ApiTables.h"
#include "HostState.h"

#include <limits>

namespace XTHost
{
namespace Api
{

namespace
{

const BoxLocation* locate(XTBoxRef box)
{
    HostState* state = HostState::current();
    return state ? state->findBox(box) : nullptr;
}

bool fitsFixed(int64_t value)
{
    return value >= std::numeric_limits<Fixed>::min() && value <= std::numeric_limits<Fixed>::max();
}

XTBoxRef GetCurrentBox()
{
    HostState* state = HostState::current();
    return state ? state->mCurrentBox : XT::kNoBox;
}

void SetCurrentBox(XTBoxRef box)
{
    HostState* state = HostState::current();
    if (state && (box == XT::kNoBox || state->findBox(box)))
        state->mCurrentBox = box;
}

HostString GetBoxName(XTBoxRef box)
{
    const BoxLocation* location = locate(box);
    if (!location)
        return nullptr;
    return hostString(location->isSpreadBox() ? location->spread().mName : location->box()->mName);
}

int32_t GetBoxNumber(XTBoxRef box, int32_t flags)
{
    const BoxLocation* location = locate(box);
    return location && !location->isSpreadBox() ? location->box()->mNumber : 0;
}

XTBoxRef GetFirstBox(XTBoxRef spreadBox, int32_t flags)
{
    const BoxLocation* location = locate(spreadBox);
    if (!location || !location->isSpreadBox())
        return XT::kNoBox;
    const std::vector<XTBoxRef>& boxes = location->layoutRefs().mSpreads[location->mSpread].mBoxes;
    return boxes.empty() ? XT::kNoBox : boxes.front();
}

XTBoxRef GetNextBox(XTBoxRef box, int32_t flags)
{
    const BoxLocation* location = locate(box);
    if (!location || location->isSpreadBox())
        return XT::kNoBox;
    const std::vector<XTBoxRef>& boxes = location->layoutRefs().mSpreads[location->mSpread].mBoxes;
    const size_t next = size_t(location->mBox) + 1;
    return next < boxes.size() ? boxes[next] : XT::kNoBox;
}

DocRef GetBoxDocument(XTBoxRef box)
{
    const BoxLocation* location = locate(box);
    return location ? location->layoutRefs().mDoc : XT::kNoDoc;
}

int16_t GetBoxContentType(XTBoxRef box)
{
    const BoxLocation* location = locate(box);
    if (!location)
        return -1;
    return location->isSpreadBox() ? int16_t(XT::kContentSpread) : location->box()->mKind;
}

bool IsPictureBox(XTBoxRef box)
{
    const BoxLocation* location = locate(box);
    return location && !location->isSpreadBox() && location->box()->isPicture();
}

bool IsTextBox(XTBoxRef box)
{
    const BoxLocation* location = locate(box);
    return location && !location->isSpreadBox() && location->box()->isText();
}

XTError MoveBox(XTBoxRef box, Fixed dv, Fixed dh, int32_t flags)
{
    if (HostState::refuses("MoveBox"))
        return XT::kErrRefused;
    const BoxLocation* location = locate(box);
    if (!location || location->isSpreadBox())
        return XT::kErrParam;
    XTFixedRect& bounds = location->box()->mBounds;
    const int64_t left = int64_t(bounds.left) + dh;
    const int64_t right = int64_t(bounds.right) + dh;
    const int64_t top = int64_t(bounds.top) + dv;
    const int64_t bottom = int64_t(bounds.bottom) + dv;
    if (!fitsFixed(left) || !fitsFixed(right) || !fitsFixed(top) || !fitsFixed(bottom))
        return XT::kErrParam;
    if (dv == 0 && dh == 0)
        return XT::kNoErr;
    bounds = {Fixed(left), Fixed(top), Fixed(right), Fixed(bottom)};
    location->mProject->mModified = true;
    return XT::kNoErr;
}

XTBoxRecord* GetBoxRecord(int32_t flags, XTBoxRef box, int32_t options)
{
    HostState* state = HostState::current();
    const BoxLocation* location = locate(box);
    if (!location || location->isSpreadBox())
        return nullptr;
    const XTFixedRect& bounds = location->box()->mBounds;
    XTBoxRecord* record = state->newBoxRecord();
    record->header.code = 0;
    record->header.size = int32_t(sizeof(XTBoxRecord));
    record->box = box;
    record->width = bounds.right - bounds.left;
    record->height = bounds.bottom - bounds.top;
    return record;
}

XTError SetBoxRecord(const XTBoxRecord* record, XTBoxRef box, int32_t flags, int32_t options)
{
    const BoxLocation* location = locate(box);
    if (!record || !location || location->isSpreadBox())
        return XT::kErrParam;
    if (record->header.size != int32_t(sizeof(XTBoxRecord)) || record->box != box)
        return XT::kErrParam;
    XTFixedRect& bounds = location->box()->mBounds;
    const int64_t right = int64_t(bounds.left) + record->width;
    const int64_t bottom = int64_t(bounds.top) + record->height;
    if (record->width < 0 || record->height < 0 || !fitsFixed(right) || !fitsFixed(bottom))
        return XT::kErrParam;
    if (right == bounds.right && bottom == bounds.bottom)
        return XT::kNoErr;
    bounds.right = Fixed(right);
    bounds.bottom = Fixed(bottom);
    location->mProject->mModified = true;
    return XT::kNoErr;
}

void DisposeBoxRecord(XTBoxRecord* record, int32_t flags)
{
    if (HostState* state = HostState::current())
        state->disposeBoxRecord(record);
}

XTError GetBoxBounds(XTBoxRef box, int32_t flags, int32_t precision, XTFixedRect* bounds)
{
    const BoxLocation* location = locate(box);
    if (!location || !bounds)
        return XT::kErrParam;
    if (location->isSpreadBox())
    {
        const std::array<Fixed, 4>& b = location->spread().mBounds;
        *bounds = {b[0], b[2], b[1], b[3]};
    }
    else
        *bounds = location->box()->mBounds;
    return XT::kNoErr;
}

XTError SetBoxName(XTBoxRef box, HostString name)
{
    if (HostState::refuses("SetBoxName"))
        return XT::kErrRefused;
    const BoxLocation* location = locate(box);
    if (!location || location->isSpreadBox())
        return XT::kErrParam;
    const QString text = stringOf(name);
    if (location->box()->mName == text)
        return XT::kNoErr;
    location->box()->mName = text;
    location->mProject->mModified = true;
    return XT::kNoErr;
}

XTError DeleteBox(XTBoxRef box)
{
    if (HostState::refuses("DeleteBox"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    return state && state->removeBox(box) ? XT::kNoErr : XT::kErrParam;
}

HostString GetBoxDefaultName(XTBoxRef box)
{
    const BoxLocation* location = locate(box);
    if (!location || location->isSpreadBox())
        return nullptr;
    return hostString(location->box()->mDefaultName);
}

XTError SetBoxStackedAbove(XTBoxRef box, XTBoxRef below)
{
    if (HostState::refuses("SetBoxStackedAbove"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    return state && state->restackBox(box, below) ? XT::kNoErr : XT::kErrParam;
}

XTError MoveBoxToSpread(XTBoxRef box, XTBoxRef spreadBox)
{
    if (HostState::refuses("MoveBoxToSpread"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    return state && state->moveBoxToSpread(box, spreadBox) ? XT::kNoErr : XT::kErrParam;
}

const XTBoxTable sTable = {GetCurrentBox,   SetCurrentBox,    GetBoxName,        GetBoxNumber,     GetFirstBox,
                           GetNextBox,      GetBoxDocument,   GetBoxContentType, IsPictureBox,     IsTextBox,
                           MoveBox,         GetBoxRecord,     SetBoxRecord,      DisposeBoxRecord, GetBoxBounds,
                           SetBoxName,      DeleteBox,        GetBoxDefaultName, SetBoxStackedAbove,
                           MoveBoxToSpread};

} // namespace

const XTBoxTable& boxTable()
{
    return sTable;
}

XTError getBoxGeometry(XTBoxRef box, XTBoxGeometry* geometry)
{
    XTFixedRect bounds;
    if (!geometry || GetBoxBounds(box, 1, 16, &bounds) != XT::kNoErr)
        return XT::kErrParam;
    geometry->bounds = bounds;
    geometry->origin = {bounds.left, bounds.top};
    return XT::kNoErr;
}

} // namespace Api
} // namespace XTHost
