#include "ProjectPicker.h"

#include "ui_ProjectPicker.h"

#include "CorvaneExplorerInvoker.h"
#include "XTCalls.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
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

} // namespace

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
    QSettings settings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
    settings.beginGroup(group);
    const int count = settings.value(QStringLiteral("count"), 0).toInt();
    for (int i = 0; i < count; ++i)
        combo->addItem(settings.value(QString::number(i)).toString());
    settings.endGroup();
}

void ProjectPicker::WriteHistory(const QString& group, const QComboBox* combo) const
{
    QSettings settings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
    settings.beginGroup(group);
    settings.setValue(QStringLiteral("count"), combo->count());
    for (int i = 0; i < combo->count(); ++i)
        settings.setValue(QString::number(i), combo->itemText(i));
    settings.endGroup();
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
        QFileDialog::getOpenFileName(this, QStringLiteral("Locate Quark Project"), mLastPath);
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

void ProjectPicker::EditTextChanged(QString text)
{
    const bool left = sender() == mUi->mLHSFileComboEdit;
    bool& valid = left ? mLHSValid : mRHSValid;
    QPushButton* ok = mUi->mButtonBox->button(QDialogButtonBox::Ok);

    auto refuse = [&](const QString& message)
    {
        valid = false;
        ok->setEnabled(false);
        if (!message.isNull())
            mUi->mLabel->setText(message);
    };

    if (text.isEmpty())
    {
        refuse(QString());
        return;
    }
    const QFileInfo info(text);
    if (!info.exists() || info.isDir())
    {
        refuse(QStringLiteral("The selected file does not exist or is a directory."));
        return;
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
            refuse(QStringLiteral("The selected file is not a QuarkXPress file."));
            return;
        }
    }
    if (CorvaneExplorerInvoker::IsInvoked(text) || openInHost)
    {
        refuse(QStringLiteral("The selected file is already being compared or is open."));
        return;
    }

    valid = true;
    if (mLHSValid && mRHSValid)
        mUi->mLabel->clear();
    ok->setEnabled(mLHSValid && mRHSValid);
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
