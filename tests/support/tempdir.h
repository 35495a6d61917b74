#pragma once
// A temporary folder for one test, with helpers to write files into it.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TestDir {
public:
    TestDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Writes the bytes as they stand; returns the full path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};
