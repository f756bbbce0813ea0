#pragma once

#include <QString>

#include <functional>

// Texts shared by the configuration transfers.
inline const QString wrongAnswerMessage = QStringLiteral("Wrong answer from PLC");
inline const QString answerTimeoutMessage = QStringLiteral("Answer timeout from PLC");
// Asked, OK and Cancel, empty title, before any configuration is written.
inline const QString downloadQuestion =
    QStringLiteral("You are shure for download configuration to the PLC ? ");

// How a transfer ended: whether it did its work, and the message to show
// (none when empty) with its box title (none when empty). A refusal is a
// failure before anything was sent, because what was to be sent is unfit.
struct TransferResult
{
    bool ok = false;
    QString message;
    QString title;
    bool refused = false;

    static TransferResult success() { return {true, {}, {}, false}; }
    // The link failed: a refusal or silence of the PLC, a port that failed.
    static TransferResult failure(const QString &message, const QString &title = {})
    {
        return {false, message, title, false};
    }
    // Nothing was sent: the configuration is unfit.
    static TransferResult refusal(const QString &message, const QString &title)
    {
        return {false, message, title, true};
    }
};

// Percent done of a multi-block transfer, 0 to 100.
using TransferProgress = std::function<void(int percent)>;

inline void reportProgress(const TransferProgress &progress, int percent)
{
    if (progress)
        progress(percent);
}
