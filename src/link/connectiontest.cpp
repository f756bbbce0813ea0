#include "connectiontest.h"

#include "link/plcframe.h"
#include "link/plcport.h"
#include "link/plctransaction.h"

using namespace std::chrono_literals;

namespace {

const QString noFirstAnswer =
    QStringLiteral("No first answer from PLC. Check cable connection,port setting,and e.t.c.");
const QString noSecondAnswer = QStringLiteral(
    "No second answer from PLC with type. Check cable connection,port setting,and e.t.c.");
const QString connected = QStringLiteral("Successful connect to the CPU with type ");

ConnectionTestResult probe(PlcPort &port, std::optional<std::chrono::milliseconds> extra)
{
    if (!port.open())
        return {false, noFirstAnswer, std::nullopt, port.errorString()};
    if (extra)
        port.line().answerTimeAdd = *extra;
    if (Plc_enq(port, 100ms, PlcFrame::ENQ).code != PlcFrame::ACK)
        return {false, noFirstAnswer, std::nullopt, {}};
    const PlcResult type = Plc_read_word(port, 100ms, 0x0E02);
    if (!type.answered())
        return {false, noSecondAnswer, std::nullopt, {}};
    return {true, connected + QString::number(type.word), quint16(type.word), {}};
}

} // namespace

ConnectionTestResult testConnection(PlcPort &port, int portNumber, const QString &settings,
                                    std::optional<std::chrono::milliseconds> extra)
{
    if (port.isOpen())
        port.close();
    port.setPortNumber(portNumber);
    port.setSettings(settings);
    const ConnectionTestResult result = probe(port, extra);
    if (port.isOpen())
        port.close();
    return result;
}

QString connectionTest(PlcPort &port, int portNumber, const QString &settings,
                       std::optional<std::chrono::milliseconds> extra)
{
    // A port that did not open says why under the test's own text: a
    // mistyped device is not a cable to check.
    const ConnectionTestResult result = testConnection(port, portNumber, settings, extra);
    return result.openFailure.isEmpty() ? result.message
                                        : result.message + QLatin1Char('\n') + result.openFailure;
}
