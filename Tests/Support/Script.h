#pragma once

// Drives windows that run their own modal loops: a list of steps, each run as
// soon as its condition holds, checked every few milliseconds from whichever
// event loop is running. A step that waits too long ends the script with a
// failure that the test reports.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class QWidget;

class Script : public QObject
{
public:
    explicit Script(int timeoutMs = 10000);

    // Adds a step: when `ready` answers true, `act` runs.
    Script& Then(const QString& what, std::function<bool()> ready, std::function<void()> act);
    // Adds a step that runs `act` later from the event loop, so that an act
    // which opens a modal loop does not hold up the script.
    Script& ThenPost(const QString& what, std::function<bool()> ready, std::function<void()> act);

    // Starts polling; the application object must exist.
    void Start();
    bool Finished() const { return mNext >= mSteps.size(); }
    // Why the script stopped early; empty when it did not.
    QString Failure() const { return mFailure; }
    // A step can fail the script with a reason.
    void Fail(const QString& reason);

    // The application's modal widget if it has this object name.
    static QWidget* Modal(const char* objectName);
    // A visible top-level widget with this object name.
    static QWidget* TopLevel(const char* objectName);

private:
    void Poll();

    struct Step
    {
        QString mWhat;
        std::function<bool()> mReady;
        std::function<void()> mAct;
        bool mPost;
    };
    std::vector<Step> mSteps;
    size_t mNext = 0;
    int mTimeoutMs;
    QElapsedTimer mWaiting;
    QTimer mTimer;
    QString mFailure;
};
