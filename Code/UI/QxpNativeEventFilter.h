#pragma once

#include <QAbstractNativeEventFilter>

// Hands the GUI thread's native events to a filter function (the explorer's).
// Installed while at least one explorer runs its loop: explorers nest when
// one opens another comparison.
class QxpNativeEventFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;

    // Every native event goes to `filter`, which drops it by answering true.
    static void Acquire(bool (*filter)(void* message));
    // The filter lives exactly while an explorer runs its loop, so it is
    // removed and deleted while the dispatcher still exists: nothing is left
    // for the process's exit or the module's unloading.
    static void Release();

private:
    static int sUsers;
    static bool (*sFilter)(void* message);
    static QxpNativeEventFilter* sInstance;
};
