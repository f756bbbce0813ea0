#pragma once

#include "config/configuration.h"
#include "config/configurationparts.h"
#include "onewire/auxsettings.h"

class PlcPort;

// What the menu's "Upload from PLC" read: how it ended, and the part of each
// port that is to be shown (nothing for a port not read, or whose word names
// no role).
struct ConfigurationUpload
{
    TransferResult result;
    std::optional<UartSettings> uart1;
    std::optional<UartSettings> uart2;
    std::optional<AuxSettings> aux;
};

// UART1, UART2, then the auxiliary port (those of `parts`), each as its own
// button reads it, starting from `current`. The first failure ends the run:
// what the ports before it gave is kept, nothing after it is read. Progress
// runs through thirds: 0 to 33 for UART1, to 67 for UART2, to 100 for the
// auxiliary port.
ConfigurationUpload uploadConfiguration(PlcPort &port, const QString &iniFile,
                                        const Configuration &current,
                                        const TransferProgress &progress,
                                        const ConfigurationParts &parts = {});

// Why a download of the parts would be refused before anything is sent
// (see downloadConfiguration()), or nothing.
std::optional<TransferResult> downloadRefusal(const Configuration &configuration,
                                              const ConfigurationParts &parts);

// A cell a download's checks refuse (Check_grid, Check_grid_1w): the table,
// the row from 1, the column, its caption, the value and what the download
// takes there ("0 to 4").
struct RefusedCell
{
    PlcTable table = PlcTable::Uart1;
    int row = 0;
    int column = 0;
    QString columnName;
    QString value;
    QString range;

    // "UART 1 row 3, column Function: 238, not 0 to 4".
    QString text() const;
    // "uart1", "uart2" or "sensors", as the command line's JSON names it.
    QString tableName() const;
};
// Every such cell of the three tables, whatever the roles: a download of the
// part would refuse each of them.
QList<RefusedCell> refusedCells(const Configuration &configuration);
// What else a download of the whole configuration refuses, one line each:
// a slave address out of range (for a UART that is a slave), the parts
// that do not fit the PLC's memory together.
QStringList refusedSettings(const Configuration &configuration);

// UART 1's requests and a full sensor table share the PLC's memory (see
// plcMemoryClash()). When only one of the two parts is written, the other is
// what the PLC holds: its mode word (read here) says whether they clash.
// The refusal, naming both parts, or nothing: when they do not clash, or
// when no such part is written alone.
std::optional<TransferResult> clashWithPlc(PlcPort &port, const QString &iniFile,
                                           const Configuration &configuration,
                                           const ConfigurationParts &parts);

// The parts of the configuration into the PLC, UART1, UART2, then the
// auxiliary port, each as its "Write to PLC" button does it. Every part is
// checked first, and so is whether the PLC can hold them together
// (plcMemoryClash()); nothing is sent when one is refused (with the window's
// message and title). The first failure ends the run.
TransferResult downloadConfiguration(PlcPort &port, const QString &iniFile,
                                     const Configuration &configuration,
                                     const TransferProgress &progress,
                                     const ConfigurationParts &parts = {});

// Reads the parts back from the PLC and lists how they differ from the
// configuration (see configurationDifferences()). A configuration the PLC
// cannot hold is refused as the download refuses it, and nothing is read.
struct ConfigurationCheck
{
    TransferResult result;
    QStringList differences;
};
ConfigurationCheck verifyConfiguration(PlcPort &port, const QString &iniFile,
                                       const Configuration &configuration,
                                       const TransferProgress &progress,
                                       const ConfigurationParts &parts = {},
                                       const QString &mine = QStringLiteral("file"));
