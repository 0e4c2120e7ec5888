#pragma once
// The Startup folders and the registry launch points of both views.
#include "app/ReportLines.h"

// Returns a list of its own; the caller appends it and discards it.
TReportLines GetAutorunListx();
