#pragma once
// One window per user: the first start listens on a local socket that only the same user
// can reach; a later start hands its files to it and ends. What arrives on the socket is only
// ever taken as names of files to add.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <map>

class QLocalSocket;

namespace tovik {

// The message of a later start: every name in UTF-8 ending in a NUL byte (which no file name
// holds), then one more NUL.
QByteArray EncodeFileMessage(const QStringList& files);
// True once message holds the whole of one; files then gets its absolute names (others
// are dropped: the running window cannot know the sender's working folder).
bool DecodeFileMessage(const QByteArray& message, QStringList& files);

enum class TStartRole {
    srHandedOver, // a running window took the files: this start ends
    srListening,  // this start is the running window now
    srAlone,      // no socket could be had: run without one
};

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // The largest message a running window reads; longer ones are dropped.
    static constexpr qint64 kMaxMessageBytes = 4 * 1024 * 1024;

    explicit TSingleInstance(QString socketPath, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // $XDG_RUNTIME_DIR/tovik-converter.socket (a folder only its user can enter); without
    // that folder, a name with the user's id in the temporary folder.
    static QString DefaultSocketPath();

    // Hands files to the running window, else becomes it. A socket left behind by a window
    // that ended without closing it is replaced.
    TStartRole Start(const QStringList& files, int timeoutMs = 5000);
    // Hands files to the running window; true when it confirmed them.
    bool HandOver(const QStringList& files, int timeoutMs = 5000);
    bool IsListening() const { return server_.isListening(); }
    const QString& SocketPath() const { return path_; }
    QString ErrorText() const { return error_; }

signals:
    // Names from a later start, absolute; the receiver decides which it can add.
    void FilesArrived(const QStringList& files);

private:
    bool Listen();
    void Accept();
    void Read(QLocalSocket* socket);

    QString path_;
    QString error_;
    QLocalServer server_;
    std::map<QLocalSocket*, QByteArray> buffers_; // what each connection sent so far
};

} // namespace tovik
