#include "HostState.h"

#include "Format/ProjectFormats.h"
#include "Model/BuiltInColors.h"

#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>

namespace XTHost
{

HostState* HostState::sCurrent = nullptr;

HostState::HostState()
{
    sCurrent = this;
}

HostState::~HostState()
{
    for (const void* handle : mHandles)
    {
        const HandleBlock* block = static_cast<const HandleBlock*>(handle);
        std::free(block->mData);
        delete block;
    }
    for (const XTBoxRecord* record : mBoxRecords)
        delete record;
    if (sCurrent == this)
        sCurrent = nullptr;
}

bool HostState::refuses(const char* operation)
{
    const HostState* state = current();
    return state && !state->mRefusedEdits.empty() && state->mRefusedEdits.count(QLatin1String(operation)) > 0;
}

HostState* HostState::current()
{
    return sCurrent;
}

namespace
{

std::pair<qint64, qint64> StampOf(const QFileInfo& info)
{
    return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

} // namespace

HostState::ReadAhead::Loaded HostState::load(const QString& path)
{
    ReadAhead::Loaded loaded;
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(ProjectFormat::sHeadSize);
    loaded.mFormat = &ProjectFormats::forHead(head);
    loaded.mRead = loaded.mFormat->load(path, loaded.mModel, &loaded.mError);
    return loaded;
}

void HostState::readAhead(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty() || mReadAhead.count(canonical))
        return;
    ReadAhead& ahead = mReadAhead[canonical];
    std::tie(ahead.mSize, ahead.mModified) = StampOf(info);
    auto done = std::make_shared<std::promise<void>>();
    std::shared_future<void> before = std::exchange(mLastReadAhead, done->get_future().share());
    ahead.mLoaded = std::async(std::launch::async,
                               [path, before, done]
                               {
                                   // The next file waits for this one, read or not.
                                   struct Done
                                   {
                                       std::promise<void>& mDone;
                                       ~Done() { mDone.set_value(); }
                                   } signal{*done};
                                   if (before.valid())
                                       before.wait();
                                   return load(path);
                               });
}

XTProjectId HostState::openProject(const QString& path, QString* error)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    for (const auto& entry : mProjects)
        if (!canonical.isEmpty() && QFileInfo(entry.second->mPath).canonicalFilePath() == canonical)
        {
            *error = QStringLiteral("%1: the project is already open").arg(path);
            return XT::kNoProject;
        }
    ReadAhead::Loaded loaded;
    const auto ahead = mReadAhead.find(canonical);
    if (ahead != mReadAhead.end())
    {
        loaded = ahead->second.mLoaded.get();
        if (StampOf(info) != std::make_pair(ahead->second.mSize, ahead->second.mModified))
            loaded = load(path);
        mReadAhead.erase(ahead);
    }
    else
        loaded = load(path);
    if (!loaded.mRead)
    {
        *error = loaded.mError;
        return XT::kNoProject;
    }
    return addProject(info.absoluteFilePath(), std::move(loaded.mModel), loaded.mFormat)->mId;
}

OpenProject* HostState::addProject(const QString& path, Project model, const ProjectFormat* format)
{
    auto project = std::make_unique<OpenProject>();
    project->mId = mNextProject++;
    project->mPath = path;
    project->mModel = std::move(model);
    project->mFormat = format;
    OpenProject* raw = project.get();
    mProjects.emplace(raw->mId, std::move(project));
    mOpenOrder.push_back(raw->mId);
    registerRefs(*raw);
    return raw;
}

