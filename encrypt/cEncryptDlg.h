#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <memory>

#include "encrypt/cSettingsCipher.h"

class QLineEdit;
class QPushButton;

// The one dialog of the Encrypt tool: six account settings and a password in, each setting
// encrypted out. The dialog keeps one text value per control and exchanges all of them with the
// controls at once, before and after the work.
class cEncryptDlg : public QDialog {
  Q_OBJECT

 public:
  // The settings in their fixed order; output i always belongs to input i.
  static constexpr int SETTING_COUNT = 6;

  explicit cEncryptDlg(QWidget* pParent = nullptr);
  ~cEncryptDlg() override;

 private slots:
  void OnGenerate();

 private:
  QWidget* CreateSettingsGroup(const QString& strTitle,
                               std::array<QLineEdit*, SETTING_COUNT>& edits,
                               const char* pNamePrefix, bool bReadOnly);
  // true: controls to fields; false: fields to controls.
  void UpdateData(bool bSaveAndValidate);

  std::unique_ptr<cSettingsCipher> m_pCipher;

  QLineEdit* m_pPasswordEdit = nullptr;
  std::array<QLineEdit*, SETTING_COUNT> m_pSettingEdits{};
  std::array<QLineEdit*, SETTING_COUNT> m_pEncryptedEdits{};
  QPushButton* m_pGenerateButton = nullptr;

  QString m_strPassword;
  std::array<QString, SETTING_COUNT> m_strSettings;
  std::array<QString, SETTING_COUNT> m_strEncrypted;
};
