#include "Preferences.h"

#include "Assert.h"
#include "XTCalls.h"

#include <cstring>

namespace
{

const char kFileName[] = "Trellium Preferences";
constexpr int32_t kRecordSize = 6;
constexpr int16_t kNoPosition = 32767;
constexpr int16_t kDefaultCorner = 72;

struct Record
{
    int16_t top;
    int16_t left;
    uint8_t flag;
    uint8_t padding;
};
static_assert(sizeof(Record) == kRecordSize, "the palette record is 6 bytes");

} // namespace

PreferencesManager* PreferencesManager::GetInstance()
{
    static PreferencesManager instance;
    return &instance;
}

PreferencesManager::PreferencesManager()
{
    MakeFileName();
}

// The singleton may be made before the host has handed out its string group;
// the name is then made on first use.
void PreferencesManager::MakeFileName()
{
    if (!mFileName && XT::gStrings)
        mFileName = XT::FromQString(QString::fromLatin1(kFileName));
}

PreferencesManager::~PreferencesManager()
{
    ReleaseHostStrings();
}

void PreferencesManager::ReleaseHostStrings()
{
    if (mFileName && XT::gStrings)
        XT::gStrings->ReleaseHostString(mFileName);
    mFileName = nullptr;
}

bool PreferencesManager::ReadPreferences()
{
    MakeFileName();
    XT_ASSERT(mFileName != nullptr);
    XTFileRef file = nullptr;
    XTError status = XT::gPreferences->OpenPreferencesFile(mFileName, 1, 3, &file);
    if (status != 0)
        return false;

    XTHandle buffer = XT::gPlatform->NewHandle(kRecordSize);
    XT_ASSERT(buffer != nullptr);
    mByteCount = kRecordSize;
    status = XT::gPlatform->FSRead(file, &mByteCount, *buffer);
    if (status == XT::kEofErr && mByteCount == 0)
    {
        const Record defaults{kDefaultCorner, kDefaultCorner, 0, 0};
        std::memcpy(*buffer, &defaults, kRecordSize);
        mByteCount = kRecordSize;
        status = XT::gPlatform->FSWrite(file, &mByteCount, *buffer);
    }
    XT::gPreferences->CloseFile(file, 1);

    Record record{};
    std::memcpy(&record, *buffer, kRecordSize);
    XT::gPlatform->DisposeHandle(buffer);
    mTop = record.top;
    mLeft = record.left;
    mFlag = record.flag;
    return status == 0;
}

void PreferencesManager::WritePreferences()
{
    // Called at the host's unload notice: without a host to name the file
    // there is nothing to write to, and nothing to stop for.
    MakeFileName();
    if (!mFileName)
        return;
    XTFileRef file = nullptr;
    if (XT::gPreferences->OpenPreferencesFile(mFileName, 1, 3, &file) != 0)
        return;
    const Record record{mTop, mLeft, mFlag, 0};
    mByteCount = kRecordSize;
    XT::gPlatform->FSWrite(file, &mByteCount, &record);
    XT::gPreferences->CloseFile(file, 1);
}

Rect PreferencesManager::GetPaletteRect(long palette) const
{
    if (mTop == kNoPosition && mLeft == kNoPosition)
        return Rect{kNoPosition, kNoPosition, 0, 0};
    Rect bounds{};
    XT::gPreferences->GetPaletteBounds(int32_t(palette), &bounds);
    return Rect{mTop, mLeft, int16_t(mTop + bounds.bottom + 20), int16_t(mLeft + bounds.right + 20)};
}

void PreferencesManager::SetPaletteRect(const Rect& rect)
{
    mTop = rect.top;
    mLeft = rect.left;
}
