// SPDX-License-Identifier: MIT
// The reference station. See README.md for its options.

#include "host/command_line.h"
#include "host/station_app.h"

wxIMPLEMENT_APP_NO_MAIN(station::StationApp);

int main(int argc, char** argv) {
    if (const auto code = station::answer_without_station(argc, argv)) return *code;
    // wx answers -1 when the station refused to start.
    const int status = wxEntry(argc, argv);
    return status < 0 ? 1 : status;
}
