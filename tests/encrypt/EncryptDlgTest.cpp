// Drives the Encrypt dialog the way a user does, on Qt's offscreen platform.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <string>

#include "encrypt/cEncryptDlg.h"
#include "encrypt/cSettingsCipher.h"

namespace {

const char* const kNames[cEncryptDlg::SETTING_COUNT] = {"UserName",     "DisplayName", "AuthLogin",
                                                        "AuthPassword", "DomainRealm", "SIPProxy"};
const char* const kLabels[cEncryptDlg::SETTING_COUNT] = {
    "User Name:", "Display Name:", "Auth Login:", "Auth Password:", "Domain/Realm:", "SIP Proxy:"};
const char* const kAccount[cEncryptDlg::SETTING_COUNT] = {
    "alice", "Alice Smith", "alice.auth", "w0nderl@nd", "example.com", "sip.example.com:5060"};

QString Encrypted(const QString& setting, const QString& password) {
  cSettingsCipher cipher;
  std::string encoded;
  const QByteArray s = setting.toUtf8();
  const QByteArray p = password.toUtf8();
  if (!cipher.EncryptSetting({s.constData(), static_cast<size_t>(s.size())},
                             {p.constData(), static_cast<size_t>(p.size())}, encoded)) {
    return {};
  }
  return QString::fromStdString(encoded);
}

}  // namespace

class cEncryptDlgTest : public QObject {
  Q_OBJECT

