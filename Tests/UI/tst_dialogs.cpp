// The settings dialog and the about box, with real widgets and real clicks.

#include "AboutDialog.h"
#include "Settings.h"
#include "UiTestSupport.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace
{

QSettings Store()
{
    return TestSettings();
}

// Every stored key with its value, as one comparable map.
QVariantMap StoredValues()
{
    QSettings settings = Store();
    QVariantMap values;
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

QColor ButtonColour(QWidget& dialog, const char* name)
{
    return Child<QToolButton>(dialog, name)->palette().color(QPalette::Button);
}

void Click(QWidget& dialog, const char* name)
{
    QAbstractButton* button = Child<QAbstractButton>(dialog, name);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

const char* const kChecks[] = {"showLeftUniqueCheck", "showRightUniqueCheck", "showIdenticalCheck",
                               "showDiffCheck"};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void settingsForm();
    void settingsDefaultsWithNothingStored();
    void viewOptionsRoundTrip_data();
    void viewOptionsRoundTrip();
    void uncheckingIdenticalStores11();
    void defaultsThenCancelStoresNothing();
    void defaultsThenOkStoresTheDefaults();
    void colourDialog_data();
    void colourDialog();

    void aboutBox();
};

void TestDialogs::init()
{
    Store().clear();
}

void TestDialogs::settingsForm()
{
    Settings dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("SettingsClass"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("CorvaneXT Settings"));
    QCOMPARE(dialog.size(), QSize(402, 293));
    auto* tabs = Child<QTabWidget>(dialog, "mSettingsTab");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("View Options"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Colors"));
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(Child<QCheckBox>(dialog, "showLeftUniqueCheck")->text(),
             QStringLiteral("Show left unique  items"));
    QCOMPARE(Child<QCheckBox>(dialog, "showRightUniqueCheck")->text(),
             QStringLiteral("Show right unique items"));
    QCOMPARE(Child<QCheckBox>(dialog, "showIdenticalCheck")->text(), QStringLiteral("Show identical items"));
    QCOMPARE(Child<QCheckBox>(dialog, "showDiffCheck")->text(), QStringLiteral("Show different items"));
    QCOMPARE(Child<QLabel>(dialog, "mPatchBGColorLabel")->text(), QStringLiteral("Difference Background"));
    QCOMPARE(Child<QLabel>(dialog, "mPatchFGColorLabel")->text(), QStringLiteral("Difference Foreground"));
    QCOMPARE(Child<QLabel>(dialog, "mEqualityFGColorLabel")->text(), QStringLiteral("Equality Foreground"));
    QCOMPARE(Child<QPushButton>(dialog, "mDefaultsButton")->text(), QStringLiteral("Defaults"));
    // The colour buttons carry no text and are drawn by the Windows style, the
    // one that paints a tool button in its button colour.
    for (const char* name : {"mPatchBGColor", "mPatchFGColor", "mEqualityFGColor"})
    {
        auto* button = Child<QToolButton>(dialog, name);
        QVERIFY(button->text().isEmpty());
        QCOMPARE(button->style()->objectName().toLower(), QStringLiteral("windows"));
    }
}

void TestDialogs::settingsDefaultsWithNothingStored()
{
    Settings dialog;
    QCOMPARE(ButtonColour(dialog, "mPatchBGColor"), QColor(Qt::lightGray));
    QCOMPARE(ButtonColour(dialog, "mPatchFGColor"), QColor(Qt::darkRed));
    QCOMPARE(ButtonColour(dialog, "mEqualityFGColor"), QColor(Qt::darkGreen));
    for (const char* name : kChecks)
        QVERIFY2(Child<QCheckBox>(dialog, name)->isChecked(), name);

    // Checking the boxes from the default bits counts as a change: OK stores
    // all four values.
    dialog.show();
    Click(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QVariantMap expected{
        {QStringLiteral("prefs/ViewOptions"), 15},
        {QStringLiteral("prefs/Colors/diffBG"), QColor(Qt::lightGray)},
        {QStringLiteral("prefs/Colors/diffFG"), QColor(Qt::darkRed)},
        {QStringLiteral("prefs/Colors/equalityFG"), QColor(Qt::darkGreen)},
    };
    const QVariantMap stored = StoredValues();
    QCOMPARE(stored.keys(), expected.keys());
    QCOMPARE(stored.value(QStringLiteral("prefs/ViewOptions")).toInt(), 15);
    for (const QString& key : {QStringLiteral("prefs/Colors/diffBG"), QStringLiteral("prefs/Colors/diffFG"),
                               QStringLiteral("prefs/Colors/equalityFG")})
        QCOMPARE(stored.value(key).value<QColor>(), expected.value(key).value<QColor>());
}

void TestDialogs::viewOptionsRoundTrip_data()
{
    QTest::addColumn<int>("mask");
    for (int mask = 0; mask < 16; ++mask)
        QTest::addRow("mask %d", mask) << mask;
}

// Every mask reads into the check boxes bit by bit and is written back
// unchanged. With mask 0 no box is checked at construction, nothing counts as
// changed, and OK stores nothing at all.
void TestDialogs::viewOptionsRoundTrip()
{
    QFETCH(int, mask);
    Store().setValue(QStringLiteral("prefs/ViewOptions"), mask);
    Store().setValue(QStringLiteral("prefs/Colors/diffFG"), QColor(Qt::blue));

    Settings dialog;
    for (int bit = 0; bit < 4; ++bit)
        QCOMPARE(Child<QCheckBox>(dialog, kChecks[bit])->isChecked(), bool(mask & (1 << bit)));
    QCOMPARE(ButtonColour(dialog, "mPatchFGColor"), QColor(Qt::blue));
    dialog.show();
    Click(dialog, "okButton");

    QCOMPARE(Store().value(QStringLiteral("prefs/ViewOptions")).toInt(), mask);
    QCOMPARE(Store().value(QStringLiteral("prefs/Colors/diffFG")).value<QColor>(), QColor(Qt::blue));
    QCOMPARE(Store().contains(QStringLiteral("prefs/Colors/diffBG")), mask != 0);
}

void TestDialogs::uncheckingIdenticalStores11()
{
    Settings dialog;
    dialog.show();
    Child<QTabWidget>(dialog, "mSettingsTab")->setCurrentIndex(0);
    Click(dialog, "showIdenticalCheck");
    QVERIFY(!Child<QCheckBox>(dialog, "showIdenticalCheck")->isChecked());
    Click(dialog, "okButton");
    QCOMPARE(Store().value(QStringLiteral("prefs/ViewOptions")).toInt(), 11);
}

void TestDialogs::defaultsThenCancelStoresNothing()
{
    Store().setValue(QStringLiteral("prefs/ViewOptions"), 0);
    Store().setValue(QStringLiteral("prefs/Colors/diffBG"), QColor(Qt::yellow));
    const QVariantMap before = StoredValues();

    Settings dialog;
    dialog.show();
    Click(dialog, "mDefaultsButton");
    QCOMPARE(ButtonColour(dialog, "mPatchBGColor"), QColor(Qt::lightGray));
    Click(dialog, "cancelButton");
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(StoredValues(), before);
}

void TestDialogs::defaultsThenOkStoresTheDefaults()
{
    Store().setValue(QStringLiteral("prefs/ViewOptions"), 0);
    Store().setValue(QStringLiteral("prefs/Colors/diffBG"), QColor(Qt::yellow));
    Store().setValue(QStringLiteral("prefs/Colors/diffFG"), QColor(Qt::cyan));
    Store().setValue(QStringLiteral("prefs/Colors/equalityFG"), QColor(Qt::magenta));

    Settings dialog;
    dialog.show();
    Click(dialog, "mDefaultsButton");
    Click(dialog, "okButton");
    QCOMPARE(Store().value(QStringLiteral("prefs/Colors/diffBG")).value<QColor>(), QColor(Qt::lightGray));
    QCOMPARE(Store().value(QStringLiteral("prefs/Colors/diffFG")).value<QColor>(), QColor(Qt::darkRed));
    QCOMPARE(Store().value(QStringLiteral("prefs/Colors/equalityFG")).value<QColor>(), QColor(Qt::darkGreen));
    // The check boxes are not touched by Defaults.
    QCOMPARE(Store().value(QStringLiteral("prefs/ViewOptions")).toInt(), 0);
}

void TestDialogs::colourDialog_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("choose");

    const std::pair<const char*, const char*> buttons[] = {{"mPatchBGColor", "prefs/Colors/diffBG"},
                                                           {"mPatchFGColor", "prefs/Colors/diffFG"},
                                                           {"mEqualityFGColor", "prefs/Colors/equalityFG"}};
    for (const auto& button : buttons)
    {
        QTest::addRow("%s chosen", button.first)
            << QByteArray(button.first) << QString(button.second) << true;
        QTest::addRow("%s cancelled", button.first)
            << QByteArray(button.first) << QString(button.second) << false;
    }
}

// A chosen colour becomes the button's colour and is stored on OK; a
// cancelled colour dialog leaves it as it was, but still counts as a change,
// so OK rewrites all four values.
void TestDialogs::colourDialog()
{
    QFETCH(QByteArray, button);
    QFETCH(QString, key);
    QFETCH(bool, choose);
    Store().setValue(QStringLiteral("prefs/ViewOptions"), 0);
    Store().setValue(key, QColor(Qt::yellow));

    Settings dialog;
    dialog.show();
    const QColor chosen(0x12, 0x34, 0x56);
    bool seen = false;
    WhenModal<QColorDialog>(
        [&](QColorDialog* colours)
        {
            seen = true;
            if (choose)
            {
                colours->setCurrentColor(chosen);
                colours->accept();
            }
            else
            {
                colours->reject();
            }
        });
    Click(dialog, button.constData());
    QVERIFY(seen);
    const QColor expected = choose ? chosen : QColor(Qt::yellow);
    QCOMPARE(ButtonColour(dialog, button.constData()), expected);

    Click(dialog, "okButton");
    QCOMPARE(Store().value(key).value<QColor>(), expected);
    QCOMPARE(StoredValues().size(), 4);
    QCOMPARE(Store().value(QStringLiteral("prefs/ViewOptions")).toInt(), 0);
}

void TestDialogs::aboutBox()
{
    AboutDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("AboutDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About CorvaneXT"));
    QCOMPARE(dialog.minimumSize(), QSize(285, 272));
    QCOMPARE(dialog.maximumSize(), QSize(285, 272));
    QVERIFY(dialog.isModal());
    QVERIFY(!dialog.isSizeGripEnabled());
    QCOMPARE(dialog.contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(!dialog.windowIcon().isNull());
    const QPixmap picture = Child<QLabel>(dialog, "label")->pixmap(Qt::ReturnByValue);
    QVERIFY(!picture.isNull());
    QVERIFY(Child<QLabel>(dialog, "label")->hasScaledContents());
    QCOMPARE(Child<QLabel>(dialog, "label_3")->text(), QStringLiteral("Verison 2.1"));
    QVERIFY(Child<QLabel>(dialog, "label_2")->text().contains(QStringLiteral("font-weight:600")));
    QVERIFY(Child<QLabel>(dialog, "label_4")->wordWrap());

    auto* buttons = Child<QDialogButtonBox>(dialog, "buttonBox");
    QCOMPARE(buttons->standardButtons(), QDialogButtonBox::StandardButtons(QDialogButtonBox::Close));
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    QTest::mouseClick(close, Qt::LeftButton, Qt::NoModifier, close->rect().center());
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
