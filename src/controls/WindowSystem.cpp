#include "controls/WindowSystem.h"

#include <QGuiApplication>

bool IsWaylandPlatform(const QString& platformName) {
    return platformName.startsWith(QLatin1String("wayland"));
}

bool OnWayland() {
    return IsWaylandPlatform(QGuiApplication::platformName());
}
