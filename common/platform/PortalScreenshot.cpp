#include "common/platform/PortalScreenshot.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

namespace common {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

}  // namespace

// Receives the Response signal of one request and ends the wait.
class PortalResponse final : public QObject {
    Q_OBJECT
public:
    explicit PortalResponse(QEventLoop& loop) : loop_(loop) {}
    bool received = false;
    uint code = 2;
    QVariantMap results;

public slots:
    void onResponse(uint response, const QVariantMap& values) {
        received = true;
        code = response;
        results = values;
        loop_.quit();
    }

private:
    QEventLoop& loop_;
};

PortalScreenshot::PortalScreenshot(std::optional<QDBusConnection> bus,
                                   std::chrono::milliseconds timeout)
    : bus_(std::move(bus)), timeout_(timeout) {}

ScreenPictureSource::Picture PortalScreenshot::takePicture() {
    QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return {{}, "no session bus, so the desktop portal cannot take the picture"};
    }
    QEventLoop loop;
    PortalResponse response(loop);
    // The portal names the request object after our bus name and a token of
    // ours; listening before the call means no response can be missed.
    const QString token = QStringLiteral("kalvo%1").arg(++requests_);
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    QString handle = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    const auto listen = [&](const QString& path, bool on) {
        return on ? bus.connect(kService, path, kRequest, QStringLiteral("Response"), &response,
                                SLOT(onResponse(uint, QVariantMap)))
                  : bus.disconnect(kService, path, kRequest, QStringLiteral("Response"), &response,
                                   SLOT(onResponse(uint, QVariantMap)));
    };
    listen(handle, true);

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("modal"), true},
                        {QStringLiteral("interactive"), false}};
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, static_cast<int>(timeout_.count())));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeout_);
    while (!watcher.isFinished() && deadline.isActive()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    const QDBusPendingReply<QDBusObjectPath> reply = watcher;
    if (!reply.isFinished() || reply.isError()) {
        listen(handle, false);
        const QDBusError::ErrorType type =
            reply.isFinished() ? reply.error().type() : QDBusError::Timeout;
        if (type == QDBusError::ServiceUnknown || type == QDBusError::UnknownObject ||
            type == QDBusError::UnknownInterface || type == QDBusError::UnknownMethod) {
            return {{}, "no desktop portal with a Screenshot interface on the session bus"};
        }
        if (type == QDBusError::Timeout || type == QDBusError::NoReply) {
            return {{}, "the desktop portal did not answer"};
        }
        return {{}, "the desktop portal failed: " + reply.error().message().toStdString()};
    }
    // Older portals choose the request's path themselves.
    if (const QString given = reply.value().path(); given != handle) {
        listen(handle, false);
        handle = given;
        listen(handle, true);
    }
    while (!response.received && deadline.isActive()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    listen(handle, false);
    if (!response.received) {
        return {{}, "the desktop portal did not send the picture in time"};
    }
    if (response.code == 1) {
        return {{}, "taking the picture was refused"};
    }
    if (response.code != 0) {
        return {{}, "the desktop portal could not take the picture"};
    }
    const QUrl uri(response.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile() || uri.toLocalFile().isEmpty()) {
        return {{}, "the desktop portal gave no picture file"};
    }
    return {uri.toLocalFile().toStdString(), {}};
}

}  // namespace common

#include "PortalScreenshot.moc"
