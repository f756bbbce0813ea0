#pragma once

#include <QFile>

struct SimLogEntry;

// The simulator's frame log written to a file as it happens, one line per
// entry, each line flushed at once so that a reader sees it immediately.
class FrameLogFile
{
public:
    explicit FrameLogFile(const QString &path) : m_file(path) {}

    // Starts the file afresh.
    bool open();
    void write(const SimLogEntry &entry);

    QString errorString() const;

private:
    QFile m_file;
};
