// The status bar's fields and the messages of what was done.

#include "mainwindow.h"

#include "config/configurationdocument.h"
#include "link/inifile.h"
#include "link/portsetup.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTime>

void Main::setUpStatus()
{
    m_conflictCount = new QLabel(this);
    m_conflictCount->setObjectName(QStringLiteral("register_conflicts"));
    m_conflictCount->hide();
    connect(m_conflictCount, &QLabel::linkActivated, this, &Main::showRegisterMap);
    statusBar()->addPermanentWidget(m_conflictCount);
    m_fileState = new QLabel(this);
    m_fileState->setObjectName(QStringLiteral("file_state"));
    statusBar()->addPermanentWidget(m_fileState);
    connect(m_context.get(), &TabContext::statusWithdrawn, this, [this](const QString &text) {
        if (statusBar()->currentMessage() == text)
            statusBar()->clearMessage();
    });
    connect(m_context.get(), &TabContext::partWritten, this, [this](const QString &part) {
        const QString name = part == QLatin1String("uart1")   ? QStringLiteral("UART 1")
                             : part == QLatin1String("uart2") ? QStringLiteral("UART 2")
                                                              : QStringLiteral("Auxiliary port");
        statusBar()->showMessage(
            QStringLiteral("%1 written to %2 at %3")
                .arg(name, portName(), QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    });
}

// "site.apc — modified"; "No file" before the first save or load.
void Main::updateFileState()
{
    if (!m_fileState)
        return;
    const QString name = m_document->fileName().isEmpty()
                             ? QStringLiteral("No file")
                             : QFileInfo(m_document->fileName()).fileName();
    m_fileState->setText(isModified() ? name + QStringLiteral(" \u2014 modified") : name);
    m_fileState->setToolTip(QDir::toNativeSeparators(m_document->fileName()));
}

QString Main::portName() const
{
    return QStringLiteral("COM%1").arg(Ini_read_index(iniFile(), QStringLiteral("COM"),
                                                      QStringLiteral("Port_num"),
                                                      LinkChoices::portCount) +
                                       1);
}
