// The dialog framework: message routing, keys and close box, messages before
// initialisation, and delivery across threads.

#include <QApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "ui/dialog_base.h"
#include "ui/qt/qt_dialog.h"
#include "ui/templates.h"
#include "ui_test_support.h"

namespace {

// Records every handler call and answers as configured.
class RecordingDialog : public DialogBase {
 public:
  explicit RecordingDialog(int resourceId = kErrorListDialogId) : DialogBase(resourceId) {}

  QStringList events;
  bool okAnswer = true;
  bool cancelAnswer = true;
  bool commandAnswer = false;
  bool messageAnswer = false;
  std::uintptr_t commandWParam = 0;
  std::intptr_t commandLParam = 0;
  bool allOnDialogThread = true;
  std::atomic<int> messagesHandled{0};

  bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) override {
    Note(QStringLiteral("message:%1:%2").arg(message).arg(wParam));
    ++messagesHandled;
    return messageAnswer;
  }
  void OnInitDialog() override { Note(QStringLiteral("init")); }
  bool OnOK() override {
    Note(QStringLiteral("ok"));
    return okAnswer;
  }
  bool OnCancel() override {
    Note(QStringLiteral("cancel"));
    return cancelAnswer;
  }
  bool OnCommand(std::uintptr_t wParam, std::uint16_t notifyCode, std::intptr_t lParam) override {
    Note(QStringLiteral("command:%1:%2").arg(LowWord(wParam)).arg(notifyCode));
    commandWParam = wParam;
    commandLParam = lParam;
    return commandAnswer;
  }

 private:
  void Note(const QString& event) {
    if (QThread::currentThread() != qApp->thread()) allOnDialogThread = false;
    events << event;
  }
};

constexpr int kStillOpen = 99;

}  // namespace

class DialogFrameworkTest : public QObject {
  Q_OBJECT

 private slots:
  void routing_data() {
    QTest::addColumn<uint>("message");
    QTest::addColumn<qulonglong>("wParam");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<qlonglong>("expectedResult");
    QTest::addColumn<QString>("expectedEvent");
    QTest::addColumn<int>("expectedExit");

    QTest::newRow("OK answered true ends with 1")
        << uint(WM_COMMAND) << qulonglong(MakeWParam(IDOK, BN_CLICKED)) << true << 1LL << "ok" << 1;
    QTest::newRow("OK answered false keeps the dialog")
        << uint(WM_COMMAND) << qulonglong(MakeWParam(IDOK, BN_CLICKED)) << false << 0LL << "ok" << kStillOpen;
    QTest::newRow("OK with a notification code is still OK")
        << uint(WM_COMMAND) << qulonglong(MakeWParam(IDOK, 0x300)) << true << 1LL << "ok" << 1;
    QTest::newRow("Cancel answered true ends with 2")
        << uint(WM_COMMAND) << qulonglong(MakeWParam(IDCANCEL, BN_CLICKED)) << true << 1LL << "cancel" << 2;
    QTest::newRow("Cancel answered false keeps the dialog")
        << uint(WM_COMMAND) << qulonglong(MakeWParam(IDCANCEL, BN_CLICKED)) << false << 0LL << "cancel"
        << kStillOpen;
    QTest::newRow("other id goes to OnCommand with its code")
        << uint(WM_COMMAND) << qulonglong(MakeWParam(1007, 0x300)) << true << 1LL << "command:1007:768"
        << kStillOpen;
    QTest::newRow("unhandled command is answered 0")
        << uint(WM_COMMAND) << qulonglong(MakeWParam(1234, BN_CLICKED)) << false << 0LL << "command:1234:0"
        << kStillOpen;
    QTest::newRow("private message goes to OnMessage")
        << uint(WM_USER + 1) << qulonglong(5) << true << 1LL << "message:1025:5" << kStillOpen;
    QTest::newRow("unhandled message is answered 0")
        << uint(WM_NOTIFY) << qulonglong(1005) << false << 0LL << "message:78:1005" << kStillOpen;
  }

  void routing() {
    QFETCH(uint, message);
    QFETCH(qulonglong, wParam);
    QFETCH(bool, answer);
    QFETCH(qlonglong, expectedResult);
    QFETCH(QString, expectedEvent);
    QFETCH(int, expectedExit);

    RecordingDialog dialog;
    dialog.okAnswer = dialog.cancelAnswer = dialog.commandAnswer = dialog.messageAnswer = answer;
    std::intptr_t result = -1;
    DialogScript script;
    script.actions[kErrorListDialogId] = [&](DialogBase&) {
      result = dialog.SendToDialog(message, wParam, 77);
      if (WidgetOfDialog(dialog)->isVisible()) dialog.EndModal(kStillOpen);
    };
    const std::intptr_t exitCode = dialog.RunModal(nullptr);

    QCOMPARE(qlonglong(result), expectedResult);
    QCOMPARE(dialog.events, QStringList({"init", expectedEvent}));
    QCOMPARE(int(exitCode), expectedExit);
    if (expectedEvent.startsWith("command")) {
      QCOMPARE(qulonglong(dialog.commandWParam), wParam);  // the whole first parameter
      QCOMPARE(qlonglong(dialog.commandLParam), 77LL);
    }
  }

