#include "AboutDialog.h"

#include "ui_AboutDialog.h"

#include "CorvaneResources.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), mUi(new Ui_AboutDialog)
{
    InitCorvaneResources();
    mUi->setupUi(this);
}

AboutDialog::~AboutDialog() = default;
