// Each test program keeps its settings, journal, log and reports in a home of its own
// (XDG_*_HOME, set by CTest). The suite without a server runs every program a second time
// beside the suite itself; KVT_TEST_HOME_SUFFIX (set by that run) then gives the second
// process homes of their own, so that the two never share a settings or journal file.
// Runs before main(), ahead of anything that reads the homes.
#include <QByteArray>
#include <QtGlobal>

namespace {

void suffixHomes()
{
    const QByteArray suffix = qgetenv("KVT_TEST_HOME_SUFFIX");
    if (suffix.isEmpty())
        return;
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QByteArray home = qgetenv(name);
        if (!home.isEmpty())
            qputenv(name, home + suffix);
    }
}

const bool homesSuffixed = (suffixHomes(), true);

} // namespace
