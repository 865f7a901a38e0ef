// The local test shop as a program of its own, for trying the renamer by
// hand: point http_proxy at the address it prints and the store plug-in's
// page URLs reach it unchanged.

#include "TestShop.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only writes one byte: everything else happens in the event loop.
void onSignal(int)
{
    const char byte = 1;
    ssize_t written = ::write(signalPipe[1], &byte, 1);
    (void)written;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorv-test-shop"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves product pages on 127.0.0.1, directly or as an HTTP proxy."));
    parser.addHelpOption();
    const QCommandLineOption catalogueOption(
        QStringLiteral("catalogue"),
        QStringLiteral("Folder with pc/<ID>.html and touch/<ID>.html (may be given more than "
                       "once)."),
        QStringLiteral("dir"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (default: any free)."),
                                        QStringLiteral("n"), QStringLiteral("0"));
    parser.addOption(catalogueOption);
    parser.addOption(portOption);
    parser.process(app);

    const QStringList catalogues = parser.values(catalogueOption);
    if (catalogues.isEmpty()) {
        std::fprintf(stderr, "zorv-test-shop: --catalogue DIR is required\n");
        return 2;
    }
    for (const QString &dir : catalogues) {
        if (!QDir(dir).exists()) {
            std::fprintf(stderr, "zorv-test-shop: no such folder: %s\n", qPrintable(dir));
            return 2;
        }
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "zorv-test-shop: bad port: %s\n",
                     qPrintable(parser.value(portOption)));
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("zorv-test-shop: socketpair");
        return 1;
    }
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, SIGNAL(activated(int)), &app, SLOT(quit()));
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    int result = 0;
    {
        TestShop shop(static_cast<quint16>(port));
        if (!shop.isListening()) {
            std::fprintf(stderr, "zorv-test-shop: cannot listen: %s\n",
                         qPrintable(shop.errorString()));
            result = 1;
        } else {
            for (const QString &dir : catalogues)
                shop.addCatalogue(QDir(dir).absolutePath());
            std::printf("listening %s\n", qPrintable(shop.proxyUrl()));
            std::fflush(stdout);
            result = app.exec();
        }
    }
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return result;
}
