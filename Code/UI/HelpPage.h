#pragma once

#include <QDialog>
#include <QList>

class QAction;

// Help > Keys and Usage...: the window's keys, read from its own actions so
// that the page cannot fall behind them, and how a comparison goes.
class HelpPage : public QDialog
{
    Q_OBJECT

public:
    HelpPage(const QList<QAction*>& actions, QWidget* parent = nullptr);

    // The page as HTML: a table of the actions that have keys, then the usage.
    static QString Html(const QList<QAction*>& actions);
};
