// The window on a real serial port, as a user takes it through its first
// steps: window-check --ini FILE --port N --picture FILE.png
//
// The link form selects COMn and runs "Test", then "OK" stores it; the main
// window uploads UART 1 from the PLC and is saved as a picture. Every
// message shown is printed; the exit code is 0 only when the test found the
// PLC and the upload ended without a message. ./scripts/windows --test runs
// it under Wine against plc-sim through a Wine COM port.
#include "link/qtplcport.h"
#include "support/renderharness.h"
#include "support/scripteddialogs.h"
#include "widgets/tabcontext.h"
#include "modbus/uarttab.h"
#include "window/comsetting.h"
#include "window/mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

namespace {

void say(const QString &text)
{
    std::fprintf(stdout, "window-check: %s\n", qPrintable(text));
    std::fflush(stdout);
}

bool click(QWidget *parent, const char *name)
{
    auto *button = parent->findChild<QAbstractButton *>(QLatin1String(name));
    if (!button) {
        say(QStringLiteral("no button %1").arg(QLatin1String(name)));
        return false;
    }
    button->click();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("plc-tarvik"));
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("ini"), QStringLiteral("The settings file."),
                        QStringLiteral("FILE")},
                       {QStringLiteral("port"), QStringLiteral("The port number."),
                        QStringLiteral("N")},
                       {QStringLiteral("picture"), QStringLiteral("The picture to save."),
                        QStringLiteral("FILE")}});
    parser.process(app);
    const QString ini = parser.value(QStringLiteral("ini"));
    const int port = parser.value(QStringLiteral("port")).toInt();
    const QFileInfo picture(parser.value(QStringLiteral("picture")));

    ScriptedDialogs dialogs;
    {
        ComSetting form(ini, dialogs, std::make_unique<QtPlcPort>(ini));
        form.show();
        form.findChild<QComboBox *>(QStringLiteral("Port_num"))->setCurrentIndex(port - 1);
        if (!click(&form, "Command2"))
            return 1;
        if (!QTest::qWaitFor([&form] { return !form.isTesting(); }, 20000)) {
            say(QStringLiteral("the test did not end"));
            return 1;
        }
        const QStringList tested = dialogs.messages();
        for (const QString &message : tested)
            say(QStringLiteral("Test: ") + message);
        if (tested.isEmpty() || !tested.last().startsWith(QLatin1String("Successful connect")))
            return 1;
        if (!click(&form, "Command1"))
            return 1;
    }

    Main window({ini, dialogs, [ini] { return std::make_unique<QtPlcPort>(ini); }});
    window.resize(900, 620);
    window.show();
    window.findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentWidget(&window.uart1Tab());
    const qsizetype before = dialogs.messages().size();
    if (!click(&window.uart1Tab(), "Command20"))
        return 1;
    QTest::qWait(200);
    if (!QTest::qWaitFor([&window] { return !window.tabContext().session().isBusy(); }, 30000)) {
        say(QStringLiteral("the upload did not end"));
        return 1;
    }
    QTest::qWait(300);
    const QStringList after = dialogs.messages().mid(before);
    for (const QString &message : after)
        say(QStringLiteral("Upload: ") + message);
    say(QStringLiteral("caption: ") + window.windowTitle());
    savePng(&window, picture.absolutePath(), picture.completeBaseName());
    say(QStringLiteral("picture: ") + picture.absoluteFilePath());
    return after.isEmpty() ? 0 : 1;
}