 private:
  QLineEdit* Input(cEncryptDlg& dlg, int i) {
    return dlg.findChild<QLineEdit*>(QString("edit") + kNames[i]);
  }
  QLineEdit* Output(cEncryptDlg& dlg, int i) {
    return dlg.findChild<QLineEdit*>(QString("encrypted") + kNames[i]);
  }
  QLineEdit* Password(cEncryptDlg& dlg) { return dlg.findChild<QLineEdit*>("editPassword"); }
  void Generate(cEncryptDlg& dlg) {
    QTest::mouseClick(dlg.findChild<QPushButton*>("buttonGenerate"), Qt::LeftButton);
  }
  void TypeAccount(cEncryptDlg& dlg, const QString& password) {
    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) {
      Input(dlg, i)->setFocus();
      QTest::keyClicks(Input(dlg, i), kAccount[i]);
    }
    Password(dlg)->setFocus();
    QTest::keyClicks(Password(dlg), password);
  }
  void Show(cEncryptDlg& dlg) {
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  }

 private slots:
  void showsTheCaptionGroupsAndLabels() {
    cEncryptDlg dlg;
    Show(dlg);
    QCOMPARE(dlg.windowTitle(), QString("Encrypt SIP Account Settings."));
    QVERIFY(dlg.isModal());
    QCOMPARE(dlg.font().family(), QString("Verdana"));
    QCOMPARE(dlg.font().pointSize(), 8);
    QVERIFY(!dlg.windowIcon().isNull());
    QStringList titles;
    for (QGroupBox* pGroup : dlg.findChildren<QGroupBox*>()) titles << pGroup->title();
    QCOMPARE(titles, QStringList({" SIP Settings ", " Encrypted SIP account settings "}));
    QStringList labels;
    for (QLabel* pLabel : dlg.findChildren<QLabel*>()) labels << pLabel->text();
    QVERIFY(labels.contains("Encryption Password:"));
    QCOMPARE(dlg.findChild<QPushButton*>("buttonGenerate")->text(),
             QString("Generate Encrypted Parameters"));

    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) {
      QVERIFY(Input(dlg, i) != nullptr);
      QVERIFY(Output(dlg, i) != nullptr);
      QVERIFY(!Input(dlg, i)->isReadOnly());
      QVERIFY(Output(dlg, i)->isReadOnly());
      QCOMPARE(labels.count(kLabels[i]), 2);
      // Two columns: user name, auth login, domain on the left; the others on the right, and
      // the outputs lined up under their inputs.
      const bool bLeft = i % 2 == 0;
      const int nOtherX = (bLeft ? Input(dlg, i + 1) : Input(dlg, i - 1))->x();
      QVERIFY(bLeft ? Input(dlg, i)->x() < nOtherX : Input(dlg, i)->x() > nOtherX);
      QCOMPARE(Output(dlg, i)->x(), Input(dlg, i)->x());
      if (i >= 2) QVERIFY(Input(dlg, i)->y() > Input(dlg, i - 2)->y());
      // Each label sits in its edit's row, to the left of it.
      const auto* pLabel = qobject_cast<QLabel*>(Input(dlg, i)->parentWidget()->childAt(
          Input(dlg, i)->x() - 10, Input(dlg, i)->geometry().center().y()));
      QVERIFY(pLabel != nullptr);
      QCOMPARE(pLabel->text(), QString(kLabels[i]));
    }
    const QGroupBox* pInputs = qobject_cast<QGroupBox*>(Input(dlg, 0)->parentWidget());
    const QGroupBox* pOutputs = qobject_cast<QGroupBox*>(Output(dlg, 0)->parentWidget());
    QCOMPARE(pInputs->title(), QString(" SIP Settings "));
    QCOMPARE(pOutputs->title(), QString(" Encrypted SIP account settings "));
  }

  void generateEncryptsEverySettingAndEmptiesTheInputs() {
    cEncryptDlg dlg;
    Show(dlg);
    TypeAccount(dlg, "secret");
    Generate(dlg);
    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) {
      QCOMPARE(Output(dlg, i)->text(), Encrypted(kAccount[i], "secret"));
      QVERIFY(!Output(dlg, i)->text().isEmpty());
      QCOMPARE(Input(dlg, i)->text(), QString());
    }
    QCOMPARE(Password(dlg)->text(), QString("secret"));

    QDir().mkpath(QFileInfo(KYT_SCREENSHOT_PATH).path());
    QVERIFY(dlg.grab().save(KYT_SCREENSHOT_PATH, "PNG"));
  }

  void emptyPasswordShowsTheMessageAndChangesNothing() {
    cEncryptDlg dlg;
    Show(dlg);
    TypeAccount(dlg, "first");
    Generate(dlg);
    QStringList before;
    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) before << Output(dlg, i)->text();
    Password(dlg)->clear();
    TypeAccount(dlg, "");

    QStringList captions;
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    // The message box runs its own event loop; a timer finds it there and closes it.
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
      auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (pBox == nullptr) return;
      captions << pBox->windowTitle();
      texts << pBox->text();
      icons << pBox->icon();
      pBox->accept();
    });
    closer.start(10);
    Generate(dlg);
    closer.stop();
    QCOMPARE(captions, QStringList({"KytVoIP SDK (Software Development Kit)"}));
    QCOMPARE(texts, QStringList({"Please enter a valid password!"}));
    QCOMPARE(icons, QList<QMessageBox::Icon>({QMessageBox::Warning}));
    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) {
      QCOMPARE(Input(dlg, i)->text(), QString(kAccount[i]));
      QCOMPARE(Output(dlg, i)->text(), before[i]);
    }
    QCOMPARE(Password(dlg)->text(), QString());
    QVERIFY(dlg.isVisible());
  }

  void generateAgainWithoutTypingKeepsTheOutputs() {
    cEncryptDlg dlg;
    Show(dlg);
    TypeAccount(dlg, "k");  // a password of one character is accepted
    Generate(dlg);
    QStringList first;
    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) first << Output(dlg, i)->text();
    QCOMPARE(first[0], Encrypted(kAccount[0], "k"));
    Generate(dlg);
    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) {
      QCOMPARE(Output(dlg, i)->text(), first[i]);
      QCOMPARE(Input(dlg, i)->text(), QString());
    }
    QCOMPARE(Password(dlg)->text(), QString("k"));

    // The same settings and password give the same strings again.
    TypeAccount(dlg, "");
    Generate(dlg);
    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) QCOMPARE(Output(dlg, i)->text(), first[i]);
  }

  void emptySettingsLeaveTheirOutputsInPlace() {
    cEncryptDlg dlg;
    Show(dlg);
    TypeAccount(dlg, "pw");
    Generate(dlg);
    // Only the display name and the proxy change; the other outputs stay.
    QTest::keyClicks(Input(dlg, 1), "Bob");
    QTest::keyClicks(Input(dlg, 5), "proxy.example.net");
    Generate(dlg);
    for (int i = 0; i < cEncryptDlg::SETTING_COUNT; ++i) {
      const QString expected = i == 1   ? Encrypted("Bob", "pw")
                               : i == 5 ? Encrypted("proxy.example.net", "pw")
                                        : Encrypted(kAccount[i], "pw");
      QCOMPARE(Output(dlg, i)->text(), expected);
    }
  }

  void returnKeyGeneratesAndNonAsciiIsEncryptedAsUtf8() {
    cEncryptDlg dlg;
    Show(dlg);
    Input(dlg, 1)->setText(QString::fromUtf8("Jürgen Øster"));
    Password(dlg)->setText(QString::fromUtf8("pässword"));
    Password(dlg)->setFocus();
    QTest::keyClick(Password(dlg), Qt::Key_Return);
    QCOMPARE(Output(dlg, 1)->text(),
             Encrypted(QString::fromUtf8("Jürgen Øster"), QString::fromUtf8("pässword")));
    QVERIFY(dlg.isVisible());
  }
};

QTEST_MAIN(cEncryptDlgTest)
#include "EncryptDlgTest.moc"
