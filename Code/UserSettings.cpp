#include "UserSettings.h"

#include <QSettings>

namespace
{

const QString kViewOptionsKey = QStringLiteral("prefs/ViewOptions");
const QString kGranularityKey = QStringLiteral("prefs/StoryGranularity");
const QString kMergeLogKey = QStringLiteral("prefs/WriteMergeLog");
const QString kDifferenceBackgroundKey = QStringLiteral("prefs/Colors/diffBG");
const QString kDifferenceForegroundKey = QStringLiteral("prefs/Colors/diffFG");
const QString kEqualityForegroundKey = QStringLiteral("prefs/Colors/equalityFG");
const QString kPreviewZoomKey = QStringLiteral("prefs/PreviewZoom");
const QString kGeometryKey = QStringLiteral("CorvaneExplorer/Geometry");
// OnlyInLeft | OnlyInRight | Identical | HasEdits: every status shows.
constexpr int kAllStatuses = 15;

QSettings Store()
{
    return QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
}

QColor ColourOf(const QSettings& store, const QString& key, const QColor& fallback)
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
    const int viewOptions = store.value(kViewOptionsKey, kAllStatuses).toInt();
    const bool words = store.value(kGranularityKey).toString() != QLatin1String("characters");
    const QColor colours[3] = {ColourOf(store, kDifferenceBackgroundKey, DefaultDifferenceBackground()),
                               ColourOf(store, kDifferenceForegroundKey, DefaultDifferenceForeground()),
                               ColourOf(store, kEqualityForegroundKey, DefaultEqualityForeground())};
    mWriteMergeLog = store.value(kMergeLogKey, false).toBool();
    mPreviewZoom = store.value(kPreviewZoomKey, 100).toInt();
    mExplorerGeometry = store.value(kGeometryKey).toByteArray();

    const bool viewChanged = viewOptions != mViewOptions;
    const bool wordsChanged = words != mCompareWords;
    const bool coloursChanged = colours[0] != mDifferenceBackground || colours[1] != mDifferenceForeground ||
                                colours[2] != mEqualityForeground;
    mViewOptions = viewOptions;
    mCompareWords = words;
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
    Store().setValue(kViewOptionsKey, mask);
    if (mask == mViewOptions)
        return;
    mViewOptions = mask;
    emit viewOptionsChanged();
}

void UserSettings::SetCompareWords(bool words)
{
    Store().setValue(kGranularityKey, words ? QStringLiteral("words") : QStringLiteral("characters"));
    if (words == mCompareWords)
        return;
    mCompareWords = words;
    emit granularityChanged();
}

void UserSettings::SetWriteMergeLog(bool write)
{
    Store().setValue(kMergeLogKey, write);
    mWriteMergeLog = write;
}

void UserSettings::SetColours(const QColor& differenceBackground, const QColor& differenceForeground,
                              const QColor& equalityForeground)
{
    QSettings store = Store();
    store.setValue(kDifferenceBackgroundKey, differenceBackground);
    store.setValue(kDifferenceForegroundKey, differenceForeground);
    store.setValue(kEqualityForegroundKey, equalityForeground);
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
    Store().setValue(kPreviewZoomKey, percent);
    mPreviewZoom = percent;
}

void UserSettings::SetExplorerGeometry(const QByteArray& geometry)
{
    Store().setValue(kGeometryKey, geometry);
    mExplorerGeometry = geometry;
}

QStringList UserSettings::History(const QString& group) const
{
    QSettings store = Store();
    store.beginGroup(group);
    QStringList files;
    const int count = store.value(QStringLiteral("count"), 0).toInt();
    for (int i = 0; i < count; ++i)
        files << store.value(QString::number(i)).toString();
    return files;
}

void UserSettings::SetHistory(const QString& group, const QStringList& files)
{
    QSettings store = Store();
    store.beginGroup(group);
    store.setValue(QStringLiteral("count"), files.size());
    for (int i = 0; i < files.size(); ++i)
        store.setValue(QString::number(i), files.at(i));
}
