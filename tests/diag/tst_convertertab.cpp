#include "diag/convertertab.h"
#include "link/plcport.h"
#include "support/idleport.h"
#include "support/scripteddialogs.h"
#include "widgets/tabcontext.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The "Converter" tab: its controls, its messages and its outputs.
class TestConverterTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void convertsBothWays();
};

void TestConverterTab::convertsBothWays()
{
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    TabContext context(
        dir.filePath(u"set.ini"_s), dialogs, [] { return std::make_unique<IdlePort>(); }, nullptr);
    QLocale::setDefault(QLocale(QLocale::German));
    ConverterTab tab(context);
    const auto box = [&tab](const char *name) {
        return tab.findChild<QLineEdit *>(QLatin1String(name));
    };
    const auto click = [&tab](const char *name) {
        tab.findChild<QPushButton *>(QLatin1String(name))->click();
    };
    QCOMPARE(tab.findChild<QPushButton *>(u"Command22"_s)->text(), u"&To IEEE"_s);
    QCOMPARE(tab.findChild<QPushButton *>(u"Command23"_s)->text(), u"To fl&oat"_s);

    box("Text13")->setText(u"1,5"_s);
    click("Command22");
    QCOMPARE(box("Text12")->text(), u"3FC00000"_s);
    QVERIFY(tab.findChild<QLabel *>(u"Text12_orders"_s)->text().contains(u"CDAB 00003FC0"_s));
    box("Text15")->setText(u"c0000000"_s);
    click("Command23");
    QCOMPARE(box("Text14")->text(), u"-2"_s);
    box("Text15")->setText(u"3fc00000"_s);
    click("Command23");
    QCOMPARE(box("Text14")->text(), u"1,5"_s); // the user's decimal separator

    // Refused inputs leave the outputs as they were.
    box("Text13")->clear();
    click("Command22");
    box("Text15")->setText(u"3FC0000"_s);
    click("Command23");
    box("Text13")->setText(u"x"_s);
    click("Command22");
    QCOMPARE(dialogs.messages(), QStringList({"Incorrect value for conversion to IEEE format!",
                                              "Incorrect value for conversion to float format!",
                                              "\"x\" is not a number"}));
    QCOMPARE(box("Text12")->text() + u' ' + box("Text14")->text(), u"3FC00000 1,5"_s);
    QLocale::setDefault(QLocale::c());
}

QTEST_MAIN(TestConverterTab)
#include "tst_convertertab.moc"
