#pragma once

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QStringList>

// The user's settings of the plug-in, kept in the application settings
// (organisation "Orvandel", application "CorvaneXT"). They are read once,
// on first use, and written through here, so every view reads one value,
// with one default, and hears when it changes.
class UserSettings : public QObject
{
    Q_OBJECT

public:
    static UserSettings& Get();

    // Reads every setting again from the store, for a store changed behind
    // this module's back (another process, a test); tells of what changed.
    void Reload();

    // The statuses the comparison tree shows: a mask of TreeNodeType bits
    // (all four by default).
    int ViewOptions() const { return mViewOptions; }
    void SetViewOptions(int mask);
    // Whether stories are compared word by word (the default) rather than
    // character by character.
    bool CompareWords() const { return mCompareWords; }
    void SetCompareWords(bool words);
    // Whether stories are compared by their formatting as well as their text
    // (the default). `remember` false changes it for this process only (a
    // tool's option).
    bool CompareFormatting() const { return mCompareFormatting; }
    void SetCompareFormatting(bool compare, bool remember = true);
    // Whether every save of a comparison writes its merge log.
    bool WriteMergeLog() const { return mWriteMergeLog; }
    void SetWriteMergeLog(bool write);

    // The patch table's colours: the background and text of a change, the
    // text of an equality (by default the normal text colour: in a change
    // row only what changed stands out).
    QColor DifferenceBackground() const { return mDifferenceBackground; }
    QColor DifferenceForeground() const { return mDifferenceForeground; }
    QColor EqualityForeground() const { return mEqualityForeground; }
    void SetColours(const QColor& differenceBackground, const QColor& differenceForeground,
                    const QColor& equalityForeground);
    static QColor DefaultDifferenceBackground() { return Qt::lightGray; }
    static QColor DefaultDifferenceForeground() { return Qt::darkRed; }
    static QColor DefaultEqualityForeground() { return Qt::black; }

    // The zoom of story previews in percent; 0 fits them to their column.
    int PreviewZoom() const { return mPreviewZoom; }
    void SetPreviewZoom(int percent);
    // The explorer window's last geometry (QWidget::saveGeometry).
    QByteArray ExplorerGeometry() const { return mExplorerGeometry; }
    void SetExplorerGeometry(const QByteArray& geometry);

    // The project picker's recent files of one side (its group's name).
    QStringList History(const QString& group) const;
    void SetHistory(const QString& group, const QStringList& files);
    // The file of that list a prepared run starts with in the picker's field
    // (the group's "picked" key); empty for none.
    QString Picked(const QString& group) const;

signals:
    void viewOptionsChanged();
    // How story text is compared: by words or characters, with or without
    // its formatting.
    void granularityChanged();
    // Whether formatting is compared: items can become identical or edited.
    void formattingChanged();
    void coloursChanged();

private:
    UserSettings();

    int mViewOptions = 0;
    bool mCompareWords = true;
    bool mCompareFormatting = true;
    bool mWriteMergeLog = false;
    QColor mDifferenceBackground;
    QColor mDifferenceForeground;
    QColor mEqualityForeground;
    int mPreviewZoom = 100;
    QByteArray mExplorerGeometry;
};
