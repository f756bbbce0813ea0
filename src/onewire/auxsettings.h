#pragma once

#include "link/transferresult.h"
#include "tables/texttable.h"

#include <optional>

// The mode of the auxiliary port, as the index of its mode button.
enum class AuxMode { OneWireMaster = 0, FieldNet = 1, NotUsed = 2 };

// What the "1-wire" tab holds, as plain values: the auxiliary port's mode,
// the Field Net line settings as list indexes, and the 1-wire sensor rows.
struct AuxSettings
{
    AuxMode mode = AuxMode::NotUsed;
    int fieldNetSpeed = 4;    // "9600" ... "115200"; 4 is "115200"
    int fieldNetParity = 2;   // "None", "Odd", "Even"; 2 is "Even"
    int fieldNetDataBits = 1; // "7", "8"; 1 is "8"
    int fieldNetStopBits = 1; // "1", "2"; 1 is "2"
    TextTable sensors;        // ROM code bytes and data register per sensor

    bool operator==(const AuxSettings &) const = default;
};

// What an upload of the auxiliary port read: the settings to show, nothing
// when the tab is to stay as it is.
struct AuxUpload
{
    TransferResult result;
    std::optional<AuxSettings> settings;
};
