// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

// The desktop's session bus, where there is one: notifications (org.freedesktop.Notifications)
// and the progress on the program's task-bar entry (the com.canonical.Unity.LauncherEntry
// signal, which KDE Plasma and the common docks read). Nothing waits for an answer; without a
// session bus every call returns at once and does nothing.
class DesktopBus {
public:
    // `desktopEntry`: the desktop file's name without ".desktop", also the icon's name.
    explicit DesktopBus(QString desktopEntry);
    ~DesktopBus();
    DesktopBus(const DesktopBus&) = delete;
    DesktopBus& operator=(const DesktopBus&) = delete;

    // The session bus's address: DBUS_SESSION_BUS_ADDRESS, else the user's bus socket in
    // XDG_RUNTIME_DIR; empty when there is neither. No bus is started for the program.
    static QString sessionAddress();
    // Connects on first use; false without a session bus.
    bool connected();

    void notify(const QString& title, const QString& body);
    // Shows 0..100 on the task-bar entry; a share already shown is not sent again.
    void showProgress(int percent);
    void hideProgress();

private:
    void sendProgress(double share, bool visible);

    QString entry;
    QString connectionName;
    enum class State { Untried, Connected, Absent } state = State::Untried;
    int shownPercent = -1;
};
