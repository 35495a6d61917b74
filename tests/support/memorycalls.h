#pragma once
// An in-memory calls list with the fields of the database's calls list, for widget tests that
// do not need the database.

#include <QStandardItemModel>

struct MemoryCall {
    QString nrGuiche, nomeGuiche, senha1;
};

inline QStandardItemModel* makeMemoryCalls(const QList<MemoryCall>& calls, QObject* parent) {
    const QStringList fields = {"INDICE", "CODIGOPAC", "DATA", "GUICHE", "SENHA", "STATUS",
                                "NOMEGUICHE", "SENHA1", "NR_GUICHE_CHAMOU"};
    auto* model = new QStandardItemModel(int(calls.size()), int(fields.size()), parent);
    for (int c = 0; c < fields.size(); ++c) model->setHeaderData(c, Qt::Horizontal, fields[c], Qt::UserRole);
    for (int r = 0; r < calls.size(); ++r) {
        model->setItem(r, 0, new QStandardItem(QString::number(r + 1)));
        model->setItem(r, 6, new QStandardItem(calls[r].nomeGuiche));
        model->setItem(r, 7, new QStandardItem(calls[r].senha1));
        model->setItem(r, 8, new QStandardItem(calls[r].nrGuiche));
    }
    return model;
}
