#include "app/SingleInstance.h"

#include "platform/LocalPeer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <unistd.h>

namespace tovik {

namespace {
constexpr char kConfirmation[] = "ok\n";
// A connection that says nothing for this long is dropped.
constexpr int kIdleMs = 10000;
} // namespace

QByteArray EncodeFileMessage(const QStringList& files) {
    QByteArray message;
    for (const QString& file : files) {
        const QByteArray name = file.toUtf8();
        if (name.isEmpty() || name.contains('\0'))
            continue;
        message += name;
        message += '\0';
    }
    message += '\0';
    return message;
}

bool DecodeFileMessage(const QByteArray& message, QStringList& files) {
    files.clear();
    qsizetype at = 0;
    while (at < message.size()) {
        const qsizetype end = message.indexOf('\0', at);
        if (end < 0)
            return false; // the rest has not arrived
        if (end == at)
            return true; // the empty name ends the message
        const QString name = QString::fromUtf8(message.constData() + at, end - at);
        if (QDir::isAbsolutePath(name))
            files.append(QDir::cleanPath(name));
        at = end + 1;
    }
    return false;
}

TSingleInstance::TSingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::DefaultSocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/tovik-converter.socket");
    return QDir::tempPath() + QStringLiteral("/tovik-converter-%1.socket").arg(::geteuid());
}

TStartRole TSingleInstance::Start(const QStringList& files, int timeoutMs) {
    // Two starts at once: the one that loses the race to listen hands over to the other.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (HandOver(files, timeoutMs))
            return TStartRole::srHandedOver;
        if (Listen())
            return TStartRole::srListening;
    }
    return TStartRole::srAlone;
}

bool TSingleInstance::HandOver(const QStringList& files, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // A socket in a shared folder could have been put there by someone else.
    if (!platform::PeerIsSameUser(static_cast<int>(socket.socketDescriptor()))) {
        error_ = QStringLiteral("the socket %1 belongs to another user").arg(path_);
        return false;
    }
    socket.write(EncodeFileMessage(files));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    QElapsedTimer waited;
    waited.start();
    while (answer.size() < qsizetype(sizeof kConfirmation - 1) && waited.elapsed() < timeoutMs) {
        if (!socket.bytesAvailable() && !socket.waitForReadyRead(static_cast<int>(
                                            std::max<qint64>(1, timeoutMs - waited.elapsed()))))
            break;
        answer += socket.readAll();
    }
    socket.disconnectFromServer();
    return answer.startsWith(kConfirmation);
}

bool TSingleInstance::Listen() {
    if (server_.listen(path_))
        return true;
    if (server_.serverError() != QAbstractSocket::AddressInUseError) {
        error_ = server_.errorString();
        return false;
    }
    // Someone answers: not ours to replace (the caller hands over to it).
    QLocalSocket probe;
    probe.connectToServer(path_);
    if (probe.waitForConnected(1000)) {
        probe.abort();
        return false;
    }
    // Left behind by a window that ended without closing it.
    QLocalServer::removeServer(path_);
    if (server_.listen(path_))
        return true;
    error_ = server_.errorString();
    return false;
}

void TSingleInstance::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!platform::PeerIsSameUser(static_cast<int>(socket->socketDescriptor()))) {
            socket->abort();
            continue;
        }
        buffers_[socket];
        connect(socket, &QObject::destroyed, this,
                [this, socket] { buffers_.erase(static_cast<QLocalSocket*>(socket)); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        QTimer::singleShot(kIdleMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        Read(socket);
    }
}

void TSingleInstance::Read(QLocalSocket* socket) {
    const auto found = buffers_.find(socket);
    if (found == buffers_.end())
        return;
    QByteArray* buffer = &found->second;
    *buffer += socket->readAll();
    if (buffer->size() > kMaxMessageBytes) {
        socket->abort();
        return;
    }
    QStringList files;
    if (!DecodeFileMessage(*buffer, files))
        return;
    buffer->clear();
    socket->write(kConfirmation);
    socket->flush();
    socket->disconnectFromServer();
    emit FilesArrived(files);
}

} // namespace tovik