void HostState::registerRefs(OpenProject& project)
{
    project.mSpace = mSpaces.add(project.mId);
    project.mColorList = mColorLists.add(project.mId);
    std::map<std::pair<int32_t, int32_t>, XTBoxRef> boxByNumber;
    Project& model = project.mModel;
    project.mLayoutRefs.resize(model.mLayouts.size());
    for (size_t l = 0; l < model.mLayouts.size(); ++l)
    {
        OpenProject::LayoutRefs& refs = project.mLayoutRefs[l];
        refs.mDoc = mNextDoc++;
        // Document numbers are 16-bit and unique among every open layout.
        do
            mNextDocNumber = mNextDocNumber >= 32767 ? 1 : mNextDocNumber + 1;
        while (mDocNumbers.count(XTDocNumber(mNextDocNumber)));
        refs.mNumber = XTDocNumber(mNextDocNumber);
        mDocs[refs.mDoc] = {&project, int(l)};
        mDocNumbers[refs.mNumber] = refs.mDoc;
        const Layout& layout = model.mLayouts[l];
        refs.mSpreads.resize(layout.mSpreads.size());
        for (size_t s = 0; s < layout.mSpreads.size(); ++s)
        {
            refs.mSpreads[s].mSpreadBox = mNextBox++;
            mBoxes[refs.mSpreads[s].mSpreadBox] = {&project, int(l), int(s), -1};
            for (size_t b = 0; b < layout.mSpreads[s].mBoxes.size(); ++b)
            {
                const XTBoxRef box = registerBox(project, int(l), int(s));
                boxByNumber[{layout.mNumber, layout.mSpreads[s].mBoxes[b].mNumber}] = box;
            }
        }
    }
    for (size_t s = 0; s < model.mStories.size(); ++s)
    {
        registerStory(project);
        for (const BoxLink& link : model.mStories[s].mBoxes)
        {
            auto it = boxByNumber.find({link.mLayout, link.mBox});
            if (it == boxByNumber.end())
                continue;
            project.mBoxStories[it->second] = int(s);
            project.mStoryBoxes[s].push_back(it->second);
        }
    }
    for (int kind = XT::kFirstAssetKind; kind <= XT::kLastAssetKind; ++kind)
    {
        AssetUID next = kind == XT::kColorAssetKind ? OpenProject::sFirstColorUid : 1;
        std::vector<AssetUID>& uids = project.mAssetUids[kind - 1];
        for (size_t i = 0; i < model.mAssets[kind - 1].size(); ++i)
            uids.push_back(next++);
        project.mNextUid[kind - 1] = next;
    }
}

XTBoxRef HostState::registerBox(OpenProject& project, int layout, int spread)
{
    OpenProject::SpreadRefs& refs = project.mLayoutRefs[layout].mSpreads[spread];
    const XTBoxRef box = mNextBox++;
    mBoxes[box] = {&project, layout, spread, int(refs.mBoxes.size())};
    refs.mBoxes.push_back(box);
    return box;
}

XTTextRef HostState::registerStory(OpenProject& project)
{
    mTextCells.push_back(nullptr);
    XTTextRef text = &mTextCells.back();
    mTexts[text] = {&project, int(project.mStoryTexts.size())};
    project.mStoryTexts.push_back(text);
    project.mSelections.emplace_back(0, 0);
    project.mStoryBoxes.emplace_back();
    return text;
}

void HostState::closeProject(XTProjectId id)
{
    auto it = mProjects.find(id);
    if (it == mProjects.end())
        return;
    OpenProject& project = *it->second;
    for (const OpenProject::LayoutRefs& layout : project.mLayoutRefs)
    {
        mDocs.erase(layout.mDoc);
        mDocNumbers.erase(layout.mNumber);
        for (const OpenProject::SpreadRefs& spread : layout.mSpreads)
        {
            mBoxes.erase(spread.mSpreadBox);
            for (XTBoxRef box : spread.mBoxes)
            {
                mBoxes.erase(box);
                auto picture = mPictures.find(box);
                if (picture != mPictures.end())
                {
                    mPictureTokens.remove(picture->second);
                    mPictures.erase(picture);
                }
                if (mCurrentBox == box)
                    mCurrentBox = XT::kNoBox;
            }
        }
    }
    for (XTTextRef text : project.mStoryTexts)
        mTexts.erase(text);
    mSpaces.remove(project.mSpace);
    mColorLists.remove(project.mColorList);
    mAssetIterators.removeIf([id](const AssetIteratorData& d) { return d.mProject == id; });
    mCopyContexts.removeIf([id](const AssetCopyData& d) { return d.mSource == id || d.mDestination == id; });
    mOpenOrder.erase(std::remove(mOpenOrder.begin(), mOpenOrder.end(), id), mOpenOrder.end());
    mProjects.erase(it);
}

OpenProject* HostState::project(XTProjectId id)
{
    auto it = mProjects.find(id);
    return it == mProjects.end() ? nullptr : it->second.get();
}

OpenProject* HostState::projectOfSpace(AssetSpaceRef space)
{
    const XTProjectId* id = mSpaces.find(space);
    return id ? project(*id) : nullptr;
}

OpenProject* HostState::projectOfColorList(XTColorList list)
{
    const XTProjectId* id = mColorLists.find(list);
    return id ? project(*id) : nullptr;
}

