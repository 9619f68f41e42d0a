// Renders each dialog to a PNG under the build folder, and checks that the
// dialog font has a glyph for every character of the templates.

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "job/folder_result.h"
#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/qt/qt_dialog.h"
#include "ui/result_dialog.h"
#include "ui/templates.h"
#include "ui_test_support.h"

namespace fs = std::filesystem;
namespace Main = MainDialogIds;

namespace {

// Saves the dialog as it looks now; answers the image read back from the
// file, or a null image when it was not written whole.
QImage Shoot(const DialogBase& dialog, const QString& name) {
  QDir().mkpath(HOSHIBAKO_UI_SCREENSHOTS);
  QWidget* widget = WidgetOfDialog(dialog);
  const QPixmap pixmap = widget->grab();
  const QString path = QString(HOSHIBAKO_UI_SCREENSHOTS) + "/" + name + ".png";
  if (!pixmap.save(path, "PNG")) return QImage();
  QImage image(path);
  if (image.size() != widget->size() * widget->devicePixelRatio()) return QImage();
  return image;
}

// Pixels much darker than the dialog background: text, frames, the bar.
int DarkPixels(const QImage& image) {
  int dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 96) ++dark;
    }
  }
  return dark;
}

}  // namespace

class RenderTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ScratchFolder> temp_;

 private slots:
  void initTestCase() {
    temp_ = std::make_unique<ScratchFolder>();
    QDir::setCurrent(QString::fromStdString(temp_->path().string()));
  }
  void cleanupTestCase() { temp_.reset(); }

  void fontCoversEveryTemplateText() {
    const QFontMetrics metrics(DialogFont());
    for (int id : {kMainDialogId, kProgressDialogId, kResultDialogId, kErrorListDialogId}) {
      const DialogTemplate* dialog = FindDialogTemplate(id);
      QVERIFY(dialog != nullptr);
      QString texts = ToQString(dialog->caption);
      for (const ControlTemplate& control : dialog->controls) texts += ToQString(control.text);
      texts += QStringLiteral("処理を終了しています...対象フォルダ処理結果音声画像無変換エラー");
      for (const QChar c : texts) {
        QVERIFY2(metrics.inFont(c),
                 qPrintable(QStringLiteral("no glyph for %1 in %2").arg(c).arg(DialogFont().family())));
      }
    }
  }

  void mainWithOptionsAndProgressMidRun() {
    const fs::path input = temp_->path() / "入力" / "曲フォルダ";
    const fs::path output = temp_->path() / "出力";
    WriteWave(input / "long_sound.wav", 2, 44100, 44100 * 10);
    WriteWave(input / "short.wav", 1, 22050, 2205);
    WriteBytes(input / "sub" / "readme.txt", "x");
    fs::create_directories(output);

    FolderChooserScript chooser;
    chooser.choices = {PathText(input), PathText(output)};
    MessageBoxRecorder boxes;
    MainDialog dialog;
    QImage mainShot, progressShot;
    bool midRun = false;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      Click(dialog, Main::BrowseInput);
      Click(dialog, Main::BrowseOutput);
      for (int id : {Main::IncludeSubfolders, Main::CompressSound, Main::CompressImages, Main::RepairBms}) {
        Click(dialog, id);
      }
      mainShot = Shoot(dialog, "main");
      Click(dialog, Main::Start);
      dialog.EndModal(2);
    };
    script.actions[kProgressDialogId] = [&](DialogBase& d) {
      midRun = WaitUntil(
          [&] { return Q(ControlText(d.Item(ProgressDialogIds::FileText))).endsWith("long_sound.wav"); });
      progressShot = Shoot(d, "progress");
      Click(d, IDCANCEL);
    };
    script.actions[kResultDialogId] = [&](DialogBase& d) { PressKey(d, Qt::Key_Escape); };
    dialog.RunModal(nullptr);

    QVERIFY(!mainShot.isNull());
    QVERIFY(DarkPixels(mainShot) > 200);
    QVERIFY(midRun);
    QVERIFY(!progressShot.isNull());
    QVERIFY(DarkPixels(progressShot) > 200);
  }

  void resultsWithSeveralRowsAndAnErrorList() {
    ResultDialog results;
    const struct {
      const char16_t* folder;
      FolderStatus status;
      int counts[4];
      std::vector<std::u16string> errors;
    } kRows[] = {
        {u"/home/user/BMS/曲集", FolderStatus::Ok, {0, 0, 0, 1}, {}},
        {u"/home/user/BMS/曲集/星の箱", FolderStatus::Ok, {3, 120, 4, 2}, {}},
        {u"/home/user/BMS/曲集/夜明け",
         FolderStatus::HasErrors,
         {2, 80, 1, 0},
         {u"壊れた音.wav", u"bg_broken.bmp"}},
        {u"/home/user/BMS/曲集/書けない", FolderStatus::FolderCreationFailed, {0, 0, 0, 0}, {}},
        {u"/home/user/BMS/曲集/途中", FolderStatus::Cancelled, {1, 12, 0, 0}, {}},
    };
    for (const auto& spec : kRows) {
      FolderResult row;
      row.folder = spec.folder;
      row.status = spec.status;
      row.bmsCount = spec.counts[0];
      row.soundCount = spec.counts[1];
      row.imageCount = spec.counts[2];
      row.copiedCount = spec.counts[3];
      for (const std::u16string& name : spec.errors) row.AddErrorFile(name);
      results.AddRow(row);
    }
    QImage resultShot, errorShot;
    DialogScript script;
    script.actions[kResultDialogId] = [&](DialogBase&) {
      auto* tree = static_cast<QTreeWidget*>(WidgetOf(results.list.window));
      const QRect line = tree->visualItemRect(tree->topLevelItem(2));
      QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, line.center());
      resultShot = Shoot(results, "results");
      QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, line.center());
      PressKey(results, Qt::Key_Escape);
    };
    script.actions[kErrorListDialogId] = [&](DialogBase& d) {
      errorShot = Shoot(d, "error_list");
      PressKey(d, Qt::Key_Escape);
    };
    results.RunModal(nullptr);

    QVERIFY(!resultShot.isNull());
    QVERIFY(DarkPixels(resultShot) > 200);
    QVERIFY(!errorShot.isNull());
    QVERIFY(DarkPixels(errorShot) > 50);
  }
};

QTEST_MAIN(RenderTest)
#include "render_test.moc"
