#pragma once
// The panel installed in a folder of its own as an administrator sets it up: a copy of the built
// program, an embedded calls database with one counter, config.ini naming it (and the lines
// given besides) and configserver.txt on a free loopback port with the sound and voice switches.

#include <QByteArray>
#include <QString>

struct PanelFolder {
    QString database;
    quint16 port = 0;
};

// False, with the reason, when something could not be written.
bool installPanelFolder(const QString& dir, const QByteArray& configIniMore, const QByteArray& soundSwitch,
                        const QByteArray& voiceSwitch, PanelFolder* installed, QString* why);
