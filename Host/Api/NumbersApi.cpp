#include "ApiTables.h"
#include "HostState.h"
#include "MeasureText.h"

namespace XTHost
{
namespace Api
{

namespace
{

HostString FixedToText(Fixed value, int32_t format)
{
    if (!MeasureText::isKnownFormat(format))
        return nullptr;
    return hostString(MeasureText::format(value, format));
}

Fixed TextToFixed(HostString text, int32_t format, bool* ok)
{
    bool parsed = false;
    HostState* state = HostState::current();
    const QString* string = state ? state->string(text) : nullptr;
    const Fixed value = string ? MeasureText::parse(*string, format, &parsed) : 0;
    if (ok)
        *ok = parsed;
    return parsed ? value : 0;
}

const XTNumbersTable sTable = {FixedToText, TextToFixed};

} // namespace

const XTNumbersTable& numbersTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
