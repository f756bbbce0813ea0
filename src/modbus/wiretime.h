#pragma once

#include <QStringList>

// The least time a Modbus RTU request and its answer take on the line, in
// whole milliseconds rounded up: the characters of both frames for the
// function (an index 0 to 4 of the request table) and the count, 11 bits a
// character with parity and 10 without, and 3.5 characters of silence after
// each frame. A 125-register read at 9600 baud without parity is 270
// characters, 282 ms. 0 for a function or speed the lists do not hold.
int wireTimeMs(int function, int count, int speed, int parity);

// What a request table's timeout cell is marked with when the row's timeout
// is shorter than wireTimeMs() at the port's speed and parity (list
// indexes): "needs at least 282 ms at 9600 baud". Nothing when it is long
// enough, not a number, or the time is not known.
QString timeoutShortfall(const QStringList &row, int speed, int parity);
