// SPDX-License-Identifier: MIT
#pragma once

// The eight windows of tov_atsui.
#include <atsui/station/cell.h>
#include <atsui/station/frame.h>
#include <atsui/station/ticker_exception_dialog.h>
#include <atsui/station/about_dialog.h>
#include <atsui/station/manual_operation_dialog.h>
#include <atsui/viewer/test_data_viewer_panel.h>
#include <atsui/viewer/test_data_viewer_frame.h>
#include <atsui/launcher/ats_launcher.h>
