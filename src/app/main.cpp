#include "workspace/main.h"
#include "link/qtplcport.h"
#include "workspace/qtuserdialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("plc-tarvik"));
    // The title of every message box that names none.
    QApplication::setApplicationDisplayName(QStringLiteral("PLC Tarvik"));

    const QString iniFile = QCoreApplication::applicationDirPath() + QStringLiteral("/set.ini");
    QtUserDialogs dialogs;
    Main window({iniFile, dialogs, [iniFile] {
                     return std::make_unique<QtPlcPort>(iniFile);
                 }});
    window.show();
    return QApplication::exec();
}
