#pragma once
// TSaveProfileForm ("Save the current settings to profile"): asks for the
// name under which the current output settings are saved as a profile.
// Created once; the typed name stays for the next use.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TSaveProfileForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSaveProfileForm(QWidget* parent);

  QLabel* TeLabel1;
  QLineEdit* ProfileNameEdit;
  QPushButton* TeButton1;
  QPushButton* TeButton2;

  // The longest name the profile name buffer holds, in bytes.
  static constexpr int kMaxNameBytes = 259;

 public slots:
  void FormShow();
  // Escape and the title bar's close button act as Cancel.
  void reject() override { done(2); }

 protected:
  void showEvent(QShowEvent* event) override;
};
