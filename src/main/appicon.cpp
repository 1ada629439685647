#include "appicon.h"

#include <QString>

// The resources live in a static library; naming their initialiser keeps
// the linker from dropping them.
static void loadIconResources()
{
    static bool loaded = false;
    if (!loaded) {
        Q_INIT_RESOURCE(ravodor);
        loaded = true;
    }
}

QIcon programIcon()
{
    loadIconResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/ravodor-%1.png").arg(size), QSize(size, size));
    return icon;
}
