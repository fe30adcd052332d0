#pragma once
// The editor's entry function: install/uninstall handling, bridge start-up,
// application object, translator, recovery prompt or command-line project, event loop.
// Lives on: main thread.

int zuaMain(int argc, char **argv);
// The application's name, version, build date and service settings.
void zuaFillAppInfo();

// True when a graphical display can be reached (or a platform plugin was chosen).
bool zuaHasDisplay();
