#include "framelogfile.h"

#include "simlogentry.h"

bool FrameLogFile::open()
{
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
}

void FrameLogFile::write(const SimLogEntry &entry)
{
    m_file.write(entry.text().toUtf8() + '\n');
    m_file.flush();
}

QString FrameLogFile::errorString() const
{
    return QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString());
}
