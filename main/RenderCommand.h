#pragma once
// zuaedit-render: renders a project file to a movie or sound file without showing
// a window, through the editor's own project readers and export. Progress goes to
// standard error (a bar on a terminal, a line per tenth otherwise); the exit code
// is 0 when the file was written, else non-zero with the message the export panel
// would show. With no display set it starts a private X server to draw with.
// Lives on: the main thread of its own process.

int zuaRenderMain(int argc, char **argv);
