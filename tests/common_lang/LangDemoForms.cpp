#include "LangDemoForms.h"

#include <QVBoxLayout>

namespace {

template <typename T>
T* Named(T* obj, const char* name) {
  obj->setObjectName(QString::fromLatin1(name));
  return obj;
}

}  // namespace

TFLangDemo::TFLangDemo() {
  setWindowTitle("Built demo");
  auto* layout = new QVBoxLayout(this);
  layout->setObjectName("layoutMain");
  BtnOK = Named(new QPushButton("Built OK", this), "BtnOK");
  BtnOK->setToolTip("built hint");
  BtnKeep = Named(new QPushButton("Keep", this), "BtnKeep");
  lblEmpty = Named(new QLabel("Stays", this), "lblEmpty");
  chkHint = Named(new QCheckBox("Check", this), "chkHint");
  N1 = Named(new QAction(this), "N1");
  N1->setSeparator(true);
  mDash = Named(new QAction("-", this), "mDash");
  mFile = Named(new QMenu("File", this), "mFile");
  mOpen = Named(mFile->addAction("Open"), "mOpen");
  gbBox = Named(new QGroupBox("Box", this), "gbBox");
  tabs = Named(new QTabWidget(gbBox), "tabs");
  tsFirst = Named(new QWidget, "tsFirst");
  tabs->addTab(tsFirst, "First");
  lvList = Named(new QTreeWidget(tsFirst), "lvList");
  lvList->setHeaderLabels({"A", "B"});
  lvList->setToolTip("list hint");
  lvCols = Named(new QTreeWidget(this), "lvCols");
  lvCols->setHeaderLabels({"C0", "C1"});
  tblGrid = Named(new QTableWidget(2, 3, this), "tblGrid");
  tblGrid->setHorizontalHeaderLabels({"X", "Y", "Z"});
  edtName = Named(new QLineEdit(this), "edtName");
  edtNameLabel = Named(new QLabel("Name:", edtName), "SubLabel");
  cbKind = Named(new QComboBox(this), "cbKind");
  lblKind = Named(new QLabel("Kind", this), "lblKind");
  lblKind->setBuddy(cbKind);
  dlgChild = Named(new QDialog(this), "dlgChild");
  childOK = Named(new QPushButton("Child OK", dlgChild), "BtnOK");
  for (QWidget* w : std::initializer_list<QWidget*>{BtnOK, BtnKeep, lblEmpty, chkHint, gbBox, tblGrid, edtName, lblKind, cbKind})
    layout->addWidget(w);
}

TFOther::TFOther() {
  setWindowTitle("Built other");
  BtnGo = Named(new QPushButton("Built go", this), "BtnGo");
}

demo::TFSpaced::TFSpaced() { BtnGo = Named(new QPushButton("Built go", this), "BtnGo"); }

TFTemplateDemo::TFTemplateDemo() {
  setWindowTitle("Template demo");
  BtnOK = Named(new QPushButton("OK", this), "BtnOK");
  BtnOK->setToolTip("Accept it");
  auto* sep = Named(new QAction(this), "N2");
  sep->setSeparator(true);
  auto* dash = Named(new QAction("-", this), "mDash");
  (void)dash;
  Named(new QLabel(this), "lblBlank");
  new QPushButton("nameless", this);
  lv = Named(new QTreeWidget(this), "lv");
  lv->setHeaderLabels({"Index", "Name"});
  edtName = Named(new QLineEdit(this), "edtName");
  Named(new QLabel("Name:", edtName), "SubLabel");
}
