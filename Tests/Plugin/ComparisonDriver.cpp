#include "ComparisonDriver.h"

#include "PluginSession.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include <dlfcn.h>

namespace Driver
{

namespace
{

QModelIndex FindText(QAbstractItemModel* model, const QModelIndex& parent, const QString& text)
{
    for (int row = 0; row < model->rowCount(parent); ++row)
    {
        const QModelIndex index = model->index(row, 0, parent);
        if (index.data().toString() == text)
            return index;
        const QModelIndex found = FindText(model, index, text);
        if (found.isValid())
            return found;
    }
    return QModelIndex();
}

void Click(QAbstractItemView* view, const QModelIndex& index)
{
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(index).center());
}

} // namespace

void Pick(Script& script, const QString& lhs, const QString& rhs)
{
    script.Then(
        QStringLiteral("see the project picker"),
        [] { return Script::Modal("ProjectPickerClass") != nullptr; },
        [&script, lhs, rhs]
        {
            QWidget* picker = Script::Modal("ProjectPickerClass");
            picker->findChild<QComboBox*>(QStringLiteral("mLHSFileComboEdit"))->setEditText(lhs);
            picker->findChild<QComboBox*>(QStringLiteral("mRHSFileComboEdit"))->setEditText(rhs);
            QPushButton* ok = picker->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                                  ->button(QDialogButtonBox::Ok);
            if (!ok->isEnabled())
                script.Fail(QStringLiteral("the picker refused %1 and %2").arg(lhs, rhs));
            else
                ok->click();
        });
}

QWidget* Explorer()
{
    if (QApplication::activeModalWidget())
        return nullptr;
    return Script::TopLevel("CorvaneExplorer");
}

bool SelectPair(QWidget* explorer, const QString& text)
{
    auto* tree = explorer->findChild<QTreeView*>(QStringLiteral("mExplorer"));
    tree->expandAll();
    const QModelIndex index = FindText(tree->model(), QModelIndex(), text);
    if (!index.isValid())
        return false;
    Click(tree, index);
    return tree->currentIndex() == index;
}

QString CopyRow(QWidget* explorer, int nth, bool left)
{
    auto* table = explorer->findChild<QTableView*>(QStringLiteral("mDiffTable"));
    QAbstractItemModel* model = table->model();
    if (!model)
        return QStringLiteral("no patch table");
    for (int row = 0; row < model->rowCount(); ++row)
    {
        const QModelIndex index = model->index(row, 0);
        if (!index.data(Qt::BackgroundRole).isValid() || nth-- > 0)
            continue;
        // The copy actions follow changes of the current row only: a row
        // that is current already (an undone copy) is left and clicked again.
        if (table->currentIndex().row() == row && model->rowCount() > 1)
            Click(table, model->index(row == 0 ? 1 : 0, 0));
        else if (table->currentIndex().row() == row)
            table->setCurrentIndex(QModelIndex());
        Click(table, index);
        if (table->currentIndex().row() != row)
            return QStringLiteral("the click did not reach row %1").arg(row);
        QAction* copy = explorer->findChild<QAction*>(left ? QStringLiteral("actionCopyLeft")
                                                           : QStringLiteral("actionCopyRight"));
        if (!copy->isEnabled())
            return QStringLiteral("copy is off on row %1").arg(row);
        // Shortcuts reach only the active window.
        QApplication::setActiveWindow(explorer);
        QTest::keyClick(table, left ? Qt::Key_Left : Qt::Key_Right, Qt::AltModifier);
        if (index.data(Qt::BackgroundRole).isValid())
            return QStringLiteral("the shortcut did not copy row %1").arg(row);
        return QString();
    }
    return QStringLiteral("no difference number %1").arg(nth);
}

void Press(QWidget* explorer, int key)
{
    QApplication::setActiveWindow(explorer);
    QTest::keyClick(explorer, Qt::Key(key));
}

} // namespace Driver

LoadedPlugin::LoadedPlugin(const QString& module, const QString& preferences)
{
    mModule = dlopen(QFile::encodeName(module).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!mModule)
        return;
    auto entry = reinterpret_cast<XTHost::XTActivateProc>(dlsym(mModule, "XTActivateCallback"));
    mPlugin = std::make_unique<XTHost::PluginHost>(mHost);
    mPlugin->setResourceFolder(SourcePath(QStringLiteral("Resources")));
    mPlugin->setPreferencesFolder(preferences);
    mActive = entry && mPlugin->activate(entry) == XT::kNoErr;
    if (mActive)
        mPlugin->addMenuItems();
}

LoadedPlugin::~LoadedPlugin()
{
    if (mActive)
        mPlugin->deactivate();
    mPlugin.reset();
    if (mModule)
        dlclose(mModule);
}

std::function<void()> gOnApplication;

namespace
{

void ApplicationMade()
{
    if (gOnApplication)
        gOnApplication();
}
Q_COREAPP_STARTUP_FUNCTION(ApplicationMade)

} // namespace