  void nothingReachesAHandlerBeforeInitialisation() {
    RecordingDialog dialog;
    // No window yet: sends and posts go nowhere.
    QCOMPARE(qlonglong(dialog.SendToDialog(WM_USER + 1, 0, 0)), 0LL);
    dialog.PostToDialog(WM_USER + 2, 0, 0);
    QCoreApplication::processEvents();

    // A window that is not yet bound answers everything but the
    // initialisation message with 0.
    QtDialog window(*FindDialogTemplate(kErrorListDialogId), nullptr);
    const WindowHandle handle = HandleOf(&window);
    const auto object = reinterpret_cast<std::intptr_t>(&dialog);
    QCOMPARE(qlonglong(DialogProcedure(handle, WM_SETFONT, 0, object)), 0LL);
    QCOMPARE(qlonglong(DialogProcedure(handle, WM_COMMAND, MakeWParam(IDCANCEL, 0), object)), 0LL);
    QVERIFY(dialog.events.isEmpty());
    QVERIFY(dialog.window == nullptr);

    QCOMPARE(qlonglong(DialogProcedure(handle, WM_INITDIALOG, 0, object)), 1LL);
    QVERIFY(dialog.window == handle);
    dialog.messageAnswer = true;
    QCOMPARE(qlonglong(DialogProcedure(handle, WM_USER + 3, 0, 0)), 1LL);
    QCOMPARE(dialog.events, QStringList({"init", "message:1027:0"}));
  }

  void fontMessageOfTheBuilderReachesNoHandler() {
    RecordingDialog dialog;
    DialogScript script;
    script.actions[kErrorListDialogId] = [&](DialogBase&) { dialog.EndModal(1); };
    dialog.RunModal(nullptr);
    QCOMPARE(dialog.events, QStringList({"init"}));
    QVERIFY(dialog.window == nullptr);  // the finished dialog hands out no window
  }

  void keysAndCloseBox_data() {
    QTest::addColumn<int>("resourceId");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expectedEvent");
    QTest::newRow("Enter without a default button is OK") << kErrorListDialogId << "enter"
                                                          << "ok";
    QTest::newRow("Escape is Cancel") << kErrorListDialogId << "escape"
                                      << "cancel";
    QTest::newRow("close box is Cancel") << kErrorListDialogId << "close"
                                         << "cancel";
    QTest::newRow("Enter presses the default button (id 2)") << kResultDialogId << "enter"
                                                             << "cancel";
    QTest::newRow("Enter on a focused push button presses it") << kMainDialogId << "enter"
                                                               << "command:1006:0";
  }

  void keysAndCloseBox() {
    QFETCH(int, resourceId);
    QFETCH(QString, input);
    QFETCH(QString, expectedEvent);

    RecordingDialog dialog(resourceId);
    dialog.okAnswer = dialog.cancelAnswer = false;
    bool stillVisible = false;
    DialogScript script;
    script.actions[resourceId] = [&](DialogBase&) {
      QWidget* widget = WidgetOfDialog(dialog);
      if (input == "enter") PressKey(dialog, Qt::Key_Return);
      if (input == "escape") PressKey(dialog, Qt::Key_Escape);
      if (input == "close") widget->close();
      stillVisible = widget->isVisible();
      dialog.EndModal(kStillOpen);
    };
    QCOMPARE(int(dialog.RunModal(nullptr)), kStillOpen);
    QCOMPARE(dialog.events, QStringList({"init", expectedEvent}));
    QVERIFY(stillVisible);  // the handlers said no, so nothing closed
  }

  void sendsWaitAndArriveInOrderWithPosts() {
    RecordingDialog dialog;
    dialog.messageAnswer = true;
    std::vector<int> handledAfterSend;
    std::vector<std::intptr_t> sendResults;
    std::atomic<bool> workerDone{false};
    DialogScript script;
    script.actions[kErrorListDialogId] = [&](DialogBase&) {
      std::thread worker([&] {
        sendResults.push_back(dialog.SendToDialog(WM_USER + 1, 1, 0));
        handledAfterSend.push_back(dialog.messagesHandled);
        dialog.PostToDialog(WM_USER + 2, 2, 0);
        dialog.PostToDialog(WM_USER + 3, 3, 0);
        sendResults.push_back(dialog.SendToDialog(WM_USER + 4, 4, 0));
        handledAfterSend.push_back(dialog.messagesHandled);
        dialog.PostToDialog(WM_USER + 5, 5, 0);
        sendResults.push_back(dialog.SendToDialog(WM_USER + 6, 6, 0));
        handledAfterSend.push_back(dialog.messagesHandled);
        workerDone = true;
      });
      WaitUntil([&] { return workerDone.load(); });
      worker.join();
      WaitUntil([&] { return dialog.messagesHandled == 6; }, 5000);
      dialog.EndModal(1);
    };
    dialog.RunModal(nullptr);

    QCOMPARE(dialog.events, QStringList({"init", "message:1025:1", "message:1026:2", "message:1027:3",
                                         "message:1028:4", "message:1029:5", "message:1030:6"}));
    // Each send returned only after its own handling (and that of every post
    // issued before it).
    QCOMPARE(handledAfterSend, std::vector<int>({1, 4, 6}));
    QCOMPARE(sendResults, std::vector<std::intptr_t>({1, 1, 1}));
    QVERIFY(dialog.allOnDialogThread);
  }
};

QTEST_MAIN(DialogFrameworkTest)
#include "dialog_framework_test.moc"
