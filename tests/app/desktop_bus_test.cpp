// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Notifications and task-bar progress on a private session bus, and nothing without one.
#include "form_fixture.h"

#include "app/desktop_bus.h"
#include "app/run_notice.h"

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

TEST_F(DesktopBusTest, SendsTheNotificationAndTheTaskBarProgress) {
    DesktopBus bus("de.tavimo.Tavimo");
    ASSERT_TRUE(bus.connected());
    bus.notify("Umwandlung beendet", "Fertig: 2 Quelldateien, 1:02:33 h");
    for (const int percent : {0, 0, 40})
        bus.showProgress(percent);
    bus.hideProgress();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.updates.size() == 3; }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.notices.isEmpty(); }, 30000));
    EXPECT_EQ(recorder.notices,
              QStringList({"Tavimo", "de.tavimo.Tavimo", "Umwandlung beendet",
                           "Fertig: 2 Quelldateien, 1:02:33 h", "de.tavimo.Tavimo"}));
    const auto shown = progressShown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], std::pair(QVariant(0.0), true));
    EXPECT_EQ(shown[1], std::pair(QVariant(0.4), true));
    EXPECT_FALSE(shown[2].second);
}

TEST_F(DesktopBusTest, TheWindowsRunShowsItsProgressOnTheTaskBar) {
    QTemporaryDir dir;
    mcl.sources["/v/a.avi"] = {3, true};
    mcl.fullBlockSeconds = 10;
    mcl.lengths["/v/a.avi"] = 30;
    addSourceEntries({"/v/a.avi"});
    form->FilenameEdit1->setText(dir.filePath("out.wav"));
    form->btnStart->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !recorder.updates.empty() && !progressShown().back().second; }, 30000));
    const auto shown = progressShown();
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.front(), std::pair(QVariant(0.0), true));
    EXPECT_EQ(shown[1], std::pair(QVariant(0.33), true));
    // Short and in front: no notification.
    EXPECT_TRUE(recorder.notices.isEmpty());
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
    ConversionOutcome finished;
    finished.kind = ConversionOutcome::Kind::Finished;
    finished.sourceCount = 2;
    finished.seconds = 3753;
    ConversionOutcome stopped = finished;
    stopped.kind = ConversionOutcome::Kind::Stopped;
    ConversionOutcome refused;
    refused.kind = ConversionOutcome::Kind::Refused;
    const struct {
        const ConversionOutcome& outcome;
        double seconds;
        bool active;
        QString title; // empty: no notice
    } cases[] = {
        {finished, 11, false, "Umwandlung beendet"},
        {finished, 10, false, ""},
        {finished, 600, true, ""},
        {stopped, 11, false, "Umwandlung angehalten"},
        {refused, 11, false, ""},
    };
    for (const auto& c : cases) {
        const auto notice = runEndNotice(c.outcome, c.seconds, c.active);
        EXPECT_EQ(notice ? notice->title : QString(), c.title) << c.seconds << c.active;
    }
    EXPECT_EQ(runEndNotice(finished, 11, false)->body, "Fertig: 2 Quelldateien, 1:02:33 h");
}

} // namespace

#include "desktop_bus_test.moc"
