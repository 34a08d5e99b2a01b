#include "ActionScript.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QWidget>

#include <cstdio>

namespace
{

constexpr int kPollMs = 50;
constexpr int kWaitMs = 15000;

QString Plain(QString text)
{
    text.remove(QLatin1Char('&'));
    if (text.endsWith(QLatin1String("...")))
        text.chop(3);
    return text.trimmed();
}

QObject* ButtonOf(const QWidget* widget, const QString& step)
{
    for (QAbstractButton* button : widget->findChildren<QAbstractButton*>())
        if (button->isVisible() && button->isEnabled() && Plain(button->text()) == step)
            return button;
    return nullptr;
}

} // namespace

void ActionScript::StartFromEnvironment(QWidget* window)
{
    const QString list = qEnvironmentVariable("CORVANE_EXPLORER_ACTIONS");
    QStringList steps;
    for (const QString& step : list.split(QLatin1Char(';')))
        if (!step.trimmed().isEmpty())
            steps << step.trimmed();
    // Once per window, however often it is shown again.
    if (!steps.isEmpty() && !window->property("corvaneActionScript").toBool())
    {
        window->setProperty("corvaneActionScript", true);
        new ActionScript(window, steps);
    }
}

ActionScript::ActionScript(QWidget* window, const QStringList& steps)
    : QObject(window), mWindow(window), mSteps(steps)
{
    connect(&mTimer, &QTimer::timeout, this, &ActionScript::Poll);
    mTimer.start(kPollMs);
}

QObject* ActionScript::Find(const QString& step) const
{
    // Under a question only its buttons count.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != mWindow)
        return ButtonOf(modal, step);
    for (QAction* action : mWindow->findChildren<QAction*>())
        if (!action->isSeparator() && action->isVisible() && action->isEnabled() &&
            Plain(action->text()) == step)
            return action;
    return ButtonOf(mWindow, step);
}

void ActionScript::Poll()
{
    if (mSteps.isEmpty())
    {
        mTimer.stop();
        return;
    }
    QObject* target = Find(mSteps.first());
    // The wait counts the polls that found nothing, not the time since the
    // last step: a command that works for a minute (a Save of a large merge)
    // holds the polls up, and the step after it may need a moment more.
    if (!target)
    {
        if (++mMisses * kPollMs > kWaitMs)
            Stop(QStringLiteral("no \"%1\" to run").arg(mSteps.first()));
        return;
    }
    mSteps.removeFirst();
    mMisses = 0;
    // From the event loop: a command that asks a question runs a loop of its
    // own, in which the next step is looked for.
    if (auto* action = qobject_cast<QAction*>(target))
        QTimer::singleShot(0, action, &QAction::trigger);
    else
        QTimer::singleShot(0, static_cast<QAbstractButton*>(target), &QAbstractButton::click);
}

void ActionScript::Stop(const QString& reason)
{
    std::fprintf(stderr, "CorvaneXT: CORVANE_EXPLORER_ACTIONS: %s; the window closes without saving\n",
                 qPrintable(reason));
    mSteps.clear();
    mTimer.stop();
    if (auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        question->reject();
    QMetaObject::invokeMethod(mWindow, "reject", Qt::QueuedConnection);
}
