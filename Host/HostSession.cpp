#include "HostSession.h"

#include "Api/ApiTables.h"
#include "Api/HostState.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>

namespace XTHost
{

HostSession::HostSession()
{
    assert(!HostState::current() && "one host session at a time");
    makeState();
}

HostSession::~HostSession() = default;

void HostSession::makeState()
{
    mState.reset();
    mState = std::make_unique<HostState>();
    xtsetuprec& record = mState->mSetupRecord;
    record.major = XT::kInterfaceMajor;
    record.minor = XT::kInterfaceMinor;
    record.flags = XT::kInterfaceFlags;
    record.acquireGroup = Api::acquireGroup;
    record.resolveSelector = Api::resolveSelector;
    record.installCallback = Api::installCallback;
    record.removeCallback = Api::removeCallback;
    record.installSetupCallback = Api::installSetupCallback;
    record.platform = &Api::platformTable();
}

const xtsetuprec* HostSession::setupRecord() const
{
    return &mState->mSetupRecord;
}

XTProjectId HostSession::openProject(const QString& path, QString* error)
{
    QString message;
    const XTProjectId id = mState->openProject(path, &message);
    mState->mLastError = mState->mLastOpenError = message;
    if (error)
        *error = message;
    return id;
}

void HostSession::readAhead(const QString& path)
{
    mState->readAhead(path);
}

QString HostSession::lastError() const
{
    return mState->mLastError;
}

bool HostSession::closeProject(XTProjectId project)
{
    if (!mState->project(project))
        return false;
    mState->closeProject(project);
    return true;
}

const Project* HostSession::project(XTProjectId project) const
{
    OpenProject* open = mState->project(project);
    return open ? &open->mModel : nullptr;
}

void HostSession::reset()
{
    makeState();
}

CallbackRegistry& HostSession::callbacks()
{
    return mState->mCallbacks;
}

void HostSession::withholdGroup(uint32_t group, bool withhold)
{
    if (withhold)
        mState->mWithheldGroups.insert(group);
    else
        mState->mWithheldGroups.erase(group);
}

void HostSession::offerInterfaceVersion(int16_t major, int16_t minor)
{
    mState->mSetupRecord.major = major;
    mState->mSetupRecord.minor = minor;
}

void HostSession::offerGroupVersion(int32_t version)
{
    mState->mGroupVersion = version;
}

void HostSession::failSelector(int32_t selector, bool fail)
{
    if (fail)
        mState->mFailedSelectors.insert(selector);
    else
        mState->mFailedSelectors.erase(selector);
}

void HostSession::refuseEdit(const QString& operation, bool refuse)
{
    if (refuse)
        mState->mRefusedEdits.insert(operation);
    else
        mState->mRefusedEdits.erase(operation);
}

bool ReleaseAtExit()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

void EndWithoutUnwinding(int status)
{
    if (ReleaseAtExit())
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

} // namespace XTHost
