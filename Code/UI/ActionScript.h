#pragma once

// The window driven from a list of its own commands, for automation (a
// script, a test, git mergetool run unattended): CORVANE_EXPLORER_ACTIONS
// names them separated by ';', for example
//
//   CORVANE_EXPLORER_ACTIONS="Next Conflict;Copy Left;Save;Cancel"
//
// Each is a command's text as the menus show it (without "..."), or the text
// of a button: of the question the window is asking, when it asks one, or
// else of the window. Each runs as soon as it is there and enabled, the
// next after it; one that does not turn up within 15 seconds of the window
// waiting for events ends the list: the reason goes to the standard error
// and the window closes without saving.

#include <QObject>
#include <QStringList>
#include <QTimer>

class QWidget;

class ActionScript : public QObject
{
public:
    // Starts the list the environment names, if any, for `window`, which
    // owns it.
    static void StartFromEnvironment(QWidget* window);

private:
    ActionScript(QWidget* window, const QStringList& steps);
    void Poll();
    // The enabled action or button whose text is `step`; null for none.
    QObject* Find(const QString& step) const;
    void Stop(const QString& reason);

    QWidget* mWindow;
    QStringList mSteps;
    QTimer mTimer;
    int mMisses = 0;
};
