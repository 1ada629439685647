// A plugin that says so when it is loaded: its constructor leaves the file
// "announced" beside it. It names itself a platform plugin ("announce"), so
// Qt loads it when asked for that platform from its folder.

#include <QObject>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

__attribute__((constructor)) void announce()
{
    // The folder comes from where the plugin lies, not from the environment
    // that the program under test may have cut.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&announce), &info) == 0 || info.dli_fname == nullptr)
        return;
    std::string path = info.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + "announced";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0)
        ::close(fd);
}

}  // namespace

class AnnouncePlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE "announceplugin.json")
};

#include "announceplugin.moc"
