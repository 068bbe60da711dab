#pragma once
// Small forms for the language tests; their class names name their sections.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWidget>

// One control of every kind the language files reach.
class TFLangDemo : public QWidget {
  Q_OBJECT

 public:
  TFLangDemo();

  QPushButton* BtnOK;
  QPushButton* BtnKeep;
  QLabel* lblEmpty;
  QCheckBox* chkHint;
  QAction* N1;     // separator
  QAction* mDash;  // an entry captioned "-"
  QMenu* mFile;
  QAction* mOpen;
  QGroupBox* gbBox;
  QTabWidget* tabs;
  QWidget* tsFirst;
  QTreeWidget* lvList;
  QTreeWidget* lvCols;
  QTableWidget* tblGrid;
  QLineEdit* edtName;
  QLabel* edtNameLabel;  // the edit's "SubLabel"
  QComboBox* cbKind;
  QLabel* lblKind;  // buddy of cbKind
  QDialog* dlgChild;
  QPushButton* childOK;
};

class TFOther : public QWidget {
  Q_OBJECT

 public:
  TFOther();
  QPushButton* BtnGo;
};

namespace demo {
// A form inside a namespace still has its bare class name as section.
class TFSpaced : public QWidget {
  Q_OBJECT

 public:
  TFSpaced();
  QPushButton* BtnGo;
};
}  // namespace demo

// The form the template writer is shown with.
class TFTemplateDemo : public QWidget {
  Q_OBJECT

 public:
  TFTemplateDemo();
  QPushButton* BtnOK;
  QTreeWidget* lv;
  QLineEdit* edtName;
};
