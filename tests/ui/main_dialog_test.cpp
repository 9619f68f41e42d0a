// The main dialog: the repair-box rule, keys, the folder pickers, the start
// checks and the keep-contents question.

#include "ui/main_dialog.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "job/start_validation.h"
#include "ui/progress_dialog.h"
#include "ui/templates.h"
#include "ui_test_support.h"
#include "util/file_system.h"
#include "util/unicode.h"

namespace fs = std::filesystem;
namespace Id = MainDialogIds;

Q_DECLARE_METATYPE(std::u16string)

class MainDialogTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ScratchFolder> temp_;
  fs::path input_;
  fs::path output_;

  // "$IN", "$OUT" and "$GONE" stand for folders of the test's tree.
  std::u16string Expand(const QString& text) const {
    QString expanded = text;
    expanded.replace("$IN", QString::fromStdString(input_.string()));
    expanded.replace("$OUT", QString::fromStdString(output_.string()));
    expanded.replace("$GONE", QString::fromStdString((temp_->path() / "gone").string()));
    return expanded.toStdU16String();
  }

 private slots:
  void initTestCase() {
    temp_ = std::make_unique<ScratchFolder>();
    input_ = temp_->path() / "songs";
    output_ = temp_->path() / "out";
    WriteBytes(input_ / "readme.txt", "hello\r\n");
    fs::create_directories(output_);
    // The run log goes to the current folder.
    QDir::setCurrent(QString::fromStdString(temp_->path().string()));
  }

  void cleanupTestCase() { temp_.reset(); }

  void repairBoxRule_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<bool>("repairChecked");
    QTest::addColumn<bool>("repairEnabled");
    QTest::addColumn<uint>("options");
    QTest::newRow("repair alone stays checked")
        << QList<int>{Id::RepairBms} << true << true << uint(RepairBms);
    QTest::newRow("checking keep clears and locks repair")
        << QList<int>{Id::RepairBms, Id::KeepBmsUnchanged} << false << false << uint(KeepBmsUnchanged);
    QTest::newRow("unchecking keep unlocks repair, still unchecked")
        << QList<int>{Id::RepairBms, Id::KeepBmsUnchanged, Id::KeepBmsUnchanged} << false << true << 0u;
    QTest::newRow("other boxes leave the lock alone")
        << QList<int>{Id::KeepBmsUnchanged, Id::IncludeSubfolders, Id::CompressSound, Id::CompressImages}
        << false << false << uint(IncludeSubfolders | CompressSound | CompressImages | KeepBmsUnchanged);
    QTest::newRow("largest reachable option word")
        << QList<int>{Id::RepairBms, Id::IncludeSubfolders, Id::CompressSound, Id::CompressImages,
                      Id::KeepBmsUnchanged}
        << false << false << 23u;
    QTest::newRow("all but keep") << QList<int>{Id::RepairBms, Id::IncludeSubfolders, Id::CompressSound,
                                                Id::CompressImages}
                                  << true << true << 15u;
  }

  void repairBoxRule() {
    QFETCH(QList<int>, clicks);
    QFETCH(bool, repairChecked);
    QFETCH(bool, repairEnabled);
    QFETCH(uint, options);

    MainDialog dialog;
    bool checked = false;
    bool enabled = false;
    bool allEnabledAtStart = true;
    OptionFlags flags = 0xFFFF;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      for (int id : {Id::IncludeSubfolders, Id::CompressSound, Id::CompressImages, Id::RepairBms,
                     Id::KeepBmsUnchanged}) {
        allEnabledAtStart =
            allEnabledAtStart && IsControlEnabled(dialog.Item(id)) && !IsChecked(dialog.Item(id));
      }
      for (int id : clicks) Click(dialog, id);
      checked = IsChecked(dialog.Item(Id::RepairBms));
      enabled = IsControlEnabled(dialog.Item(Id::RepairBms));
      flags = dialog.CheckedOptions();
      dialog.EndModal(2);
    };
    dialog.RunModal(nullptr);
    QVERIFY(allEnabledAtStart);
    QCOMPARE(checked, repairChecked);
    QCOMPARE(enabled, repairEnabled);
    QCOMPARE(uint(flags), options);
  }

  // Which option controls are locked and which option word the dialog gives
  // after a series of clicks.
  void optionRules_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QList<int>>("locked");
    QTest::addColumn<uint>("options");
    const QList<int> format{Id::SoundOgg, Id::SoundFlac};
    QTest::newRow("at first only the format choice is locked") << QList<int>{} << format << 0u;
    QTest::newRow("keeping the charts clears and locks repair and keep-contents")
        << QList<int>{Id::RepairBms, Id::KeepBmsUnchanged, Id::PreserveCharts}
        << (QList<int>{Id::RepairBms, Id::KeepBmsUnchanged} + format) << uint(PreserveCharts);
    QTest::newRow("unchecking it unlocks both, still unchecked")
        << QList<int>{Id::RepairBms, Id::PreserveCharts, Id::PreserveCharts} << format << 0u;
    QTest::newRow("sound unlocks the format choice; FLAC sets its bit")
        << QList<int>{Id::CompressSound, Id::SoundFlac} << QList<int>{} << uint(CompressSound | EncodeFlac);
    QTest::newRow("FLAC without sound is remembered but not used")
        << QList<int>{Id::CompressSound, Id::SoundFlac, Id::CompressSound} << format << 0u;
    QTest::newRow("Ogg Vorbis after FLAC clears the bit")
        << QList<int>{Id::CompressSound, Id::SoundFlac, Id::SoundOgg} << QList<int>{} << uint(CompressSound);
    QTest::newRow("the reference check is a bit; update runs are not")
        << QList<int>{Id::CheckReferences, Id::UpdateRun} << format << uint(CheckReferences);
  }

  void optionRules() {
    QFETCH(QList<int>, clicks);
    QFETCH(QList<int>, locked);
    QFETCH(uint, options);

    MainDialog dialog;
    QList<int> disabled;
    OptionFlags flags = 0xFFFF;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      for (int id : clicks) Click(dialog, id);
      for (int id :
           {Id::IncludeSubfolders, Id::CompressSound, Id::SoundOgg, Id::SoundFlac, Id::CompressImages,
            Id::RepairBms, Id::KeepBmsUnchanged, Id::PreserveCharts, Id::UpdateRun, Id::CheckReferences}) {
        if (!IsControlEnabled(dialog.Item(id))) disabled << id;
      }
      flags = dialog.CheckedOptions();
      dialog.EndModal(2);
    };
    dialog.RunModal(nullptr);
    std::sort(disabled.begin(), disabled.end());
    std::sort(locked.begin(), locked.end());
    QCOMPARE(disabled, locked);
    QCOMPARE(uint(flags), options);
  }

  void enterDoesNothingEscapeAndCloseBoxClose_data() {
    QTest::addColumn<QString>("closer");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
  }

  void enterDoesNothingEscapeAndCloseBoxClose() {
    QFETCH(QString, closer);
    MessageBoxRecorder boxes;
    FolderChooserScript chooser;
    MainDialog dialog;
    bool openAfterEnter = false;
    std::intptr_t okAnswer = -1;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      FocusControl(dialog.Item(Id::IncludeSubfolders));
      PressKey(dialog, Qt::Key_Return);
      okAnswer = dialog.SendToDialog(WM_COMMAND, MakeWParam(IDOK, BN_CLICKED), 0);
      openAfterEnter = WidgetOfDialog(dialog)->isVisible();
      if (closer == "escape") PressKey(dialog, Qt::Key_Escape);
      if (closer == "close") WidgetOfDialog(dialog)->close();
    };
    QCOMPARE(int(dialog.RunModal(nullptr)), IDCANCEL);
    QVERIFY(openAfterEnter);
    QCOMPARE(qlonglong(okAnswer), 0LL);
    QVERIFY(boxes.calls.empty());
    QVERIFY(chooser.calls.empty());
    QCOMPARE(script.shown, std::vector<int>({kMainDialogId}));
  }

  void pickersRememberTheirLastChoice() {
    FolderChooserScript chooser;
    const std::u16string first = Expand("$IN");
    const std::u16string second = Expand("$OUT");
    chooser.choices = {first, u"", second};
    MainDialog dialog;
    std::u16string afterChoice, afterCancel, outputText;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      Click(dialog, Id::BrowseInput);
      afterChoice = ControlText(dialog.Item(Id::InputFolder));
      Click(dialog, Id::BrowseInput);  // cancelled
      afterCancel = ControlText(dialog.Item(Id::InputFolder));
      Click(dialog, Id::BrowseOutput);
      outputText = ControlText(dialog.Item(Id::OutputFolder));
      dialog.EndModal(2);
    };
    dialog.RunModal(nullptr);

    const std::u16string current = CurrentDirectory();
    QCOMPARE(chooser.calls.size(), size_t(3));
    QCOMPARE(Q(chooser.calls[0].title), QString("入力フォルダ"));
    QCOMPARE(Q(chooser.calls[0].initialFolder), Q(current));
    QCOMPARE(Q(chooser.calls[1].initialFolder), Q(first));  // reopens at the last choice
    QCOMPARE(Q(chooser.calls[2].title), QString("出力フォルダ"));
    QCOMPARE(Q(chooser.calls[2].initialFolder), Q(current));  // the pickers are independent
    QVERIFY(chooser.calls[0].owner != nullptr);
    QCOMPARE(Q(afterChoice), Q(first));
    QCOMPARE(Q(afterCancel), Q(first));
    QCOMPARE(Q(outputText), Q(second));
    QCOMPARE(Q(dialog.inputPicker.selectedFolder), Q(first));
  }

  void startChecks_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    QTest::newRow("both empty: only the input is reported")
        << ""
        << ""
        << "入力フォルダを選択してください。" << Id::BrowseInput;
    QTest::newRow("input does not exist (deleted after choosing)")
        << "$GONE"
        << ""
        << "指定された入力フォルダは存在しません。" << Id::BrowseInput;
    QTest::newRow("output empty") << "$IN"
                                  << ""
                                  << "出力フォルダを選択してください。" << Id::BrowseOutput;
    QTest::newRow("output does not exist") << "$IN"
                                           << "$GONE"
                                           << "指定された出力フォルダは存在しません。" << Id::BrowseOutput;
    QTest::newRow("output below the input")
        << "$IN"
        << "$IN/sub"
        << "入力フォルダの配下を出力フォルダにすることはできません。" << Id::BrowseOutput;
    QTest::newRow("output is the input")
        << "$IN"
        << "$IN"
        << "入力フォルダの配下を出力フォルダにすることはできません。" << Id::BrowseOutput;
    QTest::newRow("input below the output")
        << "$IN/sub"
        << "$IN"
        << "出力フォルダの配下を入力フォルダにすることはできません。" << Id::BrowseInput;
  }

  void startChecks() {
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, message);
    QFETCH(int, focus);
    fs::create_directories(input_ / "sub");

    MessageBoxRecorder boxes;
    FolderChooserScript chooser;
    MainDialog dialog;
    bool focused = false;
    WindowHandle mainWindow = nullptr;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      mainWindow = dialog.window;
      if (!input.isEmpty()) {
        chooser.choices.push_back(Expand(input));
        Click(dialog, Id::BrowseInput);
      }
      if (!output.isEmpty()) {
        chooser.choices.push_back(Expand(output));
        Click(dialog, Id::BrowseOutput);
      }
      FocusControl(dialog.Item(Id::IncludeSubfolders));
      Click(dialog, Id::Start);
      focused = HasFocus(dialog.Item(focus));
      dialog.EndModal(2);
    };
    dialog.RunModal(nullptr);

    QCOMPARE(boxes.calls.size(), size_t(1));
    QCOMPARE(Q(boxes.calls[0].text), message);
    QCOMPARE(Q(boxes.calls[0].caption), QString("Hoshibako"));
    QCOMPARE(boxes.calls[0].style, kMessageBoxIconWarning);
    QVERIFY(boxes.calls[0].owner == mainWindow);
    QVERIFY(focused);
    QCOMPARE(script.shown, std::vector<int>({kMainDialogId}));  // no run
  }

  void keepContentsQuestion_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<uint>("options");
    QTest::newRow("No stops before the run, even without compression")
        << kAnswerNo << QList<int>{Id::KeepBmsUnchanged} << false << 0u;
    QTest::newRow("Cancel (Escape or the close box) stops as No does")
        << 2 << QList<int>{Id::CompressSound, Id::KeepBmsUnchanged} << false << 0u;
    QTest::newRow("Yes runs with the boxes' options")
        << kAnswerYes << QList<int>{Id::CompressSound, Id::KeepBmsUnchanged} << true
        << uint(CompressSound | KeepBmsUnchanged);
  }

  void keepContentsQuestion() {
    QFETCH(int, answer);
    QFETCH(QList<int>, boxes);
    QFETCH(bool, runs);
    QFETCH(uint, options);

    MessageBoxRecorder messages;
    messages.answers = {answer};
    FolderChooserScript chooser;
    chooser.choices = {Expand("$IN"), Expand("$OUT")};
    MainDialog dialog;
    JobSettings settings;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      Click(dialog, Id::BrowseInput);
      Click(dialog, Id::BrowseOutput);
      for (int id : boxes) Click(dialog, id);
      Click(dialog, Id::Start);
      dialog.EndModal(2);
    };
    script.actions[kProgressDialogId] = [&](DialogBase& progress) {
      settings = static_cast<ProgressDialog&>(progress).job.settings;
    };
    script.actions[kResultDialogId] = [&](DialogBase& results) { PressKey(results, Qt::Key_Escape); };
    dialog.RunModal(nullptr);

    QCOMPARE(messages.calls.size(), size_t(1));
    QCOMPARE(Q(messages.calls[0].text), Q(KeepContentsQuestion()));
    QCOMPARE(Q(messages.calls[0].caption), QString("Hoshibako"));
    QCOMPARE(messages.calls[0].style, kMessageBoxIconQuestion | kMessageBoxYesNo);
    if (runs) {
      QCOMPARE(script.shown, std::vector<int>({kMainDialogId, kProgressDialogId, kResultDialogId}));
      QCOMPARE(Q(settings.inputFolder), Q(Expand("$IN")));
      QCOMPARE(Q(settings.outputFolder), Q(Expand("$OUT")));
      QCOMPARE(uint(settings.options), options);
    } else {
      QCOMPARE(script.shown, std::vector<int>({kMainDialogId}));
    }
  }
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
