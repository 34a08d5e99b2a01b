#include "HelpPage.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpPage::HelpPage(const QList<QAction*>& actions, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("mHelpPage"));
    setWindowTitle(tr("CorvaneXT: Keys and Usage"));
    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("mHelpText"));
    text->setOpenExternalLinks(false);
    text->setHtml(Html(actions));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(620, 560);
}

QString HelpPage::Html(const QList<QAction*>& actions)
{
    QString rows;
    for (const QAction* action : actions)
    {
        if (!action || action->isSeparator() || action->shortcuts().isEmpty())
            continue;
        QStringList keys;
        for (const QKeySequence& key : action->shortcuts())
            keys << key.toString(QKeySequence::NativeText).toHtmlEscaped();
        rows += QStringLiteral("<tr><td>%1</td><td><b>%2</b></td></tr>\n")
                    .arg(action->text().remove(QLatin1Char('&')).toHtmlEscaped(), keys.join(QStringLiteral(", ")));
    }
    QFile usage(QStringLiteral(":/Usage.html"));
    const QString body = usage.open(QIODevice::ReadOnly) ? QString::fromUtf8(usage.readAll()) : QString();
    return QStringLiteral("<h2>Keys</h2>\n<table cellspacing=\"0\" cellpadding=\"3\">\n%1</table>\n%2").arg(rows, body);
}
