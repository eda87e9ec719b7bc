// SPDX-License-Identifier: MIT
#include "minimal_station.h"

#include <wx/app.h>

#include <cstdlib>

namespace {

class MinimalApp : public wxApp {
public:
    bool OnInit() override {
        const char* cells = std::getenv("ATSUI_MINIMAL_CELLS");
        (new minimal::MinimalStation(cells ? std::atoi(cells) : 2))->Show();
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP(MinimalApp);
