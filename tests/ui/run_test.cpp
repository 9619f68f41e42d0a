// Whole runs through the main, progress, result and error-list dialogs over
// generated song folders, with the real job.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <filesystem>
#include <map>
#include <memory>

#include "job/folder_result.h"
#include "job/messages.h"
#include "list_view_queries.h"
#include "support/held_threads.h"
#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/qt/qt_dialog.h"
#include "ui/result_dialog.h"
#include "ui/templates.h"
#include "ui_test_support.h"
#include "util/path.h"
#include "util/thread.h"

Q_DECLARE_METATYPE(FolderResult)

namespace fs = std::filesystem;
namespace Main = MainDialogIds;
namespace Progress = ProgressDialogIds;

namespace {

// Everything a progress dialog showed when it closed.
struct ProgressSnapshot {
  bool seen = false;
  int low = -1;
  int high = -1;
  int position = -1;
  std::u16string folderText;
  std::u16string fileText;
};

void WatchProgress(DialogBase& progress, ProgressSnapshot& snapshot) {
  auto* widget = static_cast<QDialog*>(WidgetOfDialog(progress));
  QObject::connect(widget, &QDialog::finished, widget, [&progress, &snapshot] {
    const WindowHandle bar = progress.Item(Progress::ProgressBar);
    snapshot.seen = true;
    snapshot.low = ProgressLow(bar);
    snapshot.high = ProgressHigh(bar);
    snapshot.position = ProgressPosition(bar);
    snapshot.folderText = ControlText(progress.Item(Progress::FolderText));
    snapshot.fileText = ControlText(progress.Item(Progress::FileText));
  });
}

// Refuses every thread asked for while it exists, as a system out of
// threads would, and counts the refusals.
class RefuseThreads : public ThreadStarter {
 public:
  RefuseThreads() : previous_(SetThreadStarter(this)) {}
  ~RefuseThreads() { SetThreadStarter(previous_); }
  bool Start(std::thread&, std::function<void()>) override {
    ++refused;
    return false;
  }
  int refused = 0;

