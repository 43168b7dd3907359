// QtView drives the real widgets; boxes and the file dialog go through Dialogs; QtTimer.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "dialogs.h"
#include "gauge.h"
#include "main_window.h"
#include "qt_timer.h"
#include "qt_view.h"
#include "scripted_dialogs.h"

using namespace corvane;
using namespace corvane::app;
using corvane::app::testing::ScriptedDialogs;

namespace {

// Runs `act` on the first modal window that opens, polling from the event loop; gives up after
// the deadline by rejecting whatever is open so that a failing test cannot hang.
void OnNextModal(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  auto deadline = std::make_shared<QDeadlineTimer>(10000);
  QObject::connect(poll, &QTimer::timeout, [poll, deadline, act] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      act(modal);
    } else if (deadline->hasExpired()) {
      poll->stop();
      poll->deleteLater();
    }
  });
  poll->start(10);
}

}  // namespace

class ViewTest : public QObject {
  Q_OBJECT

 private slots:
  void memoLinesStatusAndGauge() {
    MainWindow w;
    ScriptedDialogs d;
    QtView v(w, d);
    v.ClearMemo();
    v.AppendMemoLine("Подключено устройство: Quarnel Basis");
    v.AppendMemoLine("");
    v.AppendMemoLine("Boot Loader Version:  3");
    QCOMPARE(w.Memo()->toPlainText(), QString("Подключено устройство: Quarnel Basis\n\nBoot Loader Version:  3"));
    QCOMPARE(w.Memo()->document()->blockCount(), 3);

    // An empty first line after clearing is a line of its own.
    v.ClearMemo();
    v.AppendMemoLine("");
    v.AppendMemoLine("x");
    QCOMPARE(w.Memo()->toPlainText(), QString("\nx"));
    v.ClearMemo();
    QCOMPARE(w.Memo()->toPlainText(), QString(""));

    v.SetStatus(" Идет сканирование портов ");
    QCOMPARE(w.StatusLine()->currentMessage(), QString(" Идет сканирование портов "));
    v.SetStatus("device disconnected.");
    QCOMPARE(w.StatusLine()->currentMessage(), QString("device disconnected."));

    v.SetGauge(37);
    QCOMPARE(w.ProgressGauge()->text(), QString("37%"));
    v.SetGauge(101);
    QCOMPARE(w.ProgressGauge()->value(), 100);
  }

  void coloursButtonsAndPorts() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ScriptedDialogs d;
    QtView v(w, d);

    v.SetBackground(Colour::kLightGreen);
    QCOMPARE(w.Background(), QColor(169, 234, 159));
    v.SetBackground(Colour::kRed);
    QCOMPARE(w.Background(), QColor(255, 0, 0));
    v.SetBackground(Colour::kButtonFace);
    QCOMPARE(w.Background(), w.ButtonFace());

    v.SetEnabled(Control::kConnect, false);
    v.SetEnabled(Control::kUpdateFirmware, true);
    v.SetEnabled(Control::kWriteDataMap, true);
    QVERIFY(!w.ConnectButton()->isEnabled());
    QVERIFY(w.UpdateFirmwareButton()->isEnabled());
    QVERIFY(w.WriteDataMapButton()->isEnabled());
    v.SetVisible(Control::kWriteDataMap, false);
    QVERIFY(!w.WriteDataMapButton()->isVisible());
    QVERIFY(w.WriteDataMapButton()->isEnabled());  // hiding keeps the enabled state
    v.SetVisible(Control::kWriteDataMap, true);
    QVERIFY(w.WriteDataMapButton()->isVisible());

