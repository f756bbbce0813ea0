#include "config/plcbackup.h"
#include "link/qtplcport.h"
#include "link/settingslocation.h"
#include "widgets/qtuserdialogs.h"
#include "window/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // No display name: the platform would append it to every window title,
    // and the main window's title must be exactly its caption.
    QApplication::setApplicationName(QStringLiteral("plc-tarvik"));

    const QString iniFile = settingsFile();
    QtUserDialogs dialogs;
    Main window({iniFile,
                 dialogs,
                 [iniFile] { return std::make_unique<QtPlcPort>(iniFile); },
                 {},
                 PlcBackup::defaultFolder()});
    window.show();
    // plc-tarvik FILE: the window starts with the configuration file shown.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        window.loadFile(arguments.at(1));
    return QApplication::exec();
}
