// The program as the desktop shows it, on a real X display (CTest runs this
// under Xvfb): the title bars read the dialogs' captions alone, and Qt's own
// texts (standard buttons, the folder browser) are Japanese whatever the
// user's locale.

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/qt/qt_dialog.h"
#include "ui/result_dialog.h"
#include "ui/templates.h"
#include "ui_test_support.h"

namespace fs = std::filesystem;
namespace Main = MainDialogIds;

namespace {

// The title the window manager is given for the window (_NET_WM_NAME), as
// xprop reads it from the X server.
QString TitleOnDisplay(const QWidget* window) {
  QProcess xprop;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("LC_ALL", "C.UTF-8");
  xprop.setProcessEnvironment(environment);
  xprop.start("xprop", {"-id", QString::number(window->winId()), "_NET_WM_NAME"});
  if (!xprop.waitForFinished(10000)) return "(xprop did not answer)";
  // _NET_WM_NAME(UTF8_STRING) = "処理結果"
  const QString output = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
  const qsizetype open = output.indexOf('"');
  if (open < 0 || !output.endsWith('"')) return "(no title: " + output + ")";
  return output.mid(open + 1, output.size() - open - 2);
}

}  // namespace

class ApplicationTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(ConfigureApplication()); }

  void titlesAreTheCaptionsAlone() {
    ScratchFolder temp;
    QDir::setCurrent(QString::fromStdString(temp.path().string()));
    const fs::path input = temp.path() / "in";
    const fs::path output = temp.path() / "out";
    WriteWave(input / "sound.wav", 1, 22050, 22050 * 20);
    fs::create_directories(output);

    FolderChooserScript chooser;
    chooser.choices = {PathText(input), PathText(output)};
    MessageBoxRecorder boxes;
    MainDialog dialog;
    std::map<int, QString> titles;
    DialogScript script;
    const auto title = [&](DialogBase& d) { titles[d.resourceId] = TitleOnDisplay(WidgetOfDialog(d)); };
    script.actions[kMainDialogId] = [&](DialogBase& d) {
      title(d);
      Click(d, Main::BrowseInput);
      Click(d, Main::BrowseOutput);
      Click(d, Main::CompressSound);
      Click(d, Main::Start);
      d.EndModal(2);
    };
    script.actions[kProgressDialogId] = [&](DialogBase& d) {
      title(d);
      Click(d, IDCANCEL);
    };
    script.actions[kResultDialogId] = [&](DialogBase& d) {
      title(d);
      auto* tree = static_cast<QTreeWidget*>(ControlWidget(d, ResultDialogIds::Table));
      const QRect line = tree->visualItemRect(tree->topLevelItem(0));
      QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, line.center());
      QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, line.center());
      PressKey(d, Qt::Key_Escape);
    };
    script.actions[kErrorListDialogId] = [&](DialogBase& d) {
      title(d);
      PressKey(d, Qt::Key_Escape);
    };
    dialog.RunModal(nullptr);

    const std::map<int, QString> expected = {{kMainDialogId, "Hoshibako 1.10"},
                                             {kProgressDialogId, "変換中....."},
                                             {kResultDialogId, "処理結果"},
                                             {kErrorListDialogId, "エラーファイル一覧"}};
    for (const auto& [id, text] : expected) {
      QVERIFY2(titles.count(id), qPrintable(QString("dialog %1 was not shown").arg(id)));
      QCOMPARE(titles[id], text);
    }
  }

  void qtTextsAreJapanese_data() {
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");
    const struct {
      const char* name;
      const char* context;
      const char* source;
      const char* japanese;
    } kRows[] = {
        {"message box Yes", "QPlatformTheme", "&Yes", "はい(&Y)"},
        {"message box No", "QPlatformTheme", "&No", "いいえ(&N)"},
        {"browser Cancel", "QPlatformTheme", "Cancel", "キャンセル"},
        {"browser Look in", "QFileDialog", "Look in:", "アドレス:"},
        {"browser Directory", "QFileDialog", "Directory:", "ディレクトリ:"},
        {"browser Choose", "QFileDialog", "&Choose", "選択(&C)"},
    };
    for (const auto& row : kRows) {
      QTest::newRow(row.name) << QString(row.context) << QString(row.source) << QString(row.japanese);
    }
  }

  void qtTextsAreJapanese() {
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, expected);
    const QString text =
        QCoreApplication::translate(context.toUtf8().constData(), source.toUtf8().constData());
    QCOMPARE(text, expected);
  }
};

QTEST_MAIN(ApplicationTest)
#include "application_test.moc"
