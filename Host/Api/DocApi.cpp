#include "ApiTables.h"
#include "DocHit.h"
#include "HostState.h"

#include <algorithm>
#include <limits>

namespace XTHost
{
namespace Api
{

namespace
{

DocRef DocumentRefFromNumber(XTDocNumber number)
{
    HostState* state = HostState::current();
    return state ? state->docFromNumber(number) : XT::kNoDoc;
}

XTDocNumber DocumentNumberFromRef(DocRef doc)
{
    const DocHit hit = findDoc(doc);
    return hit ? hit.refs().mNumber : XT::kNoDocNumber;
}

Spread* spreadOf(DocRef doc, int16_t index, OpenProject** project = nullptr)
{
    const DocHit hit = findDoc(doc);
    if (!hit || index < 1 || index > int(hit.layout().mSpreads.size()))
        return nullptr;
    if (project)
        *project = hit.mProject;
    return &hit.layout().mSpreads[index - 1];
}

XTError GetSpreadBounds(DocRef doc, int16_t index, Fixed bounds[4])
{
    const Spread* spread = spreadOf(doc, index);
    if (!spread || !bounds)
        return XT::kErrParam;
    std::copy(spread->mBounds.begin(), spread->mBounds.end(), bounds);
    return XT::kNoErr;
}

XTError SetSpreadBounds(DocRef doc, int16_t index, Fixed b0, Fixed b1, Fixed b2, Fixed b3)
{
    OpenProject* project = nullptr;
    Spread* spread = spreadOf(doc, index, &project);
    if (!spread)
        return XT::kErrParam;
    // Left, right, top, bottom: as a project file may hold them, the width and
    // height not negative and measures themselves.
    if (b1 < b0 || b3 < b2 || int64_t(b1) - b0 > std::numeric_limits<Fixed>::max() ||
        int64_t(b3) - b2 > std::numeric_limits<Fixed>::max())
        return XT::kErrParam;
    const std::array<Fixed, 4> bounds{b0, b1, b2, b3};
    if (bounds != spread->mBounds)
    {
        spread->mBounds = bounds;
        project->mModified = true;
    }
    return XT::kNoErr;
}

int16_t GetSpreadShortValue(DocRef doc, int16_t index)
{
    const Spread* spread = spreadOf(doc, index);
    return spread ? spread->mColumns : 0;
}

XTError SetSpreadShortValue(DocRef doc, int16_t index, int16_t value)
{
    OpenProject* project = nullptr;
    Spread* spread = spreadOf(doc, index, &project);
    // The columns a project file may hold.
    if (!spread || value < 1 || value > 30)
        return XT::kErrParam;
    if (spread->mColumns != value)
    {
        spread->mColumns = value;
        project->mModified = true;
    }
    return XT::kNoErr;
}

Fixed GetSpreadFixedValue(DocRef doc, int16_t index)
{
    const Spread* spread = spreadOf(doc, index);
    return spread ? spread->mGutter : 0;
}

XTError SetSpreadFixedValue(DocRef doc, int16_t index, Fixed value)
{
    OpenProject* project = nullptr;
    Spread* spread = spreadOf(doc, index, &project);
    if (!spread)
        return XT::kErrParam;
    if (spread->mGutter != value)
    {
        spread->mGutter = value;
        project->mModified = true;
    }
    return XT::kNoErr;
}

const XTDocTable sDocTable = {DocumentRefFromNumber, DocumentNumberFromRef, GetSpreadBounds,
                              SetSpreadBounds,       GetSpreadShortValue,   SetSpreadShortValue,
                              GetSpreadFixedValue,   SetSpreadFixedValue};

} // namespace

const XTDocTable& docTable()
{
    return sDocTable;
}

} // namespace Api
} // namespace XTHost
