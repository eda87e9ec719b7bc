// SPDX-License-Identifier: MIT
#pragma once

/// @file
/// The umbrella header: includes the eight windows of tov_atsui.

/// @namespace tov_atsui
/// The window layer of an automated test station. Each window builds its whole
/// widget tree in its constructor, keeps its widgets as public members and sends
/// every event to a virtual handler that a host overrides; a default handler
/// only calls Skip().
#include <atsui/station/cell.h>
#include <atsui/station/frame.h>
#include <atsui/station/ticker_exception_dialog.h>
#include <atsui/station/about_dialog.h>
#include <atsui/station/manual_operation_dialog.h>
#include <atsui/viewer/test_data_viewer_panel.h>
#include <atsui/viewer/test_data_viewer_frame.h>
#include <atsui/launcher/ats_launcher.h>
