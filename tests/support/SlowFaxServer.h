#pragma once

#include <QProcess>
#include <QString>

namespace velmora::test {

// A stand-in for a fax server that answers a fax's upload only after `delay` seconds
// (slow-fax-server.py beside this file), on 127.0.0.1 at a port of its own, for as long as the
// object lives. It notes each connection ("started") and each job queued ("submitted").
class SlowFaxServer {
public:
    // `flood`: its job lists never end (a server gone wrong, or hostile).
    SlowFaxServer(const QString& folder, double delay, bool flood = false);
    ~SlowFaxServer();
    SlowFaxServer(const SlowFaxServer&) = delete;
    SlowFaxServer& operator=(const SlowFaxServer&) = delete;

    // 0 when it did not start.
    quint16 port() const { return port_; }
    // "127.0.0.1:<port>".
    QString server() const;
    // How many times `what` ("started", "submitted") was noted.
    int noted(const char* what) const;

private:
    QString notes_;
    QProcess process_;
    quint16 port_ = 0;
};

}  // namespace velmora::test
