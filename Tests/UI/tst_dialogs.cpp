// The settings dialog, with real widgets and real clicks, and the texts of
// the about box (which tst_explorer opens from the Help menu).

#include "AboutDialog.h"
#include "Settings.h"
#include "UiTestSupport.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QSettings>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

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
    // Within its label: a check box can be wider than what it shows.
    const QPoint label(qMin(button->width(), button->sizeHint().width()) / 2, button->height() / 2);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, label);
}

const char* const kChecks[] = {"showLeftUniqueCheck", "showRightUniqueCheck", "showIdenticalCheck",
                               "showDiffCheck"};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void colourButtonsShowTheirColour();
    void settingsDefaultsWithNothingStored();
    void viewOptionsRoundTrip_data();
    void viewOptionsRoundTrip();
    void mergeLogSetting();
    void defaultsThenOkOrCancel_data();
    void defaultsThenOkOrCancel();
    void colourDialog_data();
    void colourDialog();

    void visibleTextsAreSpelledRight_data();
    void visibleTextsAreSpelledRight();
};

void TestDialogs::init()
{
    Store().clear();
}

// The colour buttons are drawn by the Windows style, the one that paints a
// tool button in its button colour.
void TestDialogs::colourButtonsShowTheirColour()
{
    Settings dialog;
    for (const char* name : {"mPatchBGColor", "mPatchFGColor", "mEqualityFGColor"})
        QCOMPARE(Child<QToolButton>(dialog, name)->style()->objectName().toLower(),
                 QStringLiteral("windows"));
    Store().setValue(QStringLiteral("prefs/Colors/diffBG"), QColor(Qt::yellow));
    Settings stored;
    stored.show();
    QVERIFY(QTest::qWaitForWindowExposed(&stored));
    auto* button = Child<QToolButton>(stored, "mPatchBGColor");
    const QImage picture = button->grab().toImage();
    QCOMPARE(picture.pixelColor(picture.rect().center()), QColor(Qt::yellow));
}

void TestDialogs::settingsDefaultsWithNothingStored()
{
    Settings dialog;
    QCOMPARE(ButtonColour(dialog, "mPatchBGColor"), QColor(Qt::lightGray));
    QCOMPARE(ButtonColour(dialog, "mPatchFGColor"), QColor(Qt::darkRed));
    QCOMPARE(ButtonColour(dialog, "mEqualityFGColor"), QColor(Qt::black));
    for (const char* name : kChecks)
        QVERIFY2(Child<QCheckBox>(dialog, name)->isChecked(), name);

    // Checking the boxes from the default bits counts as a change: OK stores
    // all seven values, story text compared by words and by its formatting
    // and no merge log among them.
    dialog.show();
    Click(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QVariantMap expected{
        {QStringLiteral("prefs/ViewOptions"), 15},
        {QStringLiteral("prefs/Colors/diffBG"), QColor(Qt::lightGray)},
        {QStringLiteral("prefs/Colors/diffFG"), QColor(Qt::darkRed)},
        {QStringLiteral("prefs/Colors/equalityFG"), QColor(Qt::black)},
        {QStringLiteral("prefs/StoryGranularity"), QStringLiteral("words")},
        {QStringLiteral("prefs/WriteMergeLog"), false},
        {QStringLiteral("prefs/CompareFormatting"), true},
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

// The merge log setting reads into its box and a click writes it back, as
// the explorer reads it on every save.
void TestDialogs::mergeLogSetting()
{
    for (const bool stored : {true, false})
    {
        Store().setValue(QStringLiteral("prefs/WriteMergeLog"), stored);
        Settings dialog;
        dialog.show();
        Child<QTabWidget>(dialog, "mSettingsTab")->setCurrentIndex(0);
        QCOMPARE(Child<QCheckBox>(dialog, "writeMergeLogCheck")->isChecked(), stored);
        Click(dialog, "writeMergeLogCheck");
        Click(dialog, "okButton");
        QCOMPARE(Store().value(QStringLiteral("prefs/WriteMergeLog")).toBool(), !stored);
    }
}

void TestDialogs::defaultsThenOkOrCancel_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK stores the default colours") << true;
    QTest::newRow("Cancel stores nothing") << false;
}

void TestDialogs::defaultsThenOkOrCancel()
{
    QFETCH(bool, ok);
    Store().setValue(QStringLiteral("prefs/ViewOptions"), 0);
    Store().setValue(QStringLiteral("prefs/Colors/diffBG"), QColor(Qt::yellow));
    Store().setValue(QStringLiteral("prefs/Colors/diffFG"), QColor(Qt::cyan));
    Store().setValue(QStringLiteral("prefs/Colors/equalityFG"), QColor(Qt::magenta));
    const QVariantMap before = StoredValues();

    Settings dialog;
    dialog.show();
    Click(dialog, "mDefaultsButton");
    QCOMPARE(ButtonColour(dialog, "mPatchBGColor"), QColor(Qt::lightGray));
    Click(dialog, ok ? "okButton" : "cancelButton");
    QCOMPARE(dialog.result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
    if (!ok)
    {
        QCOMPARE(StoredValues(), before);
        return;
    }
    QCOMPARE(Store().value(QStringLiteral("prefs/Colors/diffBG")).value<QColor>(), QColor(Qt::lightGray));
    QCOMPARE(Store().value(QStringLiteral("prefs/Colors/diffFG")).value<QColor>(), QColor(Qt::darkRed));
    QCOMPARE(Store().value(QStringLiteral("prefs/Colors/equalityFG")).value<QColor>(), QColor(Qt::black));
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
    QCOMPARE(StoredValues().size(), 7);
    QCOMPARE(Store().value(QStringLiteral("prefs/ViewOptions")).toInt(), 0);
}

void TestDialogs::visibleTextsAreSpelledRight_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("text");
    QTest::newRow("about: version") << "about"
                                    << "Version 2.1";
    QTest::newRow("settings: left unique") << "settings"
                                           << "Show left unique items";
    QTest::newRow("settings: right unique") << "settings"
                                            << "Show right unique items";
    QTest::newRow("settings: merge log") << "settings"
                                         << "Write a merge log beside the RHS project on every save";
}

void TestDialogs::visibleTextsAreSpelledRight()
{
    QFETCH(QString, dialog);
    QFETCH(QString, text);
    std::unique_ptr<QDialog> shown;
    if (dialog == QLatin1String("about"))
        shown = std::make_unique<AboutDialog>();
    else
        shown = std::make_unique<Settings>();
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
    QStringList texts;
    QWidget* holder = nullptr;
    for (QLabel* label : shown->findChildren<QLabel*>())
        if ((texts << label->text()).last() == text)
            holder = label;
    for (QAbstractButton* button : shown->findChildren<QAbstractButton*>())
        if ((texts << button->text()).last() == text)
            holder = button;
    QVERIFY2(holder, qPrintable(texts.join(QLatin1Char('|'))));
    // On its page, shown whole, not cut at the dialog's edge.
    for (QWidget* at = holder; at->parentWidget(); at = at->parentWidget())
        if (auto* pages = qobject_cast<QStackedWidget*>(at->parentWidget()))
            pages->setCurrentWidget(at);
    QTRY_VERIFY(holder->isVisible());
    QVERIFY2(holder->width() >= holder->sizeHint().width(),
             qPrintable(QStringLiteral("%1 < %2").arg(holder->width()).arg(holder->sizeHint().width())));
    const QPoint corner = holder->mapTo(shown.get(), QPoint());
    QVERIFY(shown->rect().contains(QRect(corner, holder->size())));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
