#pragma once
// Runs the export the panel asked for in front of the user: its progress dialog
// watches the run from the main loop ("Done" before the end, or Escape after
// asking, stops it; after the end it closes), and how it ended is told once.
// Lives on: main thread.

#include "render/export/MVParams.h"

class Exporter;

void runExport(Exporter *exporter, const MVParams &params);
