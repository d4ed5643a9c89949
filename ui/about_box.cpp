#include "ui/about_box.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/app_identity.h"

namespace velodex {

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// Read-only but selectable, so an address can be copied into a browser.
QLineEdit* AddressBox(const char* address, const char* name, const QString& what, QWidget* parent) {
  auto* box = Named(new QLineEdit(QString::fromLatin1(address), parent), name);
  box->setReadOnly(true);
  box->setAccessibleName(what);
  return box;
}

}  // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setModal(false);
  setWindowIcon(ProgramIcon());

  // Set on loading, in this order: the window title, the title label, the version.
  setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kApplicationTitle));
  lblTitle = Named(new QLabel(QString::fromLatin1(kApplicationTitle), this), "lblTitle");
  lblVersion = Named(new QLabel(VersionText(), this), "lblVersion");

  QFont titleFont = lblTitle->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
  titleFont.setBold(true);
  lblTitle->setFont(titleFont);

  picIcon = Named(new QLabel(this), "picIcon");
  picIcon->setPixmap(ProgramIcon().pixmap(64, 64));
  lblDescription = Named(
      new QLabel(tr("Catalogues your Roller Coaster Tycoon track designs into browsable pages."),
                 this),
      "lblDescription");
  lblDescription->setWordWrap(true);
  Label1 = Named(new QLabel(tr("Thanks go to my Beta Testers"), this), "Label1");
  Label2 = Named(new QLabel(QStringLiteral("Marta Kowalczyk"), this), "Label2");
  Label3 = Named(new QLabel(QStringLiteral("Tobias Lindqvist"), this), "Label3");
  Text1 = AddressBox("https://velodex.example.org/", "Text1", tr("Home page"), this);
  Text2 = AddressBox("https://forum.example.org/coaster-designs/", "Text2", tr("Discussion board"),
                     this);
  Text3 = AddressBox("https://coaster-parks.example.net/", "Text3", tr("Coaster parks site"), this);
  cmdOK = Named(new QPushButton(tr("OK"), this), "cmdOK");
  // Default (Enter) and cancel (Escape, which a dialog maps to reject) both close the box.
  cmdOK->setDefault(true);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  // The box opens on OK, not in the first address box.
  cmdOK->setFocus();

  auto* head = new QGridLayout;
  head->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);
  head->addWidget(lblTitle, 0, 1);
  head->addWidget(lblVersion, 1, 1);
  head->setColumnStretch(1, 1);

  auto* foot = new QHBoxLayout;
  foot->addStretch(1);
  foot->addWidget(cmdOK);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(lblDescription);
  layout->addWidget(Label1);
  layout->addWidget(Label2);
  layout->addWidget(Label3);
  layout->addWidget(Text1);
  layout->addWidget(Text2);
  layout->addWidget(Text3);
  layout->addLayout(foot);
  resize(380, 0);
}

}  // namespace velodex
