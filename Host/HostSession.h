#pragma once

#include "XTGroups.h"

#include <QString>

#include <memory>

namespace XTHost
{

class CallbackRegistry;
class HostState;
struct Project;

// The in-process host. Tests, tools and xthost make one; while it lives it is
// the host that the function tables reach. Only one exists at a time, since
// the tables are plain C functions without a context.
class HostSession
{
public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // What the plug-in's setup callback receives.
    const xtsetuprec* setupRecord() const;

    // Opens a project file; -1 with the reason in *error (and lastError()).
    XTProjectId openProject(const QString& path, QString* error = nullptr);
    // Starts reading a file that will be opened soon (by the plug-in, say)
    // on a thread of its own.
    void readAhead(const QString& path);
    // The reason the last open or save failed, naming the file and the place.
    QString lastError() const;
    bool closeProject(XTProjectId project);
    // A project's document as the host holds it now; null when not open.
    const Project* project(XTProjectId project) const;

    // Closes every project and forgets every handle, callback and setting, as
    // a freshly made session.
    void reset();

    CallbackRegistry& callbacks();

    // Failure injection: a group the host does not offer, another interface
    // version in the setup record, another version of every group, and a
    // selector that does not resolve.
    void withholdGroup(uint32_t group, bool withhold = true);
    void offerInterfaceVersion(int16_t major, int16_t minor);
    void offerGroupVersion(int32_t version);
    void failSelector(int32_t selector, bool fail = true);
    // Makes an edit operation answer kErrRefused and change nothing: one of
    // "CopyAsset", "SetBoxProperty", "MoveBox", "DeleteTextRange",
    // "CopyTextRange", "XEPaste".
    void refuseEdit(const QString& operation, bool refuse = true);

private:
    void makeState();

    std::unique_ptr<HostState> mState;
};

// Whether a program should free what it holds before it exits. Builds with
// AddressSanitizer must, so that its leak check still sees what a run leaves
// behind; elsewhere, freeing a large comparison and its projects piece by
// piece takes a tenth of the run, and the system takes the memory back at
// once.
bool ReleaseAtExit();
// Ends the process now with `status`, its output flushed, unless
// ReleaseAtExit(): then it returns and the caller unwinds as usual.
void EndWithoutUnwinding(int status);

} // namespace XTHost
