#include "LoopbackProxy.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

const quint16 clientSsl = 0x0800; // CLIENT_SSL in the lower capability flags
const QByteArray comQuit("\x01\x00\x00\x00\x01", 5); // length 1, sequence 0, COM_QUIT

// Clears CLIENT_SSL in a complete greeting packet: 4 header bytes, the protocol
// version, the server version up to its NUL, the connection id (4), the first part of
// the scramble (8) and a filler (1); then the lower two capability bytes.
void hideTlsIn(QByteArray &greeting)
{
    const int versionEnd = greeting.indexOf('\0', 5);
    const int flags = versionEnd + 1 + 4 + 8 + 1;
    if (versionEnd < 0 || flags + 1 >= greeting.size())
        return;
    greeting[flags + 1] = char(greeting.at(flags + 1) & ~(clientSsl >> 8));
}

} // namespace

LoopbackProxy::LoopbackProxy(quint16 serverPort, bool hideTls, bool keepSessions)
    : m_serverPort(serverPort)
    , m_hideTls(hideTls)
    , m_keepSessions(keepSessions)
{
}

LoopbackProxy::~LoopbackProxy()
{
    quit();
    wait();
}

quint16 LoopbackProxy::start()
{
    QThread::start();
    // run() publishes the port before it enters its event loop.
    for (int i = 0; i < 1000 && isRunning(); ++i) {
        {
            QMutexLocker lock(&m_mutex);
            if (m_port != 0)
                return m_port;
        }
        QThread::msleep(10);
    }
    return 0;
}

QByteArray LoopbackProxy::traffic() const
{
    QMutexLocker lock(&m_mutex);
    return m_traffic;
}

void LoopbackProxy::record(const QByteArray &data)
{
    QMutexLocker lock(&m_mutex);
    m_traffic += data;
}

void LoopbackProxy::run()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return;
    connect(&server, &QTcpServer::newConnection, &server, [this, &server]() { relay(&server); });
    {
        QMutexLocker lock(&m_mutex);
        m_port = server.serverPort();
    }
    exec();
}

// The server speaks first, so the client writes only once the upstream is connected.
void LoopbackProxy::relay(QTcpServer *server)
{
    while (QTcpSocket *client = server->nextPendingConnection()) {
        auto *upstream = new QTcpSocket(client);
        // The greeting is held back until it is complete, when it is to be changed.
        auto greeting = std::make_shared<QByteArray>();
        auto greeted = std::make_shared<bool>(!m_hideTls);
        connect(client, &QTcpSocket::readyRead, upstream, [this, client, upstream]() {
            QByteArray data = client->readAll();
            record(data);
            if (m_keepSessions && data.endsWith(comQuit))
                data.chop(comQuit.size());
            upstream->write(data);
        });
        connect(upstream, &QTcpSocket::readyRead, client, [this, client, upstream, greeting, greeted]() {
            const QByteArray data = upstream->readAll();
            record(data);
            if (*greeted) {
                client->write(data);
                return;
            }
            *greeting += data;
            if (greeting->size() < 4)
                return;
            const int length = uchar(greeting->at(0)) | uchar(greeting->at(1)) << 8 | uchar(greeting->at(2)) << 16;
            if (greeting->size() < 4 + length)
                return;
            hideTlsIn(*greeting);
            client->write(*greeting);
            *greeted = true;
        });
        connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        // A kept session ends with the proxy, whose server owns the client and its upstream.
        if (!m_keepSessions) {
            connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        }
        upstream->connectToHost(QHostAddress::LocalHost, m_serverPort);
    }
}
