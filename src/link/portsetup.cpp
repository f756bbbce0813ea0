#include "portsetup.h"

#include "link/inifile.h"
#include "link/plcport.h"

namespace {

const QString comSection = QStringLiteral("COM");

QString choice(const QString &iniFile, const QString &key, const QStringList &list)
{
    return list.at(Ini_read_index(iniFile, comSection, key, int(list.size())));
}

} // namespace

LinkSettings linkSettings(const QString &iniFile)
{
    using namespace LinkChoices;
    LinkSettings link;
    link.settings = choice(iniFile, QStringLiteral("Speed"), speeds) + QLatin1Char(',') +
                    choice(iniFile, QStringLiteral("Parity"), parities) + QLatin1Char(',') +
                    choice(iniFile, QStringLiteral("Bit_num"), dataBits) + QLatin1Char(',') +
                    choice(iniFile, QStringLiteral("Stop_bit"), stopBits);
    link.portNumber =
        Ini_read_index(iniFile, comSection, QStringLiteral("Port_num"), portCount) + 1;
    return link;
}

bool answerChecksumChecked(const QString &iniFile)
{
    return Ini_read(iniFile, comSection, QStringLiteral("AnswerChecksum"), QStringLiteral("1"))
               .trimmed() != QLatin1String("0");
}

std::chrono::milliseconds answerTimeAdd(const QString &iniFile)
{
    bool number = false;
    const int added =
        Ini_read(iniFile, comSection, QStringLiteral("AnswerTimeAdd"), QStringLiteral("0"))
            .trimmed()
            .toInt(&number);
    if (!number || added < 0 || added > maxAnswerTimeAdd.count())
        return {};
    return std::chrono::milliseconds(added);
}

void Port_setup(PlcPort &port, const QString &iniFile)
{
    const LinkSettings link = linkSettings(iniFile);
    port.setSettings(link.settings);
    port.setPortNumber(link.portNumber);
    port.line().checkChecksums = answerChecksumChecked(iniFile);
    port.line().answerTimeAdd = answerTimeAdd(iniFile);
}
