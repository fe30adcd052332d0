#pragma once
// The application object a fuzz target runs under: no display (offscreen), only error
// lines in the log (traces would dominate the time), message boxes answered at once.

#include "bridge/Logger.h"
#include "common/MessageBox.h"

#include <QByteArray>

template <class App> App *makeFuzzApp(char *program)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bg::Logger::instance().setMaxLevel(bg::LOG_ERROR);
    static int argc = 1;
    static char *argv[] = {program, nullptr};
    App *app = new App(argc, argv);
    MessageBox::setAnswerHook([](const MessageSpec &) { return 0; });
    return app;
}
