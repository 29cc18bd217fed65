#pragma once
// The editor's one window: the length selector, the search box in its coloured frame,
// the word grid over the word table, the word count and two buttons.
//
//   keys/clicks -> handlers here -> mSzavak (word table) -> notices -> gSzo pulls its rows
//                                        \-> table events -> handlers here -> sMod, eSzo

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWheelEvent>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/event_hooks.h"
#include "app/radio_group.h"
#include "app/shape.h"
#include "app/word_grid.h"
#include "settings/directory_picker.h"
#include "settings/settings_store.h"
#include "words/word_table.h"
#include "words/words_origin.h"

namespace kormoszi {

class TfrmMain : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Components, created with the window and owned by it.
    WordTable mSzavak;
    QWidget* Panel2;
    TRadioGroup* rgSzam;
    TShape* sMod;
    QLineEdit* eSzo;
    TWordGrid* gSzo;
    QWidget* Panel1;
    QLabel* lDarab;
    QPushButton* btPath;
    QPushButton* btExit;
    DirectoryPicker* dlgDir;
    SettingsStore raIni;

    // Program flow.
    void FormShow();
    void rgSzamClick();
    void LoadWords(int n);
    void SaveWords(int n);
    void btPathClick();
    void btExitClick();
    void FormCloseQuery(bool& canClose);

    // Editing and search.
    void gSzoKeyPress(QChar& key);
    void gSzoKeyUp(int key, Qt::KeyboardModifiers shift);
    void eSzoChange();
    void eSzoKeyUp(int key);
    void eSzoExit();
    void mSzavakAfterInsert(WordTable& table);
    void mSzavakAfterEdit(WordTable& table);
    void mSzavakBeforePost(WordTable& table);
    void mSzavakAfterPost(WordTable& table);
    void mSzavakAfterCancel(WordTable& table);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildTopPanel();
    void BuildGrid();
    void BuildBottomPanel();
    void LayOut();
    void WireEvents();
    void DescribeForScreenReaders();
    void SetKeyboardOrder();

    void CenterOnScreen();
    bool Editing() const;
    bool HasWordsToSave() const;
    std::string WordFileName(const QString& directory, int n) const;
    void ShowBrowsing();
    void LeaveGridForSearchBox(TableState editing, Qt::FocusReason reason);
    void EndEditing();
    bool WheelElsewhere(QWidget* under, QWheelEvent* event);
    EventHook* AddHook(std::function<bool(QObject*, QEvent*)> handle);
    bool ForwardWheel(QObject* watched, QEvent* event);
    void WatchSearchBox(QEvent* event);

    int FLetterCount = 0;
    QString FGamePath;
    WordsOrigin FWords;          // where the words in the table came from
    PressedKeys FSearchBoxKeys;  // pressed in the search box
    std::vector<std::unique_ptr<EventHook>> FHooks;
    bool FForwardingWheel = false;  // a wheel step is on its way to the focused control
};

}  // namespace kormoszi
