// A stand-in for the desktop's notification service on a private bus: it owns
// org.freedesktop.Notifications, records every notification and answers with a new id. It runs on
// the test's user-interface thread, so tests pump events while they wait for it.
#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>

#include <string>
#include <vector>

namespace desktop_test {

struct RecordedNotification {
  std::string appName;
  unsigned replacesId = 0;
  std::string summary;  // UTF-8
  std::string body;     // UTF-8
  std::string category;
  int urgency = -1;
  bool hasImage = false;
};

class NotificationRecorder : public QDBusVirtualObject {
 public:
  explicit NotificationRecorder(const std::string& address)
      : connection_(QDBusConnection::connectToBus(QString::fromStdString(address),
                                                  QStringLiteral("notification-recorder"))) {
    connection_.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this);
    registered_ = connection_.registerService(QStringLiteral("org.freedesktop.Notifications"));
  }
  ~NotificationRecorder() override {
    connection_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-recorder"));
  }

  bool Ready() const { return registered_; }
  const std::vector<RecordedNotification>& Recorded() const { return recorded_; }
  std::vector<std::string> Summaries() const {
    std::vector<std::string> summaries;
    for (const auto& n : recorded_) summaries.push_back(n.summary);
    return summaries;
  }

  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.freedesktop.Notifications\">"
        "<method name=\"Notify\"><arg type=\"s\" direction=\"in\"/><arg type=\"u\" "
        "direction=\"in\"/><arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"s\" direction=\"in\"/><arg type=\"as\" direction=\"in\"/><arg "
        "type=\"a{sv}\" direction=\"in\"/><arg type=\"i\" direction=\"in\"/><arg type=\"u\" "
        "direction=\"out\"/></method></interface>");
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != QLatin1String("org.freedesktop.Notifications")) return false;
    if (message.member() == QLatin1String("Notify") && message.arguments().size() == 8) {
      const QVariantList args = message.arguments();
      RecordedNotification n;
      n.appName = args[0].toString().toStdString();
      n.replacesId = args[1].toUInt();
      n.summary = args[3].toString().toStdString();
      n.body = args[4].toString().toStdString();
      const QVariantMap hints = qdbus_cast<QVariantMap>(args[6]);
      n.category = hints.value(QStringLiteral("category")).toString().toStdString();
      if (hints.contains(QStringLiteral("urgency"))) {
        n.urgency = hints.value(QStringLiteral("urgency")).toInt();
      }
      n.hasImage = hints.contains(QStringLiteral("image-data"));
      recorded_.push_back(n);
      connection.send(message.createReply(QVariant::fromValue(++lastId_)));
      return true;
    }
    if (message.member() == QLatin1String("GetCapabilities")) {
      connection.send(message.createReply(QStringList{QStringLiteral("body")}));
      return true;
    }
    return false;
  }

 private:
  QDBusConnection connection_;
  bool registered_ = false;
  std::vector<RecordedNotification> recorded_;
  uint lastId_ = 0;
};

}  // namespace desktop_test
