#pragma once
// The database credentials and path of config.ini, stored as they are or encoded.

#include "config/inifile.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>


// Sets the connection's two parameter lines ("user_name=...", "password=...") from [sgbd]
// usuario and senha, decoding them when [sgbd] cripto is "S" or "T", and returns the database
// path from [sgbd] fatura, decoded when cripto is "T". With an empty usuario the lines stay as
// they are and no key is determined. The key is [sgbd] chave decoded with the fixed key, or,
// when chave is empty, what askKey returns (called at most once). Returns nothing when
// [sgbd] fatura is empty.
std::optional<QString> applyDatabaseSettings(const TIniFile& ini, QStringList& params,
                                             const std::function<QString()>& askKey);
