#include "ApiTables.h"
#include "HostState.h"

namespace XTHost
{
namespace Api
{

namespace
{

HostString HostStringFromUtf16(const uint16_t* chars, int32_t length)
{
    HostState* state = HostState::current();
    if (!state || (!chars && length != 0))
        return nullptr;
    if (length < 0)
    {
        length = 0;
        while (chars[length])
            ++length;
    }
    // The units as they are: fromUtf16 would take a leading U+FEFF or U+FFFE
    // for a byte order mark, drop it, and swap the bytes of the rest after
    // U+FFFE.
    return state->newString(QString(reinterpret_cast<const QChar*>(chars), length));
}

int32_t HostStringLength(HostString string)
{
    HostState* state = HostState::current();
    const QString* text = state ? state->string(string) : nullptr;
    return text ? text->size() : 0;
}

const uint16_t* HostStringChars(HostString string)
{
    static const uint16_t sEmpty = 0;
    HostState* state = HostState::current();
    QString* text = state ? state->string(string) : nullptr;
    return text ? reinterpret_cast<const uint16_t*>(text->utf16()) : &sEmpty;
}

void ReleaseHostString(HostString string)
{
    if (HostState* state = HostState::current())
        state->releaseString(string);
}

// The plug-in's string resources arrive with the resources group.
HostString LoadPluginString(int32_t listId, int32_t index, XTResourceSet set)
{
    return loadPluginString(listId, index, set);
}

const XTStringsTable sTable = {HostStringFromUtf16, HostStringLength, HostStringChars, ReleaseHostString,
                               LoadPluginString};

} // namespace

const XTStringsTable& stringsTable()
{
    return sTable;
}

HostString hostString(const QString& text)
{
    HostState* state = HostState::current();
    return state ? state->newString(text) : nullptr;
}

QString stringOf(HostString handle)
{
    HostState* state = HostState::current();
    const QString* text = state ? state->string(handle) : nullptr;
    return text ? *text : QString();
}

} // namespace Api
} // namespace XTHost
