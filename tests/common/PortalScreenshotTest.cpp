// The portal client against a fake portal on a private bus: a dbus-daemon
// started by the test, with nothing activatable, so no real portal answers.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <QVariantMap>

#include <chrono>
#include <fstream>
#include <memory>

#include "TempDir.h"
#include "common/platform/PortalScreenshot.h"
#include "tests/support/Process.h"

namespace {

using namespace std::chrono_literals;

// Answers Screenshot like the portal: the request object's path at once,
// then Response on that object with the code and results set by the test.
class FakePortal final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    explicit FakePortal(QDBusConnection bus) : bus_(std::move(bus)) {}
    uint code = 0;
    QVariantMap results;
    QVariantMap options;  // of the last call
    bool answer = true;

public slots:
    QDBusObjectPath Screenshot(const QString& /*parent*/, const QVariantMap& opts,
                               const QDBusMessage& message) {
        options = opts;
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender +
                               QLatin1Char('/') + opts.value("handle_token").toString();
        if (answer) {
            QTimer::singleShot(20, this, [this, handle] {
                QDBusMessage response = QDBusMessage::createSignal(
                    handle, QStringLiteral("org.freedesktop.portal.Request"),
                    QStringLiteral("Response"));
                response << code << results;
                bus_.send(response);
            });
        }
        return QDBusObjectPath(handle);
    }

private:
    QDBusConnection bus_;
};

// No file, and a problem that says `what`.
void expectProblem(const common::ScreenPictureSource::Picture& picture, const char* what) {
    EXPECT_EQ(picture.path, "") << what;
    EXPECT_NE(picture.problem.find(what), std::string::npos) << picture.problem;
}

class PortalScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string config = dir_.path() + "/bus.conf";
        std::ofstream(config) << "<busconfig><type>session</type>"
                                 "<listen>unix:dir="
                              << dir_.path()
                              << "</listen><auth>EXTERNAL</auth>"
                                 "<policy context=\"default\">"
                                 "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                 "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                 "</policy></busconfig>\n";
        daemon_ = tktest::Process::start(
            {"dbus-daemon", "--nofork", "--print-address=1", "--config-file=" + config},
            {.reportFd = 1});
        if (!daemon_) {
            GTEST_SKIP() << "dbus-daemon is not installed (./run setup installs it)";
        }
        const QString address =
            QString::fromStdString(daemon_->readLine(std::chrono::seconds(5))).trimmed();
        ASSERT_FALSE(address.isEmpty()) << "dbus-daemon gave no address";
        client_ = QDBusConnection::connectToBus(address, QStringLiteral("client"));
        service_ = QDBusConnection::connectToBus(address, QStringLiteral("portal"));
        ASSERT_TRUE(client_.isConnected() && service_.isConnected());
        portal_ = std::make_unique<FakePortal>(service_);
    }
    void TearDown() override {
        portal_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        daemon_.reset();
    }
    void publishPortal() {
        ASSERT_TRUE(service_.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        ASSERT_TRUE(service_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"),
                                            portal_.get(), QDBusConnection::ExportAllSlots));
    }

    int argc_ = 1;
    char name_[8] = "test";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication app_{argc_, argv_};
    tktest::TempDir dir_;
    std::unique_ptr<tktest::Process> daemon_;
    QDBusConnection client_{QString()};
    QDBusConnection service_{QString()};
    std::unique_ptr<FakePortal> portal_;
};

TEST_F(PortalScreenshotTest, ReturnsTheFileThePortalWrote) {
    publishPortal();
    portal_->code = 0;
    portal_->results = {{QStringLiteral("uri"), QStringLiteral("file:///tmp/Screenshot%201.png")}};
    common::PortalScreenshot portal(client_, 5s);

    const auto picture = portal.takePicture();

    EXPECT_EQ(picture.path, "/tmp/Screenshot 1.png");
    EXPECT_EQ(picture.problem, "");
    EXPECT_EQ(portal_->options.value("interactive").toBool(), false);
    EXPECT_FALSE(portal_->options.value("handle_token").toString().isEmpty());
}

TEST_F(PortalScreenshotTest, RefusalAndFailuresGiveAProblemAndNoFile) {
    publishPortal();
    struct Case {
        uint code;
        QVariantMap results;
        const char* problem;
    };
    const Case cases[] = {
        {1, {}, "refused"},
        {2, {}, "could not take"},
        {0,
         {{QStringLiteral("uri"), QStringLiteral("https://example.org/a.png")}},
         "no picture file"},
        {0, {}, "no picture file"},
    };
    common::PortalScreenshot portal(client_, 5s);

    for (const Case& c : cases) {
        portal_->code = c.code;
        portal_->results = c.results;

        expectProblem(portal.takePicture(), c.problem);
    }
}

TEST_F(PortalScreenshotTest, AMissingOrSilentPortalGivesAProblem) {
    common::PortalScreenshot absent(client_, 5s);

    expectProblem(absent.takePicture(), "no desktop portal");

    publishPortal();
    portal_->answer = false;
    common::PortalScreenshot patient(client_, 300ms);

    expectProblem(patient.takePicture(), "in time");
}

}  // namespace

#include "PortalScreenshotTest.moc"
