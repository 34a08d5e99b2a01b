#include "Settings.h"

#include "ui_Settings.h"

#include "UserSettings.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QStyle>
#include <QStyleFactory>

namespace
{


// The view-option bits, one per check box; the same bits as the node statuses.
enum ViewOption
{
    kShowLeftUnique = 1,
    kShowRightUnique = 2,
    kShowIdentical = 4,
    kShowDifferent = 8
};

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

    UserSettings& settings = UserSettings::Get();
    settings.Reload();
    SetButtonColor(mUi->mPatchBGColor, settings.DifferenceBackground());
    SetButtonColor(mUi->mPatchFGColor, settings.DifferenceForeground());
    SetButtonColor(mUi->mEqualityFGColor, settings.EqualityForeground());

    const int options = settings.ViewOptions();
    mUi->showLeftUniqueCheck->setChecked(options & kShowLeftUnique);
    mUi->showRightUniqueCheck->setChecked(options & kShowRightUnique);
    mUi->showIdenticalCheck->setChecked(options & kShowIdentical);
    mUi->showDiffCheck->setChecked(options & kShowDifferent);
    mUi->compareWordsCheck->setChecked(settings.CompareWords());
    connect(mUi->compareWordsCheck, &QCheckBox::toggled, this, &Settings::ViewOptionsChanged);
    mUi->compareFormattingCheck->setChecked(settings.CompareFormatting());
    connect(mUi->compareFormattingCheck, &QCheckBox::toggled, this, &Settings::ViewOptionsChanged);
    mUi->writeMergeLogCheck->setChecked(settings.WriteMergeLog());
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

        UserSettings& settings = UserSettings::Get();
        settings.SetColours(mUi->mPatchBGColor->palette().color(QPalette::Button),
                            mUi->mPatchFGColor->palette().color(QPalette::Button),
                            mUi->mEqualityFGColor->palette().color(QPalette::Button));
        settings.SetViewOptions(options);
        settings.SetCompareWords(mUi->compareWordsCheck->isChecked());
        settings.SetCompareFormatting(mUi->compareFormattingCheck->isChecked());
        settings.SetWriteMergeLog(mUi->writeMergeLogCheck->isChecked());
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
    SetButtonColor(mUi->mPatchBGColor, UserSettings::DefaultDifferenceBackground());
    SetButtonColor(mUi->mPatchFGColor, UserSettings::DefaultDifferenceForeground());
    SetButtonColor(mUi->mEqualityFGColor, UserSettings::DefaultEqualityForeground());
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
