// The platform's message box and folder chooser, as Qt offers them.

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QTreeView>

#include "ui/controls.h"
#include "ui/qt/qt_dialog.h"

namespace {

// Qt's own folder browser writes the modification dates in the system
// locale's format and the folders' type in words Qt's Japanese catalogue
// lacks; through this model both read Japanese like the rest of the dialog.
class JapaneseFileColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (files == nullptr || role != Qt::DisplayRole) return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    constexpr int kTypeColumn = 2;
    constexpr int kDateColumn = 3;
    if (index.column() == kTypeColumn && files->isDir(source)) return QStringLiteral("フォルダー");
    if (index.column() == kDateColumn)
      return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
    return QIdentityProxyModel::data(index, role);
  }
};

}  // namespace

int PlatformMessageBox(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                       std::uint32_t style) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (style & 0xF0) {
    case kMessageBoxIconError:
      icon = QMessageBox::Critical;
      break;
    case kMessageBoxIconQuestion:
      icon = QMessageBox::Question;
      break;
    case kMessageBoxIconWarning:
      icon = QMessageBox::Warning;
      break;
    default:
      break;
  }
  const bool yesNo = (style & 0x0F) == kMessageBoxYesNo;
  QString message = ToQString(text);
  message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(icon, ToQString(caption), message,
                  yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                  owner ? WidgetOf(owner) : nullptr);
  box.setFont(DialogFont());
  box.setTextFormat(Qt::PlainText);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return kAnswerYes;
    case QMessageBox::No:
      return kAnswerNo;
    default:
      return yesNo ? kAnswerNo : kAnswerOk;
  }
}

bool PlatformBrowseForFolder(WindowHandle owner, const std::u16string& title,
                             const std::u16string& initialFolder, std::u16string& chosen) {
  QFileDialog dialog(owner ? WidgetOf(owner) : nullptr, ToQString(title), ToQString(initialFolder));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setProxyModel(new JapaneseFileColumns(&dialog));
  // The type and date columns were sized for Qt's own words; they take the
  // width of their texts instead of eliding them.
  if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    for (int column : {2, 3}) view->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const QString folder = dialog.selectedFiles().constFirst();
  if (folder.isEmpty()) return false;
  chosen = FromQString(folder);
  return true;
}
