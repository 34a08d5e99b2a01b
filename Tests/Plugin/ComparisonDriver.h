#pragma once

// Steps a test takes in the windows of a comparison, as a user would: choose
// the files in the picker, select a pair in the tree, copy a row of the patch
// table, close the window. They find widgets by their object names.

#include "Script.h"

#include <QString>

class QAbstractItemView;
class QModelIndex;
class QWidget;

namespace Driver
{

// Waits for the picker, fills in both sides and presses OK.
void Pick(Script& script, const QString& lhs, const QString& rhs);

// The explorer window, when one is shown and no modal dialog is up.
QWidget* Explorer();

// Selects the tree item whose text is `text` with a click.
bool SelectPair(QWidget* explorer, const QString& text);

// The text of the first item below the folder `folder` whose status is not
// identical; empty when there is none.
QString FirstDifferentItem(QWidget* explorer, const QString& folder);

// Clicks the n-th row of the patch table that is a difference, then copies
// it left or right with the keyboard shortcut. Empty when it did, else why
// not.
QString CopyRow(QWidget* explorer, int nth, bool left);

// Presses a key in the explorer window.
void Press(QWidget* explorer, int key);

} // namespace Driver
