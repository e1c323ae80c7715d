#ifndef LOOPBACKPROXY_H
#define LOOPBACKPROXY_H

#include <QByteArray>
#include <QMutex>
#include <QThread>

class QTcpServer;

// A TCP relay on 127.0.0.1 in front of a server port, running in a thread of its own (so
// that a blocking connection opened on the test's thread can pass it). It records every
// byte that passes, either way, as a sniffer on the loopback would see it. With
// hideTls, it clears the TLS capability in the MySQL server's greeting, as a man in the
// middle that wants to read the session would. With keepSessions, a client's goodbye
// (COM_QUIT, then the close) does not reach the server until the proxy ends, as when
// the close of a connection reaches the server late.
class LoopbackProxy : public QThread
{
    Q_OBJECT
public:
    LoopbackProxy(quint16 serverPort, bool hideTls, bool keepSessions = false);
    ~LoopbackProxy() override;

    // Starts listening; 0 when it could not.
    quint16 start();
    QByteArray traffic() const;

protected:
    void run() override;

private:
    void relay(QTcpServer *server);
    void record(const QByteArray &data);

    const quint16 m_serverPort;
    const bool m_hideTls;
    const bool m_keepSessions;
    mutable QMutex m_mutex;
    QByteArray m_traffic;
    quint16 m_port = 0;
};

#endif // LOOPBACKPROXY_H
