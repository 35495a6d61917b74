#pragma once
// xInputBoxMask: the key prompt of start-up, "Entre com a Chave". The operator types the key
// for the encoded credentials, shown as asterisks, and closes the prompt with Ok or the close
// box; the caller then reads EditChave, the empty text included.

#include <QDialog>

class QFrame;
class QKeyEvent;
class QShowEvent;
class QLabel;
class QLineEdit;
class QPushButton;

class TImputBoxMask : public QDialog {
    Q_OBJECT
public:
    explicit TImputBoxMask(QWidget* parent = nullptr);

    // Creates the prompt, shows it modally, reads the key from EditChave and destroys it.
    // Other windows' timers keep running meanwhile (a normal modal event loop).
    static QString askKey();

    QFrame* const Panel1;
    QLabel* const Label1;
    QLineEdit* const EditChave;
    QPushButton* const BitBtn1;

protected:
    // Enter and Esc do not close the prompt (it has neither a default nor a cancel button);
    // Enter on the focused Ok button presses it.
    void keyPressEvent(QKeyEvent* event) override;
    // Centres the whole window, frame included, on the screen when it is first shown.
    void showEvent(QShowEvent* event) override;

private:
    bool m_placed = false;
};