 private:
  ThreadStarter* previous_;
};

void DoubleClickLine(QTreeWidget& list, int line) {
  const QRect rect = list.visualItemRect(list.topLevelItem(line));
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
}

void DoubleClickEmptySpace(QTreeWidget& list) {
  const QPoint below(10, list.viewport()->height() - 5);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, below);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, below);
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ScratchFolder> temp_;

  // Chooses the two folders, ticks the boxes and presses Start (with a
  // click, or with `key` on the focused button).
  static void StartRun(MainDialog& dialog, FolderChooserScript& chooser, const fs::path& input,
                       const fs::path& output, std::initializer_list<int> boxes, int key = 0) {
    chooser.choices = {PathText(input), PathText(output)};
    Click(dialog, Main::BrowseInput);
    Click(dialog, Main::BrowseOutput);
    for (int id : boxes) Click(dialog, id);
    FocusControl(dialog.Item(Main::Start));
    key == 0 ? Click(dialog, Main::Start) : PressKey(dialog, key);
  }

 private slots:
  void initTestCase() {
    temp_ = std::make_unique<ScratchFolder>();
    QDir::setCurrent(QString::fromStdString(temp_->path().string()));
  }
  void cleanupTestCase() { temp_.reset(); }

  void wholeRunShowsEveryFolderAndItsFailedFiles() {
    const fs::path input = temp_->path() / "whole" / "in";
    const fs::path output = temp_->path() / "whole" / "out";
    WriteBytes(input / "song.bms", "#TITLE test\r\n#WAV01 kick.wav\r\n#BMP01 bg.bmp\r\n");
    WriteWave(input / "kick.wav", 1, 22050, 4410);
    WriteBitmap(input / "bg.bmp", 16, 8);
    WriteBytes(input / "readme.txt", "read me\r\n");
    WriteBytes(input / "sub" / "broken.bmp", "BM not really a bitmap");
    WriteBytes(input / "sub" / "broken.wav", "RIFF not really a wave");
    WriteWave(input / "sub" / "ok.wav", 2, 44100, 8820);
    fs::create_directories(output);

    MessageBoxRecorder boxes;
    FolderChooserScript chooser;
    MainDialog dialog;
    ProgressSnapshot progress;
    std::vector<std::vector<QString>> table;
    QStringList headers;
    QList<int> widths;
    std::uint32_t extendedStyle = 0;
    QStringList errorTexts;
    int errorListsAfterEmptyDoubleClick = -1;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      StartRun(dialog, chooser, input, output,
               {Main::IncludeSubfolders, Main::CompressSound, Main::CompressImages});
      dialog.EndModal(2);
    };
    script.actions[kProgressDialogId] = [&](DialogBase& d) { WatchProgress(d, progress); };
    script.actions[kResultDialogId] = [&](DialogBase& d) {
      auto& results = static_cast<ResultDialog&>(d);
      ListView& list = results.list;
      for (int c = 0; c < ListColumnCount(list); ++c) {
        headers << Q(ListColumnHeader(list, c));
        widths << ListColumnWidth(list, c);
      }
      for (int i = 0; i < ListItemCount(list); ++i) {
        std::vector<QString> cells;
        for (int c = 0; c < ListColumnCount(list); ++c) cells.push_back(Q(ListItemText(list, i, c)));
        table.push_back(cells);
      }
      extendedStyle = ListExtendedStyle(list);
      auto* tree = static_cast<QTreeWidget*>(WidgetOf(list.window));
      DoubleClickLine(*tree, 1);  // the failing folder
      DoubleClickLine(*tree, 0);
      const int before = static_cast<int>(errorTexts.size());
      DoubleClickEmptySpace(*tree);
      errorListsAfterEmptyDoubleClick = static_cast<int>(errorTexts.size()) - before;
      Click(d, IDCANCEL);  // "閉じる"
    };
    script.actions[kErrorListDialogId] = [&](DialogBase& d) {
      errorTexts << Q(ControlText(d.Item(ResultDialogIds::ErrorText)));
      PressKey(d, Qt::Key_Return);
    };
    dialog.RunModal(nullptr);

    QVERIFY(boxes.calls.empty());
    QCOMPARE(script.shown, std::vector<int>({kMainDialogId, kProgressDialogId, kResultDialogId,
                                             kErrorListDialogId, kErrorListDialogId}));

    // The bar covered both folders and ended full; the texts of the last
    // folder and file stay.
    QVERIFY(progress.seen);
    QCOMPARE(progress.low, 0);
    QCOMPARE(progress.high, 2 * kProgressStepsPerFolder);
    QCOMPARE(progress.position, 2 * kProgressStepsPerFolder);
    const std::u16string subFolder = CombinePath(PathText(input), u"sub");
    QCOMPARE(Q(progress.folderText), Q(subFolder));
    // The conversion threads start the last folder's files longest first, so
    // the text left is whichever file started last, with its place in the
    // folder's listing.
    QVERIFY2(QStringList({"1/3 broken.bmp", "2/3 broken.wav", "3/3 ok.wav"}).contains(Q(progress.fileText)),
             qPrintable(Q(progress.fileText)));

    QCOMPARE(headers, QStringList({"対象フォルダ", "処理結果", "BMS", "音声", "画像", "無変換", "エラー"}));
    QCOMPARE(widths, QList<int>({480, 100, 45, 45, 45, 55, 55}));
    QCOMPARE(extendedStyle, kListViewFullRowSelect | kListViewInfoTip);
    QCOMPARE(table.size(), size_t(2));
    QCOMPARE(table[0], std::vector<QString>({Q(PathText(input)), "OK", "1", "1", "1", "1", "0"}));
    QCOMPARE(table[1], std::vector<QString>({Q(subFolder), "エラーあり", "0", "1", "0", "0", "2"}));
    // Each failed file with its reason; both are also kept under their names.
    QCOMPARE(errorTexts.size(), 2);
    QVERIFY2(errorTexts[0].startsWith("broken.bmp — この形式のヘッダのBMPは変換できません\r\n"
                                      "broken.wav — WAVファイルではありません\r\n"),
             qPrintable(errorTexts[0]));
    QVERIFY(errorTexts[0].endsWith("  broken.bmp\r\n  broken.wav\r\n"));
    QCOMPARE(errorTexts[1], QString());
    QCOMPARE(errorListsAfterEmptyDoubleClick, 0);

    // The run really happened.
    QVERIFY(fs::exists(output / "kick.ogg"));
    QVERIFY(fs::exists(output / "bg.png"));
    QVERIFY(fs::exists(output / "sub" / "ok.ogg"));
    QCOMPARE(QString::fromStdString(ReadBytes(output / "readme.txt")), QString("read me\r\n"));
    QCOMPARE(QString::fromStdString(ReadBytes(output / "song.bms")),
             QString("#TITLE test\r\n#WAV01 kick.ogg\r\n#BMP01 bg.png\r\n"));
  }

  void cancelDuringALongFileFinishesThatFileFirst() {
    const fs::path input = temp_->path() / "cancel" / "in";
    const fs::path output = temp_->path() / "cancel" / "out";
    WriteWave(input / "a_long.wav", 2, 44100, 44100 * 20);
    WriteWave(input / "b_short.wav", 1, 22050, 2205);
    WriteWave(input / "later" / "c.wav", 1, 22050, 2205);
    fs::create_directories(output);

    MessageBoxRecorder boxes;
    FolderChooserScript chooser;
    MainDialog dialog;
    bool sawLongFile = false;
    std::intptr_t okAnswer = -1;
    bool openAfterOk = false;
    QString textAfterCancel, textAfterSecondCancel;
    bool openAfterCancel = false;
    bool cancelEnabledAfterCancel = true;
    bool longFileDoneAtClose = false;
    std::vector<FolderResult> rows;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      StartRun(dialog, chooser, input, output, {Main::IncludeSubfolders, Main::CompressSound});
      dialog.EndModal(2);
    };
    script.actions[kProgressDialogId] = [&](DialogBase& d) {
      auto* widget = static_cast<QDialog*>(WidgetOfDialog(d));
      QObject::connect(widget, &QDialog::finished, widget,
                       [&] { longFileDoneAtClose = fs::exists(output / "a_long.ogg"); });
      sawLongFile =
          WaitUntil([&] { return Q(ControlText(d.Item(Progress::FileText))).endsWith("a_long.wav"); });
      okAnswer = d.SendToDialog(WM_COMMAND, MakeWParam(IDOK, BN_CLICKED), 0);
      openAfterOk = widget->isVisible();
      Click(d, IDCANCEL);
      textAfterCancel = Q(ControlText(d.Item(Progress::FolderText)));
      openAfterCancel = widget->isVisible();
      cancelEnabledAfterCancel = IsControlEnabled(d.Item(Progress::Cancel));
      Click(d, IDCANCEL);
      textAfterSecondCancel = Q(ControlText(d.Item(Progress::FolderText)));
    };
    script.actions[kResultDialogId] = [&](DialogBase& d) {
      rows = static_cast<ResultDialog&>(d).rows;
      PressKey(d, Qt::Key_Escape);
    };
    dialog.RunModal(nullptr);

    QVERIFY(sawLongFile);
    QCOMPARE(qlonglong(okAnswer), 0LL);
    QVERIFY(openAfterOk);
    QCOMPARE(textAfterCancel, QString("処理を終了しています..."));
    QVERIFY(openAfterCancel);
    QVERIFY(!cancelEnabledAfterCancel);
    QCOMPARE(textAfterSecondCancel, QString("処理を終了しています..."));
    // The long file was finished before the dialog closed. The conversion
    // threads may already have started files after it (the short one, the
    // later folder's); each started file finishes and is counted, the row of
    // the folder whose file started last reads Cancelled, and no row follows.
    QVERIFY(longFileDoneAtClose);
    QVERIFY(!rows.empty());
    QCOMPARE(int(rows.back().status), int(FolderStatus::Cancelled));
    int counted = 0;
    for (const FolderResult& row : rows) counted += row.soundCount;
    int written = 0;
    for (const auto& entry : fs::recursive_directory_iterator(output)) {
      const std::string name = entry.path().filename().string();
      QVERIFY2(name.rfind(".hoshibako-", 0) != 0, name.c_str());
      if (entry.path().extension() == ".ogg") ++written;
    }
    QCOMPARE(counted, written);
    QVERIFY(boxes.calls.empty());
  }

  // Enter on 開始 starts a run that keeps every chart byte for byte; Enter
  // once more, before the worker has done anything, does not cancel it.
  void keyboardRunKeepsTheCharts() {
    const fs::path input = temp_->path() / "keep" / "in";
    const fs::path output = temp_->path() / "keep" / "out";
    // Lines that the repair or a rewrite would change, and a bmson chart.
    const std::map<std::string, std::string> charts = {
        {"song.bms", "#title test\r\n#wav01   kick.wav\r\n#BMP01 bg.bmp \r\n"},
        {"song.bmson", R"({"sound_channels":[{"name":"kick.wav","notes":[]}]})"}};
    for (const auto& [name, bytes] : charts) WriteBytes(input / name, bytes);
    WriteWave(input / "kick.wav", 1, 22050, 2205);
    fs::create_directories(output);

    HeldThreads held;
    MessageBoxRecorder boxes;
    FolderChooserScript chooser;
    MainDialog dialog;
    bool cancelledByEnter = true;
    JobSettings settings;
    bool update = false;
    std::vector<FolderResult> rows;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      StartRun(dialog, chooser, input, output,
               {Main::RepairBms, Main::CompressSound, Main::PreserveCharts, Main::UpdateRun}, Qt::Key_Return);
      dialog.EndModal(2);
    };
    script.actions[kProgressDialogId] = [&](DialogBase& d) {
      PressKey(d, Qt::Key_Return);
      const ConversionJob& job = static_cast<ProgressDialog&>(d).job;
      cancelledByEnter = job.cancelRequested;
      settings = job.settings;
      update = job.update;
      held.Release();
    };
    script.actions[kResultDialogId] = [&](DialogBase& d) {
      rows = static_cast<ResultDialog&>(d).rows;
      PressKey(d, Qt::Key_Escape);
    };
    dialog.RunModal(nullptr);

    QVERIFY(!cancelledByEnter);
    QCOMPARE(uint(settings.options), uint(CompressSound | PreserveCharts));
    QVERIFY(update);
    QCOMPARE(rows.size(), size_t(1));
    QCOMPARE(int(rows[0].status), int(FolderStatus::Ok));
    for (const auto& [name, bytes] : charts) QCOMPARE(ReadBytes(output / name), bytes);
    QVERIFY(fs::exists(output / "kick.ogg"));
  }

  // The platform's own question box, answered with Escape.
  void escapeAtTheKeepQuestionStartsNothing() {
    const fs::path input = temp_->path() / "escape" / "in";
    const fs::path output = temp_->path() / "escape" / "out";
    WriteBytes(input / "readme.txt", "x");
    fs::create_directories(output);
    FolderChooserScript chooser;
    MainDialog dialog;
    QTimer poll;  // waits for the box inside its own event loop
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        poll.stop();
        QTest::keyClick(box, Qt::Key_Escape);
      }
    });
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      poll.start(10);
      StartRun(dialog, chooser, input, output, {Main::KeepBmsUnchanged});
      dialog.EndModal(2);
    };
    dialog.RunModal(nullptr);
    QVERIFY(!poll.isActive());  // the box was there
    QCOMPARE(script.shown, std::vector<int>({kMainDialogId}));
    QVERIFY(!fs::exists(output / "readme.txt"));
  }

  void threadThatCannotStartClosesWithoutResults() {
    const fs::path input = temp_->path() / "nothread" / "in";
    const fs::path output = temp_->path() / "nothread" / "out";
    WriteBytes(input / "readme.txt", "x");
    fs::create_directories(output);
    const fs::path log = temp_->path() / "hoshibako.log";
    const std::string logBefore = fs::exists(log) ? ReadBytes(log) : std::string();

    MessageBoxRecorder boxes;
    FolderChooserScript chooser;
    MainDialog dialog;
    WindowHandle progressWindow = nullptr;
    DialogScript script;
    int refusedThreads = 0;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      RefuseThreads refuse;
      StartRun(dialog, chooser, input, output, {});
      refusedThreads = refuse.refused;
      dialog.EndModal(2);
    };
    script.actions[kProgressDialogId] = [&](DialogBase& d) { progressWindow = d.window; };
    dialog.RunModal(nullptr);

    QCOMPARE(refusedThreads, 1);
    QCOMPARE(boxes.calls.size(), size_t(1));
    QCOMPARE(Q(boxes.calls[0].text), QString("Raised fatal error in CreateThread()."));
    QCOMPARE(Q(boxes.calls[0].caption), QString("Fatal error!"));
    QCOMPARE(boxes.calls[0].style, kMessageBoxIconError);
    QVERIFY(boxes.calls[0].owner != nullptr);
    QVERIFY(boxes.calls[0].owner == progressWindow);
    QCOMPARE(script.shown, std::vector<int>({kMainDialogId, kProgressDialogId}));
    QVERIFY(!fs::exists(output / "readme.txt"));
    QCOMPARE(fs::exists(log) ? ReadBytes(log) : std::string(), logBefore);
  }

  void fileProgressPosition_data() {
    QTest::addColumn<int>("folder");
    QTest::addColumn<uint>("started");
    QTest::addColumn<uint>("total");
    QTest::addColumn<int>("position");
    QTest::newRow("no file progress: the folder's start") << 1 << 0u << 0u << 1000;
    QTest::newRow("first of four files") << 0 << 1u << 4u << 250;
    QTest::newRow("more started than there are stays in the folder") << 2 << 9u << 4u << 3000;
  }
  void fileProgressPosition() {
    QFETCH(int, folder);
    QFETCH(uint, started);
    QFETCH(uint, total);
    QFETCH(int, position);
    QCOMPARE(FileProgressPosition(folder, FileProgressParam(started, total)), position);
  }

  void resultCells_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("errors");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("OK folder") << 0 << 3 << 0 << QStringList({"/songs", "OK", "3", "10", "5", "2", "0"});
    QTest::newRow("cancelled") << 1 << 0 << 0
                               << QStringList({"/songs", "キャンセル", "0", "10", "5", "2", "0"});
    QTest::newRow("with errors") << 2 << 1 << 2
                                 << QStringList({"/songs", "エラーあり", "1", "10", "5", "2", "2"});
    QTest::newRow("folder creation failed")
        << 3 << 0 << 0 << QStringList({"/songs", "フォルダ作成失敗", "0", "10", "5", "2", "0"});
    QTest::newRow("status outside the enumeration")
        << 4 << 0 << 0 << QStringList({"/songs", "不明", "0", "10", "5", "2", "0"});
    QTest::newRow("negative counter")
        << -1 << -7 << 0 << QStringList({"/songs", "不明", "-7", "10", "5", "2", "0"});
  }

  void resultCells() {
    QFETCH(int, status);
    QFETCH(int, count);
    QFETCH(int, errors);
    QFETCH(QStringList, cells);
    FolderResult row;
    row.folder = u"/songs";
    row.status = static_cast<FolderStatus>(status);
    row.bmsCount = count;
    row.soundCount = 10;
    row.imageCount = 5;
    row.copiedCount = 2;
    for (int i = 0; i < errors; ++i) row.AddErrorFile(u"x" + DecimalText(i));
    QStringList actual;
    for (const std::u16string& cell : ResultCells(row)) actual << Q(cell);
    QCOMPARE(actual, cells);
  }

  void errorListText_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("text");
    QTest::newRow("no failed file") << QStringList() << "";
    QTest::newRow("one name ends with CR LF too") << QStringList({"a.wav"}) << "a.wav\r\n";
    QTest::newRow("names in order") << QStringList({"a.wav", "b.bmp"}) << "a.wav\r\nb.bmp\r\n";
    QTest::newRow("Japanese name") << QStringList({"音.wav"}) << "音.wav\r\n";
  }

  void errorListText() {
    QFETCH(QStringList, names);
    QFETCH(QString, text);
    FolderResult row;
    for (const QString& name : names) row.AddErrorFile(name.toStdU16String());
    QCOMPARE(Q(ErrorListText(row)), text);
  }

  void middleElided_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("room");
    QTest::addColumn<QString>("shown");
    QTest::newRow("fits whole") << "/songs/A" << 8 << "/songs/A";
    QTest::newRow("keeps start and end") << "/songs/A/very/long/name" << 11 << "/song…/name";
    QTest::newRow("the end gets the odd unit") << "/songs/A/very/long/name" << 12 << "/song…g/name";
    QTest::newRow("head never splits a pair") << "a😀bcdef😀g" << 6 << "a…😀g";
    QTest::newRow("tail never splits a pair") << "a😀bcdef😀g" << 4 << "a…g";
    QTest::newRow("no room leaves the ellipsis") << "abcdef" << 0 << "…";
  }

  // One pixel per unit, so the rows can count.
  void middleElided() {
    QFETCH(QString, text);
    QFETCH(int, room);
    QFETCH(QString, shown);
    const auto units = [](const std::u16string& t) { return static_cast<int>(t.size()); };
    QCOMPARE(Q(MiddleElided(text.toStdU16String(), room, units)), shown);
  }

  void errorListSections_data() {
    QTest::addColumn<FolderResult>("row");
    QTest::addColumn<QString>("text");
    FolderResult reasons;
    reasons.AddErrorFile(u"deep.wav", u"24ビットのWAVは変換できません");
    reasons.AddErrorFile(u"odd.bmp");
    QTest::newRow("reason after the name, none where unknown")
        << reasons << "deep.wav — 24ビットのWAVは変換できません\r\nodd.bmp\r\n";
    FolderResult all = reasons;
    all.keptFiles = {u"adpcm.wav"};
    all.missingReferences = {{u"a.bms", 12, u"", u"#WAV0C", u"snare.wav", false},
                             {u"b.bmson", 0, u"sound_channels[4].name", u"", u"k.ogg", true}};
    all.unreferencedFiles = {u"unused.wav", u"spare.bmp"};
    all.unreferencedBytes = 2048;
    QTest::newRow("every section in order")
        << all
        << "deep.wav — 24ビットのWAVは変換できません\r\nodd.bmp\r\n\r\n"
           "変換せずにコピーしたファイル:\r\n  adpcm.wav\r\n\r\n"
           "プレイヤーが見つけられない参照:\r\n  a.bms 12行目 #WAV0C snare.wav\r\n"
           "  b.bmson sound_channels[4].name k.ogg（入力フォルダにもありません）\r\n\r\n"
           "どの譜面も使わないファイル (2048 バイト):\r\n  unused.wav\r\n  spare.bmp\r\n";
  }

  void errorListSections() {
    QFETCH(FolderResult, row);
    QFETCH(QString, text);
    QCOMPARE(Q(ErrorListText(row)), text);
  }

  // Enter on a selected line opens its list and leaves the table open; a
  // long folder reads by its start and end, its tip gives it whole.
  void enterOpensTheListAndTheTipGivesTheWholeFolder() {
    const std::u16string longFolder = u"/home/user/BMS/" + std::u16string(80, u'長') + u"/最後の曲";
    ResultDialog results;
    for (const std::u16string& folder : {longFolder, std::u16string(u"/songs/b")}) {
      FolderResult row;
      row.folder = folder;
      row.AddErrorFile(u"x.wav", u"理由");
      results.AddRow(row);
    }
    QStringList opened;
    bool openAfterEnter = false;
    QString cell, tip;
    DialogScript script;
    script.actions[kResultDialogId] = [&](DialogBase& d) {
      auto* tree = static_cast<QTreeWidget*>(WidgetOf(results.list.window));
      cell = Q(ListItemText(results.list, 0, 0));
      const QPoint first(10, tree->visualItemRect(tree->topLevelItem(0)).center().y());
      QHelpEvent help(QEvent::ToolTip, first, tree->viewport()->mapToGlobal(first));
      QApplication::sendEvent(tree->viewport(), &help);
      tip = QToolTip::text();
      SelectListItem(results.list, 1, true);
      tree->setFocus();
      PressKey(d, Qt::Key_Return);
      openAfterEnter = WidgetOfDialog(d)->isVisible();
      PressKey(d, Qt::Key_Escape);
    };
    script.actions[kErrorListDialogId] = [&](DialogBase& d) {
      opened << Q(ControlText(d.Item(ResultDialogIds::ErrorText)));
      PressKey(d, Qt::Key_Return);
    };
    QCOMPARE(int(results.RunModal(nullptr)), IDCANCEL);
    QCOMPARE(opened, QStringList({"x.wav — 理由\r\n"}));
    QVERIFY(openAfterEnter);
    QVERIFY2(cell.startsWith("/home/user/") && cell.endsWith("長/最後の曲") && cell.contains("…"),
             qPrintable(cell));
    QCOMPARE(tip, Q(longFolder));
  }

  void doubleClickOpensTheFirstSelectedLine() {
    ResultDialog results;
    for (int i = 0; i < 3; ++i) {
      FolderResult row;
      row.folder = u"/songs/" + DecimalText(i);
      row.AddErrorFile(u"file" + DecimalText(i) + u".wav");
      results.AddRow(row);
    }
    QStringList opened;
    std::intptr_t withoutSelection = -1;
    DialogScript script;
    script.actions[kResultDialogId] = [&](DialogBase&) {
      NotifyHeader header{results.list.window, static_cast<std::uintptr_t>(ResultDialogIds::Table),
                          NM_DBLCLK};
      const auto lParam = reinterpret_cast<std::intptr_t>(&header);
      SelectListItem(results.list, 0, false);
      withoutSelection = results.SendToDialog(WM_NOTIFY, header.idFrom, lParam);
      SelectListItem(results.list, 2, true);
      SelectListItem(results.list, 1, true);
      results.SendToDialog(WM_NOTIFY, header.idFrom, lParam);
      // Another control's double-click, or another code, is not ours.
      NotifyHeader other{nullptr, 999, NM_DBLCLK};
      results.SendToDialog(WM_NOTIFY, 999, reinterpret_cast<std::intptr_t>(&other));
      NotifyHeader click{results.list.window, header.idFrom, static_cast<std::uint32_t>(-2)};
      results.SendToDialog(WM_NOTIFY, header.idFrom, reinterpret_cast<std::intptr_t>(&click));
      // With no line selected, Enter keeps its meaning in the table.
      SelectListItem(results.list, 1, false);
      SelectListItem(results.list, 2, false);
      PressKey(results, Qt::Key_Return);
    };
    script.actions[kErrorListDialogId] = [&](DialogBase& d) {
      opened << Q(ControlText(d.Item(ResultDialogIds::ErrorText)));
      PressKey(d, Qt::Key_Escape);
    };
    QCOMPARE(int(results.RunModal(nullptr)), IDCANCEL);  // Enter presses "閉じる"
    QCOMPARE(qlonglong(withoutSelection), 1LL);          // handled, but nothing opened
    QCOMPARE(opened, QStringList({"file1.wav\r\n"}));
  }
};

QTEST_MAIN(RunTest)
#include "run_test.moc"
