#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace velmora::test {

// A HylaFAX server of the test's own (tools/private-fax-server): faxq and hfaxd on a private
// spool, hfaxd on 127.0.0.1 at a free port, one send-only modem whose transmitter is a script
// that decides each fax's outcome. Needs root and hylafax-server; whyNot() says what is missing.
// Stopped, its spool removed, with the object.
//
// The servers run in the foreground as children of the test, each in a process group of its
// own, and the test takes in what they leave behind (a child subreaper): every process of
// theirs is reaped here, never left as a zombie to a system whose first process may not reap,
// where the machine's own HylaFAX start script would count it as a server still running.
class PrivateFaxServer {
public:
    PrivateFaxServer();
    ~PrivateFaxServer();
    PrivateFaxServer(const PrivateFaxServer&) = delete;
    PrivateFaxServer& operator=(const PrivateFaxServer&) = delete;

    // Empty when it runs; else why not (to skip the test).
    const QString& whyNot() const { return whyNot_; }
    quint16 port() const { return port_; }
    // "127.0.0.1:<port>".
    QString server() const;
    const QString& spool() const { return spool_; }

    // What the transmitter does with faxes to `number` (its digits; "default": all others):
    // "sent", "failed <status>", "retry <status>", "hold <seconds>".
    void setOutcome(const QString& number, const QString& outcome);
    // Stops the servers, keeping the spool and its queues; start() starts them again there.
    void halt();
    bool start();

    // What HylaFAX's own faxstat says with `arguments` (e.g. "-s", "-d") about this server.
    QString faxstat(const QStringList& arguments) const;
    // The job's queue file, from sendq or doneq.
    QString queueFile(const QString& jobId) const;

private:
    bool run();
    void end();

    std::unique_ptr<QProcess> faxq_, hfaxd_, modem_;
    QString spool_;
    quint16 port_ = 0;
    QString whyNot_;
};

}  // namespace velmora::test
