#include "ui/notifications.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>

#include <map>
#include <optional>

#include "ui/application.h"
#include "ui/dialog_impl.h"
#include "ui/qt_access.h"

namespace ui::notification_detail {

// A picture as the notification service takes it in the hint "image-data": (iiibiiay).
struct ImageData {
  int width = 0;
  int height = 0;
  int rowStride = 0;
  bool hasAlpha = true;
  int bitsPerSample = 8;
  int channels = 4;
  QByteArray pixels;
};

QDBusArgument& operator<<(QDBusArgument& argument, const ImageData& image) {
  argument.beginStructure();
  argument << image.width << image.height << image.rowStride << image.hasAlpha
           << image.bitsPerSample << image.channels << image.pixels;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ImageData& image) {
  argument.beginStructure();
  argument >> image.width >> image.height >> image.rowStride >> image.hasAlpha >>
      image.bitsPerSample >> image.channels >> image.pixels;
  argument.endStructure();
  return argument;
}

}  // namespace ui::notification_detail

Q_DECLARE_METATYPE(ui::notification_detail::ImageData)

namespace ui {
namespace {

using notification_detail::ImageData;

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
constexpr char kConnectionName[] = "tunvik-notifications";
constexpr char kAppName[] = "Tunvik";
// The program's desktop entry (tunvik.desktop) and its icon in the icon theme, where installed.
constexpr char kDesktopEntry[] = "tunvik";
constexpr int kPictureSize = 48;

// The user-interface thread's sender. Touched on that thread only (Notify posts to it), except
// the test address, which tests set before anything is sent.
struct Sender {
  std::optional<std::string> testAddress;
  // A connection was asked for once: Qt's D-Bus machinery (a thread of its own) runs only from
  // the first notification on, never in a process that sends none.
  bool tried = false;
  // What the service answered for the last notification of each topic, to be replaced by the next.
  std::map<NotificationTopic, uint> shown;

  // The bus connection, made again when an earlier attempt failed (a session bus that came up
  // later is used); nullopt when there is none.
  std::optional<QDBusConnection> Connection() {
    if (testAddress && testAddress->empty()) return std::nullopt;
    tried = true;
    QDBusConnection connection(kConnectionName);
    if (connection.isConnected()) return connection;
    QDBusConnection::disconnectFromBus(kConnectionName);
    connection =
        testAddress
            ? QDBusConnection::connectToBus(QString::fromStdString(*testAddress), kConnectionName)
            : QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName);
    if (!connection.isConnected()) return std::nullopt;
    return connection;
  }
};

Sender& TheSender() {
  static Sender sender;
  return sender;
}

ImageData Picture(int iconResource) {
  QImage image = IconResource(iconResource)
                     .pixmap(kPictureSize, kPictureSize)
                     .toImage()
                     .convertToFormat(QImage::Format_RGBA8888);
  ImageData data;
  data.width = image.width();
  data.height = image.height();
  data.rowStride = static_cast<int>(image.bytesPerLine());
  data.pixels = QByteArray(reinterpret_cast<const char*>(image.constBits()),
                           static_cast<qsizetype>(image.sizeInBytes()));
  return data;
}

void Send(const Notification& notification) {
  Sender& sender = TheSender();
  std::optional<QDBusConnection> connection = sender.Connection();
  if (!connection) return;
  static const QMetaType registered = qDBusRegisterMetaType<ImageData>();
  (void)registered;

  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry));
  hints.insert(QStringLiteral("urgency"),
               QVariant::fromValue<uchar>(notification.critical ? 2 : 1));
  if (!notification.category.empty()) {
    hints.insert(QStringLiteral("category"), QString::fromStdString(notification.category));
  }
  if (notification.iconResource != 0 && !IconResource(notification.iconResource).isNull()) {
    hints.insert(QStringLiteral("image-data"),
                 QVariant::fromValue(Picture(notification.iconResource)));
  }
  const NotificationTopic topic = notification.topic;
  auto previous = sender.shown.find(topic);
  const uint replaces = previous == sender.shown.end() ? 0u : previous->second;

  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
  call << QString::fromLatin1(kAppName) << replaces << QString() << ToQt(notification.summary)
       << ToQt(notification.body) << QStringList() << hints << -1;
  auto* watcher = new QDBusPendingCallWatcher(connection->asyncCall(call));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [topic](QDBusPendingCallWatcher* finished) {
                     QDBusPendingReply<uint> reply = *finished;
                     if (reply.isValid()) TheSender().shown[topic] = reply.value();
                     finished->deleteLater();
                   });
}

}  // namespace

void Notify(const Notification& notification) {
  Post([notification] { Send(notification); });
}

void SetNotificationBusForTesting(const std::string& address) {
  Invoke([&] {
    Sender& sender = TheSender();
    sender.testAddress = address;
    sender.shown.clear();
    if (sender.tried) QDBusConnection::disconnectFromBus(kConnectionName);
  });
}

}  // namespace ui
