// The platform's message box and folder chooser, as Qt offers them.

#include <QFileDialog>
#include <QMessageBox>

#include "ui/controls.h"
#include "ui/qt/qt_dialog.h"

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
  const QString folder =
      QFileDialog::getExistingDirectory(owner ? WidgetOf(owner) : nullptr, ToQString(title),
                                        ToQString(initialFolder), QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return false;
  chosen = FromQString(folder);
  return true;
}
