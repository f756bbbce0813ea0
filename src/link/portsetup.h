#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

class PlcPort;

// The link choices of section "COM" of the settings file as the lists of the
// link-settings form show them, index 0 first.
namespace LinkChoices {
inline const QStringList speeds = {QStringLiteral("9600"), QStringLiteral("19200"),
                                   QStringLiteral("38400"), QStringLiteral("57600"),
                                   QStringLiteral("115200")};
inline const QStringList parities = {QStringLiteral("N"), QStringLiteral("O"), QStringLiteral("E")};
inline const QStringList dataBits = {QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
inline const QStringList stopBits = {QStringLiteral("1"), QStringLiteral("1.5"),
                                     QStringLiteral("2")};
inline constexpr int portCount = 10;
} // namespace LinkChoices

struct LinkSettings
{
    QString settings; // speed,parity,bits,stop, for example "115200,N,8,1"
    int portNumber = 1;
};

// Reads section "COM" of the settings file. An index that is not a whole
// number of its list counts as index 0.
LinkSettings linkSettings(const QString &iniFile);

// Whether data answers' checksums are verified: on unless section "COM"
// holds AnswerChecksum=0 (for a PLC whose firmware sums its answers
// otherwise).
bool answerChecksumChecked(const QString &iniFile);

// What section "COM" adds to every answer timeout (AnswerTimeAdd, in ms):
// 0 unless set; a value that is not a whole number from 0 to
// maxAnswerTimeAdd counts as 0.
std::chrono::milliseconds answerTimeAdd(const QString &iniFile);
inline constexpr std::chrono::milliseconds maxAnswerTimeAdd{5000};

// Applies section "COM" to the port: first the settings text, then the port
// number, whether answers' checksums are verified and the added answer time. The port is neither
// opened nor closed.
void Port_setup(PlcPort &port, const QString &iniFile);
