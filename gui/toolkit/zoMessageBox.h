#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QPushButton;

// The panel's message box: a question with "OK" and "Cancel", or an information box without
// keys that accepts itself 2 s after it was built (not after exec()). Built from an error
// number it shows that number's message text, as the SCPI error queue words it.
// exec(): Accepted after "OK", Return or the self-close; Rejected after "Cancel" or Escape.
class zoMessageBox : public QDialog
{
    Q_OBJECT

public:
    explicit zoMessageBox(QWidget *parent = nullptr, bool question = false);
    zoMessageBox(short error, QWidget *parent = nullptr, bool question = false);

    void setText(const QString &text);
    // The message text of an SCPI or instrument error number (empty when no table knows it);
    // the number itself is not shown.
    void setScpiError(short error);
    // Return chooses "Cancel" (on) or "OK" (off, the default).
    void setCancelDefault(bool on);

private:
    void createWidgets();
    void createLayout();
    void createConnections();

    QLabel *m_label = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
    bool m_question;
    int m_closeDelay = 2000; // ms from construction until an information box accepts itself
};
