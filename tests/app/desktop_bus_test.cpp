// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Notifications and task-bar progress on a private session bus, and nothing without one.
#include "form_fixture.h"

#include "app/desktop_bus.h"
#include "app/run_notice.h"
#include "pipeline/progress_text.h"

#include <QDBusConnection>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Stands in for the desktop: a notification service, and a task bar listening for progress.
class DesktopRecorder : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList notices;                                  // app, icon, title, body, entry
    std::vector<std::pair<QString, QVariantMap>> updates; // task-bar entry, properties

public slots:
    uint Notify(const QString& app, uint, const QString& icon, const QString& title,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        notices << app << icon << title << body << hints.value("desktop-entry").toString();
        return 1;
    }
    void Update(const QString& entry, const QVariantMap& properties) {
        updates.emplace_back(entry, properties);
    }
};

// A session bus of the test's own, on a socket in a temporary folder.
class DesktopBusTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"})
            saved.emplace_back(name, qgetenv(name));
        ASSERT_FALSE(QString(TAVIMO_DBUS_DAEMON).isEmpty()) << "dbus-daemon is missing";
        daemon.start(TAVIMO_DBUS_DAEMON, {"--session", "--nofork", "--print-address",
                                          "--address=unix:path=" + socketDir.filePath("bus")});
        ASSERT_TRUE(daemon.waitForReadyRead(30000)) << daemon.errorString().toStdString();
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QDBusConnection desktop = QDBusConnection::connectToBus(address, "recorder");
        ASSERT_TRUE(desktop.registerService("org.freedesktop.Notifications"));
        ASSERT_TRUE(desktop.registerObject("/org/freedesktop/Notifications", &recorder,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(desktop.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update",
                                    &recorder, SLOT(Update(QString, QVariantMap))));
    }
    void TearDown() override {
        FormTest::TearDown();
        QDBusConnection::disconnectFromBus("recorder");
        daemon.terminate();
        daemon.waitForFinished();
        for (const auto& [name, value] : saved) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    std::vector<std::pair<QVariant, bool>> progressShown() const {
        std::vector<std::pair<QVariant, bool>> shown;
        for (const auto& [entry, properties] : recorder.updates) {
            EXPECT_EQ(entry, "application://de.tavimo.Tavimo.desktop");
            shown.emplace_back(properties.value("progress"),
                               properties.value("progress-visible").toBool());
        }
        return shown;
    }

    std::vector<std::pair<const char*, QByteArray>> saved;
    QTemporaryDir socketDir;
    QProcess daemon;
    QString address;
    DesktopRecorder recorder;
};

TEST_F(DesktopBusTest, TheWindowsRunShowsItsProgressOnTheTaskBarAndANoticeIsSent) {
    QTemporaryDir dir;
    mcl.sources["/v/a.avi"] = {3, true};
    mcl.fullBlockSeconds = 10;
    mcl.lengths["/v/a.avi"] = 30;
    addSourceEntries({"/v/a.avi"});
    form->FilenameEdit1->setText(dir.filePath("out.wav"));
    form->btnStart->click();
    // Short: no notice. The window sends one for a long run through the same call.
    DesktopBus("de.tavimo.Tavimo").notify("Umwandlung beendet", "Fertig: 1 Quelldatei");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !recorder.notices.isEmpty() && recorder.updates.size() >= 5; }, 30000));
    EXPECT_EQ(recorder.notices, QStringList({"Tavimo", "de.tavimo.Tavimo", "Umwandlung beendet",
                                             "Fertig: 1 Quelldatei", "de.tavimo.Tavimo"}));
    const auto shown = progressShown();
    ASSERT_EQ(shown.size(), 5u);
    for (const auto& [share, index] : {std::pair{0.0, 0}, {0.33, 1}, {0.66, 2}, {1.0, 3}})
        EXPECT_EQ(shown[index], std::pair(QVariant(share), true));
    EXPECT_FALSE(shown[4].second);
}

TEST_F(DesktopBusTest, WithoutASessionBusNothingIsTried) {
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", socketDir.path().toUtf8() + "/none");
    EXPECT_TRUE(DesktopBus::sessionAddress().isEmpty());
    DesktopBus bus("de.tavimo.Tavimo");
    EXPECT_FALSE(bus.connected());
    bus.notify("Umwandlung beendet", "Fertig");
    bus.showProgress(50);
    // The user's bus socket is found where systemd puts it.
    qputenv("XDG_RUNTIME_DIR", socketDir.path().toUtf8());
    EXPECT_EQ(DesktopBus::sessionAddress(), "unix:path=" + socketDir.filePath("bus"));
    QTest::qWait(100);
    EXPECT_TRUE(recorder.notices.isEmpty());
    EXPECT_TRUE(recorder.updates.empty());
}

TEST(RunEndNotice, OnlyLongRunsThatEndInTheBackground) {
    ConversionOutcome stopped;
    stopped.kind = ConversionOutcome::Kind::Stopped;
    stopped.seconds = 3753;
    const auto title = [&](ConversionOutcome::Kind kind, double seconds, bool active) {
        stopped.kind = kind;
        const auto notice = runEndNotice(stopped, seconds, active);
        return notice ? notice->title : QString();
    };
    using enum ConversionOutcome::Kind;
    EXPECT_EQ(title(Finished, 11, false), "Umwandlung beendet");
    EXPECT_EQ(title(Finished, 10, false), "");
    EXPECT_EQ(title(Finished, 600, true), "");
    EXPECT_EQ(title(Refused, 11, false), "");
    EXPECT_EQ(title(Failed, 11, false), "Umwandlung fehlgeschlagen");
    EXPECT_EQ(runEndNotice(stopped, 11, false)->body, outcomeSummary(stopped));
}

} // namespace

#include "desktop_bus_test.moc"
