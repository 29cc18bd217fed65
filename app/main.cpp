#include <QApplication>

#include "app/fMain.h"
#include "platform/error_report.h"

namespace {

// A few five-letter words (Windows-1250) to look at until the window loads word files.
void FillDemoList(kormoszi::WordTable& table) {
    static const char* const kWords[] = {
        "ablak",
        "\xe1lmos",
        "b\xe1tor",
        "bokor",
        "cukor",
        "cip\xf5k",
        "csiga",
        "\xe9neke",
        "falat",
        "gomba",
        "h\xe1zak",
        "kab\xe1t",
        "Kassa",
        "kerti",
        "k\xf6nyv",
        "l\xe1mpa",
        "majom",
        "m\xe9hek",
        "n\xe1"
        "das",
        "olvas",
        "p\xe1rna",
        "r\xf3zsa",
        "sz\xe9ke",
        "szoba",
        "t\xe1ska",
        "t\xfck\xf6r",
        "t\xfazok",
        "\xfc"
        "d\xfcl",
        "v\xe1ros",
        "vizes",
        "zenei",
    };
    table.OpenTable();
    for (const char* word : kWords) {
        table.BeginInsert();
        table.SetWordText(word);
        table.PostRecord();
    }
    table.SortBy("szo");
    table.MoveFirst();
}

}  // namespace

int main(int argc, char** argv) {
    kormoszi::Application app(argc, argv);
    kormoszi::TfrmMain window;
    FillDemoList(window.mSzavak);
    window.show();
    return app.exec();
}
