#include "encrypt/cEncryptDlg.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

namespace {

struct sSettingLabel {
  const char* pLabel;
  const char* pName;  // object-name suffix of the setting's two line edits
};

// Table order: the left column holds settings 0, 2 and 4, the right column 1, 3 and 5.
constexpr std::array<sSettingLabel, cEncryptDlg::SETTING_COUNT> kSettings = {{
    {"User Name:", "UserName"},
    {"Display Name:", "DisplayName"},
    {"Auth Login:", "AuthLogin"},
    {"Auth Password:", "AuthPassword"},
    {"Domain/Realm:", "DomainRealm"},
    {"SIP Proxy:", "SIPProxy"},
}};

const char* const kMessageCaption = "KytVoIP SDK (Software Development Kit)";
const char* const kEmptyPasswordText = "Please enter a valid password!";

// A padlock, drawn rather than shipped as an image file.
QIcon PadlockIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(90, 90, 90), 3));
  painter.setBrush(Qt::NoBrush);
  painter.drawArc(QRect(9, 3, 14, 18), 0, 180 * 16);
  painter.drawLine(9, 12, 9, 15);
  painter.drawLine(23, 12, 23, 15);
  painter.setPen(QPen(QColor(120, 80, 0), 1));
  painter.setBrush(QColor(230, 170, 30));
  painter.drawRoundedRect(QRect(5, 14, 22, 16), 3, 3);
  painter.setBrush(QColor(60, 40, 0));
  painter.drawEllipse(QPoint(16, 21), 2, 2);
  return QIcon(pixmap);
}

}  // namespace

cEncryptDlg::cEncryptDlg(QWidget* pParent)
    : QDialog(pParent), m_pCipher(std::make_unique<cSettingsCipher>()) {
  setWindowTitle("Encrypt SIP Account Settings.");
  setFont(QFont("Verdana", 8));
  setWindowIcon(PadlockIcon());
  setModal(true);

  auto* pPasswordLabel = new QLabel("Encryption Password:", this);
  m_pPasswordEdit = new QLineEdit(this);
  m_pPasswordEdit->setObjectName("editPassword");
  pPasswordLabel->setBuddy(m_pPasswordEdit);
  auto* pPasswordRow = new QHBoxLayout;
  pPasswordRow->addWidget(pPasswordLabel);
  pPasswordRow->addWidget(m_pPasswordEdit, 1);

  m_pGenerateButton = new QPushButton("Generate Encrypted Parameters", this);
  m_pGenerateButton->setObjectName("buttonGenerate");
  m_pGenerateButton->setDefault(true);
  connect(m_pGenerateButton, &QPushButton::clicked, this, &cEncryptDlg::OnGenerate);
  auto* pButtonRow = new QHBoxLayout;
  pButtonRow->addStretch(1);
  pButtonRow->addWidget(m_pGenerateButton);

  auto* pLayout = new QVBoxLayout(this);
  pLayout->addLayout(pPasswordRow);
  pLayout->addWidget(CreateSettingsGroup(" SIP Settings ", m_pSettingEdits, "edit", false));
  pLayout->addLayout(pButtonRow);
  pLayout->addWidget(CreateSettingsGroup(" Encrypted SIP account settings ", m_pEncryptedEdits,
                                         "encrypted", true));
  UpdateData(false);
}

cEncryptDlg::~cEncryptDlg() = default;

QWidget* cEncryptDlg::CreateSettingsGroup(const QString& strTitle,
                                          std::array<QLineEdit*, SETTING_COUNT>& edits,
                                          const char* pNamePrefix, bool bReadOnly) {
  auto* pGroup = new QGroupBox(strTitle, this);
  auto* pGrid = new QGridLayout(pGroup);
  for (int i = 0; i < SETTING_COUNT; ++i) {
    auto* pLabel = new QLabel(kSettings[i].pLabel, pGroup);
    auto* pEdit = new QLineEdit(pGroup);
    pEdit->setObjectName(QString(pNamePrefix) + kSettings[i].pName);
    pEdit->setReadOnly(bReadOnly);
    // Room for the string of a 24-byte setting, such as a proxy address with its port.
    pEdit->setMinimumWidth(pEdit->fontMetrics().horizontalAdvance(QString(40, 'n')));
    pLabel->setBuddy(pEdit);
    const int nRow = i / 2;
    const int nColumn = (i % 2) * 2;
    pGrid->addWidget(pLabel, nRow, nColumn);
    pGrid->addWidget(pEdit, nRow, nColumn + 1);
    edits[i] = pEdit;
  }
  pGrid->setColumnStretch(1, 1);
  pGrid->setColumnStretch(3, 1);
  return pGroup;
}

void cEncryptDlg::UpdateData(bool bSaveAndValidate) {
  if (bSaveAndValidate) {
    m_strPassword = m_pPasswordEdit->text();
    for (int i = 0; i < SETTING_COUNT; ++i) {
      m_strSettings[i] = m_pSettingEdits[i]->text();
      m_strEncrypted[i] = m_pEncryptedEdits[i]->text();
    }
    return;
  }
  m_pPasswordEdit->setText(m_strPassword);
  for (int i = 0; i < SETTING_COUNT; ++i) {
    m_pSettingEdits[i]->setText(m_strSettings[i]);
    m_pEncryptedEdits[i]->setText(m_strEncrypted[i]);
  }
}

void cEncryptDlg::OnGenerate() {
  UpdateData(true);
  if (m_strPassword.isEmpty()) {
    QMessageBox::warning(this, kMessageCaption, kEmptyPasswordText);
    return;
  }
  // Texts are handed to the cipher as UTF-8, the code page of this desktop.
  const QByteArray password = m_strPassword.toUtf8();
  for (int i = 0; i < SETTING_COUNT; ++i) {
    const QByteArray setting = m_strSettings[i].toUtf8();
    std::string strEncoded;
    // An empty setting yields no string and leaves its previous output in place.
    if (m_pCipher->EncryptSetting(std::string_view(setting.constData(), setting.size()),
                                  std::string_view(password.constData(), password.size()),
                                  strEncoded)) {
      m_strEncrypted[i] = QString::fromStdString(strEncoded);
    }
    m_strSettings[i].clear();
  }
  UpdateData(false);
}
