#pragma once
// The editor's one window: the length selector, the search box in its coloured frame,
// the word grid over the word table, the word count and two buttons.
//
//   keys/clicks -> handlers here -> mSzavak (word table) -> notices -> gSzo pulls its rows
//                                        \-> table events -> handlers here -> sMod, eSzo

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "app/radio_group.h"
#include "app/shape.h"
#include "app/word_grid.h"
#include "words/word_table.h"

namespace kormoszi {

class TfrmMain : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Components, created with the window and owned by it.
    WordTable mSzavak;
    QFrame* Panel2;
    TRadioGroup* rgSzam;
    TShape* sMod;
    QLineEdit* eSzo;
    TWordGrid* gSzo;
    QFrame* Panel1;
    QLabel* lDarab;
    QPushButton* btPath;
    QPushButton* btExit;

    // Event handlers.
    void FormShow();
    void gSzoKeyPress(QChar& key);
    void gSzoKeyUp(int key, Qt::KeyboardModifiers shift);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void CenterOnScreen();

    int FLetterCount = 0;
    QString FGamePath;
};

}  // namespace kormoszi
