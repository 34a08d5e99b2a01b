#include "ProjectPicker.h"

#include "ui_ProjectPicker.h"

#include "UserSettings.h"
#include "XTCalls.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace
{

const char kLHSGroup[] = "LHSFilePaths";
const char kRHSGroup[] = "RHSFilePaths";

// The local path of a dropped file.
QString DroppedPath(const QUrl& url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.path();
}

// Whether the host has the project file open in one of its windows.
bool IsOpenInHost(XTFileSpec file)
{
    const int32_t count = XT::gProject->GetOpenProjectCount();
    for (int32_t i = 0; i < count; ++i)
    {
        const XTProjectId project = XT::gProject->GetOpenProject(i);
        XTFileSpec first = XT::gFiles->NewFileSpec();
        XTFileSpec second = XT::gFiles->NewFileSpec();
        bool useSecond = false;
        bool same = false;
        if (XT::gProject->GetProjectFiles(project, first, second, &useSecond) == 0)
            same = XT::gFiles->SameFile(useSecond ? second : first, file);
        XT::gFiles->DisposeFile(first);
        XT::gFiles->DisposeFile(second);
        if (same)
            return true;
    }
    return false;
}

bool IsSameFile(const QString& a, const QString& b)
{
    const QString first = QFileInfo(a).canonicalFilePath();
    return !first.isEmpty() && first == QFileInfo(b).canonicalFilePath();
}

QString SideName(ProjectPicker::ComboID id)
{
    return id == ProjectPicker::LHS ? QStringLiteral("LHS") : QStringLiteral("RHS");
}

} // namespace

QString ProjectPicker::BrowseFilter()
{
    return QStringLiteral("Projects (*.xprj *.xprt);;All files (*)");
}

void ProjectPicker::Refuse(ComboID id, const QString& message)
{
    const QString path = GetProjectPath(id);
    if (!mFailedOpen.contains(path))
        mFailedOpen << path;
    if (!mRefused.contains(path))
        mRefused << path;
    mHistoryChanged = true;
    (id == LHS ? mLHSValid : mRHSValid) = false;
    mUi->mButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
    mUi->mLabel->setText(message);
}

ProjectPicker::ProjectPicker(QWidget* parent)
    : QDialog(parent), mUi(std::make_unique<Ui_ProjectPickerClass>())
{
    mUi->setupUi(this);
    // The form places its widgets in a fixed area; a layout of the dialog's
    // own lets them follow when the user widens it for a long path.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mUi->layoutWidget);
    ReadHistory(QLatin1String(kLHSGroup), mUi->mLHSFileComboEdit);
    ReadHistory(QLatin1String(kRHSGroup), mUi->mRHSFileComboEdit);
    mUi->mLHSFileComboEdit->setCurrentIndex(-1);
    mUi->mRHSFileComboEdit->setCurrentIndex(-1);
    mUi->mLabel->clear();
    // Nothing is picked yet, whatever the form says.
    mUi->mButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
    // Unless a prepared run (scripts/run-sample) names the files to start
    // with; they are checked as any choice is.
    for (ComboID side : {LHS, RHS})
    {
        const QString picked = UserSettings::Get().Picked(QLatin1String(side == LHS ? kLHSGroup : kRHSGroup));
        const int index = Combo(side)->findText(picked, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!picked.isEmpty() && index >= 0)
            Combo(side)->setCurrentIndex(index);
    }
    if (mUi->mRHSFileComboEdit->count() > 0)
        mLastPath = QFileInfo(mUi->mRHSFileComboEdit->itemText(0)).absoluteFilePath();

    // Drops land on the combo boxes; the dialog handles them, in its own
    // coordinates.
    setAcceptDrops(true);
    for (QComboBox* combo : {mUi->mLHSFileComboEdit, mUi->mRHSFileComboEdit})
    {
        combo->installEventFilter(this);
        if (combo->lineEdit())
            combo->lineEdit()->installEventFilter(this);
    }
}

ProjectPicker::~ProjectPicker()
{
    if (mHistoryChanged)
    {
        for (QComboBox* combo : {mUi->mLHSFileComboEdit, mUi->mRHSFileComboEdit})
            for (const QString& refused : qAsConst(mRefused))
            {
                const int index = combo->findText(refused, Qt::MatchExactly | Qt::MatchCaseSensitive);
                if (index >= 0 && index < combo->count() - 1)
                {
                    combo->removeItem(index);
                    combo->addItem(refused);
                }
            }
        WriteHistory(QLatin1String(kLHSGroup), mUi->mLHSFileComboEdit);
        WriteHistory(QLatin1String(kRHSGroup), mUi->mRHSFileComboEdit);
    }
}

QComboBox* ProjectPicker::Combo(ComboID id) const
{
    return id == LHS ? mUi->mLHSFileComboEdit : mUi->mRHSFileComboEdit;
}

QString ProjectPicker::GetProjectPath(ComboID id) const
{
    return Combo(id)->currentText();
}

QString ProjectPicker::Message() const
{
    return mUi->mLabel->text();
}

void ProjectPicker::ReadHistory(const QString& group, QComboBox* combo)
{
    combo->addItems(UserSettings::Get().History(group));
}

void ProjectPicker::WriteHistory(const QString& group, const QComboBox* combo) const
{
    QStringList files;
    for (int i = 0; i < combo->count(); ++i)
        files << combo->itemText(i);
    UserSettings::Get().SetHistory(group, files);
}

void ProjectPicker::AddFile(QComboBox* combo, const QString& path)
{
    if (path.isEmpty())
        return;
    int index = combo->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
    {
        mLastPath = QFileInfo(path).absoluteFilePath();
        combo->insertItem(0, path);
        mHistoryChanged = true;
        index = 0;
    }
    combo->setCurrentIndex(index);
}

