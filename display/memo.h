#pragma once
// The hidden memo that holds the lines of configserver.txt once start-up has loaded it. Lines are
// read by index from 0; a line the file lacks reads as empty.

#include <QStringList>
#include <QWidget>

class TMemo : public QWidget {
    Q_OBJECT
public:
    explicit TMemo(const QString& name, QWidget* parent = nullptr) : QWidget(parent) {
        setObjectName(name);
        hide();
    }
    void setLines(const QStringList& lines) { m_lines = lines; }
    const QStringList& lines() const { return m_lines; }
    QString line(int index) const { return m_lines.value(index); }

private:
    QStringList m_lines;
};