bool HostState::findDoc(DocRef doc, OpenProject** project, int* layout)
{
    auto it = mDocs.find(doc);
    if (it == mDocs.end())
        return false;
    *project = it->second.first;
    *layout = it->second.second;
    return true;
}

const BoxLocation* HostState::findBox(XTBoxRef box)
{
    auto it = mBoxes.find(box);
    return it == mBoxes.end() ? nullptr : &it->second;
}

const TextLocation* HostState::findText(XTTextRef text)
{
    auto it = mTexts.find(text);
    return it == mTexts.end() ? nullptr : &it->second;
}

DocRef HostState::docFromNumber(XTDocNumber number) const
{
    auto it = mDocNumbers.find(number);
    return it == mDocNumbers.end() ? XT::kNoDoc : it->second;
}

XTPicture HostState::pictureOf(XTBoxRef box)
{
    auto it = mPictures.find(box);
    if (it != mPictures.end())
        return it->second;
    const XTPicture picture = mPictureTokens.add(box);
    mPictures[box] = picture;
    return picture;
}

XTBoxRef HostState::boxOfPicture(XTPicture picture)
{
    const XTBoxRef* box = mPictureTokens.find(picture);
    return box ? *box : XT::kNoBox;
}

HostString HostState::newString(const QString& text)
{
    return mStrings.add(text);
}

XTHandle HostState::newHandle(int64_t size, bool clear)
{
    if (size < 0 || size > (int64_t(1) << 31))
        return nullptr;
    char* data = static_cast<char*>(clear ? std::calloc(size_t(size ? size : 1), 1)
                                          : std::malloc(size_t(size ? size : 1)));
    if (!data)
        return nullptr;
    HandleBlock* block = new HandleBlock{data, size};
    std::lock_guard<std::recursive_mutex> lock(mHandleMutex);
    mHandles.insert(block);
    return &block->mData;
}

bool HostState::isHandle(XTHandle handle) const
{
    std::lock_guard<std::recursive_mutex> lock(mHandleMutex);
    return handle && mHandles.count(handle) > 0;
}

bool HostState::resizeHandle(XTHandle handle, int64_t size)
{
    std::lock_guard<std::recursive_mutex> lock(mHandleMutex);
    if (!isHandle(handle) || size < 0 || size > (int64_t(1) << 31))
        return false;
    HandleBlock* block = reinterpret_cast<HandleBlock*>(handle);
    char* data = static_cast<char*>(std::realloc(block->mData, size_t(size ? size : 1)));
    if (!data)
        return false;
    if (size > block->mSize)
        std::memset(data + block->mSize, 0, size_t(size - block->mSize));
    block->mData = data;
    block->mSize = size;
    return true;
}

int64_t HostState::handleSize(XTHandle handle) const
{
    std::lock_guard<std::recursive_mutex> lock(mHandleMutex);
    return isHandle(handle) ? reinterpret_cast<const HandleBlock*>(handle)->mSize : 0;
}

void HostState::disposeHandle(XTHandle handle)
{
    std::lock_guard<std::recursive_mutex> lock(mHandleMutex);
    if (!isHandle(handle))
        return;
    HandleBlock* block = reinterpret_cast<HandleBlock*>(handle);
    mHandles.erase(block);
    std::free(block->mData);
    delete block;
}

XTBoxRecord* HostState::newBoxRecord()
{
    XTBoxRecord* record = new XTBoxRecord();
    std::memset(record, 0, sizeof(XTBoxRecord));
    mBoxRecords.insert(record);
    return record;
}

void HostState::disposeBoxRecord(XTBoxRecord* record)
{
    if (mBoxRecords.erase(record))
        delete record;
}

QString HostState::preferencesFolder() const
{
    if (!mPlugin.mPreferencesFolder.isEmpty())
        return mPlugin.mPreferencesFolder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/xthost/Preferences");
}

QString HostState::temporaryFolder()
{
    std::lock_guard<std::recursive_mutex> lock(mHandleMutex);
    // QTemporaryDir makes the folder with mode 0700 and removes it with the
    // host, so nobody else can plant or read files in it.
    if (!mTemporaryDir)
        mTemporaryDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/xthost-XXXXXX"));
    return mTemporaryDir->isValid() ? mTemporaryDir->path() : QString();
}

} // namespace XTHost
