#include "UserSettings.h"

#include <QSettings>

namespace
{

// The keys are made afresh at each use (QLatin1String), never from string
// literals held by this module: QSettings keeps the keys it was given in a
// cache of QtCore's, which outlives a plug-in module that is unloaded.
const char* const kViewOptionsKey = "prefs/ViewOptions";
const char* const kGranularityKey = "prefs/StoryGranularity";
const char* const kFormattingKey = "prefs/CompareFormatting";
const char* const kMergeLogKey = "prefs/WriteMergeLog";
const char* const kDifferenceBackgroundKey = "prefs/Colors/diffBG";
const char* const kDifferenceForegroundKey = "prefs/Colors/diffFG";
const char* const kEqualityForegroundKey = "prefs/Colors/equalityFG";
const char* const kPreviewZoomKey = "prefs/PreviewZoom";
const char* const kGeometryKey = "CorvaneExplorer/Geometry";
// OnlyInLeft | OnlyInRight | Identical | HasEdits: every status shows.
constexpr int kAllStatuses = 15;

QSettings Store()
{
    return QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
}

QColor ColourOf(const QSettings& store, const QLatin1String& key, const QColor& fallback)
{
    const QColor colour = store.value(key, fallback).value<QColor>();
    return colour.isValid() ? colour : fallback;
}

} // namespace

UserSettings& UserSettings::Get()
{
    static UserSettings settings;
    return settings;
}

UserSettings::UserSettings()
{
    Reload();
}

void UserSettings::Reload()
{
    const QSettings store = Store();
    const int viewOptions = store.value(QLatin1String(kViewOptionsKey), kAllStatuses).toInt();
    const bool words = store.value(QLatin1String(kGranularityKey)).toString() != QLatin1String("characters");
    const QColor colours[3] = {ColourOf(store, QLatin1String(kDifferenceBackgroundKey), DefaultDifferenceBackground()),
                               ColourOf(store, QLatin1String(kDifferenceForegroundKey), DefaultDifferenceForeground()),
                               ColourOf(store, QLatin1String(kEqualityForegroundKey), DefaultEqualityForeground())};
    const bool formatting = store.value(QLatin1String(kFormattingKey), true).toBool();
    mWriteMergeLog = store.value(QLatin1String(kMergeLogKey), false).toBool();
    // Fit width: a story's rendering is as wide as its page, which is wider
    // than most windows' preview column.
    mPreviewZoom = store.value(QLatin1String(kPreviewZoomKey), 0).toInt();
    mExplorerGeometry = store.value(QLatin1String(kGeometryKey)).toByteArray();

    const bool viewChanged = viewOptions != mViewOptions;
    const bool wordsChanged = words != mCompareWords || formatting != mCompareFormatting;
    const bool coloursChanged = colours[0] != mDifferenceBackground || colours[1] != mDifferenceForeground ||
                                colours[2] != mEqualityForeground;
    mViewOptions = viewOptions;
    mCompareWords = words;
    mCompareFormatting = formatting;
    mDifferenceBackground = colours[0];
    mDifferenceForeground = colours[1];
    mEqualityForeground = colours[2];
    if (viewChanged)
        emit viewOptionsChanged();
    if (wordsChanged)
        emit granularityChanged();
    if (coloursChanged)
        emit this->coloursChanged();
}

void UserSettings::SetViewOptions(int mask)
{
    Store().setValue(QLatin1String(kViewOptionsKey), mask);
    if (mask == mViewOptions)
        return;
    mViewOptions = mask;
    emit viewOptionsChanged();
}

void UserSettings::SetCompareWords(bool words)
{
    Store().setValue(QLatin1String(kGranularityKey), QLatin1String(words ? "words" : "characters"));
    if (words == mCompareWords)
        return;
    mCompareWords = words;
    emit granularityChanged();
}

void UserSettings::SetCompareFormatting(bool compare, bool remember)
{
    if (remember)
        Store().setValue(QLatin1String(kFormattingKey), compare);
    if (compare == mCompareFormatting)
        return;
    mCompareFormatting = compare;
    emit formattingChanged();
}

void UserSettings::SetWriteMergeLog(bool write)
{
    Store().setValue(QLatin1String(kMergeLogKey), write);
    mWriteMergeLog = write;
}

void UserSettings::SetColours(const QColor& differenceBackground, const QColor& differenceForeground,
                              const QColor& equalityForeground)
{
    QSettings store = Store();
    store.setValue(QLatin1String(kDifferenceBackgroundKey), differenceBackground);
    store.setValue(QLatin1String(kDifferenceForegroundKey), differenceForeground);
    store.setValue(QLatin1String(kEqualityForegroundKey), equalityForeground);
    if (differenceBackground == mDifferenceBackground && differenceForeground == mDifferenceForeground &&
        equalityForeground == mEqualityForeground)
        return;
    mDifferenceBackground = differenceBackground;
    mDifferenceForeground = differenceForeground;
    mEqualityForeground = equalityForeground;
    emit coloursChanged();
}

void UserSettings::SetPreviewZoom(int percent)
{
    Store().setValue(QLatin1String(kPreviewZoomKey), percent);
    mPreviewZoom = percent;
}

void UserSettings::SetExplorerGeometry(const QByteArray& geometry)
{
    Store().setValue(QLatin1String(kGeometryKey), geometry);
    mExplorerGeometry = geometry;
}

QStringList UserSettings::History(const QString& group) const
{
    QSettings store = Store();
    store.beginGroup(group);
    QStringList files;
    const int count = store.value(QLatin1String("count"), 0).toInt();
    for (int i = 0; i < count; ++i)
        files << store.value(QString::number(i)).toString();
    return files;
}

QString UserSettings::Picked(const QString& group) const
{
    return Store().value(group + QLatin1String("/picked")).toString();
}

void UserSettings::SetHistory(const QString& group, const QStringList& files)
{
    QSettings store = Store();
    store.beginGroup(group);
    store.setValue(QLatin1String("count"), files.size());
    for (int i = 0; i < files.size(); ++i)
        store.setValue(QString::number(i), files.at(i));
}
