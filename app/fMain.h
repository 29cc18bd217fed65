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
#include <QSet>
#include <QString>
#include <QWheelEvent>
#include <QWidget>
#include <exception>

#include "app/radio_group.h"
#include "app/shape.h"
#include "app/word_grid.h"
#include "settings/directory_picker.h"
#include "settings/settings_store.h"
#include "words/word_table.h"

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
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Where the words in the table came from. Only a list read to its end (or to a last,
    // incomplete word, which the reader reports but keeps the words before) may go back
    // over its file: what a failed read left in the table is only part of the dictionary.
    enum class WordsFrom {
        Nothing,             // no load has run yet
        MissingFile,         // an empty list, after the question about the missing file
        WholeFile,           // the whole file
        IncompleteLastWord,  // the file up to an incomplete last word: counts as read
        FailedRead,          // the read stopped at an error before the file's end
    };
    struct WordsOrigin {
        WordsFrom From = WordsFrom::Nothing;
        // The directory the words belong to. It differs from FGamePath only while a
        // directory change asks whether to save: the words then go back where they came
        // from, not over the new directory's file of the same length.
        QString Directory;
        // What stopped a failed read. Words typed into what it left are saved by nothing:
        // a Yes to a save question fails with this error, as a failed save does.
        std::exception_ptr LoadError;
        int LoadedCount = 0;  // the records the load left
        bool Typed = false;   // a word was posted since the load
    };

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
    bool TypedAfterFailedLoad() const;
    std::string WordFileName(const QString& directory, int n) const;
    void ReadWords(const std::string& fileName, int n);
    void LeaveGridForSearchBox(TableState editing, Qt::FocusReason reason);
    void EndEditing();
    bool WheelElsewhere(QWidget* under, QWheelEvent* event);

    int FLetterCount = 0;
    QString FGamePath;
    WordsOrigin FWords;
    QSet<int> FSearchBoxKeys;       // pressed in the search box, not yet released
    bool FForwardingWheel = false;  // a wheel step is on its way to the focused control
};

}  // namespace kormoszi
