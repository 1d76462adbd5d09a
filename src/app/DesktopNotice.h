#pragma once
// A freedesktop notification ("org.freedesktop.Notifications" on the session bus): the
// notice the desktop shows outside the program's windows.

#include <QString>

namespace tovik {

// Sends the notice without waiting for an answer; false when there is no session bus or
// no notification service on it.
bool SendDesktopNotice(const QString& appName, const QString& summary, const QString& body);

} // namespace tovik
