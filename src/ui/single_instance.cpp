#include "ui/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <cerrno>
#include <cstdio>
#include <thread>

namespace ui {
namespace {

constexpr char kLockName[] = "tunvik-instance.lock";
constexpr char kSocketName[] = "tunvik-instance.socket";

// The one question and its two answers, a line each.
const QByteArray kBringForward = "bring-forward\n";
const QByteArray kShown = "shown\n";
const QByteArray kLeaving = "leaving\n";
// A question is one short line; a peer that sends more is not a client.
constexpr qint64 kLongestQuestion = 64;

// Asks the client behind `path` to come to the front; its answer, or an empty one when nobody
// listens there (yet) or nothing came back in time.
QByteArray Ask(const QString& path, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(timeoutMs)) return {};
  socket.write(kBringForward);
  if (!socket.waitForBytesWritten(timeoutMs)) return {};
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return {};
  }
  return socket.readLine();
}

}  // namespace

// Touched on the user-interface thread only: ClaimOrHandOver runs before the window exists, and
// the server answers from that thread's event loop.
struct SingleInstance::Impl {
  std::string folder;
  int lockFd = -1;
  QPointer<QLocalServer> server;
  std::function<bool()> bringForward;

  void Answer(QLocalSocket* peer) {
    if (peer->bytesAvailable() > kLongestQuestion) {
      peer->abort();
      return;
    }
    if (!peer->canReadLine()) return;
    if (peer->readLine() == kBringForward) {
      const bool shown = bringForward ? bringForward() : true;
      peer->write(shown ? kShown : kLeaving);
      peer->flush();
    }
    peer->disconnectFromServer();
  }
};

SingleInstance::SingleInstance(std::string folder) : impl_(std::make_unique<Impl>()) {
  impl_->folder = std::move(folder);
}

SingleInstance::~SingleInstance() {
  delete impl_->server.data();  // closing removes the socket file
  if (impl_->lockFd >= 0) ::close(impl_->lockFd);
}

std::string SingleInstance::LockPath() const {
  return impl_->folder + "/" + kLockName;
}

std::string SingleInstance::SocketPath() const {
  return impl_->folder + "/" + kSocketName;
}

SingleInstance::Claim SingleInstance::ClaimOrHandOver(std::chrono::milliseconds patience) {
  if (impl_->lockFd >= 0) return Claim::kFirst;
  // Close-on-exec: a program this client starts (the new version after a self-update) must not
  // inherit the lock and so keep itself from ever taking it.
  const int fd = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Claim::kNoFolder;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  const QString socketPath = QString::fromStdString(SocketPath());
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      impl_->lockFd = fd;
      return Claim::kFirst;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      ::close(fd);
      return Claim::kNoFolder;
    }
    // The client that holds the lock may still be starting (not listening yet) or leaving; both
    // are waited for until the patience runs out.
    if (Ask(socketPath, 2000) == kShown) {
      ::close(fd);
      return Claim::kHandedOver;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return Claim::kNoAnswer;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void SingleInstance::Listen(std::function<bool()> bringForward) {
  if (impl_->lockFd < 0 || impl_->server) return;
  impl_->bringForward = std::move(bringForward);
  auto* server = new QLocalServer();
  server->setSocketOptions(QLocalServer::UserAccessOption);
  const QString path = QString::fromStdString(SocketPath());
  // A socket left behind by a client that ended without closing it; the lock says it is gone.
  QLocalServer::removeServer(path);
  if (!server->listen(path)) {
    std::fprintf(stderr, "tunvik: later starts cannot reach this client at %s: %s\n",
                 SocketPath().c_str(), server->errorString().toLocal8Bit().constData());
    delete server;
    return;
  }
  impl_->server = server;
  Impl* impl = impl_.get();
  QObject::connect(server, &QLocalServer::newConnection, server, [impl, server] {
    while (QLocalSocket* peer = server->nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      QObject::connect(peer, &QLocalSocket::readyRead, peer, [impl, peer] { impl->Answer(peer); });
      if (peer->bytesAvailable() > 0) impl->Answer(peer);
    }
  });
}

}  // namespace ui
