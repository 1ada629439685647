// A platform plugin ("announce") that leaves the file "announced" beside
// itself when it is loaded.

#include <QObject>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

__attribute__((constructor)) void announce()
{
    // Its folder from where it lies: the program under test may have cut the environment.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&announce), &info) == 0 || info.dli_fname == nullptr)
        return;
    const std::string path = info.dli_fname;
    ::close(::open((path.substr(0, path.rfind('/') + 1) + "announced").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
}

}  // namespace

class AnnouncePlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE "announceplugin.json")
};

#include "announceplugin.moc"
