// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/desktop_bus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString kLauncherPath = QStringLiteral("/de/tavimo/Tavimo/LauncherEntry");

} // namespace

DesktopBus::DesktopBus(QString desktopEntry)
    : entry(std::move(desktopEntry)),
      connectionName(QStringLiteral("tavimo-desktop-%1").arg(reinterpret_cast<quintptr>(this))) {}

DesktopBus::~DesktopBus() {
    if (state == State::Connected) {
        hideProgress();
        QDBusConnection::disconnectFromBus(connectionName);
    }
}

QString DesktopBus::sessionAddress() {
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    // Left to itself, libdbus would try to start a bus through the X server ("autolaunch"),
    // which can take seconds; the user's bus socket is where systemd and dbus-broker put it.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtime + QStringLiteral("/bus");
    if (!runtime.isEmpty() && QFileInfo(socket).exists() && !QFileInfo(socket).isDir())
        return QStringLiteral("unix:path=") + socket;
    return {};
}

bool DesktopBus::connected() {
    if (state == State::Untried) {
        state = State::Absent;
        const QString address = sessionAddress();
        if (!address.isEmpty() &&
            QDBusConnection::connectToBus(address, connectionName).isConnected())
            state = State::Connected;
        else if (!address.isEmpty())
            QDBusConnection::disconnectFromBus(connectionName);
    }
    return state == State::Connected;
}

void DesktopBus::notify(const QString& title, const QString& body) {
    if (!connected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), entry}};
    call << QStringLiteral("Tavimo") << 0u << entry << title << body << QStringList() << hints
         << -1;
    // Sent without waiting for the answer: a slow or missing notification service costs nothing.
    QDBusConnection(connectionName).send(call);
}

void DesktopBus::showProgress(int percent) {
    if (percent == shownPercent)
        return;
    shownPercent = percent;
    sendProgress(percent / 100.0, true);
}

void DesktopBus::hideProgress() {
    if (shownPercent < 0)
        return;
    shownPercent = -1;
    sendProgress(0, false);
}

void DesktopBus::sendProgress(double share, bool visible) {
    if (!connected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        kLauncherPath, QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("progress"), share},
                                 {QStringLiteral("progress-visible"), visible}};
    update << QStringLiteral("application://%1.desktop").arg(entry) << properties;
    QDBusConnection(connectionName).send(update);
}
