#include "Resources.h"

#include <QtGlobal>

void zuaEnsureResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(zuaedit);
        Q_INIT_RESOURCE(shaders);
        return true;
    }();
    (void)done;
}
