// The yardstick for start-up: a Qt Widgets program that shows one window and answers the same
// show-window request on the same kind of socket as Vellicord, so that the launch benchmark can
// start and time both the same way. Usage: QtHelloWorld <socket path>
#include <QApplication>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 2)
        return 2;
    QLabel window(QStringLiteral("Hello, world"));
    window.resize(640, 400);
    window.show();
    QLocalServer server;
    QLocalServer::removeServer(QString::fromLocal8Bit(argv[1]));
    if (!server.listen(QString::fromLocal8Bit(argv[1])))
        return 1;
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] {
                if (socket->canReadLine()) {
                    socket->readLine();
                    socket->write("ok\n");
                    socket->flush();
                }
            });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return application.exec();
}
