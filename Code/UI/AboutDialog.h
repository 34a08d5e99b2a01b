#pragma once

#include <QDialog>

#include <memory>

class Ui_AboutDialog;

// The plug-in's picture, name and version in a small fixed-size box.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui_AboutDialog> mUi;
};