    v.ShowPorts({"/dev/ttyUSB0", "/dev/pts/3"}, "/dev/pts/3");
    QCOMPARE(w.PortList()->count(), 2);
    QCOMPARE(w.PortList()->itemText(0), QString("/dev/ttyUSB0"));
    QCOMPARE(w.PortList()->currentText(), QString("/dev/pts/3"));
    v.ShowPorts({}, "");
    QCOMPARE(w.PortList()->count(), 0);
    QVERIFY(!w.PortList()->isVisible());
  }

  void boxesAndDialogGoThroughDialogs() {
    MainWindow w;
    ScriptedDialogs d;
    QtView v(w, d);
    d.answers = {BoxAnswer::kNo, BoxAnswer::kCancel};
    QCOMPARE(v.ShowBox("In the device already offered firmware version, want to continue?", "", BoxButtons::kYesNo),
             BoxAnswer::kNo);
    QCOMPARE(v.ShowBox("Can't perform one of the following file operations: Open, Seek, Read, Close.", "File Error",
                       BoxButtons::kOkCancel),
             BoxAnswer::kCancel);
    QCOMPARE(d.boxes.at(1).caption, QString("File Error"));
    QCOMPARE(d.boxes.at(1).buttons, BoxButtons::kOkCancel);

    v.ShowNotice("Файл карты данных поврежден!");
    QCOMPARE(d.boxes.back().text, QString("Файл карты данных поврежден!"));
    QCOMPARE(d.boxes.back().caption, QString("tst_app_view"));  // the executable's name
    QCOMPARE(d.boxes.back().buttons, BoxButtons::kOk);

    v.SetStartFolder("/tmp/samples");
    QCOMPARE(v.ChooseFile({"binary file SBIN", "*.sbin", "sbin"}), std::optional<std::string>());
    QCOMPARE(d.fileRequests.back().filter, QString("binary file SBIN (*.sbin)"));
    QCOMPARE(d.fileRequests.back().suffix, QString("sbin"));
    QCOMPARE(d.fileRequests.back().folder, QString("/tmp/samples"));

    d.files = {QString("/tmp/elsewhere/карта.lbin")};
    QCOMPARE(v.ChooseFile({"карта данных LBIN", "*.lbin", "lbin"}),
             std::optional<std::string>("/tmp/elsewhere/карта.lbin"));
    QCOMPARE(d.fileRequests.back().filter, QString("карта данных LBIN (*.lbin)"));
    // The next dialog opens where the last file was (on Windows on the current drive).
    QCOMPARE(v.StartFolder(), QFileInfo("/tmp/elsewhere").absoluteFilePath());
  }

  // The real boxes: exact text and caption, no icon on OK boxes, the information icon on Yes/No.
  void realMessageBoxes() {
    QtDialogs dialogs;
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::Warning;
    auto inspectAnd = [&](QMessageBox::StandardButton press) {
      OnNextModal([&, press](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return modal->close();
        text = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        box->button(press)->click();
        return true;
      });
    };

    inspectAnd(QMessageBox::No);
    QCOMPARE(dialogs.ShowBox(nullptr, "In the device already offered firmware version, want to continue?", "",
                             BoxButtons::kYesNo),
             BoxAnswer::kNo);
    QCOMPARE(text, QString("In the device already offered firmware version, want to continue?"));
    QCOMPARE(caption, QString(""));
    QCOMPARE(icon, QMessageBox::Information);

    inspectAnd(QMessageBox::Ok);
    QCOMPARE(dialogs.ShowBox(nullptr, " The firmware is not designed for this device! ", "Error", BoxButtons::kOk),
             BoxAnswer::kOk);
    QCOMPARE(text, QString(" The firmware is not designed for this device! "));
    QCOMPARE(caption, QString("Error"));
    QCOMPARE(icon, QMessageBox::NoIcon);

    inspectAnd(QMessageBox::Cancel);
    QCOMPARE(dialogs.ShowBox(nullptr, "Can't perform one of the following file operations: Open, Seek, Read, Close.",
                             "File Error", BoxButtons::kOkCancel),
             BoxAnswer::kCancel);
    QCOMPARE(icon, QMessageBox::NoIcon);
  }

  void realFileDialogOpensInTheFolderWithTheFilter() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QtDialogs dialogs;
    QString seenFolder;
    QStringList seenFilters;
    OnNextModal([&](QWidget* modal) {
      if (auto* fd = qobject_cast<QFileDialog*>(modal)) {
        seenFolder = fd->directory().absolutePath();
        seenFilters = fd->nameFilters();
        fd->reject();
      } else {
        modal->close();
      }
    });
    QCOMPARE(dialogs.ChooseFile(nullptr, "binary file SBIN (*.sbin)", "sbin", dir.path()), std::optional<QString>());
    QCOMPARE(seenFolder, QDir(dir.path()).absolutePath());
    QCOMPARE(seenFilters, QStringList{"binary file SBIN (*.sbin)"});
  }

  void timerStartZeroStaysStopped() {
    corvane::qt::QtTimer t("Timer2");
    QCOMPARE(t.Qt().objectName(), QString("Timer2"));
    QSignalSpy fired(&t.Qt(), &QTimer::timeout);
    t.Start(40);
    QVERIFY(t.IsActive());
    QCOMPARE(t.Interval(), 40u);
    QVERIFY(fired.wait(5000));  // a running timer fires

    t.Start(0);
    QVERIFY(!t.IsActive());
    QCOMPARE(t.Interval(), 0u);
    fired.clear();
    QCoreApplication::processEvents();
    QCOMPARE(fired.count(), 0);

    t.Start(100);
    t.Stop();
    QVERIFY(!t.IsActive());
  }
};

QTEST_MAIN(ViewTest)
#include "tst_view.moc"
