// SPDX-License-Identifier: GPL-3.0-or-later
// The real desktop shell. Power-off is only ever sent to a stand-in logind on a private
// bus started for the test: no test here calls power_off on the system bus.
#include "platform/linux_desktop_shell.h"
#include "support/temp_folder.h"

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace morvane {
namespace {

// Takes logind's name on the private bus, accepts every call and keeps it. It runs on a
// thread of its own, as the shell waits for the answer on the test's thread.
class StandInLogin : public QDBusVirtualObject {
public:
    explicit StandInLogin(const QString& address) {
        thread_.start();
        moveToThread(&thread_);
        QDBusConnection bus = QDBusConnection::connectToBus(address, "service");
        serving_ = bus.registerService("org.freedesktop.login1") &&
                   bus.registerVirtualObject("/org/freedesktop/login1", this);
    }
    ~StandInLogin() override {
        QDBusConnection::disconnectFromBus("service");
        thread_.quit();
        thread_.wait();
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        std::lock_guard guard(lock_);
        received_.push_back(message);
        return bus.send(message.createReply());
    }
    QString introspect(const QString&) const override { return {}; }

    bool serving() const { return serving_; }
    std::vector<QDBusMessage> received() const {
        std::lock_guard guard(lock_);
        return received_;
    }

private:
    QThread thread_;
    bool serving_ = false;
    mutable std::mutex lock_;
    std::vector<QDBusMessage> received_;
};

class DesktopShellTest : public testing::Test {
protected:
    void SetUp() override {
        // The bus socket lives in the test's own folder, so nothing is left behind.
        daemon_.start("dbus-daemon",
                      {"--session", "--nofork", "--print-address",
                       "--address=unix:dir=" + QString::fromStdString(folder_.path().string())});
        if (!daemon_.waitForStarted(10000) || !daemon_.waitForReadyRead(10000)) {
            GTEST_SKIP() << "dbus-daemon is not available";
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("client");
        daemon_.kill();
        daemon_.waitForFinished(10000);
    }
    LinuxDesktopShell shell_on_private_bus() {
        return LinuxDesktopShell(QDBusConnection::connectToBus(address_, "client"));
    }

    int argc_ = 1;
    char name_[20] = "desktop_shell_tests";
    char* argv_[2] = {name_, nullptr};
    QGuiApplication application_{argc_, argv_};
    test::TempFolder folder_;
    QProcess daemon_;
    QString address_;
};

TEST_F(DesktopShellTest, PowerOffIsOneNonInteractiveCallToLogindAndFailuresAreReported) {
    LinuxDesktopShell shell = shell_on_private_bus();
    EXPECT_NE(shell.power_off().value_or("").find("ServiceUnknown"), std::string::npos);

    StandInLogin login(address_);
    ASSERT_TRUE(login.serving());
    EXPECT_EQ(shell.power_off(), std::nullopt);
    const std::vector<QDBusMessage> calls = login.received();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].path(), "/org/freedesktop/login1");
    EXPECT_EQ(calls[0].interface(), "org.freedesktop.login1.Manager");
    EXPECT_EQ(calls[0].member(), "PowerOff");
    EXPECT_EQ(calls[0].arguments(), QVariantList{false});
}

TEST(DesktopShell, OpenRequestsThatCannotSucceedSayWhy) {
    test::TempFolder folder;
    LinuxDesktopShell shell;
    const std::string here = folder.path().string();
    EXPECT_NE(shell.open_folder(here).value_or("").find("no desktop session"), std::string::npos);

    int argc = 1;
    char name[] = "desktop_shell_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    const std::string missing = folder.file("gone").string();
    EXPECT_NE(shell.open_folder(missing).value_or("").find(missing), std::string::npos);
    EXPECT_NE(shell.open_url("not a link").value_or("").find("not a link"), std::string::npos);

    // From a worker thread the request is handed to the application's thread.
    DesktopShell::Failure from_worker = "not called";
    std::thread([&] { from_worker = shell.open_folder(here); }).join();
    EXPECT_EQ(from_worker, std::nullopt);
    QCoreApplication::processEvents();
}

} // namespace
} // namespace morvane
