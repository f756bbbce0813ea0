#pragma once

#include <QStringList>

// The command-line tool: parses the arguments, runs the command on each port
// given and prints the results. Returns the exit code:
//   0 done, 1 differences found, 2 usage error, 3 the link failed,
//   4 the file or the configuration is invalid.
int runCli(const QStringList &arguments);
