#include "XImageLoader.h"

#include "XImage.h"

#include <QMutexLocker>

QMutex XImageLoader::sMutex;

XImageLoader::XImageLoader(QObject* parent) : QThread(parent)
{
}

// The thread is never terminated: killed while it holds sMutex or is inside
// the host, it would leave the mutex locked (and every event dropped) or the
// host half-way through a call. A loader that has not begun is told to skip
// its work instead; one that has begun is waited for.
XImageLoader::~XImageLoader()
{
    if (!mStarted)
        mAbandoned = true;
    if (isRunning())
    {
        quit();
        wait();
    }
}

void XImageLoader::Load(char** text)
{
    if (!text)
        return;
    mText = text;
    start(QThread::InheritPriority);
}

bool XImageLoader::WorkInProgress()
{
    if (!sMutex.tryLock())
        return true;
    sMutex.unlock();
    return false;
}

void XImageLoader::run()
{
    if (mAbandoned)
        return;
    QImage image;
    {
        QMutexLocker lock(&sMutex);
        mStarted = true;
        // The temporary file is deleted (a host call) before the lock goes, so
        // that the host is never called from two threads at once.
        const XImage rendering(mText);
        const QString path = rendering.FilePath();
        if (!path.isEmpty())
            image.load(path);
    }
    emit XImageLoaded(image);
}
