#include "SingleApplication.h"

SingleApplication::SingleApplication(int &argc, char **argv, bool, int, int)
    : QApplication(argc, argv)
{}
