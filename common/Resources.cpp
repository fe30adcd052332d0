#include "Resources.h"

#include <QtGlobal>

void zuaEnsureResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(zuaedit);
        return true;
    }();
    (void)done;
}
