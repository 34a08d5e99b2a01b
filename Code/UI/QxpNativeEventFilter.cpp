#include "QxpNativeEventFilter.h"

#include <QAbstractEventDispatcher>

QxpNativeEventFilter* QxpNativeEventFilter::sInstance = nullptr;
int QxpNativeEventFilter::sUsers = 0;
bool (*QxpNativeEventFilter::sFilter)(void*) = nullptr;

bool QxpNativeEventFilter::nativeEventFilter(const QByteArray&, void* message, long*)
{
    return sFilter && sFilter(message);
}

void QxpNativeEventFilter::Acquire(bool (*filter)(void* message))
{
    sFilter = filter;
    if (sUsers++ == 0)
    {
        sInstance = new QxpNativeEventFilter;
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->installNativeEventFilter(sInstance);
    }
}

void QxpNativeEventFilter::Release()
{
    if (--sUsers == 0)
    {
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->removeNativeEventFilter(sInstance);
        delete sInstance;
        sInstance = nullptr;
    }
}
