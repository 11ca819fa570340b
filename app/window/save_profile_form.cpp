#include "app/window/save_profile_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/frame_state.h"
#include "profiles/profile.h"

TSaveProfileForm::TSaveProfileForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SaveProfileForm");
  setWindowTitle("Save the current settings to profile");
  // Minimise and maximise only, no system menu.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
  setFixedSize(407, 149);

  TeLabel1 = new QLabel("Enter profile name:", this);
  TeLabel1->setObjectName("TeLabel1");
  TeLabel1->move(20, 20);
  TeLabel1->adjustSize();
  ProfileNameEdit = new QLineEdit(this);
  ProfileNameEdit->setObjectName("ProfileNameEdit");
  ProfileNameEdit->setGeometry(20, 49, 365, 24);
  ProfileNameEdit->setMaxLength(kMaxNameBytes);
  TeButton1 = new QPushButton("OK", this);
  TeButton1->setObjectName("TeButton1");
  TeButton1->setGeometry(39, 98, 100, 25);
  TeButton1->setDefault(true);
  TeButton2 = new QPushButton("Cancel", this);
  TeButton2->setObjectName("TeButton2");
  TeButton2->setGeometry(236, 98, 100, 25);
  setTabOrder(ProfileNameEdit, TeButton1);
  setTabOrder(TeButton1, TeButton2);
  connect(TeButton1, &QPushButton::clicked, this, [this] { done(1); });
  connect(TeButton2, &QPushButton::clicked, this, [this] { done(2); });
}

void TSaveProfileForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TSaveProfileForm::FormShow() {
  if (ProfileNameEdit->text().isEmpty() && Frame().CurrentProfile)
    ProfileNameEdit->setText(QString::fromStdString(Frame().CurrentProfile->name));
  ProfileNameEdit->setFocus();
}
