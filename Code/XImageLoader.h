#pragma once

#include <QImage>
#include <QMutex>
#include <QThread>

#include <atomic>

// Renders a story's first box through the host on a worker thread and
// delivers the picture with XImageLoaded. All loaders share sMutex, so only
// one host rendering runs at a time; while one runs, the GUI thread must not
// let the host run (see WorkInProgress).
class XImageLoader : public QThread
{
    Q_OBJECT

public:
    explicit XImageLoader(QObject* parent = nullptr);
    ~XImageLoader() override;

    // Starts the rendering of the story behind `text`; a null text does
    // nothing.
    void Load(char** text);

    // True while some loader holds the host for a rendering.
    static bool WorkInProgress();

    static QMutex sMutex;

signals:
    void XImageLoaded(QImage image);

protected:
    void run() override;

private:
    char** mText = nullptr;
    std::atomic<bool> mStarted{false};
    std::atomic<bool> mAbandoned{false};
};
