// SPDX-License-Identifier: MIT
// The reference station. See README.md for its options.

#include "host/station_app.h"

wxIMPLEMENT_APP(station::StationApp);
