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

} // namespace

struct PreferencesManager::Record
{
    int16_t top;
    int16_t left;
    uint8_t flag;
    uint8_t padding;
};
static_assert(sizeof(PreferencesManager::Record) == kRecordSize, "the palette record is 6 bytes");

namespace
{

const PreferencesManager::Record kDefaults{kDefaultCorner, kDefaultCorner, 0, 0};

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
    ReleaseHost();
}

void PreferencesManager::ReleaseHost()
{
    if (mFileName && XT::gStrings)
        XT::gStrings->ReleaseHostString(mFileName);
    mFileName = nullptr;
    mRead = false;
    mChanged = false;
}

void PreferencesManager::TakeRecord(const Record& record)
{
    mTop = record.top;
    mLeft = record.left;
    mFlag = record.flag;
    mPadding = record.padding;
    mChanged = false;
}

bool PreferencesManager::ReadPreferences()
{
    MakeFileName();
    XT_ASSERT(mFileName != nullptr);
    // Whatever happens below, no earlier record and no byte of an unread
    // buffer is taken for this one.
    TakeRecord(kDefaults);
    mRead = false;

    XTFileRef file = nullptr;
    XTError status = XT::gPreferences->OpenPreferencesFile(mFileName, 1, 3, &file);
    if (status != 0)
        return false;
    XTHandle buffer = XT::gPlatform->NewHandle(kRecordSize);
    XT_ASSERT(buffer != nullptr);
    mByteCount = kRecordSize;
    status = XT::gPlatform->FSRead(file, &mByteCount, *buffer);
    XT::gPreferences->CloseFile(file, 1);
    Record record = kDefaults;
    const bool whole = status == 0 && mByteCount == kRecordSize;
    if (whole)
        std::memcpy(&record, *buffer, kRecordSize);
    XT::gPlatform->DisposeHandle(buffer);

    if (whole)
    {
        TakeRecord(record);
        mRead = true;
        return true;
    }
    // The file ended before a whole record: it holds none, and gets the
    // default one from its start.
    if (status == XT::kEofErr)
    {
        mRead = true;
        status = WriteRecord(kDefaults);
    }
    return status == 0;
}

bool PreferencesManager::WritePreferences()
{
    if (!mRead && !mChanged)
        return true;
    // Called at the host's unload notice: without a host to name the file
    // there is nothing to write to, and nothing to stop for.
    MakeFileName();
    if (!mFileName || !XT::gPreferences || !XT::gPlatform)
        return false;
    return WriteRecord(Record{mTop, mLeft, mFlag, mPadding}) == 0;
}

// Writes a record at the start of the file; the status of the transfer, or
// of the open when the file cannot be opened.
int32_t PreferencesManager::WriteRecord(const Record& record)
{
    XTFileRef file = nullptr;
    const XTError opened = XT::gPreferences->OpenPreferencesFile(mFileName, 1, 3, &file);
    if (opened != 0)
        return opened;
    mByteCount = kRecordSize;
    const XTOSErr status = XT::gPlatform->FSWrite(file, &mByteCount, &record);
    XT::gPreferences->CloseFile(file, 1);
    return status != 0 ? status : (mByteCount == kRecordSize ? 0 : XT::kEofErr);
}

void PreferencesManager::SetFlag(uint8_t flag)
{
    mFlag = flag;
    mChanged = true;
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
    mChanged = true;
}
