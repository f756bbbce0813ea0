#pragma once

#include "modbus/requestcheck.h"
#include "tables/texttable.h"

#include <optional>

// What the "Slave add/modify" dialog starts with for a request table, and the
// row it works on.
struct SlaveProposal
{
    int slot = 1; // the row number the dialog shows
    int row = 1;  // the table's chosen row from now on
    RequestDialogFields fields;

    // Adding: with no row chosen yet, or no request rows left, the defaults
    // (address 3, "Read holding register", 100 items at slave and master
    // address 0, 100 ms); otherwise the last request row continued where it
    // ends, its slave and master addresses advanced by its Num word. The slot
    // is the one the new request will take.
    static SlaveProposal forAdd(const TextTable &table, int chosenRow);

    // Modifying: with no row chosen yet, row 1 with the defaults of adding
    // but address 2; otherwise the chosen request row as it stands, or the
    // last one when the open row or a row beyond is chosen. Nothing when the
    // table has no request rows.
    static std::optional<SlaveProposal> forModify(const TextTable &table, int chosenRow);
};
