#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QComboBox;
class Ui_ProjectPickerClass;

// The dialog in which the user picks the two project files of a comparison.
// Each side validates its text at every change; OK is enabled only while both
// sides name a project file that no comparison and no host window has open,
// and not the same one.
class ProjectPicker : public QDialog
{
    Q_OBJECT

public:
    enum ComboID
    {
        LHS = 0,
        RHS = 1
    };

    explicit ProjectPicker(QWidget* parent = nullptr);
    ~ProjectPicker() override;

    QString GetProjectPath(ComboID id) const;

    // The message line's text, for whoever shows or tests it.
    QString Message() const;
    bool IsValid(ComboID id) const { return id == LHS ? mLHSValid : mRHSValid; }
    QComboBox* Combo(ComboID id) const;
    // A side's file the host refused to open: the side is marked invalid
    // with the message, and the file is not kept first in the history.
    void Refuse(ComboID id, const QString& message);

    // Whether a running comparison has a file open: such a file is refused
    // like one the host has open. None: no comparison is running.
    void SetInUse(std::function<bool(const QString&)> inUse) { mInUse = std::move(inUse); }

    // The Browse dialog's file types: project files first.
    static QString BrowseFilter();

private slots:
    void BrowseLHS();
    void BrowseRHS();
    void EditTextChanged(QString text);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    // Whether a side's text names a usable project file; if not, why (an
    // empty message for an empty text).
    bool Check(const QString& text, QString* message) const;
    void Validate(ComboID changed);
    void AddFile(QComboBox* combo, const QString& path);
    void Browse(QComboBox* combo);
    void ReadHistory(const QString& group, QComboBox* combo);
    void WriteHistory(const QString& group, const QComboBox* combo) const;
    // The combo box whose area, in this dialog's coordinates, holds `pos`.
    QComboBox* ComboAt(const QPoint& pos) const;

    std::unique_ptr<Ui_ProjectPickerClass> mUi;
    bool mHistoryChanged = false;
    bool mLHSValid = false;
    bool mRHSValid = false;
    QString mLastPath;
    // Paths refused in this session: moved behind the others in the history.
    QStringList mRefused;
    // Paths the host failed to open in this session.
    QStringList mFailedOpen;
    std::function<bool(const QString&)> mInUse;
};
