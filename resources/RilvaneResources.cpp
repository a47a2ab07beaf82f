#include "RilvaneResources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must be expanded outside of any namespace.
static void initRilvaneResourceData()
{
    Q_INIT_RESOURCE(rilvane);
}

namespace rilvane {

void initResources()
{
    initRilvaneResourceData();
}

} // namespace rilvane
