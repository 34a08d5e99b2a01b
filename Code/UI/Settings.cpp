#include "Settings.h"

#include "ui_Settings.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>

namespace
{

const Qt::GlobalColor kDefaultDiffBG = Qt::lightGray;
const Qt::GlobalColor kDefaultDiffFG = Qt::darkRed;
const Qt::GlobalColor kDefaultEqualityFG = Qt::darkGreen;
const int kDefaultViewOptions = 15;

// The view-option bits, one per check box; the same bits as the node statuses.
enum ViewOption
{
    kShowLeftUnique = 1,
    kShowRightUnique = 2,
    kShowIdentical = 4,
    kShowDifferent = 8
};

QSettings AppSettings()
{
    return QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
}

} // namespace

Settings::Settings(QWidget* parent) : QDialog(parent), mUi(new Ui_SettingsClass), mChanged(false)
{
    mUi->setupUi(this);

    // Platform styles draw a tool button from their own images and ignore its
    // button colour; the Windows style paints it, so the colour shows
    // everywhere.
    if (QStyle* windows = QStyleFactory::create(QStringLiteral("Windows")))
    {
        windows->setParent(this);
        for (QToolButton* button : {mUi->mPatchBGColor, mUi->mPatchFGColor, mUi->mEqualityFGColor})
            button->setStyle(windows);
    }

    QSettings settings = AppSettings();
    settings.beginGroup(QStringLiteral("prefs"));
    SetButtonColor(mUi->mPatchBGColor,
                   settings.value(QStringLiteral("Colors/diffBG"), QColor(kDefaultDiffBG)).value<QColor>());
    SetButtonColor(mUi->mPatchFGColor,
                   settings.value(QStringLiteral("Colors/diffFG"), QColor(kDefaultDiffFG)).value<QColor>());
    SetButtonColor(
        mUi->mEqualityFGColor,
        settings.value(QStringLiteral("Colors/equalityFG"), QColor(kDefaultEqualityFG)).value<QColor>());

    const int options = settings.value(QStringLiteral("ViewOptions"), kDefaultViewOptions).toInt();
    mUi->showLeftUniqueCheck->setChecked(options & kShowLeftUnique);
    mUi->showRightUniqueCheck->setChecked(options & kShowRightUnique);
    mUi->showIdenticalCheck->setChecked(options & kShowIdentical);
    mUi->showDiffCheck->setChecked(options & kShowDifferent);
    mUi->compareWordsCheck->setChecked(settings.value(QStringLiteral("StoryGranularity")).toString() !=
                                       QLatin1String("characters"));
    connect(mUi->compareWordsCheck, &QCheckBox::toggled, this, &Settings::ViewOptionsChanged);
    mUi->writeMergeLogCheck->setChecked(settings.value(QStringLiteral("WriteMergeLog"), false).toBool());
    connect(mUi->writeMergeLogCheck, &QCheckBox::toggled, this, &Settings::ViewOptionsChanged);
}

Settings::~Settings() = default;

void Settings::accept()
{
    if (mChanged)
    {
        int options = 0;
        if (mUi->showLeftUniqueCheck->isChecked())
            options |= kShowLeftUnique;
        if (mUi->showRightUniqueCheck->isChecked())
            options |= kShowRightUnique;
        if (mUi->showIdenticalCheck->isChecked())
            options |= kShowIdentical;
        if (mUi->showDiffCheck->isChecked())
            options |= kShowDifferent;

        QSettings settings = AppSettings();
        settings.beginGroup(QStringLiteral("prefs"));
        settings.setValue(QStringLiteral("Colors/diffBG"),
                          mUi->mPatchBGColor->palette().color(QPalette::Button));
        settings.setValue(QStringLiteral("Colors/diffFG"),
                          mUi->mPatchFGColor->palette().color(QPalette::Button));
        settings.setValue(QStringLiteral("Colors/equalityFG"),
                          mUi->mEqualityFGColor->palette().color(QPalette::Button));
        settings.setValue(QStringLiteral("ViewOptions"), options);
        settings.setValue(QStringLiteral("StoryGranularity"), mUi->compareWordsCheck->isChecked()
                                                                  ? QStringLiteral("words")
                                                                  : QStringLiteral("characters"));
        settings.setValue(QStringLiteral("WriteMergeLog"), mUi->writeMergeLogCheck->isChecked());
    }
    QDialog::accept();
}

void Settings::SetDifferenceBG()
{
    SetToolButtonBG(mUi->mPatchBGColor);
}

void Settings::SetDifferenceFG()
{
    SetToolButtonBG(mUi->mPatchFGColor);
}

void Settings::SetEqualityFG()
{
    SetToolButtonBG(mUi->mEqualityFGColor);
}

void Settings::Defaults()
{
    SetButtonColor(mUi->mPatchBGColor, kDefaultDiffBG);
    SetButtonColor(mUi->mPatchFGColor, kDefaultDiffFG);
    SetButtonColor(mUi->mEqualityFGColor, kDefaultEqualityFG);
    mChanged = true;
}

void Settings::ViewOptionsChanged()
{
    mChanged = true;
}

void Settings::SetButtonColor(QToolButton* button, const QColor& colour)
{
    QPalette palette = button->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Button, colour);
    button->setPalette(palette);
}

void Settings::SetToolButtonBG(QToolButton* button)
{
    const QColor colour = QColorDialog::getColor(button->palette().color(QPalette::Window), button);
    if (colour.isValid())
        SetButtonColor(button, colour);
    mChanged = true;
}
