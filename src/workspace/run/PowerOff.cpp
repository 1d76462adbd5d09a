#include "workspace/run/PowerOff.h"

#include <QProcess>
#include <QStandardPaths>

namespace tovik {

bool PowerOffComputer(std::string& error) {
    // logind checks the user's right to power off; systemctl asks it without forcing, so
    // other sessions' inhibitors are honoured.
    const QString systemctl = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (systemctl.isEmpty()) {
        error = "systemctl was not found";
        return false;
    }
    if (!QProcess::startDetached(systemctl, {QStringLiteral("poweroff")})) {
        error = "systemctl could not be started";
        return false;
    }
    return true;
}

} // namespace tovik
