#pragma once
// The panel group of config.ini's section [grupo]: panels that show each other's calls through an
// MQTT broker.
//
//   [grupo]
//   broker=192.168.10.5:1883   host (name or address) and port; port 1883 when left out, 8883 with ca
//   nome=recepcao              the group's name: its panels share it, and its topic
//   usuario=, senha=           the broker's user and password, if it asks for them
//   cripto=S                   usuario and senha stored encoded, as [sgbd]'s
//   chave=                     their key, encoded with the fixed key; empty: the database's key
//   ca=/etc/painel/ca.crt      a CA file: the broker is reached over TLS and must be signed by it
//   validade=30                seconds a call stays valid: an older one is never shown
//
// No section (no broker and no nome): the panel works alone.

#include "config/inifile.h"

#include <QString>
#include <functional>
#include <optional>

struct GroupSettings {
    QString host;
    quint16 port = 1883;
    QString name;
    QString user;
    QString password;
    QString caFile;
    int validitySeconds = 30;

    // The topic the group's calls go to.
    QString topic() const { return QStringLiteral("painel/") + name + QStringLiteral("/chamadas"); }
};

struct GroupSettingsRead {
    std::optional<GroupSettings> settings; // nothing: no group, or error says why not
    QString error;                        // in the administrator's words; empty when none
};

// Reads [grupo]. key gives the key of encoded credentials when [grupo] chave is empty (the
// database's key); it is called only then.
GroupSettingsRead readGroupSettings(const TIniFile& ini, const std::function<QString()>& key);