void ProjectPicker::Browse(QComboBox* combo)
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Locate Project"), mLastPath, BrowseFilter());
    if (!path.isEmpty())
        AddFile(combo, path);
}

void ProjectPicker::BrowseLHS()
{
    Browse(mUi->mLHSFileComboEdit);
}

void ProjectPicker::BrowseRHS()
{
    Browse(mUi->mRHSFileComboEdit);
}

void ProjectPicker::EditTextChanged(QString)
{
    Validate(sender() == mUi->mLHSFileComboEdit ? LHS : RHS);
}

bool ProjectPicker::Check(const QString& text, QString* message) const
{
    if (text.isEmpty())
    {
        *message = QString();
        return false;
    }
    const QFileInfo info(text);
    if (!info.exists() || info.isDir())
    {
        *message = QStringLiteral("The selected file does not exist or is a directory.");
        return false;
    }

    XTFileSpec file = nullptr;
    {
        XT::HostStringHolder path(text);
        file = XT::gFiles->FileFromPath(path.Get());
    }
    XTFileInfo fileInfo{};
    const bool haveInfo = file && XT::gFiles->GetFileInfo(file, &fileInfo) == 0;
    const bool openInHost = file && IsOpenInHost(file);
    if (file)
        XT::gFiles->DisposeFile(file);

    if (haveInfo)
    {
        const XTFourCC types[2] = {XT::kFileProject, XT::kFileTemplate};
        bool isProject = false;
        if (XT::gFiles->IsFileOfType(&fileInfo, types, 2, &isProject) != 0 || !isProject)
        {
            *message = QStringLiteral("The selected file is not a QuarkXPress file.");
            return false;
        }
    }
    if ((mInUse && mInUse(text)) || openInHost)
    {
        *message = QStringLiteral("The selected file is already being compared or is open.");
        return false;
    }
    if (mFailedOpen.contains(text))
    {
        *message = QStringLiteral("The selected file could not be opened.");
        return false;
    }
    *message = QString();
    return true;
}

// Both sides are checked at every change: a side refused for naming the same
// file as the other becomes valid again when the other side changes.
void ProjectPicker::Validate(ComboID changed)
{
    const ComboID other = changed == LHS ? RHS : LHS;
    QString messages[2];
    bool valid[2];
    for (ComboID id : {LHS, RHS})
        valid[id] = Check(GetProjectPath(id), &messages[id]);
    if (valid[LHS] && valid[RHS] && IsSameFile(GetProjectPath(LHS), GetProjectPath(RHS)))
    {
        valid[changed] = false;
        messages[changed] = QStringLiteral("The %1 project is the same file as the %2 project: pick another "
                                           "file for the %1.")
                                .arg(SideName(changed), SideName(other));
    }
    mLHSValid = valid[LHS];
    mRHSValid = valid[RHS];
    const QString text = GetProjectPath(changed);
    if (!valid[changed] && !text.isEmpty() && Combo(changed)->findText(text) >= 0 && !mRefused.contains(text))
        mRefused << text;
    else if (valid[changed])
        mRefused.removeAll(text);

    if (mLHSValid && mRHSValid)
        mUi->mLabel->clear();
    else if (!messages[changed].isEmpty())
        mUi->mLabel->setText(messages[changed]);
    else if (!valid[other] && !messages[other].isEmpty())
        mUi->mLabel->setText(messages[other]);
    mUi->mButtonBox->button(QDialogButtonBox::Ok)->setEnabled(mLHSValid && mRHSValid);
}

QComboBox* ProjectPicker::ComboAt(const QPoint& pos) const
{
    for (QComboBox* combo : {mUi->mLHSFileComboEdit, mUi->mRHSFileComboEdit})
        if (QRect(combo->mapTo(this, QPoint(0, 0)), combo->size()).contains(pos))
            return combo;
    return nullptr;
}

void ProjectPicker::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasUrls())
        return;
    const int count = data->urls().size();
    if (count >= 2 || (count == 1 && ComboAt(event->pos())))
        event->acceptProposedAction();
}

void ProjectPicker::dropEvent(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasUrls())
        return;
    const QList<QUrl> urls = data->urls();
    if (urls.size() == 1)
    {
        if (QComboBox* combo = ComboAt(event->pos()))
            AddFile(combo, DroppedPath(urls.first()));
    }
    else if (urls.size() >= 2)
    {
        AddFile(mUi->mLHSFileComboEdit, DroppedPath(urls.at(0)));
        AddFile(mUi->mRHSFileComboEdit, DroppedPath(urls.at(1)));
    }
    event->acceptProposedAction();
}

// Drag events reach the combo boxes (and their line edits) first: hand them
// to the dialog's handlers, with positions in the dialog's coordinates.
bool ProjectPicker::eventFilter(QObject* object, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return QDialog::eventFilter(object, event);
    switch (event->type())
    {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        QDragEnterEvent mapped(widget->mapTo(this, drag->pos()), drag->possibleActions(), drag->mimeData(),
                               drag->mouseButtons(), drag->keyboardModifiers());
        dragEnterEvent(&mapped);
        if (mapped.isAccepted())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop:
    {
        auto* drop = static_cast<QDropEvent*>(event);
        QDropEvent mapped(widget->mapTo(this, drop->pos()), drop->possibleActions(), drop->mimeData(),
                          drop->mouseButtons(), drop->keyboardModifiers());
        dropEvent(&mapped);
        drop->acceptProposedAction();
        return true;
    }
    default:
        return QDialog::eventFilter(object, event);
    }
}
