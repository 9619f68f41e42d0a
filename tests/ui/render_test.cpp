// Renders each dialog to a PNG under the build folder, named after the
// screen's dots per inch (CTest runs it at 96, 144 and 192 through
// QT_SCALE_FACTOR), checks that no control cuts its text there, and that the
// dialog font has a glyph for every character of the templates.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
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

int DotsPerInch(const QWidget* widget) { return qRound(96 * widget->devicePixelRatioF()); }

// Saves the dialog as it looks now, as <name>-<dpi>dpi.png; answers the
// image read back from the file, or a null image when it was not written
// whole.
QImage Shoot(const DialogBase& dialog, const QString& name) {
  QDir().mkpath(HOSHIBAKO_UI_SCREENSHOTS);
  QWidget* widget = WidgetOfDialog(dialog);
  const QPixmap pixmap = widget->grab();
  const QString path =
      QString("%1/%2-%3dpi.png").arg(HOSHIBAKO_UI_SCREENSHOTS, name).arg(DotsPerInch(widget));
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

// The controls of the dialog whose text is cut: a label of the template or a
// push button narrower than its text, a check box narrower than its box and text, a
// value column of a table narrower than its widest cell.
QStringList CutTexts(const DialogBase& dialog) {
  QStringList cut;
  QWidget* window = WidgetOfDialog(dialog);
  const auto report = [&](const QWidget* widget, const QString& text, int needed) {
    cut << QString("%1 \"%2\" needs %3 px, has %4")
               .arg(widget->metaObject()->className(), text)
               .arg(needed)
               .arg(widget->width());
  };
  // Labels with a text of the template; the texts set while the dialog runs
  // (paths, file names) are shortened with an ellipsis instead.
  QStringList templateTexts;
  for (const ControlTemplate& control : FindDialogTemplate(dialog.resourceId)->controls) {
    templateTexts << ToQString(control.text);
  }
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    if (label->text().isEmpty() || !templateTexts.contains(label->text())) continue;
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    if (needed > label->contentsRect().width()) report(label, label->text(), needed);
  }
  for (const QAbstractButton* box : window->findChildren<QAbstractButton*>()) {
    if (!box->isCheckable()) continue;  // check boxes and radio buttons
    if (box->sizeHint().width() > box->width()) report(box, box->text(), box->sizeHint().width());
  }
  for (const QPushButton* button : window->findChildren<QPushButton*>()) {
    const int needed = button->fontMetrics().horizontalAdvance(button->text()) +
                       2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    if (needed > button->width()) report(button, button->text(), needed);
  }
  for (const QTreeWidget* tree : window->findChildren<QTreeWidget*>()) {
    for (int column = 1; column < tree->columnCount(); ++column) {
      // The width the item delegate asks for the column's widest cell.
      int needed = 0;
      QStyleOptionViewItem option;
      option.initFrom(tree);
      for (int row = 0; row < tree->topLevelItemCount(); ++row) {
        const QModelIndex index = tree->model()->index(row, column);
        needed = std::max(needed, tree->itemDelegate()->sizeHint(option, index).width());
      }
      if (needed > tree->columnWidth(column)) report(tree, tree->headerItem()->text(column), needed);
    }
  }
  return cut;
}

// The pairs of controls that cover each other (a group box holds its
// controls and is left out).
QStringList Overlaps(const DialogBase& dialog) {
  QList<QWidget*> controls;
  for (QWidget* child : WidgetOfDialog(dialog)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isVisible() && !qobject_cast<QGroupBox*>(child)) controls << child;
  }
  QStringList overlaps;
  for (int i = 0; i < controls.size(); ++i) {
    for (int j = i + 1; j < controls.size(); ++j) {
      if (controls[i]->geometry().intersects(controls[j]->geometry())) {
        overlaps << QString("%1 / %2").arg(controls[i]->metaObject()->className(),
                                           controls[j]->metaObject()->className());
      }
    }
  }
  return overlaps;
}

}  // namespace

class RenderTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ScratchFolder> temp_;

 private slots:
  void initTestCase() {
    QVERIFY(ConfigureApplication());
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
    const std::string longName =
        "とても長い名前の効果音ファイル_with_a_very_long_name_that_cannot_fit_the_line_long_sound.wav";
    WriteWave(input / longName, 2, 44100, 44100 * 10);
    WriteWave(input / "short.wav", 1, 22050, 2205);
    WriteBytes(input / "sub" / "readme.txt", "x");
    fs::create_directories(output);

    FolderChooserScript chooser;
    chooser.choices = {PathText(input), PathText(output)};
    MessageBoxRecorder boxes;
    MainDialog dialog;
    QImage mainShot, progressShot;
    QStringList mainCut, progressCut;
    bool midRun = false;
    DialogScript script;
    script.actions[kMainDialogId] = [&](DialogBase&) {
      Click(dialog, Main::BrowseInput);
      Click(dialog, Main::BrowseOutput);
      for (int id : {Main::IncludeSubfolders, Main::CompressSound, Main::SoundFlac, Main::CompressImages,
                     Main::RepairBms, Main::UpdateRun, Main::CheckReferences}) {
        Click(dialog, id);
      }
      mainShot = Shoot(dialog, "main");
      mainCut = CutTexts(dialog) + Overlaps(dialog);
      Click(dialog, Main::SoundOgg);
      // Three dialog units between the folder label's colon and its box.
      const QLabel* label = WidgetOfDialog(dialog)->findChild<QLabel*>();  // 入力フォルダ:
      const int gap = ControlWidget(dialog, Main::InputFolder)->x() - label->x() -
                      label->fontMetrics().horizontalAdvance(label->text());
      if (gap < DialogUnitsOf(label->font()).X(3)) mainCut << label->text() + " touches its box";
      Click(dialog, Main::Start);
      dialog.EndModal(2);
    };
    script.actions[kProgressDialogId] = [&](DialogBase& d) {
      midRun = WaitUntil(
          [&] { return Q(ControlText(d.Item(ProgressDialogIds::FileText))).endsWith("long_sound.wav"); });
      progressShot = Shoot(d, "progress");
      progressCut = CutTexts(d) + Overlaps(d);
      Click(d, IDCANCEL);
    };
    script.actions[kResultDialogId] = [&](DialogBase& d) { PressKey(d, Qt::Key_Escape); };
    dialog.RunModal(nullptr);

    QVERIFY(!mainShot.isNull());
    QVERIFY(DarkPixels(mainShot) > 200);
    QVERIFY2(mainCut.isEmpty(), qPrintable(mainCut.join('\n')));
    QVERIFY2(progressCut.isEmpty(), qPrintable(progressCut.join('\n')));
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
        {u"/home/user/BMS/とても長い名前の曲集フォルダ/さらに長い名前のアーティストのフォルダ/"
         u"いちばん長い名前の曲のフォルダ_extended_mix",
         FolderStatus::Ok,
         {1, 3, 0, 0},
         {}},
    };
    for (const auto& spec : kRows) {
      FolderResult row;
      row.folder = spec.folder;
      row.status = spec.status;
      row.bmsCount = spec.counts[0];
      row.soundCount = spec.counts[1];
      row.imageCount = spec.counts[2];
      row.copiedCount = spec.counts[3];
      for (const std::u16string& name : spec.errors) row.AddErrorFile(name, u"24ビットのWAVは変換できません");
      if (!spec.errors.empty()) {
        row.keptFiles = {u"adpcm.wav"};
        row.missingReferences = {{u"譜面.bms", 12, u"", u"#WAV0C", u"snare.wav", false}};
        row.unreferencedFiles = {u"未使用.wav", u"spare.bmp"};
        row.unreferencedBytes = 123456;
      }
      results.AddRow(row);
    }
    results.totals = RunTotals{215, 123456789, 23456789, 0, 123456};
    results.referencesChecked = true;
    QImage resultShot, errorShot;
    QStringList resultCut;
    DialogScript script;
    script.actions[kResultDialogId] = [&](DialogBase&) {
      auto* tree = static_cast<QTreeWidget*>(WidgetOf(results.list.window));
      // Near the line's start: a dialog shrunk to the screen shows the
      // table's left part.
      const QPoint line(10, tree->visualItemRect(tree->topLevelItem(2)).center().y());
      QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, line);
      resultShot = Shoot(results, "results");
      resultCut = CutTexts(results);
      // The totals wrap into the lines of their label, none cut off (a
      // dialog shrunk to a small screen shortens them in the middle).
      const QWidget* totals = ControlWidget(results, ResultDialogIds::Totals);
      const QString text = Q(ControlText(results.Item(ResultDialogIds::Totals)));
      const QRect needed =
          totals->fontMetrics().boundingRect(QRect(0, 0, totals->width(), 10000), Qt::TextWrapAnywhere, text);
      const bool designedWidth = totals->width() >= DialogUnitsOf(totals->font()).X(432);
      if (designedWidth && needed.height() > totals->height())
        resultCut << QString("totals need %1 px").arg(needed.height());
      // The close button lies inside the dialog, and the dialog on the screen.
      const QWidget* window = WidgetOfDialog(results);
      const QWidget* close = ControlWidget(results, IDCANCEL);
      if (!window->rect().contains(close->geometry())) resultCut << "閉じる is outside the dialog";
      if (window->minimumSize().boundedTo(window->screen()->availableSize()) == window->minimumSize() &&
          !window->screen()->availableGeometry().contains(window->frameGeometry())) {
        resultCut << "the dialog does not fit the screen";
      }
      QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, line);
      PressKey(results, Qt::Key_Escape);
    };
    script.actions[kErrorListDialogId] = [&](DialogBase& d) {
      errorShot = Shoot(d, "error_list");
      PressKey(d, Qt::Key_Escape);
    };
    results.RunModal(nullptr);

    QVERIFY(!resultShot.isNull());
    QVERIFY(DarkPixels(resultShot) > 200);
    QVERIFY2(resultCut.isEmpty(), qPrintable(resultCut.join('\n')));
    QVERIFY(!errorShot.isNull());
    QVERIFY(DarkPixels(errorShot) > 50);
  }
};

QTEST_MAIN(RenderTest)
#include "render_test.moc"
