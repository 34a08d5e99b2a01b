#include "Script.h"

#include <QApplication>
#include <QWidget>

Script::Script(int timeoutMs) : mTimeoutMs(timeoutMs)
{
    mTimer.setInterval(5);
    connect(&mTimer, &QTimer::timeout, this, &Script::Poll);
}

Script& Script::Then(const QString& what, std::function<bool()> ready, std::function<void()> act)
{
    mSteps.push_back({what, std::move(ready), std::move(act), false});
    return *this;
}

Script& Script::ThenPost(const QString& what, std::function<bool()> ready, std::function<void()> act)
{
    mSteps.push_back({what, std::move(ready), std::move(act), true});
    return *this;
}

void Script::Start()
{
    mWaiting.start();
    mTimer.start();
}

void Script::Fail(const QString& reason)
{
    if (mFailure.isEmpty())
        mFailure = reason;
    mNext = mSteps.size();
    mTimer.stop();
    // Unblock whatever loop the test waits in: dismiss dialogs and end
    // windows, without saving, until none is left.
    auto* rescue = new QTimer(this);
    connect(rescue, &QTimer::timeout, this,
            [rescue]
            {
                if (QWidget* modal = QApplication::activeModalWidget())
                {
                    if (!QMetaObject::invokeMethod(modal, "reject"))
                        modal->close();
                    return;
                }
                bool any = false;
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (widget->isVisible() && QMetaObject::invokeMethod(widget, "reject"))
                        any = true;
                if (!any)
                    rescue->stop();
            });
    rescue->start(20);
}

void Script::Poll()
{
    if (Finished())
    {
        mTimer.stop();
        return;
    }
    Step& step = mSteps[mNext];
    if (!step.mReady())
    {
        if (mWaiting.elapsed() > mTimeoutMs)
            Fail(QStringLiteral("timed out waiting to %1").arg(step.mWhat));
        return;
    }
    ++mNext;
    mWaiting.restart();
    if (step.mPost)
        QTimer::singleShot(0, this, step.mAct);
    else
        step.mAct();
    if (Finished())
        mTimer.stop();
}

QWidget* Script::Modal(const char* objectName)
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal->objectName() == QLatin1String(objectName) ? modal : nullptr;
}

QWidget* Script::TopLevel(const char* objectName)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->objectName() == QLatin1String(objectName))
            return widget;
    return nullptr;
}
