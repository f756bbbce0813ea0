#include "cli/command.h"

#include "link/portsetup.h"

namespace Cli {

namespace {

// The helpers the completion calls: files by their endings (and folders, to
// go down into), serial devices and COMn, and a comma-separated list of
// words. Each adds to COMPREPLY what starts with the word so far.
const char *const helpers = R"(_plc_tarvik_cli_files()
{
    # $1: the word so far; then the endings taken, none for any file.
    local word=$1 file ending IFS=$'\n'
    shift
    compopt -o filenames 2>/dev/null
    COMPREPLY+=($(compgen -d -- "$word"))
    for file in $(compgen -f -- "$word"); do
        [[ -d $file ]] && continue
        if (($# == 0)); then
            COMPREPLY+=("$file")
            continue
        fi
        for ending in "$@"; do
            if [[ ${file,,} == *."$ending" ]]; then
                COMPREPLY+=("$file")
                break
            fi
        done
    done
}

_plc_tarvik_cli_ports()
{
    # $1: the word so far; then the COMn names. A path with a slash names
    # a device too (a simulator's link).
    local word=$1 device
    shift
    for device in /dev/ttyUSB* /dev/ttyACM* /dev/serial/by-id/*; do
        [[ -e $device && $device == "$word"* ]] && COMPREPLY+=("$device")
    done
    COMPREPLY+=($(compgen -W "$*" -- "$word"))
    if [[ $word == */* && $word != /dev/* ]]; then
        _plc_tarvik_cli_files "$word"
    fi
}

_plc_tarvik_cli_list()
{
    # $1: the word so far, a list separated by commas; then the words. The
    # list's last word is completed, the ones before it kept and not offered
    # again.
    local word=$1 before="" left=() name
    shift
    [[ $word == *,* ]] && before=${word%,*},
    for name in "$@"; do
        [[ ,$before == *,"$name",* ]] || left+=("$name")
    done
    COMPREPLY+=($(compgen -P "$before" -W "${left[*]}" -- "${word##*,}"))
}
)";

QString quoted(const QStringList &words)
{
    return words.join(QLatin1Char(' '));
}

// The bash words of what a value of that kind completes to, the word so far
// being $word.
QString valueCompletion(Values values, const QStringList &words)
{
    switch (values) {
    case Values::None:
        return QStringLiteral(":");
    case Values::Files:
        return QStringLiteral("_plc_tarvik_cli_files \"$word\" %1").arg(quoted(words)).trimmed();
    case Values::Folders:
        return QStringLiteral("compopt -o filenames 2>/dev/null; "
                              "COMPREPLY=($(compgen -d -- \"$word\"))");
    case Values::Ports: {
        QStringList com;
        for (int n = 1; n <= LinkChoices::portCount; ++n)
            com << QStringLiteral("COM%1").arg(n);
        return QStringLiteral("_plc_tarvik_cli_ports \"$word\" %1").arg(quoted(com));
    }
    case Values::Words:
        return QStringLiteral("COMPREPLY=($(compgen -W \"%1\" -- \"$word\"))").arg(quoted(words));
    case Values::WordList:
        return QStringLiteral("_plc_tarvik_cli_list \"$word\" %1").arg(quoted(words));
    }
    return QStringLiteral(":");
}

} // namespace

// The script: after an option that takes a value, that value; after a
// command, its arguments (as many as it takes); otherwise the commands, or
// the options when the word starts with "-". "--name=value" is understood.
QString bashCompletion()
{
    QStringList valued;  // the options that take a value, as "--name"
    QStringList visible; // the options --help shows
    QString values;      // the case branches of the options' values
    for (const CliOption &entry : cliOptions()) {
        const QString name = QStringLiteral("--") + entry.option.names().constFirst();
        if (!(entry.option.flags() & QCommandLineOption::HiddenFromHelp))
            visible << name;
        if (entry.option.valueName().isEmpty())
            continue;
        valued << name;
        values += QStringLiteral("    %1)\n        %2\n        return\n        ;;\n")
                      .arg(name, valueCompletion(entry.values, entry.words));
    }
    QStringList names;
    QString arguments; // the case branches of the commands' arguments
    for (const Command &c : commands()) {
        names << c.name;
        if (c.argumentValues == Values::None)
            continue;
        const QStringList words = c.arguments.split(QLatin1Char('|'));
        arguments += QStringLiteral("    %1)\n        ((count < %2)) && %3\n        ;;\n")
                         .arg(c.name)
                         .arg(c.argumentCount)
                         .arg(valueCompletion(c.argumentValues, c.argumentValues == Values::Files
                                                                    ? configurationEndings()
                                                                    : words));
    }

    QString script = QStringLiteral(
        "# bash completion for plc-tarvik-cli, made by \"plc-tarvik-cli --completion bash\"\n"
        "# from its own tables of commands and options.\n\n");
    script += QLatin1String(helpers);
    script += QStringLiteral(R"(
_plc_tarvik_cli()
{
    local word=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    # "--name=value": bash makes "=" a word of its own.
    if [[ $word == = ]]; then
        word=""
    elif [[ $previous == = && COMP_CWORD -ge 2 ]]; then
        previous=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    case $previous in
%1    esac

    # The command is the first word that is neither an option nor a value.
    local i command="" count=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        %2)
            ((i++))
            [[ ${COMP_WORDS[i]} == = ]] && ((i++))
            ;;
        -*) ;;
        *)
            if [[ -z $command ]]; then
                command=${COMP_WORDS[i]}
            else
                ((count += 1))
            fi
            ;;
        esac
    done
    if [[ $word == -* ]]; then
        COMPREPLY=($(compgen -W "--help --version %3" -- "$word"))
        return
    fi
    case $command in
    "")
        COMPREPLY=($(compgen -W "%4" -- "$word"))
        ;;
%5    esac
}
complete -F _plc_tarvik_cli plc-tarvik-cli
)");
    return script.arg(values, valued.join(QLatin1Char('|')), quoted(visible), quoted(names),
                      arguments);
}

} // namespace Cli
