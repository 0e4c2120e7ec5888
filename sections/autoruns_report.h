#pragma once
// The Startup folders and the registry launch points of both views.
#include "sections/report_lines.h"

// Returns a list of its own; the caller appends it and discards it.
TReportLines GetAutorunListx();
