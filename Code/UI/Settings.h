#pragma once

#include <QDialog>

#include <memory>

class QColor;
class QToolButton;
class Ui_SettingsClass;

// The view options (which item statuses the comparison tree shows) and the
// patch table colours, stored under "prefs" in the application settings.
class Settings : public QDialog
{
    Q_OBJECT

public:
    explicit Settings(QWidget* parent = nullptr);
    ~Settings() override;

    void accept() override;

private slots:
    void SetDifferenceBG();
    void SetDifferenceFG();
    void SetEqualityFG();
    void Defaults();
    void ViewOptionsChanged();

private:
    void SetButtonColor(QToolButton* button, const QColor& colour);
    void SetToolButtonBG(QToolButton* button);

    std::unique_ptr<Ui_SettingsClass> mUi;
    bool mChanged;
};
